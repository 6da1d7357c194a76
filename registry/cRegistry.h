#pragma once
#include "sys/cOwned.h"
#include "sys/cVariant.h"
#include <cstdint>
#include <string>

// Reads and writes one registry value through the ANSI functions; each operation opens and closes its key.
class cRegistry
{
public:
    // Predefined root keys as 32-bit values.
    static constexpr std::int32_t ClassesRoot = static_cast<std::int32_t>(0x80000000);
    static constexpr std::int32_t CurrentUser = static_cast<std::int32_t>(0x80000001);
    static constexpr std::int32_t LocalMachine = static_cast<std::int32_t>(0x80000002);

    std::int32_t RegKey() const { return m_regKey; }
    void RegKey(std::int32_t vData) { m_regKey = vData; }
    std::wstring SubKey() const { return m_subKey; }
    void SubKey(const std::wstring& vData) { m_subKey = vData; }
    std::wstring SetValue() const { return m_setValue; }
    void SetValue(const std::wstring& vData) { m_setValue = vData; }
    // Empty selects the key's unnamed value.
    std::wstring ValueName() const { return m_valueName; }
    void ValueName(const std::wstring& vData) { m_valueName = vData; }
    const cVariant& Default() const { return m_default; }
    void Default(const cVariant& vData) { m_default = vData; }

    // The value's bytes as text up to the first zero byte, whatever its type; Default's text when the key
    // or the value cannot be read or the value exceeds 1024 ANSI bytes.
    std::wstring GetString();
    // The status of the write, or of the open when the key cannot be opened (0 = written).
    long SetString();
    // Creates the key (or opens an existing one); failures are not reported.
    void SetSubKey();
    // The value's first 4 bytes as a little-endian number, or Default's number when it cannot be read.
    // Throws cAppError 6 when Default's number does not fit in 32 bits, even if the value exists.
    long GetDWORD();

private:
    // Opens RegKey\SubKey with the access asked; the registry's status.
    long OpenKey(unsigned long access, cRegKey& key) const;

    std::int32_t m_regKey = 0;
    std::wstring m_subKey;
    std::wstring m_setValue;
    std::wstring m_valueName;
    cVariant m_default;
};

#pragma once
#include "sys/cOwned.h"
#include <string>
#include <vector>

// One open registry key, read and written through the UTF-16 functions: what other users wrote there reaches
// the tool as written, never through a code page. Failures come back as the registry's status.
class cKey
{
public:
    // The longest path Windows takes; a longer value names no file.
    static constexpr size_t MaxTextChars = 32767;
    enum class eValue
    {
        Missing,    // no such value (or key)
        Text,       // REG_SZ or REG_EXPAND_SZ, within MaxTextChars
        OtherType,  // a value of another type: its bytes are still given as text
        TooLong,    // longer than MaxTextChars: no text is given
        Unreadable, // the value could not be read (access denied, for one)
    };
    struct cValue
    {
        eValue Kind = eValue::Missing;
        DWORD Type = REG_NONE;
        std::wstring Text; // up to the first NUL
        LONG Status = ERROR_FILE_NOT_FOUND;
    };
    struct cRawValue
    {
        std::wstring Name;
        DWORD Type;
        std::vector<BYTE> Data;
    };

    cKey() = default;
    // Takes over a key opened elsewhere (a private hive, for one).
    explicit cKey(HKEY owned) : m_key(owned) {}
    // Opens `path` below `parent` (a root or an open key); the registry's status.
    LONG Open(HKEY parent, const std::wstring& path, REGSAM access);
    HKEY Get() const noexcept { return m_key.Get(); }
    bool IsOpen() const noexcept { return m_key.IsValid(); }

    // A value by name (empty: the key's default value).
    cValue Read(const std::wstring& name = {}) const;
    // The most data read as text: MaxTextChars, their NUL and half a character; more is TooLong unread.
    static constexpr size_t MaxDataBytes = (MaxTextChars + 1) * sizeof(wchar_t) + 1;
    // A value of `type` whose data is `size` bytes at `data` (not looked at beyond MaxDataBytes).
    static cValue ValueOf(DWORD type, const BYTE* data, size_t size);
    // Whether the value's data, measured as the code-page functions measure it (all of it, in the system's
    // code page, anything after a NUL included), fits in `bytes`.
    enum class eAnsiSize
    {
        Fits,
        Exceeds,
        Unknown, // missing, or not to be read
    };
    eAnsiSize AnsiSize(const std::wstring& name, DWORD bytes) const;
    // Every value of the key and the names of its subkeys, at most `limit` of each; the status of the
    // listing.
    LONG Values(std::vector<cRawValue>& values, size_t limit) const;
    LONG SubKeys(std::vector<std::wstring>& names, size_t limit) const;
    // Removes the subkey `name` of this key with its values and subkeys; the registry's status. The key must
    // be open with KEY_WOW64_64KEY when `name` lies in the 64-bit view's physical tree.
    LONG DeleteTree(const std::wstring& name, REGSAM view) const;

private:
    cRegKey m_key;
};

#pragma once
#include "sys/cVariant.h"
#include <string>
#include <vector>

// Reads and writes one key or one section of an INI file through the ANSI profile functions.
// Every operation raises cAppError 17 when a name it needs is empty; failures of the profile
// functions are never raised: reads give the default, writes their status.
class cPrivateProfile
{
public:
    std::wstring FileName() const { return m_fileName; }
    void FileName(const std::wstring& vData) { m_fileName = vData; }
    std::wstring SectionName() const { return m_sectionName; }
    void SectionName(const std::wstring& vData) { m_sectionName = vData; }
    std::wstring KeyName() const { return m_keyName; }
    void KeyName(const std::wstring& vData) { m_keyName = vData; }
    const cVariant& Default() const { return m_default; }
    void Default(const cVariant& vData) { m_default = vData; }
    // 0 fills GetString's buffer with blanks, any other value with NULs.
    long FillType() const { return m_fillType; }
    void FillType(long vData) { m_fillType = vData; }

    long GetIntValue();
    std::wstring GetStrValue();
    long SetStrValue(const std::wstring& vData);

    // Raises error 6 when Default's number lies outside 32 bits.
    long GetInteger();
    // At most 1023 bytes of the value; Default's text when the key cannot be read.
    std::wstring GetString();
    // Non-zero on success, 0 on failure.
    long SetString(const std::wstring& vData);
    void DeleteSectionName();
    void DeleteKeyName();
    // The section's lines followed by one empty text; an empty list for a missing or empty section.
    std::vector<std::wstring> GetSectionValues();
    // Replaces the section; an empty element ends the list. Non-zero on success, 0 on failure.
    long SetSectionValues(const std::vector<std::wstring>& vData);

private:
    void RequireSection() const;
    void RequireKey() const;
    // The raw 1024-byte receive buffer after one read, filled with `fill` before the call.
    std::string ReadValue(char fill) const;

    std::wstring m_fileName;
    std::wstring m_sectionName;
    std::wstring m_keyName;
    cVariant m_default;
    long m_fillType = 0;
};

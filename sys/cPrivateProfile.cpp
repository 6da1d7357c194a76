#include "sys/cPrivateProfile.h"
#include "sys/StrConv.h"
#include "sys/cAppError.h"
#include <windows.h>

namespace
{
constexpr DWORD ValueBufferSize = 1024;
constexpr DWORD SectionBufferSize = 32767;

} // namespace

void cPrivateProfile::RequireSection() const
{
    if (m_sectionName.empty() || m_fileName.empty())
        throw cAppError(errnum::CannotPerform, L"", L"");
}

void cPrivateProfile::RequireKey() const
{
    if (m_keyName.empty())
        throw cAppError(errnum::CannotPerform, L"", L"");
    RequireSection();
}

long cPrivateProfile::GetIntValue()
{
    return GetInteger();
}

std::wstring cPrivateProfile::GetStrValue()
{
    return GetString();
}

long cPrivateProfile::SetStrValue(const std::wstring& vData)
{
    return SetString(vData);
}

long cPrivateProfile::GetInteger()
{
    RequireKey();
    const long fallback = m_default.ToLong(L"cPrivateProfile");
    const UINT value =
        ::GetPrivateProfileIntA(strconv::ToAnsi(m_sectionName).c_str(), strconv::ToAnsi(m_keyName).c_str(),
                                static_cast<INT>(fallback), strconv::ToAnsi(m_fileName).c_str());
    return static_cast<long>(static_cast<INT>(value));
}

std::wstring cPrivateProfile::GetString()
{
    RequireKey();
    const bool blanks = m_fillType == 0;
    std::string buffer = ReadValue(blanks ? ' ' : '\0');
    // The function ends what it copied with a NUL and leaves the rest of the buffer as it was, so the
    // first NUL ends the value for either fill (blanks cannot hide a value that itself begins with blanks).
    size_t length = buffer.find('\0');
    if (length == std::string::npos)
        length = blanks ? 0 : buffer.size();
    // Where a double-byte character would not fit before the NUL at the cut, Wine copies one byte less and
    // leaves that byte as it was (Windows copies the lone lead byte instead). A blank there may be the fill
    // or the value's own: a read into NULs tells them apart.
    if (blanks && length == ValueBufferSize - 1 && buffer[length - 1] == ' ' &&
        ReadValue('\0')[length - 1] == '\0')
        --length;
    return strconv::ToWideWholeChars(std::string_view(buffer.data(), length));
}

std::string cPrivateProfile::ReadValue(char fill) const
{
    std::string buffer(ValueBufferSize, fill);
    ::GetPrivateProfileStringA(strconv::ToAnsi(m_sectionName).c_str(), strconv::ToAnsi(m_keyName).c_str(),
                               strconv::ToAnsi(m_default.ToText()).c_str(), buffer.data(), ValueBufferSize,
                               strconv::ToAnsi(m_fileName).c_str());
    return buffer;
}

long cPrivateProfile::SetString(const std::wstring& vData)
{
    RequireKey();
    return ::WritePrivateProfileStringA(strconv::ToAnsi(m_sectionName).c_str(),
                                        strconv::ToAnsi(m_keyName).c_str(), strconv::ToAnsi(vData).c_str(),
                                        strconv::ToAnsi(m_fileName).c_str());
}

void cPrivateProfile::DeleteSectionName()
{
    RequireSection();
    ::WritePrivateProfileStringA(strconv::ToAnsi(m_sectionName).c_str(), nullptr, nullptr,
                                 strconv::ToAnsi(m_fileName).c_str());
}

void cPrivateProfile::DeleteKeyName()
{
    RequireKey();
    ::WritePrivateProfileStringA(strconv::ToAnsi(m_sectionName).c_str(), strconv::ToAnsi(m_keyName).c_str(),
                                 nullptr, strconv::ToAnsi(m_fileName).c_str());
}

std::vector<std::wstring> cPrivateProfile::GetSectionValues()
{
    RequireSection();
    std::string buffer(SectionBufferSize, '\0');
    const DWORD copied = ::GetPrivateProfileSectionA(strconv::ToAnsi(m_sectionName).c_str(), buffer.data(),
                                                     SectionBufferSize, strconv::ToAnsi(m_fileName).c_str());
    std::vector<std::wstring> entries;
    if (copied == 0)
        return entries;
    // The count is in bytes. Split before converting: a lead byte left alone by a cut must not
    // swallow the NUL after it.
    const std::string_view block(buffer.data(), copied < SectionBufferSize ? copied : SectionBufferSize);
    size_t start = 0;
    for (;;)
    {
        const size_t nul = block.find('\0', start);
        if (nul == std::string_view::npos)
        {
            entries.push_back(strconv::ToWideWholeChars(block.substr(start)));
            break;
        }
        entries.push_back(strconv::ToWideWholeChars(block.substr(start, nul - start)));
        start = nul + 1;
    }
    return entries;
}

long cPrivateProfile::SetSectionValues(const std::vector<std::wstring>& vData)
{
    RequireSection();
    std::string block;
    for (size_t i = 0; i < vData.size(); ++i)
    {
        if (i > 0)
            block.push_back('\0');
        block += strconv::ToAnsi(vData[i]);
    }
    block.append(2, '\0');
    return ::WritePrivateProfileSectionA(strconv::ToAnsi(m_sectionName).c_str(), block.c_str(),
                                         strconv::ToAnsi(m_fileName).c_str());
}

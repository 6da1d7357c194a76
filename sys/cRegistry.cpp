#include "sys/cRegistry.h"
#include "sys/StrConv.h"
#include "sys/cOwned.h"
#include <algorithm>

namespace
{
constexpr DWORD TextBufferBytes = 1024;

// Predefined keys are sign-extended LONG values ((HKEY)(ULONG_PTR)(LONG)0x80000000), so widen with the sign
// for 64-bit builds to get the same handle the SDK constants give.
HKEY RootKey(std::int32_t regKey)
{
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(regKey));
}

// The bytes before the first zero byte, without a final lead byte whose trail byte is missing: converting
// half a double-byte character gives a stray default character, or takes the next byte with it.
std::string_view WholeCharactersBeforeNul(std::string_view bytes)
{
    bytes = bytes.substr(0, std::min(bytes.find('\0'), bytes.size()));
    size_t i = 0;
    while (i < bytes.size())
    {
        if (!::IsDBCSLeadByte(static_cast<BYTE>(bytes[i])))
            ++i;
        else if (i + 1 < bytes.size())
            i += 2;
        else
            return bytes.substr(0, i);
    }
    return bytes;
}
} // namespace

std::wstring cRegistry::GetString()
{
    std::wstring result = Default().ToText();
    cRegKey key;
    if (::RegOpenKeyExA(RootKey(RegKey()), strconv::ToAnsi(SubKey()).c_str(), 0, KEY_QUERY_VALUE,
                        key.Put()) != ERROR_SUCCESS)
        return result;
    std::string buffer(TextBufferBytes, '\0');
    DWORD type = REG_SZ;
    DWORD size = TextBufferBytes;
    if (::RegQueryValueExA(key.Get(), strconv::ToAnsi(ValueName()).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS)
    {
        // A text that fills the buffer exactly has no NUL: the reported size bounds it, not a terminator.
        const std::string_view data(buffer.data(), std::min<size_t>(size, buffer.size()));
        result = strconv::ToWide(WholeCharactersBeforeNul(data));
    }
    return result;
}

long cRegistry::SetString()
{
    cRegKey key;
    const LONG opened =
        ::RegOpenKeyExA(RootKey(RegKey()), strconv::ToAnsi(SubKey()).c_str(), 0, KEY_SET_VALUE, key.Put());
    if (opened != ERROR_SUCCESS)
        return opened;
    const std::string data = strconv::ToAnsi(SetValue());
    return ::RegSetValueExA(key.Get(), strconv::ToAnsi(ValueName()).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
}

void cRegistry::SetSubKey()
{
    char noClass[] = "";
    SECURITY_ATTRIBUTES security{};
    DWORD disposition = 0;
    cRegKey key;
    ::RegCreateKeyExA(RootKey(RegKey()), strconv::ToAnsi(SubKey()).c_str(), 0, noClass,
                      REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY, &security, key.Put(), &disposition);
}

long cRegistry::GetDWORD()
{
    long result = Default().ToLong(L"cRegistry");
    cRegKey key;
    if (::RegOpenKeyExA(RootKey(RegKey()), strconv::ToAnsi(SubKey()).c_str(), 0, KEY_QUERY_VALUE,
                        key.Put()) != ERROR_SUCCESS)
        return result;
    DWORD type = REG_DWORD;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExA(key.Get(), strconv::ToAnsi(ValueName()).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS)
        result = static_cast<long>(static_cast<std::int32_t>(value));
    return result;
}

#include "registry/cRegistry.h"
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

} // namespace

long cRegistry::OpenKey(unsigned long access, cRegKey& key) const
{
    return ::RegOpenKeyExA(RootKey(RegKey()), strconv::ToAnsi(SubKey()).c_str(), 0, access, key.Put());
}

std::wstring cRegistry::GetString()
{
    std::wstring result = Default().ToText();
    cRegKey key;
    if (OpenKey(KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return result;
    std::string buffer(TextBufferBytes, '\0');
    DWORD type = REG_SZ;
    DWORD size = TextBufferBytes;
    if (::RegQueryValueExA(key.Get(), strconv::ToAnsi(ValueName()).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS)
    {
        // A text that fills the buffer exactly has no NUL: the reported size bounds it, not a terminator.
        const std::string_view data(buffer.data(), std::min<size_t>(size, buffer.size()));
        result = strconv::ToWideWholeChars(data.substr(0, std::min(data.find('\0'), data.size())));
    }
    return result;
}

long cRegistry::SetString()
{
    cRegKey key;
    const LONG opened = OpenKey(KEY_SET_VALUE, key);
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
    if (OpenKey(KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return result;
    DWORD type = REG_DWORD;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExA(key.Get(), strconv::ToAnsi(ValueName()).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS)
        result = static_cast<long>(static_cast<std::int32_t>(value));
    return result;
}

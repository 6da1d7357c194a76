#include "sys/Environment.h"
#include <windows.h>

std::wstring ExpandedText(const std::wstring& text)
{
    if (text.find(L'%') == std::wstring::npos)
        return text;
    // Its documentation limits both texts to 32K characters.
    constexpr DWORD Longest = 32767;
    const DWORD size = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0 || size > Longest)
        return text;
    std::wstring expanded(size, L'\0');
    const DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
    if (length == 0 || length > size)
        return text;
    expanded.resize(length - 1);
    return expanded;
}

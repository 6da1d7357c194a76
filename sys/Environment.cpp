#include "sys/Environment.h"
#include "registry/cKey.h"

std::wstring ExpandedText(const std::wstring& text)
{
    if (text.find(L'%') == std::wstring::npos)
        return text;
    const DWORD size = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0 || size > cKey::MaxTextChars)
        return text;
    std::wstring expanded(size, L'\0');
    const DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
    if (length == 0 || length > size)
        return text;
    expanded.resize(length - 1);
    return expanded;
}

#include "sys/cProfileList.h"
#include "sys/cKey.h"

namespace
{
// %SystemDrive%\Users\name, as ProfileImagePath is usually stored; the text itself when it cannot be
// expanded.
std::wstring Expanded(const std::wstring& text)
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
} // namespace

std::vector<cProfileList::cProfile> cProfileList::Read()
{
    std::vector<cProfile> profiles;
    cKey list;
    // The list is the same for 32-bit and 64-bit programs.
    std::vector<std::wstring> sids;
    if (list.Open(HKEY_LOCAL_MACHINE, Key, KEY_READ | KEY_WOW64_64KEY) != ERROR_SUCCESS ||
        list.SubKeys(sids, MaxProfiles) != ERROR_SUCCESS)
        return profiles;
    for (const std::wstring& sid : sids)
    {
        cKey entry;
        entry.Open(list.Get(), sid, KEY_QUERY_VALUE);
        const cKey::cValue folder = entry.Read(L"ProfileImagePath");
        profiles.push_back({sid, folder.Kind == cKey::eValue::Text ? Expanded(folder.Text) : std::wstring()});
    }
    return profiles;
}

#include "registry/cProfileList.h"
#include "sys/Environment.h"
#include "registry/cKey.h"

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
        // %SystemDrive%\Users\name, as ProfileImagePath is usually stored.
        const cKey::cValue folder = entry.Read(L"ProfileImagePath");
        DWORD state = 0, size = sizeof state, type = REG_NONE;
        if (::RegQueryValueExW(entry.Get(), L"State", nullptr, &type, reinterpret_cast<BYTE*>(&state),
                               &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            state = 0;
        profiles.push_back(
            {sid, folder.Kind == cKey::eValue::Text ? ExpandedText(folder.Text) : std::wstring(), state});
    }
    return profiles;
}

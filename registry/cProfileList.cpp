#include "registry/cProfileList.h"
#include "registry/cKey.h"
#include "sys/Environment.h"

cProfileList::cReading cProfileList::Read()
{
    cReading reading;
    cKey list;
    // The list is the same for 32-bit and 64-bit programs.
    std::vector<std::wstring> sids;
    reading.Status = list.Open(HKEY_LOCAL_MACHINE, Key, KEY_READ | KEY_WOW64_64KEY);
    if (reading.Status == ERROR_SUCCESS)
        reading.Status = list.SubKeys(sids, MaxProfiles);
    if (reading.Status != ERROR_SUCCESS)
        return reading;
    DWORD count = 0;
    if (sids.size() == MaxProfiles &&
        ::RegQueryInfoKeyW(list.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        reading.Unlisted = count > MaxProfiles ? count - MaxProfiles : 0;
    for (const std::wstring& sid : sids)
    {
        cKey entry;
        const LONG opened = entry.Open(list.Get(), sid, KEY_QUERY_VALUE);
        const cKey::cValue folder = entry.Read(L"ProfileImagePath");
        DWORD state = 0, size = sizeof state, type = REG_NONE;
        const bool hasState = opened == ERROR_SUCCESS &&
                              ::RegQueryValueExW(entry.Get(), L"State", nullptr, &type,
                                                 reinterpret_cast<BYTE*>(&state), &size) == ERROR_SUCCESS &&
                              type == REG_DWORD;
        // %SystemDrive%\Users\name, as ProfileImagePath is usually stored.
        reading.Profiles.push_back({sid, folder.Kind == cKey::eValue::Text ? ExpandedText(folder.Text) : L"",
                                    hasState ? state : 0, opened});
    }
    return reading;
}

#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The user profiles Windows keeps for this PC (HKLM\...\ProfileList): one per account that has signed in
// here, and Windows' own entries besides.
class cProfileList
{
public:
    // A shared PC may hold hundreds; far more than this is no profile list a PC keeps.
    static constexpr size_t MaxProfiles = 10000;
    static constexpr const wchar_t* Key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    // The entry's State bit Windows sets while the account signs in with a temporary profile.
    static constexpr DWORD TemporaryProfile = 0x0800;

    struct cProfile
    {
        std::wstring Sid;    // the entry's name, as written there
        std::wstring Folder; // ProfileImagePath with its variables expanded; empty when the entry has none
        DWORD State = 0;     // its State value; 0 without one
        LONG Status = ERROR_SUCCESS; // the registry's status of opening the entry: not read unless it opened
    };
    struct cReading
    {
        LONG Status = ERROR_SUCCESS; // of opening and listing the list itself: no list, no users known
        std::vector<cProfile> Profiles;
        size_t Unlisted = 0; // entries past MaxProfiles, never read
    };
    // Every entry, in the registry's order, each with the status of opening it: none is passed over here.
    static cReading Read();
};

// The per-user reading of a check written straight in Win32, for the floors: the profile list, each
// profile's account name, its classes where they are loaded (or the way to its classes file), and its own
// keys of the two class ids in the view a 32-bit program gets.
#pragma once
#include <windows.h>
#include <sddl.h>

inline void ReadUsersStraight(const wchar_t* const (&classIds)[2])
{
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    HKEY list = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                        0, KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS)
        return;
    wchar_t sid[256];
    for (DWORD i = 0;; ++i)
    {
        DWORD length = 256;
        if (::RegEnumKeyExW(list, i, sid, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t folder[MAX_PATH] = {};
        DWORD size = sizeof folder;
        ::RegGetValueW(list, sid, L"ProfileImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, folder,
                       &size);
        PSID binary = nullptr;
        if (::ConvertStringSidToSidW(sid, &binary))
        {
            wchar_t name[256], domain[256];
            DWORD nameLength = 256, domainLength = 256;
            SID_NAME_USE use{};
            ::LookupAccountSidW(nullptr, binary, name, &nameLength, domain, &domainLength, &use);
            ::LocalFree(binary);
        }
        wchar_t classes[300];
        ::wsprintfW(classes, L"%s_Classes", sid);
        HKEY root = nullptr;
        if (::RegOpenKeyExW(HKEY_USERS, classes, 0, KEY_READ | KEY_WOW64_64KEY, &root) != ERROR_SUCCESS)
        {
            ::wsprintfW(classes, L"%s\\Software\\Classes", sid);
            if (::RegOpenKeyExW(HKEY_USERS, classes, 0, KEY_READ | KEY_WOW64_64KEY, &root) != ERROR_SUCCESS)
            {
                ::GetFileAttributesW(folder);
                continue;
            }
        }
        for (const wchar_t* classId : classIds)
        {
            wchar_t path[128];
            ::wsprintfW(path, L"%sCLSID\\%s\\InprocServer32", wow64 ? L"Wow6432Node\\" : L"", classId);
            wchar_t value[MAX_PATH];
            DWORD valueSize = sizeof value;
            ::RegGetValueW(root, path, nullptr, RRF_RT_ANY, nullptr, value, &valueSize);
        }
        ::RegCloseKey(root);
    }
    ::RegCloseKey(list);
}

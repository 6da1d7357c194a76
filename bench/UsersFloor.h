// The per-user reading of a check written straight in Win32, for the floors: the runner's token and own
// classes, the hives other runs left, the profile list, each real user's account name, their classes where
// Windows keeps them loaded, or else their classes file read as data (bench/HiveFloor.h); and each user's own
// class keys of the two class ids in the view a 32-bit program gets.
#pragma once
#include <windows.h>
#include <sddl.h>
#include "bench/HiveFloor.h"
#include <initializer_list>

// One user's own keys of the two class ids: the class key, its TreatAs and its server.
inline void ReadClassKeys(HKEY root, bool wow64, const wchar_t* const (&classIds)[2])
{
    for (const wchar_t* classId : classIds)
    {
        wchar_t path[160];
        ::wsprintfW(path, L"%sCLSID\\%s", wow64 ? L"Wow6432Node\\" : L"", classId);
        HKEY classKey = nullptr;
        if (::RegOpenKeyExW(root, path, 0, KEY_READ | KEY_WOW64_64KEY, &classKey) != ERROR_SUCCESS)
            continue;
        HKEY below = nullptr;
        if (::RegOpenKeyExW(classKey, L"TreatAs", 0, KEY_READ | KEY_WOW64_64KEY, &below) == ERROR_SUCCESS)
            ::RegCloseKey(below);
        wchar_t value[MAX_PATH];
        DWORD size = sizeof value;
        ::RegGetValueW(classKey, L"InprocServer32", nullptr, RRF_RT_ANY, nullptr, value, &size);
        ::RegCloseKey(classKey);
    }
}

// A signed-out user's classes file, read as data: the profile folder's and the file's final paths compared as
// the tool checks the way, then each class id's key, its TreatAs and its server's value.
inline void ReadClassesFile(const wchar_t* folder, bool wow64, const wchar_t* const (&classIds)[2])
{
    wchar_t path[MAX_PATH + 64], finalFolder[MAX_PATH + 64] = {}, finalFile[MAX_PATH + 64] = {};
    ::wsprintfW(path, L"%s\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat", folder);
    const HANDLE profile = ::CreateFileW(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (profile == INVALID_HANDLE_VALUE)
        return;
    ::GetFinalPathNameByHandleW(profile, finalFolder, MAX_PATH + 64, 0);
    ::CloseHandle(profile);
    const HANDLE file =
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION information{};
    ::GetFileInformationByHandle(file, &information);
    ::GetFinalPathNameByHandleW(file, finalFile, MAX_PATH + 64, 0);
    const DWORD root = HiveRoot(file);
    for (const wchar_t* classId : classIds)
        for (const wchar_t* below : {L"TreatAs", L"InprocServer32"})
        {
            const wchar_t* const keys[] = {L"Wow6432Node", L"CLSID", classId, below, nullptr};
            ReadHiveStraight(file, root, keys + (wow64 ? 0 : 1), *below == L'I' ? L"" : nullptr);
        }
    ::CloseHandle(file);
}

inline void ReadUsersStraight(const wchar_t* const (&classIds)[2])
{
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    // Who runs this, with which rights: the runner's own classes are read whatever they are.
    HANDLE token = nullptr;
    wchar_t* runner = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    {
        BYTE user[256];
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        if (::GetTokenInformation(token, TokenUser, user, sizeof user, &size))
            ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &runner);
        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        ::CloseHandle(token);
    }
    // The runner's, through HKEY_CURRENT_USER, as COM reads them for the runner.
    HKEY own = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ | KEY_WOW64_64KEY, &own) ==
        ERROR_SUCCESS)
        ReadClassKeys(own, wow64, classIds), ::RegCloseKey(own);
    // The hives other runs left loaded.
    wchar_t sid[256];
    for (DWORD i = 0;; ++i)
    {
        DWORD length = 256;
        if (::RegEnumKeyExW(HKEY_USERS, i, sid, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
    }
    HKEY list = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                        0, KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS)
        return;
    wchar_t asked = 0;
    for (DWORD i = 0;; ++i)
    {
        DWORD length = 256;
        if (::RegEnumKeyExW(list, i, sid, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t stored[MAX_PATH] = {}, folder[MAX_PATH] = {};
        DWORD size = sizeof stored, state = 0, stateSize = sizeof state;
        ::RegGetValueW(list, sid, L"ProfileImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                       nullptr, stored, &size);
        ::RegGetValueW(list, sid, L"State", RRF_RT_REG_DWORD, nullptr, &state, &stateSize);
        ::ExpandEnvironmentStringsW(stored, folder, MAX_PATH);
        // Real users only: accounts of a machine, a domain or the cloud; the runner's are read already.
        if ((runner && ::lstrcmpW(sid, runner) == 0) ||
            (::CompareStringOrdinal(sid, 9, L"S-1-5-21-", 9, FALSE) != CSTR_EQUAL &&
             ::CompareStringOrdinal(sid, 9, L"S-1-12-1-", 9, FALSE) != CSTR_EQUAL))
            continue;
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
            // Only a folder on a local drive is looked in: each drive asked once.
            if (folder[0] != asked && folder[1] == L':')
            {
                const wchar_t drive[] = {asked = folder[0], L':', L'\\', 0};
                ::GetDriveTypeW(drive);
            }
            ReadClassesFile(folder, wow64, classIds);
            continue;
        }
        ReadClassKeys(root, wow64, classIds);
        ::RegCloseKey(root);
    }
    ::RegCloseKey(list);
    ::LocalFree(runner);
}

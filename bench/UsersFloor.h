// The per-user reading of a check written straight in Win32, for the floors: the runner's token, the hives
// other runs left, the profile list, each real user's account name, their classes where they are loaded, or
// else their classes file, the way to it held, loaded for this process (under a name of its own with the
// backup and restore privileges where Windows gives no usable private load), read and unloaded; and each
// user's own class keys of the two class ids in the view a 32-bit program gets.
#pragma once
#include <windows.h>
#include <sddl.h>
#include <initializer_list>

// The backup and restore privileges on this thread alone, until RevertToSelf.
inline bool HivePrivilegesOnThread()
{
    if (!::ImpersonateSelf(SecurityImpersonation))
        return false;
    HANDLE token = nullptr;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, TRUE, &token))
        return ::RevertToSelf(), false;
    for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME})
    {
        TOKEN_PRIVILEGES privilege{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        if (::LookupPrivilegeValueW(nullptr, name, &privilege.Privileges[0].Luid))
            ::AdjustTokenPrivileges(token, FALSE, &privilege, 0, nullptr, nullptr);
    }
    ::CloseHandle(token);
    return true;
}

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

// A signed-out user's classes file, read and unloaded; the folders on the way held meanwhile.
inline void ReadClassesFile(const wchar_t* folder, unsigned n, bool wow64,
                            const wchar_t* const (&classIds)[2])
{
    HANDLE held[4] = {};
    wchar_t path[MAX_PATH + 64];
    ::lstrcpynW(path, folder, MAX_PATH);
    const wchar_t* const way[] = {L"\\AppData", L"\\Local", L"\\Microsoft", L"\\Windows"};
    bool whole = true;
    for (int i = 0; i < 4 && whole; ++i)
    {
        ::lstrcatW(path, way[i]);
        held[i] =
            ::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        const DWORD attributes = ::GetFileAttributesW(path);
        whole = held[i] != INVALID_HANDLE_VALUE && attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    ::lstrcatW(path, L"\\UsrClass.dat");
    if (whole && ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
    {
        HKEY root = nullptr;
        DWORD subKeys = 0;
        bool mounted = false;
        wchar_t name[64];
        ::wsprintfW(name, L"plotwing2fix-floor-%lu-%u", ::GetCurrentProcessId(), n);
        if (::RegLoadAppKeyW(path, &root, KEY_READ | KEY_WOW64_64KEY, 0, 0) != ERROR_SUCCESS ||
            ::RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        {
            if (root)
                ::RegCloseKey(root), root = nullptr;
            if (HivePrivilegesOnThread())
            {
                mounted = ::RegLoadKeyW(HKEY_USERS, name, path) == ERROR_SUCCESS;
                ::RevertToSelf();
            }
            if (mounted)
                ::RegOpenKeyExW(HKEY_USERS, name, 0, KEY_READ | KEY_WOW64_64KEY, &root);
        }
        ::GetFileAttributesW(path); // looked at again once loaded
        if (root)
        {
            ReadClassKeys(root, wow64, classIds);
            ::RegCloseKey(root);
        }
        if (mounted && HivePrivilegesOnThread())
        {
            ::RegUnLoadKeyW(HKEY_USERS, name);
            ::RevertToSelf();
        }
    }
    for (HANDLE handle : held)
        if (handle && handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
}

inline void ReadUsersStraight(const wchar_t* const (&classIds)[2])
{
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    // Who runs this, with which rights: the runner's own classes are read whatever they are.
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    {
        BYTE user[256];
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, user, sizeof user, &size);
        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        ::CloseHandle(token);
    }
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
        // Real users only: accounts of a machine, a domain or the cloud.
        if (::CompareStringOrdinal(sid, 9, L"S-1-5-21-", 9, FALSE) != CSTR_EQUAL &&
            ::CompareStringOrdinal(sid, 9, L"S-1-12-1-", 9, FALSE) != CSTR_EQUAL)
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
            ::wsprintfW(classes, L"%s\\Software\\Classes", sid);
            if (::RegOpenKeyExW(HKEY_USERS, classes, 0, KEY_READ | KEY_WOW64_64KEY, &root) != ERROR_SUCCESS)
            {
                // Only a folder on a local drive is looked in: each drive asked once.
                if (folder[0] != asked && folder[1] == L':')
                {
                    const wchar_t drive[] = {asked = folder[0], L':', L'\\', 0};
                    ::GetDriveTypeW(drive);
                }
                ReadClassesFile(folder, i, wow64, classIds);
                continue;
            }
        }
        ReadClassKeys(root, wow64, classIds);
        ::RegCloseKey(root);
    }
    ::RegCloseKey(list);
}

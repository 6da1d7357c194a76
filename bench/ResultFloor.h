// The result file a check keeps, written straight in Win32 for the floors (no C++ runtime, as they are
// built): the volume's root and each folder below ProgramData held with its owner and attributes read, each
// held again just before the write, then a file of the run's own name written, flushed and moved over the
// last one.
#pragma once
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

inline HANDLE HoldFolderStraight(const wchar_t* folder)
{
    return ::CreateFileW(folder, FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

inline void ReadOwnerStraight(HANDLE handle)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor);
    ::LocalFree(descriptor);
}

// `bytes` of JSON, any content: the cost is in the folders and the move.
inline void KeepResultStraight(DWORD bytes)
{
    wchar_t programData[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, programData, CSIDL_COMMON_APPDATA, FALSE))
        return;
    const wchar_t root[] = {programData[0], L':', L'\\', 0};
    const HANDLE rootHandle = HoldFolderStraight(root);
    ReadOwnerStraight(rootHandle);
    ::CloseHandle(rootHandle);
    wchar_t folders[2][MAX_PATH + 40];
    ::wsprintfW(folders[0], L"%s\\plotwing2fix-floor", programData);
    ::wsprintfW(folders[1], L"%s\\result", folders[0]);
    HANDLE held[2];
    for (int i = 0; i < 2; ++i)
    {
        held[i] = HoldFolderStraight(folders[i]);
        if (held[i] == INVALID_HANDLE_VALUE)
        {
            ::CreateDirectoryW(folders[i], nullptr);
            held[i] = HoldFolderStraight(folders[i]);
        }
        FILE_ATTRIBUTE_TAG_INFO tag{};
        ::GetFileInformationByHandleEx(held[i], FileAttributeTagInfo, &tag, sizeof tag);
        ::GetFileAttributesW(folders[i]);
        ReadOwnerStraight(held[i]);
    }
    for (int i = 0; i < 2; ++i)
    {
        const HANDLE now = HoldFolderStraight(folders[i]);
        BY_HANDLE_FILE_INFORMATION first{}, second{};
        FILE_ATTRIBUTE_TAG_INFO tag{};
        ::GetFileInformationByHandle(held[i], &first);
        ::GetFileInformationByHandle(now, &second);
        ::GetFileInformationByHandleEx(now, FileAttributeTagInfo, &tag, sizeof tag);
        ::GetFileAttributesW(folders[i]);
        ::CloseHandle(now);
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)",
                                                           SDDL_REVISION_1, &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    wchar_t temporary[MAX_PATH + 80], last[MAX_PATH + 60];
    ::wsprintfW(temporary, L"%s\\last-%lu.tmp", folders[1], ::GetCurrentProcessId());
    ::wsprintfW(last, L"%s\\last.json", folders[1]);
    const HANDLE file = ::CreateFileW(temporary, GENERIC_WRITE, 0, &attributes, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    char json[1024];
    ::FillMemory(json, sizeof json, 'j');
    DWORD written = 0;
    ::WriteFile(file, json, bytes < sizeof json ? bytes : sizeof json, &written, nullptr);
    ::FlushFileBuffers(file);
    ::CloseHandle(file);
    ::LocalFree(descriptor);
    ::MoveFileExW(temporary, last, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    for (HANDLE handle : held)
        ::CloseHandle(handle);
}

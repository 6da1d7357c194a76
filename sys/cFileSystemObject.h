#pragma once
#include "sys/cTextStream.h"
#include <windows.h>
#include <string>

// Existence tests, folder creation and appending text files, with the results callers rely on.
class cFileSystemObject
{
public:
    static constexpr int ForReading = 1;
    static constexpr int ForWriting = 2;
    static constexpr int ForAppending = 8;
    static constexpr int TristateFalse = 0;

    // True only for an existing file: false for an empty text, a folder or a missing file.
    bool FileExists(const std::wstring& path) const;
    // True only for an existing folder.
    bool FolderExists(const std::wstring& path) const;
    // "C:" for C:\dir, "\\server\share" for a UNC path, otherwise the empty text.
    std::wstring GetDriveName(const std::wstring& path) const;
    // The full path of `path`, resolved against the current folder; the text unchanged when it cannot be.
    std::wstring GetAbsolutePathName(const std::wstring& path) const;
    // Creates that one folder; throws cAppError when it cannot.
    void CreateFolder(const std::wstring& path) const;
    // Opens `path` for appending ANSI text (only ForAppending with TristateFalse is supported);
    // throws cAppError when it cannot be opened, or when the write could land elsewhere (AppendTargetOf).
    cTextStream OpenTextFile(const std::wstring& path, int ioMode = ForReading, bool create = false,
                             int format = TristateFalse) const;

    // What an append to a file would write into, judged from its attributes, reparse tag and link count.
    // The tool runs elevated and its log lies in a folder others can write, where a link may be planted.
    enum class eAppendTarget
    {
        File,        // a file of its own
        Placeholder, // a reparse point that names no other file, such as a cloud file kept in OneDrive
        Elsewhere, // a folder, a symbolic link, junction or mount point, or a file with other names: refused
    };
    static eAppendTarget AppendTargetOf(unsigned long attributes, unsigned long reparseTag,
                                        unsigned long links);
    // Whether a placeholder opened a second time is the very file inspected: the same volume and the whole
    // 64-bit file index.
    static bool IsSameFile(const BY_HANDLE_FILE_INFORMATION& was, const BY_HANDLE_FILE_INFORMATION& is);
};

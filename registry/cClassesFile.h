#pragma once
#include "registry/cHiveFile.h"
#include "sys/cOwned.h"
#include <array>
#include <map>
#include <string>

// A signed-out user's classes file, opened to be read as data (cHiveFile): one handle, without privileges,
// sharing read, write and delete so that Windows and the user's sign-in are never kept out, held only while
// the caller reads. Its pages are read once each, at explicit offsets.
class cClassesFile
{
public:
    // Where a profile keeps the classes file, below its folder.
    static constexpr const wchar_t* Below = L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
    static constexpr DWORD PageSize = 4096;
    enum class eOpen
    {
        Opened,
        NoFile,       // no file (or no folder) there: the user has no classes of their own
        AccessDenied, // the file or the profile folder refused to us
        InUse,        // held by another program without sharing, or locked
        Redirected,   // not the plain file at the profile's own place: a link on the way or at the file
        Failed,       // anything else: Status() says what
    };
    // From the opened file's attributes and link count, the path where the file must be (the profile folder's
    // final path and Below) and the file's own final path.
    static eOpen WayOf(DWORD attributes, DWORD links, const std::wstring& expected,
                       const std::wstring& opened);

    eOpen Open(const std::wstring& profileFolder);
    LONG Status() const noexcept { return m_status; } // the Win32 error behind an outcome other than Opened
    ULONGLONG Size() const noexcept { return m_size; }
    // Reads through this object's cache of pages; valid while it lives and the file is open.
    cHiveFile::cReader Reader();
    size_t PagesRead() const noexcept { return m_pagesRead; }
    void Close() noexcept;

private:
    const BYTE* PageAt(ULONGLONG page);

    cHandle m_file;
    ULONGLONG m_size = 0;
    LONG m_status = ERROR_SUCCESS;
    size_t m_pagesRead = 0;
    std::map<ULONGLONG, std::array<BYTE, PageSize>> m_pages;
};

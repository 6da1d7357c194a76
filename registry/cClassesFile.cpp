#include "registry/cClassesFile.h"
#include <cstring>

namespace
{
// The final path of an open handle (\\?\C:\...), empty when it has none to give.
std::wstring FinalPathOf(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (int tries = 0; tries < 2; ++tries)
    {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            break;
        if (length < path.size())
            return path.resize(length), path;
        path.resize(length);
    }
    return {};
}

cClassesFile::eOpen OutcomeOf(DWORD error)
{
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return cClassesFile::eOpen::NoFile;
    case ERROR_ACCESS_DENIED:
        return cClassesFile::eOpen::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return cClassesFile::eOpen::InUse;
    }
    return cClassesFile::eOpen::Failed;
}
} // namespace

cClassesFile::eOpen cClassesFile::WayOf(DWORD attributes, DWORD links, const std::wstring& expected,
                                        const std::wstring& opened)
{
    // Any folder on the way swapped for a link shows in the file's final path; a link at the file itself is
    // opened, not followed (FILE_FLAG_OPEN_REPARSE_POINT), and shows in its attributes; a hard link could be
    // a file the user made elsewhere.
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY) || links != 1 ||
        expected.empty() ||
        ::CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), opened.c_str(),
                               static_cast<int>(opened.size()), TRUE) != CSTR_EQUAL)
        return eOpen::Redirected;
    return eOpen::Opened;
}

cClassesFile::eOpen cClassesFile::Open(const std::wstring& profileFolder)
{
    Close();
    // The profile folder itself may be a junction (profiles moved to another drive): its final path, wherever
    // it leads, is where the file must be.
    const cHandle folder(::CreateFileW(profileFolder.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder)
        return m_status = static_cast<LONG>(::GetLastError()), OutcomeOf(static_cast<DWORD>(m_status));
    const std::wstring expected = FinalPathOf(folder.Get());
    // No backup semantics for the file: it is read with the rights its owner gave, never with privileges.
    m_file.Reset(::CreateFileW((profileFolder + Below).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION file{};
    if (!m_file || !::GetFileInformationByHandle(m_file.Get(), &file))
    {
        m_status = static_cast<LONG>(::GetLastError());
        Close();
        return OutcomeOf(static_cast<DWORD>(m_status));
    }
    const eOpen way = WayOf(file.dwFileAttributes, file.nNumberOfLinks,
                            expected.empty() ? L"" : expected + Below, FinalPathOf(m_file.Get()));
    if (way != eOpen::Opened)
        return Close(), m_status = ERROR_CANT_RESOLVE_FILENAME, way;
    m_size = (ULONGLONG{file.nFileSizeHigh} << 32) | file.nFileSizeLow;
    return eOpen::Opened;
}

void cClassesFile::Close() noexcept
{
    m_file.Reset();
    m_pages.clear();
    m_size = 0;
}

// The page at `page` (a multiple of PageSize), read once; null when it cannot be read whole.
const BYTE* cClassesFile::PageAt(ULONGLONG page)
{
    if (const auto known = m_pages.find(page); known != m_pages.end())
        return known->second.data();
    // A hostile file can make a reader walk far: the cache stays within 16 MiB.
    if (m_pages.size() >= 4096)
        m_pages.clear();
    std::array<BYTE, PageSize> bytes{};
    const DWORD want = static_cast<DWORD>(std::min<ULONGLONG>(PageSize, m_size - page));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(page);
    at.OffsetHigh = static_cast<DWORD>(page >> 32);
    DWORD got = 0;
    if (!::ReadFile(m_file.Get(), bytes.data(), want, &got, &at) || got != want)
        return nullptr;
    ++m_pagesRead;
    return m_pages.emplace(page, bytes).first->second.data();
}

cHiveFile::cReader cClassesFile::Reader()
{
    return [this](ULONGLONG offset, void* into, DWORD size) {
        if (!m_file || offset > m_size || size > m_size - offset)
            return false;
        for (DWORD done = 0; done < size;)
        {
            const ULONGLONG at = offset + done, page = at - at % PageSize;
            const BYTE* bytes = PageAt(page);
            if (!bytes)
                return false;
            const DWORD part = static_cast<DWORD>(std::min<ULONGLONG>(size - done, page + PageSize - at));
            std::memcpy(static_cast<BYTE*>(into) + done, bytes + (at - page), part);
            done += part;
        }
        return true;
    };
}

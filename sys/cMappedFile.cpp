#include "sys/cMappedFile.h"

cMappedFile::cMappedFile(const std::wstring& path)
{
    // Others may go on reading the file, or delete it, while it is mapped; nobody may write it meanwhile.
    m_file.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!m_file || !::GetFileSizeEx(m_file.Get(), &size))
    {
        m_status = ::GetLastError();
        return;
    }
    if (static_cast<ULONGLONG>(size.QuadPart) > MaxBytes)
    {
        m_status = ERROR_FILE_TOO_LARGE;
        return;
    }
    // CreateFileMapping refuses an empty file: it has no bytes to map, and that is no error.
    if (size.QuadPart == 0)
        return;
    m_mapping.Reset(::CreateFileMappingW(m_file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (m_mapping)
        m_view.Reset(::MapViewOfFile(m_mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!m_view)
    {
        m_status = ::GetLastError();
        return;
    }
    m_bytes = {static_cast<const BYTE*>(m_view.Get()), static_cast<size_t>(size.QuadPart)};
}

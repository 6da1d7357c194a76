#include "sys/cFileReader.h"
#include <algorithm>

cFileReader::cFileReader(const std::wstring& path)
{
    // Others may go on reading the file, or delete it, while it is read; nobody may write it meanwhile.
    m_file.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!m_file || !::GetFileSizeEx(m_file.Get(), &size))
    {
        m_status = ::GetLastError();
        m_file.Reset();
        return;
    }
    m_size = static_cast<ULONGLONG>(size.QuadPart);
}

DWORD cFileReader::ReadAt(ULONGLONG at, std::span<BYTE> into, size_t& read) const
{
    read = 0;
    if (!m_file)
        return m_status;
    while (read < into.size() && at + read < m_size)
    {
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at + read);
        where.OffsetHigh = static_cast<DWORD>((at + read) >> 32);
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(into.size() - read, 1 << 20));
        DWORD got = 0;
        if (!::ReadFile(m_file.Get(), into.data() + read, wanted, &got, &where))
        {
            const DWORD error = ::GetLastError();
            return error == ERROR_HANDLE_EOF ? ERROR_SUCCESS : error;
        }
        if (got == 0)
            break;
        read += got;
    }
    return ERROR_SUCCESS;
}

DWORD cFileReader::Identity(cIdentity& identity) const
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!m_file)
        return m_status;
    if (!::GetFileInformationByHandle(m_file.Get(), &information))
        return ::GetLastError();
    identity = {information.dwVolumeSerialNumber,
                (ULONGLONG{information.nFileIndexHigh} << 32) | information.nFileIndexLow,
                (ULONGLONG{information.nFileSizeHigh} << 32) | information.nFileSizeLow,
                (ULONGLONG{information.ftLastWriteTime.dwHighDateTime} << 32) |
                    information.ftLastWriteTime.dwLowDateTime};
    return ERROR_SUCCESS;
}

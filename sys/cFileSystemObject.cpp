#include "sys/cFileSystemObject.h"
#include "sys/cAppError.h"

namespace
{
DWORD Attributes(const std::wstring& path)
{
    return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
}

bool IsSlash(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

[[noreturn]] void ThrowFileError(DWORD error, const wchar_t* source);

// A cloud file's filter fetches and keeps its data only for an ordinary open, not for one of the reparse
// point itself: the placeholder is opened again so, and must still be the file that was inspected.
cHandle OpenThroughFilter(const std::wstring& path, const cHandle& inspected)
{
    cHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        ThrowFileError(::GetLastError(), L"cFileSystemObject");
    BY_HANDLE_FILE_INFORMATION was{}, is{};
    if (!::GetFileInformationByHandle(inspected.Get(), &was) ||
        !::GetFileInformationByHandle(file.Get(), &is) || !cFileSystemObject::IsSameFile(was, is))
        throw cAppError::Standard(errnum::PermissionDenied, L"cFileSystemObject");
    return file;
}

[[noreturn]] void ThrowFileError(DWORD error, const wchar_t* source)
{
    // The numbers and texts a script runtime reports for the usual causes; others pass through.
    switch (error)
    {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        throw cAppError::Standard(errnum::FileExists, source);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
        throw cAppError::Standard(errnum::PathNotFound, source);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        throw cAppError::Standard(errnum::PermissionDenied, source);
    default:
        throw cAppError(static_cast<long>(error), SystemMessage(error), source);
    }
}
} // namespace

bool cFileSystemObject::FileExists(const std::wstring& path) const
{
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool cFileSystemObject::FolderExists(const std::wstring& path) const
{
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring cFileSystemObject::GetDriveName(const std::wstring& path) const
{
    if (path.size() >= 2 && path[1] == L':' &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
        return path.substr(0, 2);
    if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1]))
    {
        // \\server\share: both parts must be there.
        const size_t serverEnd = path.find_first_of(L"\\/", 2);
        if (serverEnd == std::wstring::npos || serverEnd == 2)
            return {};
        const size_t shareEnd = path.find_first_of(L"\\/", serverEnd + 1);
        if (shareEnd == serverEnd + 1 || serverEnd + 1 == path.size())
            return {};
        return path.substr(0, shareEnd);
    }
    return {};
}

std::wstring cFileSystemObject::GetAbsolutePathName(const std::wstring& path) const
{
    if (path.empty())
        return path;
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

void cFileSystemObject::CreateFolder(const std::wstring& path) const
{
    if (path.empty())
        throw cAppError::Standard(errnum::InvalidCall, L"cFileSystemObject");
    if (!::CreateDirectoryW(path.c_str(), nullptr))
        ThrowFileError(::GetLastError(), L"cFileSystemObject");
}

cTextStream cFileSystemObject::OpenTextFile(const std::wstring& path, int ioMode, bool create,
                                            int format) const
{
    if (ioMode != ForAppending || format != TristateFalse || path.empty())
        throw cAppError::Standard(errnum::InvalidCall, L"cFileSystemObject");
    // Windows refuses longer paths without the long-path opt-in; refuse them everywhere alike.
    if (path.size() >= MAX_PATH)
        throw cAppError::Standard(errnum::PathNotFound, L"cFileSystemObject");
    // FILE_FLAG_OPEN_REPARSE_POINT: a link planted at the file itself is opened, not followed. Other writers
    // are let in: with FILE_APPEND_DATA alone every write lands at the end, so two logging programs (the
    // window and the console program) lose no entry, and one entry is one write, never interleaved. Reading
    // is asked for only because taking turns with a file lock needs it (cTextStream).
    cHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               create ? OPEN_ALWAYS : OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        ThrowFileError(::GetLastError(), L"cFileSystemObject");
    // Links and attributes only: GetFileInformationByHandle also asks for the volume's serial number,
    // which under Wine is a round trip to its mount manager on every log entry.
    FILE_STANDARD_INFO standard{};
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(file.Get(), FileStandardInfo, &standard, sizeof standard) ||
        !::GetFileInformationByHandleEx(file.Get(), FileAttributeTagInfo, &tag, sizeof tag))
        ThrowFileError(::GetLastError(), L"cFileSystemObject");
    switch (AppendTargetOf(tag.FileAttributes, tag.ReparseTag, standard.NumberOfLinks))
    {
    case eAppendTarget::File:
        return cTextStream(std::move(file));
    case eAppendTarget::Placeholder:
        return cTextStream(OpenThroughFilter(path, file));
    case eAppendTarget::Elsewhere:
        break;
    }
    throw cAppError::Standard(errnum::PermissionDenied, L"cFileSystemObject");
}

bool cFileSystemObject::IsSameFile(const BY_HANDLE_FILE_INFORMATION& was,
                                   const BY_HANDLE_FILE_INFORMATION& is)
{
    return was.dwVolumeSerialNumber == is.dwVolumeSerialNumber && was.nFileIndexHigh == is.nFileIndexHigh &&
           was.nFileIndexLow == is.nFileIndexLow;
}

cFileSystemObject::eAppendTarget cFileSystemObject::AppendTargetOf(unsigned long attributes,
                                                                   unsigned long reparseTag,
                                                                   unsigned long links)
{
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || links > 1)
        return eAppendTarget::Elsewhere;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return eAppendTarget::File;
    return IsReparseTagNameSurrogate(reparseTag) ? eAppendTarget::Elsewhere : eAppendTarget::Placeholder;
}

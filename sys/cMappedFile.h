#pragma once
#include "sys/cOwned.h"
#include <windows.h>
#include <span>
#include <string>

// A whole file mapped read-only, so that a reader of its bytes needs no copy and cannot change it.
class cMappedFile
{
public:
    // Larger files are refused: no file the tool reads is near it, and a view that large may not fit the
    // 32-bit process's address space at all.
    static constexpr ULONGLONG MaxBytes = 1ull << 30;

    explicit cMappedFile(const std::wstring& path);
    cMappedFile(const cMappedFile&) = delete;
    cMappedFile& operator=(const cMappedFile&) = delete;

    // Empty unless mapped, or when the file is empty.
    std::span<const BYTE> Bytes() const noexcept { return m_bytes; }
    // ERROR_SUCCESS when mapped (an empty file too), ERROR_FILE_TOO_LARGE beyond MaxBytes, else the system's.
    DWORD Status() const noexcept { return m_status; }

private:
    cHandle m_file;
    cHandle m_mapping;
    cOwned<ViewTraits> m_view;
    std::span<const BYTE> m_bytes;
    DWORD m_status = ERROR_SUCCESS;
};

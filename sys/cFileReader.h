#pragma once
#include "sys/cOwned.h"
#include <windows.h>
#include <span>
#include <string>

// A file opened for reading by ranges with ReadFile. A mapped view would turn a failing volume's in-page
// error into an exception that ends the process; a read gives it back as a status.
class cFileReader
{
public:
    // What tells one version of a file from another without reading it.
    struct cIdentity
    {
        DWORD Volume = 0;
        ULONGLONG Id = 0;
        ULONGLONG Size = 0;
        ULONGLONG Written = 0;
        bool operator==(const cIdentity&) const = default;
    };

    explicit cFileReader(const std::wstring& path);
    cFileReader(const cFileReader&) = delete;
    cFileReader& operator=(const cFileReader&) = delete;

    // ERROR_SUCCESS once open (an empty file too), else the system's.
    DWORD Status() const noexcept { return m_status; }
    ULONGLONG Size() const noexcept { return m_size; }
    // Fills `into` from `at`, as far as the file goes (`read` bytes); the system's status.
    DWORD ReadAt(ULONGLONG at, std::span<BYTE> into, size_t& read) const;
    // The open file's identity, with the system's status.
    DWORD Identity(cIdentity& identity) const;

private:
    cHandle m_file;
    ULONGLONG m_size = 0;
    DWORD m_status = ERROR_SUCCESS;
};

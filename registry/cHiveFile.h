#pragma once
#include "registry/cKey.h"
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A registry file (a user's UsrClass.dat) read as data, without loading it: a load could stay behind, apply
// the file's transaction logs and write the user's file, and takes privileges. Only the pages a lookup needs
// are read. The format as M. Suhanov documents it publicly (github.com/msuhanov/regf): base block, hive bins,
// cells; key nodes (nk), values (vk), subkey lists (li, lf, lh, ri), big data (db). Everything in the file is
// hostile: each offset, size and count is checked before it is used, and the first fault found fails every
// later call the same way.
class cHiveFile
{
public:
    // Reads `size` bytes at `offset` of the file into `into`: false when they cannot all be read.
    using cReader = std::function<bool(ULONGLONG offset, void* into, DWORD size)>;
    enum class eFault
    {
        None,
        Unreadable,     // the reader failed
        NotAHive,       // no base block of a primary hive file of a version we know
        Checksum,       // the base block's checksum does not match it
        UnsavedChanges, // the sequence numbers differ: the logs hold changes the file lacks
        Damaged,        // an offset, size, count or signature that no writer makes
        DuplicateName,  // two keys of one parent (or values of one key) whose names compare equal
        Link,           // a key on the way is a symbolic link
        Loop,           // a list that lists itself, an index root inside one, a key that is its own subkey
        Bound,          // past a limit of ours, below: not proof of damage
    };
    // Our limits: Windows' own depth of keys, and more entries or a larger bin than a classes file has.
    static constexpr size_t MaxDepth = 512;
    static constexpr ULONG MaxEntries = 65536;
    static constexpr ULONG MaxBinPages = 256;

    cHiveFile(cReader read, ULONGLONG fileSize) : m_read(std::move(read)), m_fileSize(fileSize) {}
    eFault Open(); // the base block and the root key
    struct cNode
    {
        ULONG Cell = 0;
    };
    // `path` below `from` (nullptr: the root key), names separated by '\'. ERROR_SUCCESS with `key`,
    // ERROR_FILE_NOT_FOUND when a name is missing, ERROR_REGISTRY_CORRUPT once any fault was met.
    LONG OpenKey(const cNode* from, const std::wstring& path, cNode& key);
    // A value of `key` (empty name: its default value), as cKey::Read gives the same type and bytes;
    // Unreadable with ERROR_REGISTRY_CORRUPT once any fault was met.
    cKey::cValue Read(const cNode& key, const std::wstring& name = {});
    eFault Fault() const noexcept { return m_fault; }
    static const wchar_t* ReasonOf(eFault fault);

private:
    bool Fail(eFault fault); // records the first fault; false
    bool BaseBlockRead();
    bool Bytes(ULONGLONG at, void* into, DWORD size);
    bool BinOf(ULONG offset, ULONG& start, ULONG& end);
    bool Cell(ULONG offset, ULONG need, std::vector<BYTE>& data);
    bool Record(ULONG offset, const char (&signature)[3], ULONG fixed, ULONG lengthAt,
                std::vector<BYTE>& data);
    bool Named(const std::vector<BYTE>& record, ULONG fixed, ULONG length, bool compressed,
               std::wstring_view name, ULONG limit, bool& equal);
    bool Key(ULONG offset, std::vector<BYTE>& nk);
    bool Child(ULONG parent, std::wstring_view name, ULONG& child);
    bool Data(const std::vector<BYTE>& vk, std::vector<BYTE>& data);

    cReader m_read;
    ULONGLONG m_fileSize;
    eFault m_fault = eFault::None;
    bool m_open = false;
    ULONG m_minor = 0, m_root = 0, m_binsSize = 0;
    std::map<ULONG, ULONG> m_bins; // start -> end of each bin found, relative to the bins
};

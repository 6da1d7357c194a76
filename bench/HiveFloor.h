// A signed-out user's classes file read as data, written straight in Win32, for the floors: the file opened
// shared with every writer, its base block, and from the root down the path each key's subkey list (an index
// root's leaves too) and the keys it names, then the value list, the value's record and its data, each read
// at its offset with nothing checked.
#pragma once
#include <windows.h>

namespace hivefloor
{
// Up to `size` bytes at `offset` of the hive bins, which start after the 4 KiB base block.
inline bool At(HANDLE file, DWORD offset, void* into, DWORD size)
{
    OVERLAPPED at{};
    at.Offset = 4096 + offset;
    DWORD got = 0;
    return ::ReadFile(file, into, size, &got, &at) && got != 0; // short at the end of the file: what is there
}

inline DWORD U32(const BYTE* at)
{
    DWORD value;
    ::CopyMemory(&value, at, sizeof value);
    return value;
}

// Whether the record's name (`length` bytes at `name`, one byte a character when `compressed`) is `wanted`.
inline bool Named(const BYTE* name, DWORD length, bool compressed, const wchar_t* wanted)
{
    wchar_t text[256];
    const DWORD count = compressed ? length : length / 2;
    if (count > 255)
        return false;
    for (DWORD i = 0; i < count; ++i)
        text[i] = compressed ? name[i] : static_cast<wchar_t>(name[2 * i] | name[2 * i + 1] << 8);
    return ::CompareStringOrdinal(text, static_cast<int>(count), wanted, -1, TRUE) == CSTR_EQUAL;
}

// The subkey `name` of the key at `key`, through its list (an index root's leaves each in turn); 0 when none.
inline DWORD Child(HANDLE file, DWORD key, const wchar_t* name)
{
    BYTE nk[80], header[4];
    if (!At(file, key + 4, nk, sizeof nk) || U32(nk + 20) == 0 || !At(file, U32(nk + 28) + 4, header, 4))
        return 0;
    const HANDLE heap = ::GetProcessHeap();
    DWORD found = 0, leaves[512], count = 1, hash = 0;
    for (const wchar_t* c = name; *c; ++c) // a hash leaf's hash of the name: of its upper case
        hash = hash * 37 + static_cast<DWORD>(*c >= L'a' && *c <= L'z' ? *c - L'a' + L'A' : *c);
    leaves[0] = U32(nk + 28);
    if (header[0] == 'r')
    {
        count = header[2] | header[3] << 8;
        if (count > 512 || !At(file, leaves[0] + 8, leaves, 4 * count))
            return 0;
    }
    for (DWORD l = 0; l < count && !found; ++l)
    {
        if (!At(file, leaves[l] + 4, header, 4))
            break;
        const DWORD entries = header[2] | header[3] << 8, width = header[1] == 'i' ? 4 : 8;
        BYTE* list = static_cast<BYTE*>(::HeapAlloc(heap, 0, entries * width + 1));
        if (list && At(file, leaves[l] + 8, list, entries * width))
            for (DWORD i = 0; i < entries && !found; ++i)
            {
                BYTE child[80 + 512];
                if (header[1] == 'h' && U32(list + i * width + 4) != hash)
                    continue;
                if (At(file, U32(list + i * width) + 4, child, sizeof child) &&
                    Named(child + 76, child[72] | child[73] << 8, child[2] & 0x20, name))
                    found = U32(list + i * width);
            }
        ::HeapFree(heap, 0, list);
    }
    return found;
}
} // namespace hivefloor

// The root key's offset, from the file's base block; 0 when it cannot be read.
inline DWORD HiveRoot(HANDLE file)
{
    BYTE base[512];
    OVERLAPPED start{};
    DWORD got = 0;
    return ::ReadFile(file, base, sizeof base, &got, &start) && got == sizeof base ? hivefloor::U32(base + 36)
                                                                                   : 0;
}

// The key at `path` (names, null at the end) below the root at `root` in the classes file `file`, and its
// value `value` (none: the key alone).
inline void ReadHiveStraight(HANDLE file, DWORD root, const wchar_t* const* path, const wchar_t* value)
{
    using namespace hivefloor;
    DWORD key = root;
    for (; key && *path; ++path)
        key = Child(file, key, *path);
    BYTE nk[80];
    if (value && key && At(file, key + 4, nk, sizeof nk))
    {
        const DWORD count = U32(nk + 36) < 1024 ? U32(nk + 36) : 1024;
        DWORD list[1024];
        if (At(file, U32(nk + 40) + 4, list, 4 * count))
            for (DWORD i = 0; i < count; ++i)
            {
                BYTE vk[20 + 512];
                if (!At(file, list[i] + 4, vk, sizeof vk) ||
                    !Named(vk + 20, vk[2] | vk[3] << 8, vk[16] & 1, value))
                    continue;
                wchar_t data[MAX_PATH];
                const DWORD size = U32(vk + 4) & 0x7FFFFFFF;
                if (!(vk[7] & 0x80) && size <= sizeof data)
                    At(file, U32(vk + 8) + 4, data, size);
                break;
            }
    }
}

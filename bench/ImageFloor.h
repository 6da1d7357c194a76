// The expected file judged from its bytes, written straight in Win32, for the floors: the file mapped, its
// headers, section table, resource types and import names read, and each imported DLL looked for where the
// loader looks (its own folder, the system folders, the machine's PATH). The demo's files import only system
// DLLs, which are not followed.
#pragma once
#include <windows.h>
#include <string.h>

namespace imagefloor
{
// The bytes at `rva`, through the section that holds it; null outside every section's raw data.
inline const BYTE* At(const BYTE* base, SIZE_T size, const IMAGE_SECTION_HEADER* sections, WORD count,
                      DWORD rva)
{
    for (WORD i = 0; i < count; ++i)
    {
        const IMAGE_SECTION_HEADER& s = sections[i];
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData &&
            s.PointerToRawData + (rva - s.VirtualAddress) < size)
            return base + s.PointerToRawData + (rva - s.VirtualAddress);
    }
    return nullptr;
}

// Whether `name` lies in `folder`.
inline bool In(const wchar_t* folder, const char* name)
{
    wchar_t path[MAX_PATH * 2];
    ::wsprintfW(path, L"%s\\%S", folder, name);
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}
} // namespace imagefloor

inline void ReadImageStraight(const wchar_t* path)
{
    using namespace imagefloor;
    const HANDLE file =
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file, &size);
    const HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const BYTE* base =
        mapping ? static_cast<const BYTE*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) : nullptr;
    const SIZE_T bytes = static_cast<SIZE_T>(size.QuadPart);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (base && bytes > sizeof(IMAGE_DOS_HEADER) && dos->e_magic == IMAGE_DOS_SIGNATURE &&
        static_cast<SIZE_T>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32) < bytes)
    {
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
        const bool plus = nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        const IMAGE_DATA_DIRECTORY* dirs =
            plus ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory
                 : nt->OptionalHeader.DataDirectory;
        const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
            reinterpret_cast<const BYTE*>(&nt->OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
        const WORD count = nt->FileHeader.NumberOfSections;
        if (reinterpret_cast<const BYTE*>(sections + count) <= base + bytes)
        {
            // The folders the loader looks in, the machine's PATH among them.
            wchar_t system[MAX_PATH] = {}, windows[MAX_PATH] = {}, system16[MAX_PATH + 8] = {};
            ::GetSystemDirectoryW(system, MAX_PATH);
            ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
            ::wsprintfW(system16, L"%s\\System", windows);
            wchar_t own[MAX_PATH];
            ::lstrcpynW(own, path, MAX_PATH);
            for (int i = ::lstrlenW(own); i > 0; --i)
                if (own[i - 1] == L'\\')
                {
                    own[i - 1] = 0;
                    break;
                }
            wchar_t stored[2048] = {}, machinePath[4096] = {};
            DWORD pathSize = sizeof stored;
            ::RegGetValueW(HKEY_LOCAL_MACHINE,
                           L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", L"Path",
                           RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, stored, &pathSize);
            ::ExpandEnvironmentStringsW(stored, machinePath, 4096);
            // The manifest's resource type among the top-level ones.
            if (const auto* resources = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(
                    At(base, bytes, sections, count, dirs[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress)))
            {
                const auto* entries = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(resources + 1);
                for (WORD i = 0; i < resources->NumberOfIdEntries + resources->NumberOfNamedEntries &&
                                 reinterpret_cast<const BYTE*>(entries + i + 1) <= base + bytes;
                     ++i)
                    if (entries[i].Id == 24)
                        break;
            }
            const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
                At(base, bytes, sections, count, dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress));
            for (; descriptor && reinterpret_cast<const BYTE*>(descriptor + 1) <= base + bytes &&
                   descriptor->Name;
                 ++descriptor)
            {
                const char* name =
                    reinterpret_cast<const char*>(At(base, bytes, sections, count, descriptor->Name));
                if (!name || ::_strnicmp(name, "api-ms-", 7) == 0) // an API set: the loader's own
                    continue;
                if (In(own, name) || In(system, name) || In(system16, name) || In(windows, name))
                    continue;
                for (wchar_t *entry = machinePath, *end = machinePath, asked = 0; *entry; entry = end)
                {
                    // Only a folder on a local drive is looked in: each drive asked once.
                    if (entry[0] != asked && entry[1] == L':')
                    {
                        const wchar_t root[] = {asked = entry[0], L':', L'\\', 0};
                        ::GetDriveTypeW(root);
                    }
                    while (*end && *end != L';')
                        ++end;
                    const wchar_t kept = *end;
                    *end = 0;
                    const bool found = *entry && In(entry, name);
                    *end = kept;
                    if (kept)
                        ++end;
                    if (found)
                        break;
                }
            }
        }
    }
    if (base)
        ::UnmapViewOfFile(base);
    if (mapping)
        ::CloseHandle(mapping);
    ::CloseHandle(file);
}

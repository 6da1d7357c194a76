#include "image/cPeImage.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace
{
// The Windows loader takes at most 96 sections, as the format's documentation says; the other bounds only
// keep a hostile table from taking long.
constexpr uint64_t MaxSections = 96, MaxDescriptors = 4096, MaxEntries = 4096, MaxNameBytes = 256;
constexpr WORD ResourceManifest = 24, ManifestId = 2; // RT_MANIFEST; the id a DLL's own manifest has

// A run of the file's bytes that one structure may use: the raw data of a section, or the headers.
struct cRegion
{
    uint64_t At;
    uint64_t End;
    bool Holds(uint64_t offset, uint64_t size) const
    {
        return offset <= End - At && size <= End - At - offset;
    }
};

// The bytes and what the headers say about mapping them. All arithmetic is 64-bit: a 32-bit RVA plus a size
// can wrap, and size_t is 32 bits wide in the shipped build.
class cLayout
{
public:
    explicit cLayout(std::span<const BYTE> bytes) : m_bytes(bytes) {}
    bool Fits(uint64_t at, uint64_t size) const
    {
        return at <= m_bytes.size() && size <= m_bytes.size() - at;
    }
    // Whatever a caller checked, nothing is read beyond the end: a read outside gives zeros.
    template <class T>
    T Get(uint64_t at) const
    {
        T value{};
        if (Fits(at, sizeof value))
            std::memcpy(&value, m_bytes.data() + at, sizeof value);
        return value;
    }
    WORD Word(uint64_t at) const { return Get<WORD>(at); }
    DWORD Dword(uint64_t at) const { return Get<DWORD>(at); }
    std::string_view Text(uint64_t at, uint64_t size) const
    {
        if (!Fits(at, size))
            return {};
        return {reinterpret_cast<const char*>(m_bytes.data() + at), static_cast<size_t>(size)};
    }

    // Where the bytes at `rva` lie in the file, and how far the structure holding them may go: a section's
    // virtual range (the larger of its two sizes) maps onto its raw data only as far as that goes, since
    // the rest is zero-fill the file does not hold.
    std::optional<cRegion> Map(uint64_t rva) const
    {
        for (const IMAGE_SECTION_HEADER& section : Sections)
        {
            const uint64_t delta = rva - section.VirtualAddress;
            if (rva < section.VirtualAddress ||
                delta >= std::max(section.Misc.VirtualSize, section.SizeOfRawData))
                continue;
            if (delta >= section.SizeOfRawData)
                return std::nullopt;
            return cRegion{section.PointerToRawData + delta,
                           uint64_t{section.PointerToRawData} + section.SizeOfRawData};
        }
        if (rva < SizeOfHeaders)
            return cRegion{rva, SizeOfHeaders};
        return std::nullopt;
    }

    std::vector<IMAGE_SECTION_HEADER> Sections;
    uint64_t SizeOfHeaders = 0;
    uint64_t ImageBase = 0;

private:
    std::span<const BYTE> m_bytes;
};

bool SameAscii(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

void AddOnce(std::vector<std::string>& names, std::string_view name)
{
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& known) { return SameAscii(known, name); }))
        names.emplace_back(name);
}

// A name runs up to its NUL, which must come within its region and its first 256 bytes; one that does not
// end there is shown but never looked up. False when the name lies nowhere in the file.
bool ReadName(const cLayout& layout, uint64_t rva, std::vector<std::string>& names,
              std::vector<std::string>& unplain)
{
    const std::optional<cRegion> region = layout.Map(rva);
    if (!region)
        return false;
    const std::string_view room = layout.Text(region->At, std::min(region->End - region->At, MaxNameBytes));
    const size_t nul = room.find('\0');
    const std::string_view name = room.substr(0, nul);
    if (nul != std::string_view::npos && cPeImage::IsPlainName(name))
        AddOnce(names, name);
    else
    {
        const std::string shown = cPeImage::Shown(name);
        if (std::find(unplain.begin(), unplain.end(), shown) == unplain.end())
            unplain.push_back(shown);
    }
    return true;
}

// The names of an import (20-byte descriptors) or delay-load (32-byte) directory. False when the directory
// maps nowhere, a name lies nowhere, or the list does not end within its region or its bound.
bool ReadDescriptors(const cLayout& layout, const IMAGE_DATA_DIRECTORY& directory, bool delayLoad,
                     std::vector<std::string>& names, std::vector<std::string>& unplain)
{
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return true;
    const std::optional<cRegion> region = layout.Map(directory.VirtualAddress);
    if (!region)
        return false;
    const uint64_t stride = delayLoad ? 32 : sizeof(IMAGE_IMPORT_DESCRIPTOR);
    for (uint64_t i = 0; i < MaxDescriptors; ++i)
    {
        if (!region->Holds(i * stride, stride))
            return false;
        const uint64_t at = region->At + i * stride;
        uint64_t name = 0;
        if (delayLoad)
        {
            name = layout.Dword(at + 4);
            if (name == 0)
                return true;
            // Old linkers wrote virtual addresses and left the RVA attribute (bit 0) clear.
            if ((layout.Dword(at) & 1) == 0)
                name = name >= layout.ImageBase ? name - layout.ImageBase : UINT64_MAX;
        }
        else
        {
            name = layout.Dword(at + offsetof(IMAGE_IMPORT_DESCRIPTOR, Name));
            // The loader stops at a descriptor without a name or an address table, not only at an empty one.
            if (name == 0 || layout.Dword(at + offsetof(IMAGE_IMPORT_DESCRIPTOR, FirstThunk)) == 0)
                return true;
        }
        if (!ReadName(layout, name, names, unplain))
            return false;
    }
    return false;
}

// The offset field of the entry named `id` (or of the first entry, when `id` is absent) in the resource
// directory `at` bytes into the resource tree.
std::optional<DWORD> ResourceEntry(const cLayout& layout, const cRegion& tree, uint64_t at,
                                   std::optional<WORD> id)
{
    if (!tree.Holds(at, sizeof(IMAGE_RESOURCE_DIRECTORY)))
        return std::nullopt;
    const auto directory = layout.Get<IMAGE_RESOURCE_DIRECTORY>(tree.At + at);
    const uint64_t count = uint64_t{directory.NumberOfNamedEntries} + directory.NumberOfIdEntries;
    for (uint64_t i = 0; i < std::min(count, MaxEntries); ++i)
    {
        const uint64_t entry = at + sizeof directory + i * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY);
        if (!tree.Holds(entry, sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY)))
            return std::nullopt;
        // A named entry has its top bit set, so it never equals an id.
        if (!id || layout.Dword(tree.At + entry) == *id)
            return layout.Dword(tree.At + entry + 4);
    }
    return std::nullopt;
}

// Type, then id, then language: three levels and no more, so an entry pointing back up cannot loop.
std::optional<std::string> ReadManifest(const cLayout& layout, const IMAGE_DATA_DIRECTORY& directory)
{
    const std::optional<cRegion> tree =
        directory.VirtualAddress && directory.Size ? layout.Map(directory.VirtualAddress) : std::nullopt;
    if (!tree)
        return std::nullopt;
    const std::optional<WORD> path[] = {ResourceManifest, ManifestId, std::nullopt};
    uint64_t at = 0;
    for (size_t level = 0; level < std::size(path); ++level)
    {
        const std::optional<DWORD> offset = ResourceEntry(layout, *tree, at, path[level]);
        const bool toDirectory = level + 1 < std::size(path);
        if (!offset || ((*offset & 0x80000000) != 0) != toDirectory)
            return std::nullopt;
        at = *offset & 0x7FFFFFFF;
    }
    if (!tree->Holds(at, sizeof(IMAGE_RESOURCE_DATA_ENTRY)))
        return std::nullopt;
    const auto data = layout.Get<IMAGE_RESOURCE_DATA_ENTRY>(tree->At + at);
    const std::optional<cRegion> bytes = layout.Map(data.OffsetToData);
    if (!bytes || !bytes->Holds(0, data.Size))
        return std::nullopt;
    return std::string(layout.Text(bytes->At, data.Size));
}
} // namespace

cPeImage::cInfo cPeImage::Read(std::span<const BYTE> bytes)
{
    cInfo info;
    cLayout layout(bytes);
    if (!layout.Fits(0, 2) || layout.Word(0) != IMAGE_DOS_SIGNATURE)
        return info;
    info.Shape = eShape::Truncated;
    const uint64_t pe = layout.Dword(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!layout.Fits(0, sizeof(IMAGE_DOS_HEADER)) || !layout.Fits(pe, 4))
        return info;
    if (layout.Dword(pe) != IMAGE_NT_SIGNATURE)
    {
        info.Shape = eShape::NotAnImage;
        return info;
    }
    const uint64_t optional = pe + 4 + sizeof(IMAGE_FILE_HEADER);
    if (!layout.Fits(pe + 4, sizeof(IMAGE_FILE_HEADER)))
        return info;
    const auto header = layout.Get<IMAGE_FILE_HEADER>(pe + 4);
    info.Machine = header.Machine;
    info.Dll = (header.Characteristics & IMAGE_FILE_DLL) != 0;
    if (header.NumberOfSections > MaxSections)
    {
        info.Shape = eShape::Damaged;
        return info;
    }
    if (!layout.Fits(optional, 2))
        return info;
    const WORD magic = layout.Word(optional);
    if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
    {
        info.Shape = eShape::NotAnImage;
        return info;
    }
    info.Pe32Plus = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    // The fields before the data directories, and the directories the header counts, must all lie inside
    // the optional header: otherwise they would be read from the section table that follows it.
    const uint64_t directories =
        optional + (info.Pe32Plus ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                  : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    if (!layout.Fits(optional, header.SizeOfOptionalHeader))
        return info;
    const uint64_t counted = std::min<uint64_t>(IMAGE_NUMBEROF_DIRECTORY_ENTRIES,
                                                layout.Dword(directories - 4)); // NumberOfRvaAndSizes
    if (directories + counted * sizeof(IMAGE_DATA_DIRECTORY) > optional + header.SizeOfOptionalHeader)
    {
        info.Shape = eShape::Damaged;
        return info;
    }
    layout.ImageBase = info.Pe32Plus
                           ? layout.Get<ULONGLONG>(optional + offsetof(IMAGE_OPTIONAL_HEADER64, ImageBase))
                           : layout.Dword(optional + offsetof(IMAGE_OPTIONAL_HEADER32, ImageBase));
    layout.SizeOfHeaders = layout.Dword(optional + offsetof(IMAGE_OPTIONAL_HEADER32, SizeOfHeaders));
    const uint64_t table = optional + header.SizeOfOptionalHeader;
    if (!layout.Fits(table, header.NumberOfSections * uint64_t{sizeof(IMAGE_SECTION_HEADER)}) ||
        !layout.Fits(0, layout.SizeOfHeaders))
        return info;
    for (uint64_t i = 0; i < header.NumberOfSections; ++i)
    {
        const auto section = layout.Get<IMAGE_SECTION_HEADER>(table + i * sizeof(IMAGE_SECTION_HEADER));
        if (section.SizeOfRawData != 0 && !layout.Fits(section.PointerToRawData, section.SizeOfRawData))
            return info;
        layout.Sections.push_back(section);
    }
    const auto directory = [&](uint64_t index) {
        return index < counted
                   ? layout.Get<IMAGE_DATA_DIRECTORY>(directories + index * sizeof(IMAGE_DATA_DIRECTORY))
                   : IMAGE_DATA_DIRECTORY{};
    };
    info.Manifest = ReadManifest(layout, directory(IMAGE_DIRECTORY_ENTRY_RESOURCE));
    const bool whole =
        ReadDescriptors(layout, directory(IMAGE_DIRECTORY_ENTRY_IMPORT), false, info.Imports, info.Unplain) &&
        ReadDescriptors(layout, directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT), true, info.DelayImports,
                        info.Unplain);
    info.Shape = whole ? eShape::Image : eShape::Damaged;
    return info;
}

cPeImage::eMachine cPeImage::MachineOf(WORD machine)
{
    switch (machine)
    {
    case IMAGE_FILE_MACHINE_I386:
        return eMachine::X86;
    case IMAGE_FILE_MACHINE_AMD64:
        return eMachine::X64;
    case IMAGE_FILE_MACHINE_ARM64:
        return eMachine::Arm64;
    default:
        return eMachine::Other;
    }
}

bool cPeImage::IsPlainName(std::string_view name)
{
    // A trailing dot also rules out "." and "..".
    if (name.empty() || name.size() > 255 || name.back() == '.' || name.back() == ' ')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x7F &&
               std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos;
    });
}

std::string cPeImage::Shown(std::string_view name)
{
    std::string shown(name.substr(0, 32));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    return shown.empty() ? "?" : shown;
}

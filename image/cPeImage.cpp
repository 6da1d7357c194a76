#include "image/cPeImage.h"
#include "sys/cFileReader.h"
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <map>
#include <set>

namespace
{
// The Windows loader takes at most 96 sections, as the format's documentation says. The other bounds are this
// reader's own, against a hostile table: what lies beyond them is not judged, never taken for damage.
constexpr uint64_t MaxSections = 96, MaxDescriptors = 4096, MaxEntries = 4096, MaxNameBytes = 256,
                   MaxManifestBytes = 1 << 20;
constexpr WORD ResourceManifest = 24; // RT_MANIFEST
constexpr uint64_t BlockBytes = 4096, MaxBlocks = 256;

// The file's bytes, read by blocks as they are asked for. Whatever a caller checked, nothing is read beyond
// the end: a read outside, or after a failed one, gives zeros, and the failure is kept.
class cFile
{
public:
    cFile(uint64_t size, const cPeImage::cRead& read) : m_size(size), m_read(read) {}
    bool Fits(uint64_t at, uint64_t size) const { return at <= m_size && size <= m_size - at; }
    void Copy(uint64_t at, std::span<BYTE> into)
    {
        std::fill(into.begin(), into.end(), BYTE{0});
        for (size_t done = 0; done < into.size() && Fits(at + done, 1);)
        {
            const std::vector<BYTE>& block = Block((at + done) / BlockBytes);
            const size_t from = static_cast<size_t>((at + done) % BlockBytes);
            if (from >= block.size())
                break;
            const size_t count = std::min(block.size() - from, into.size() - done);
            std::copy_n(block.begin() + static_cast<ptrdiff_t>(from), count, into.begin() + done);
            done += count;
        }
    }
    template <class T>
    T Get(uint64_t at)
    {
        T value{};
        Copy(at, {reinterpret_cast<BYTE*>(&value), sizeof value});
        return value;
    }
    DWORD Error() const { return m_error; }

private:
    const std::vector<BYTE>& Block(uint64_t index)
    {
        if (const auto kept = m_blocks.find(index); kept != m_blocks.end())
            return kept->second;
        if (m_blocks.size() >= MaxBlocks)
            m_blocks.clear();
        std::vector<BYTE> block(BlockBytes);
        size_t read = 0;
        const DWORD status = m_error == ERROR_SUCCESS ? m_read(index * BlockBytes, block, read) : m_error;
        if (status != ERROR_SUCCESS)
            m_error = status, read = 0;
        block.resize(read);
        return m_blocks.emplace(index, std::move(block)).first->second;
    }

    uint64_t m_size;
    const cPeImage::cRead& m_read;
    std::map<uint64_t, std::vector<BYTE>> m_blocks;
    DWORD m_error = ERROR_SUCCESS;
};

// The image as the loader maps it. All arithmetic is 64-bit: a 32-bit RVA plus a size can wrap, and size_t is
// 32 bits wide in the shipped build.
class cImage
{
public:
    explicit cImage(cFile& file) : m_file(file) {}

    // A run of mapped addresses: the headers, or a section's virtual extent (the larger of its two sizes, up
    // to its alignment), of which the first `Backed` bytes come from the file at `At` and the rest are zeros
    // (IMAGE_SECTION_HEADER: "the remainder of the section is filled with zeroes").
    struct cRun
    {
        uint64_t Rva, Length, At, Backed;
    };
    std::optional<cRun> RunOf(uint64_t rva) const
    {
        for (const IMAGE_SECTION_HEADER& section : Sections)
        {
            uint64_t extent = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (Alignment && (Alignment & (Alignment - 1)) == 0)
                extent = (extent + Alignment - 1) & ~(Alignment - 1);
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < extent)
                return cRun{section.VirtualAddress, extent, section.PointerToRawData,
                            std::min<uint64_t>(section.SizeOfRawData, extent)};
        }
        if (rva < SizeOfHeaders)
            return cRun{0, SizeOfHeaders, 0, SizeOfHeaders};
        return std::nullopt;
    }
    // The mapped bytes from `rva` on, as far as they run without a gap, `most` at most.
    std::string Mapped(uint64_t rva, uint64_t most)
    {
        std::string bytes;
        for (std::optional<cRun> run; bytes.size() < most && (run = RunOf(rva + bytes.size()));)
        {
            const uint64_t delta = rva + bytes.size() - run->Rva;
            std::string part(static_cast<size_t>(std::min(most - bytes.size(), run->Length - delta)), '\0');
            if (delta < run->Backed)
                m_file.Copy(run->At + delta,
                            {reinterpret_cast<BYTE*>(part.data()),
                             static_cast<size_t>(std::min<uint64_t>(part.size(), run->Backed - delta))});
            bytes += part;
        }
        return bytes;
    }
    template <class T>
    std::optional<T> At(uint64_t rva)
    {
        const std::string bytes = Mapped(rva, sizeof(T));
        T value{};
        if (bytes.size() < sizeof value)
            return std::nullopt;
        std::memcpy(&value, bytes.data(), sizeof value);
        return value;
    }

    std::vector<IMAGE_SECTION_HEADER> Sections;
    uint64_t SizeOfHeaders = 0;
    uint64_t ImageBase = 0;
    uint64_t Alignment = 0;

private:
    cFile& m_file;
};

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

// Names in order, each once (ASCII case ignored), asked through a set so that a long list stays cheap.
class cNameList
{
public:
    explicit cNameList(std::vector<std::string>& names) : m_names(names) {}
    void Add(std::string_view name)
    {
        if (m_seen.insert(Lower(name)).second)
            m_names.emplace_back(name);
    }

private:
    std::vector<std::string>& m_names;
    std::set<std::string> m_seen;
};

// A name runs up to its NUL, which must come within its first 256 mapped bytes; one that does not end there
// is shown (when `unplain` is given) but never looked up. False when the name lies nowhere in the image.
bool ReadName(cImage& image, uint64_t rva, cNameList& names, cNameList* unplain)
{
    const std::string room = image.Mapped(rva, MaxNameBytes);
    if (room.empty())
        return false;
    const size_t nul = room.find('\0');
    const std::string_view name = std::string_view(room).substr(0, nul);
    if (nul != std::string::npos && cPeImage::IsPlainName(name))
        names.Add(name);
    else if (unplain)
        unplain->Add(cPeImage::Shown(name));
    return true;
}

enum class eList
{
    Whole,
    Damaged,
    Bounded,
};

// The import directory's names, up to the first descriptor without a name or an address table: the loader
// stops there, not only at an empty one.
eList ReadImports(cImage& image, const IMAGE_DATA_DIRECTORY& directory, cNameList& names, cNameList& unplain)
{
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return eList::Whole;
    for (uint64_t i = 0; i < MaxDescriptors; ++i)
    {
        const auto descriptor =
            image.At<IMAGE_IMPORT_DESCRIPTOR>(directory.VirtualAddress + i * sizeof(IMAGE_IMPORT_DESCRIPTOR));
        if (!descriptor)
            return eList::Damaged;
        if (descriptor->Name == 0 || descriptor->FirstThunk == 0)
            return eList::Whole;
        if (!ReadName(image, descriptor->Name, names, &unplain))
            return eList::Damaged;
    }
    return eList::Bounded;
}

// The delay-load directory's plain names (32-byte descriptors), as far as they can be read: the loader leaves
// this table to the code that first calls into such a DLL, so nothing in it decides whether the file loads.
void ReadDelayImports(cImage& image, const IMAGE_DATA_DIRECTORY& directory, cNameList& names)
{
    for (uint64_t i = 0; directory.VirtualAddress && directory.Size && i < MaxDescriptors; ++i)
    {
        const uint64_t at = directory.VirtualAddress + i * 32;
        const std::optional<DWORD> attributes = image.At<DWORD>(at), name = image.At<DWORD>(at + 4);
        if (!attributes || !name || *name == 0)
            return;
        // The PE format page gives the attributes as zero and every field as an RVA; old linkers wrote
        // virtual addresses and left bit 0 clear. Without the bit, a virtual address is taken where it maps.
        uint64_t rva = *name;
        if ((*attributes & 1) == 0 && rva >= image.ImageBase && image.RunOf(rva - image.ImageBase))
            rva -= image.ImageBase;
        ReadName(image, rva, names, nullptr);
    }
}

enum class eEntry
{
    Found,
    Absent,
    Bounded,
};

// The offset field of the entry named `id` (or of the first entry, when `id` is absent) in the resource
// directory at `rva`.
eEntry ResourceEntry(cImage& image, uint64_t rva, std::optional<WORD> id, DWORD& offset)
{
    const auto directory = image.At<IMAGE_RESOURCE_DIRECTORY>(rva);
    if (!directory)
        return eEntry::Absent;
    const uint64_t count = uint64_t{directory->NumberOfNamedEntries} + directory->NumberOfIdEntries;
    for (uint64_t i = 0; i < std::min(count, MaxEntries); ++i)
    {
        const uint64_t entry = rva + sizeof *directory + i * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY);
        const std::optional<DWORD> name = image.At<DWORD>(entry), to = image.At<DWORD>(entry + 4);
        if (!name || !to)
            return eEntry::Absent;
        // A named entry has its top bit set, so it never equals an id.
        if (!id || *name == *id)
            return offset = *to, eEntry::Found;
    }
    return count > MaxEntries ? eEntry::Bounded : eEntry::Absent;
}

// Type, then id, then language: three levels and no more, so an entry pointing back up cannot loop.
std::optional<std::string> ReadManifest(cImage& image, const IMAGE_DATA_DIRECTORY& directory, bool& bounded)
{
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return std::nullopt;
    const std::optional<WORD> path[] = {ResourceManifest, cPeImage::DllManifestId, std::nullopt};
    uint64_t at = 0;
    for (size_t level = 0; level < std::size(path); ++level)
    {
        DWORD offset = 0;
        const eEntry entry = ResourceEntry(image, directory.VirtualAddress + at, path[level], offset);
        bounded = entry == eEntry::Bounded;
        const bool toDirectory = level + 1 < std::size(path);
        if (entry != eEntry::Found || ((offset & 0x80000000) != 0) != toDirectory)
            return std::nullopt;
        at = offset & 0x7FFFFFFF;
    }
    const auto data = image.At<IMAGE_RESOURCE_DATA_ENTRY>(directory.VirtualAddress + at);
    if (!data)
        return std::nullopt;
    if (data->Size > MaxManifestBytes)
    {
        bounded = true;
        return std::nullopt;
    }
    std::string bytes = image.Mapped(data->OffsetToData, data->Size);
    return bytes.size() == data->Size ? std::optional(std::move(bytes)) : std::nullopt;
}

cPeImage::cInfo ReadHeaders(cFile& file)
{
    cPeImage::cInfo info;
    if (!file.Fits(0, 2) || file.Get<WORD>(0) != IMAGE_DOS_SIGNATURE)
        return info;
    info.Shape = cPeImage::eShape::Truncated;
    const uint64_t pe = file.Get<DWORD>(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!file.Fits(0, sizeof(IMAGE_DOS_HEADER)) || !file.Fits(pe, 4))
        return info;
    if (file.Get<DWORD>(pe) != IMAGE_NT_SIGNATURE)
        return info.Shape = cPeImage::eShape::NotAnImage, info;
    const uint64_t optional = pe + 4 + sizeof(IMAGE_FILE_HEADER);
    if (!file.Fits(pe + 4, sizeof(IMAGE_FILE_HEADER)))
        return info;
    const auto header = file.Get<IMAGE_FILE_HEADER>(pe + 4);
    info.Machine = header.Machine;
    info.Dll = (header.Characteristics & IMAGE_FILE_DLL) != 0;
    if (header.NumberOfSections > MaxSections)
        return info.Shape = cPeImage::eShape::Damaged, info;
    if (!file.Fits(optional, 2))
        return info;
    const WORD magic = file.Get<WORD>(optional);
    if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return info.Shape = cPeImage::eShape::NotAnImage, info;
    info.Pe32Plus = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    // The fields before the data directories, and the directories the header counts, must all lie inside
    // the optional header: otherwise they would be read from the section table that follows it.
    const uint64_t directories =
        optional + (info.Pe32Plus ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                  : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    if (!file.Fits(optional, header.SizeOfOptionalHeader))
        return info;
    const uint64_t counted = std::min<uint64_t>(IMAGE_NUMBEROF_DIRECTORY_ENTRIES,
                                                file.Get<DWORD>(directories - 4)); // NumberOfRvaAndSizes
    if (directories + counted * sizeof(IMAGE_DATA_DIRECTORY) > optional + header.SizeOfOptionalHeader)
        return info.Shape = cPeImage::eShape::Damaged, info;
    cImage image(file);
    image.ImageBase = info.Pe32Plus
                          ? file.Get<ULONGLONG>(optional + offsetof(IMAGE_OPTIONAL_HEADER64, ImageBase))
                          : file.Get<DWORD>(optional + offsetof(IMAGE_OPTIONAL_HEADER32, ImageBase));
    image.SizeOfHeaders = file.Get<DWORD>(optional + offsetof(IMAGE_OPTIONAL_HEADER32, SizeOfHeaders));
    image.Alignment = file.Get<DWORD>(optional + offsetof(IMAGE_OPTIONAL_HEADER32, SectionAlignment));
    const uint64_t table = optional + header.SizeOfOptionalHeader;
    if (!file.Fits(table, header.NumberOfSections * uint64_t{sizeof(IMAGE_SECTION_HEADER)}) ||
        !file.Fits(0, image.SizeOfHeaders))
        return info;
    for (uint64_t i = 0; i < header.NumberOfSections; ++i)
    {
        const auto section = file.Get<IMAGE_SECTION_HEADER>(table + i * sizeof(IMAGE_SECTION_HEADER));
        if (section.SizeOfRawData != 0 && !file.Fits(section.PointerToRawData, section.SizeOfRawData))
            return info;
        image.Sections.push_back(section);
    }
    const auto directory = [&](uint64_t index) {
        return index < counted
                   ? file.Get<IMAGE_DATA_DIRECTORY>(directories + index * sizeof(IMAGE_DATA_DIRECTORY))
                   : IMAGE_DATA_DIRECTORY{};
    };
    bool bounded = false;
    info.Manifest = ReadManifest(image, directory(IMAGE_DIRECTORY_ENTRY_RESOURCE), bounded);
    cNameList imports(info.Imports), unplain(info.Unplain), delayed(info.DelayImports);
    const eList list = ReadImports(image, directory(IMAGE_DIRECTORY_ENTRY_IMPORT), imports, unplain);
    ReadDelayImports(image, directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT), delayed);
    info.Shape = list == eList::Damaged              ? cPeImage::eShape::Damaged
                 : list == eList::Bounded || bounded ? cPeImage::eShape::Unjudged
                                                     : cPeImage::eShape::Image;
    return info;
}
} // namespace

cPeImage::cInfo cPeImage::Read(uint64_t size, const cRead& read)
{
    cFile file(size, read);
    cInfo info = ReadHeaders(file);
    if (file.Error() != ERROR_SUCCESS)
    {
        info = {};
        info.Shape = eShape::Unreadable;
        info.Error = file.Error();
    }
    return info;
}

cPeImage::cInfo cPeImage::Read(std::span<const BYTE> bytes)
{
    return Read(bytes.size(), [bytes](uint64_t at, std::span<BYTE> into, size_t& read) {
        read = static_cast<size_t>(std::min<uint64_t>(into.size(), bytes.size() - at));
        std::copy_n(bytes.begin() + static_cast<ptrdiff_t>(at), read, into.begin());
        return DWORD{ERROR_SUCCESS};
    });
}

cPeImage::cInfo cPeImage::Read(const std::wstring& path)
{
    const cFileReader file(path);
    if (file.Status() != ERROR_SUCCESS)
    {
        cInfo info;
        info.Shape = eShape::Unreadable;
        info.Error = file.Status();
        return info;
    }
    return Read(file.Size(), [&file](uint64_t at, std::span<BYTE> into, size_t& read) {
        return file.ReadAt(at, into, read);
    });
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

#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads a file's bytes as a Windows image (PE/COFF) without loading it: none of its code runs, and every
// offset, size and count in it is checked against the bytes' end, since the tool runs elevated over files
// anyone may have written. What lies at an address is read as the loader maps it: a section's bytes past its
// raw data, up to its virtual size, are zeros.
class cPeImage
{
public:
    // The manifest a DLL carries for itself (ISOLATIONAWARE_MANIFEST_RESOURCE_ID): the one the loader applies
    // to its static imports; a program's is 1.
    static constexpr WORD DllManifestId = 2;
    enum class eShape
    {
        Image,
        NotAnImage, // no "MZ" (an empty file too), no "PE\0\0" where e_lfanew points, or another optional
                    // header
        Truncated,  // the bytes end inside the headers or inside a section's raw data
        Damaged, // fields no loader accepts: too many sections, a header of the other width than its machine,
                 // imports that map nowhere or never end
        Unjudged,   // beyond this reader's own bounds (more descriptors or resource entries than it reads)
        Unreadable, // a read failed: Error says why
    };
    struct cInfo
    {
        eShape Shape = eShape::NotAnImage;
        WORD Machine = 0; // IMAGE_FILE_MACHINE_* of the file header
        bool Dll = false;
        bool Pe32Plus = false;
        DWORD Error = ERROR_SUCCESS;
        // The DLL names of the import directory, in order, each once (ASCII case ignored), plain file names
        // only. A damaged image keeps those read before the damage.
        std::vector<std::string> Imports;
        // The plain names of the delay-load directory, read as far as it can be: the loader does not read it.
        std::vector<std::string> DelayImports;
        // Names of the import directory that are no plain file name, as Shown() shows them, each once.
        std::vector<std::string> Unplain;
        // The RT_MANIFEST resource with id 2 (its first language), when it lies whole inside the image.
        std::optional<std::string> Manifest;
    };
    // Fills `into` from the file's offset `at`, as far as the file goes (`read` bytes), and gives the status.
    using cRead = std::function<DWORD(uint64_t at, std::span<BYTE> into, size_t& read)>;
    static cInfo Read(uint64_t size, const cRead& read);
    static cInfo Read(std::span<const BYTE> bytes);
    // The file at `path`, read by ranges; Unreadable with the system's error when it cannot be opened.
    static cInfo Read(const std::wstring& path);

    enum class eMachine
    {
        X86,
        X64,
        Arm64,
        Other,
    };
    static eMachine MachineOf(WORD machine);
    // Whether a name read from the file may be looked up as a file: 1 to 255 characters of printable ASCII,
    // none of \ / : * ? " < > |, not "." or "..", and no trailing dot or blank (Windows drops those).
    static bool IsPlainName(std::string_view name);
    // A name read from the file as it may be shown: its first 32 bytes, each outside printable ASCII as '?',
    // and "?" for an empty one.
    static std::string Shown(std::string_view name);
};

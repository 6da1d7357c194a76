#pragma once
#include <windows.h>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads a file's bytes as a Windows image (PE/COFF) without loading it: none of its code runs, and every
// offset, size and count in it is checked against the bytes' end, since the tool runs elevated over files
// anyone may have written.
class cPeImage
{
public:
    enum class eShape
    {
        Image,
        NotAnImage, // no "MZ", no "PE\0\0" where e_lfanew points, or an optional header of another kind
        Truncated,  // the bytes end inside the headers or inside a section's raw data
        Damaged,    // fields no loader accepts: too many sections, imports that map nowhere or never end
    };
    struct cInfo
    {
        eShape Shape = eShape::NotAnImage;
        WORD Machine = 0; // IMAGE_FILE_MACHINE_* of the file header
        bool Dll = false;
        bool Pe32Plus = false;
        // The DLL names of the import and the delay-load directories, in order, each once (ASCII case
        // ignored), plain file names only. A damaged image keeps those read before the damage.
        std::vector<std::string> Imports;
        std::vector<std::string> DelayImports;
        // Names of either directory that are no plain file name, as Shown() shows them, each once.
        std::vector<std::string> Unplain;
        // The RT_MANIFEST resource with id 2 (its first language), when it lies whole inside the file.
        std::optional<std::string> Manifest;
    };
    static cInfo Read(std::span<const BYTE> bytes);

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

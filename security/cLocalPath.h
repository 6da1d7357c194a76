#pragma once
#include <windows.h>
#include <functional>
#include <string>

// Whether a path from a place other users can write (a per-user registration, a profile's folder) names a
// file on this PC that the tool may look at. The tool runs elevated, often as SYSTEM: handing such a text to
// the file system could contact a server with the administrator's credentials, open a device, or name a
// file other than the one a user's program would load.
class cLocalPath
{
public:
    enum class eKind
    {
        Local,    // X:\x on a drive of this PC: the only kind the tool looks up
        Empty,    // no text at all
        Network,  // a server's file in any spelling: \\s\x, //s/x, \\?\UNC\x, \??\UNC\x
        Prefixed, // an NT or device-namespace form even of a local drive (\\?\C:, \??\C:, \\.\x, GLOBALROOT)
        Relative, // no drive letter and root (x.ocx, \x.ocx, C:x.ocx): the file depends on who searches
        Device,   // a reserved device name (CON, NUL, COM1, LPT1, ...) that Windows opens in any folder
        Invalid,  // wildcards, quotes, control characters: no single file
        NetworkDrive, // a drive letter of a network share or of no drive here
    };

    // The kind from the spelling alone; Local means "a drive-letter path", to be checked by its drive.
    static eKind SpellingOf(const std::wstring& path);
    // The kind of `path`, asking `driveType` (GetDriveTypeW's answer for "X:\") about a drive-letter path.
    static eKind KindOf(const std::wstring& path,
                        const std::function<UINT(const std::wstring& root)>& driveType);
    // As above, with the system's answer for the drive.
    static eKind KindOf(const std::wstring& path);
    static bool IsLocal(const std::wstring& path) { return KindOf(path) == eKind::Local; }
};

#pragma once
#include "security/cSecureFolder.h"
#include <windows.h>
#include <string>

// The last result of every elevated or SYSTEM run, kept on the PC for the fleet's collectors:
// %ProgramData%\plotwing2fix\result\last.json, the line `--json` prints. The folder is made and held as the
// backup folder is; the file is written whole under another name beside it and moved over the last one, so
// that a reader sees the last result or the new one, never part of either.
class cResultFile
{
public:
    enum class eKept
    {
        Written,
        NotElevated, // nothing made or written
        Failed,      // the last result stays as it was
    };
    struct cKept
    {
        eKept Outcome = eKept::Failed;
        std::wstring Reason; // why it was not written, a line to show; empty when written
    };
    // How often a move over the last result is tried while a reader holds it, and how far apart.
    static constexpr int MoveTries = 20;
    static constexpr DWORD MoveRetryMs = 100;

    // The file below ProgramData (`programData` as the shell gives it); empty without one.
    static std::wstring PathOf(const std::wstring& programData);

    explicit cResultFile(const std::wstring& programData) : m_path(PathOf(programData)) {}
    virtual ~cResultFile() = default;
    cResultFile(const cResultFile&) = delete;
    cResultFile& operator=(const cResultFile&) = delete;

    // Writes `json` with its CR LF over the last result. `elevated`: the run is SYSTEM's or an elevated
    // administrator's; any other would make the folder its own, which later elevated runs refuse.
    cKept Keep(const std::wstring& json, bool elevated) const;
    const std::wstring& Path() const noexcept { return m_path; }

protected:
    // The folder checked, made where missing and held; virtual so that tests can give one a user made.
    virtual cSecureFolder::cHeld Folder(const std::wstring& folder) const;

private:
    cKept Failure(const std::wstring& reason) const;

    std::wstring m_path;
};

#pragma once
#include "registry/cRegFile.h"
#include "security/cSecureFolder.h"
#include <windows.h>
#include <string>
#include <vector>

// Where a repair saves what it is about to change, so that an administrator can import it again: one folder,
// %ProgramData%\plotwing2fix\backup, which only SYSTEM and administrators can write, and one time-stamped
// registry file per thing saved.
class cBackup
{
public:
    enum class eSaved
    {
        Saved,
        Failed, // Reason says why; nothing was written
    };
    struct cSaved
    {
        eSaved Outcome = eSaved::Failed;
        std::wstring Path; // the file, when saved
        std::wstring Reason;
    };

    // The backup folder below ProgramData (`programData` as the shell gives it); empty without one.
    static std::wstring FolderOf(const std::wstring& programData);
    // 20261207-090502-machine.reg: the moment of the repair and what the file holds.
    static std::wstring FileName(const SYSTEMTIME& at, const std::wstring& what);
    // The machine's registrations of the class ids, as they are, at their physical paths: the 64-bit view's
    // keys and the 32-bit view's (Wow6432Node), where they exist.
    // The registry's status; on failure `failedKey` names the key that could not be read.
    static LONG MachineKeys(const std::vector<std::wstring>& classIds, cRegFile& file,
                            std::wstring& failedKey);

    // `programData`: the ProgramData folder; `at`: the repair's moment, which names every file it saves.
    cBackup(const std::wstring& programData, const SYSTEMTIME& at) : m_folder(FolderOf(programData)), m_at(at)
    {
    }
    // A new file's path for `what` in the backup folder, made safe first; Failed with the reason otherwise.
    cSaved Reserve(const std::wstring& what);
    // Why no file may be saved in a folder the folder check came to; empty when it is ready.
    static std::wstring RefusalOf(const cSecureFolder::cResult& folder);
    // Saves the machine's two class keys before regsvr32 changes them.
    cSaved SaveMachine(const std::vector<std::wstring>& classIds);

private:
    // Why no file can be saved in the folder, empty when it is ready: checked, made where missing and held
    // from the first file on, and looked at again before each.
    std::wstring FolderRefusal();

    std::wstring m_folder;
    SYSTEMTIME m_at;
    bool m_folderChecked = false;
    bool m_folderLocal = false;
    cSecureFolder::cHeld m_held;
};

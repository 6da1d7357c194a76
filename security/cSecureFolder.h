#pragma once
#include "sys/cOwned.h"
#include <windows.h>
#include <accctrl.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A folder the tool writes into while it runs elevated or as SYSTEM (its backups, a log a deployment tool
// asks for). Every folder from a trusted root down to it is checked, made where missing so that only SYSTEM
// and administrators can write in it, and held from the check until the last file is written: a user who
// could have prepared one of them, or could swap one for a link meanwhile, never sends the tool's writes
// elsewhere.
class cSecureFolder
{
public:
    enum class eOutcome
    {
        Ready,     // it was there, every folder on the way trusted
        Created,   // made now, with its missing parents
        Link,      // a symbolic link, junction or mount point on the way (a cloud folder is none): refused
        Untrusted, // a folder on the way is owned by someone the tool does not trust: refused
        Swapped,   // a folder held since its check is no longer where it was
        Unheld,    // a folder on the way that is there but cannot be held against a rename: refused
        Failed,    // it could not be made or inspected: Error says why
    };
    struct cResult
    {
        eOutcome Outcome = eOutcome::Failed;
        std::wstring At; // the folder on the way that decided it
        DWORD Error = ERROR_SUCCESS;
    };
    // Who owns a folder, as far as trust goes.
    enum class eOwner
    {
        System,
        Administrators,
        TrustedInstaller,
        RootOwner, // whoever owns the volume's root, who controls the volume anyway
        Runner,    // the account the tool runs as
        Other,
        None, // no owner could be read
    };

    // The folders checked, each held open (listing it, without delete sharing) so that it can be neither
    // renamed, moved nor deleted while it is held.
    class cHeld
    {
    public:
        cResult Result;
        // Whether each folder held is still the one at its path, no link put there: what a platform that lets
        // a held folder be renamed would show.
        cResult Verify() const;

    private:
        friend class cSecureFolder;
        struct cFolder
        {
            std::wstring Path;
            cHandle Handle;
        };
        std::vector<cFolder> m_folders;
    };

    // `folder`: a full local path (X:\...). `runnerTrusted`: a folder of the runner's own is trusted too (a
    // log path the runner chose).
    static cHeld Ensure(const std::wstring& folder, bool runnerTrusted);
    static eOwner OwnerOf(PSID owner, PSID runner, PSID rootOwner);
    // Whether a reparse point of `reparseTag` makes a folder with these attributes a link to elsewhere.
    static bool LinkOf(DWORD attributes, DWORD reparseTag);
    // What one folder on the way comes to: Ready to go on, Link or Untrusted.
    static eOutcome StepOf(bool link, eOwner owner, bool runnerTrusted);
    // Whether an owner is one the tool may trust: SYSTEM, the Administrators group or `self`.
    static bool IsTrustedOwner(PSID owner, PSID self);
    // The same of the owner of `object` (a file or a kernel object): the system's status of reading it, and
    // `trusted` false unless it could be read.
    static DWORD ReadOwnerTrust(HANDLE object, SE_OBJECT_TYPE type, PSID self, bool& trusted);
    // The security the tool gives a folder it makes (SDDL): SYSTEM and administrators may do all, users may
    // read; the owner is the Administrators group, or `userSid` (with all rights) where the running user
    // cannot give it away (an unelevated run).
    static std::wstring Security(const std::wstring& userSid);
    // Why nothing may be written in a folder the check came to (`folder`: what the folder is, as the report
    // names it, e.g. 「バックアップフォルダー」); empty when it is ready.
    static std::wstring RefusalOf(const cResult& result, const std::wstring& folder);
    // Makes `folder` with the security `sddl` gives: the system's error.
    static DWORD MakeFolder(const std::wstring& folder, const std::wstring& sddl);

    // A test's stand-ins for what Wine cannot show: a folder's owner other than the runner (a SID's text, by
    // the folder's path; empty: as it is), and an unelevated runner's refusal to give a folder away (instead
    // of MakeFolder). Unset, the tool asks the system.
    struct cSeams
    {
        std::function<std::wstring(const std::wstring& folder)> Owner;
        std::function<DWORD(const std::wstring& folder, const std::wstring& sddl)> Make;
    };
    static cSeams& Seams();
};

#pragma once
#include <windows.h>
#include <accctrl.h>
#include <string>

// A folder the tool writes into while it runs elevated or as SYSTEM (its backups, a log a deployment tool
// asks for): made, where missing, so that only SYSTEM and administrators can write in it, and refused where a
// user could have prepared it to send the tool's writes elsewhere.
class cSecureFolder
{
public:
    enum class eOutcome
    {
        Ready,     // it was there, no link on the way and its owner trusted
        Created,   // made now, with its missing parents
        Link,      // a symbolic link, junction or mount point on the way (a cloud folder is none): refused
        Untrusted, // its owner is neither SYSTEM, the Administrators group nor the running user: refused
        Failed,    // it could not be made or inspected: Error says why
    };
    struct cResult
    {
        eOutcome Outcome = eOutcome::Failed;
        std::wstring At; // the folder on the way that decided it
        DWORD Error = ERROR_SUCCESS;
    };

    // `folder`: a full local path (X:\...).
    static cResult Ensure(const std::wstring& folder);
    // Whether an owner is one the tool may trust: SYSTEM, the Administrators group or `self`.
    static bool IsTrustedOwner(PSID owner, PSID self);
    // The same of the owner of `object` (a file or a kernel object): the system's status of reading it, and
    // `trusted` false unless it could be read.
    static DWORD ReadOwnerTrust(HANDLE object, SE_OBJECT_TYPE type, PSID self, bool& trusted);
    // The security the tool gives a folder it makes (SDDL): SYSTEM and administrators may do all, users may
    // read; the owner is the Administrators group, or `userSid` (with all rights) where the running user
    // cannot give it away (an unelevated run).
    static std::wstring Security(const std::wstring& userSid);
};

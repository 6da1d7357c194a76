#pragma once
#include <windows.h>
#include <string>

// An account as people know it, from the SID Windows keeps for it.
class cAccount
{
public:
    enum class eKind
    {
        User,     // a local or domain account (S-1-5-21-a-b-c-rid) or a cloud one (S-1-12-1-a-b-c-d)
        System,   // SYSTEM, LOCAL SERVICE, NETWORK SERVICE (S-1-5-18, -19, -20)
        OtherSid, // any other SID: a service's, an application pool's, ...
        NotSid,   // no SID in its string form (an SDDL alias such as "BA" is none either)
    };
    // Strict: only the canonical form Windows writes (S-1-..., decimal, no leading zeros) counts.
    static eKind KindOf(const std::wstring& sid);
    static bool IsSid(const std::wstring& sid) { return KindOf(sid) != eKind::NotSid; }
    // "DOMAIN\name", or the empty text when the SID is no SID or its name cannot be found. A domain account
    // is looked up at a domain controller, which may take the network's time-out when none answers.
    static std::wstring NameOf(const std::wstring& sid);
    // A SID's string form (S-1-...); empty for none.
    static std::wstring TextOf(PSID sid);
};

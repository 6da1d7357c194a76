#pragma once
#include <string>

// An account as people know it, from the SID Windows keeps for it.
class cAccount
{
public:
    // Whether the text is a SID in its string form (S-1-...).
    static bool IsSid(const std::wstring& sid);
    // "DOMAIN\name", or the empty text when the SID is no SID or its name cannot be found. A domain account
    // is looked up at a domain controller, which may take the network's time-out when none answers.
    static std::wstring NameOf(const std::wstring& sid);
};

#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The process the tool runs in, as Windows sees it: who runs it, with what rights, since when.
class cRunner
{
public:
    // Whether the process may change machine-wide registrations and read other users' files.
    static bool IsElevated();
    // The running account's SID in its string form; empty when the token cannot be read.
    static std::wstring Sid();
    // The token's user (a TOKEN_USER and the SID it points into); empty when the token cannot be read.
    static std::vector<BYTE> TokenUser();
    // The SID in what TokenUser gave; none for an empty one.
    static PSID SidIn(std::vector<BYTE>& tokenUser);
    // When the process was made (a FILETIME's ticks); with the process id it tells this run apart from a
    // later one that is given the same id.
    static ULONGLONG StartTime(HANDLE process = ::GetCurrentProcess());
};

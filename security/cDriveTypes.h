#pragma once
#include "security/cLocalPath.h"
#include <map>
#include <string>

// The drive types of one reading, each drive asked once: a shared PC's hundreds of profiles mostly lie on one
// drive, and asking takes a call to the volume each time (about a millisecond under Wine).
class cDriveTypes
{
public:
    // GetDriveTypeW's answer for `root` ("X:\"), asked the first time only.
    UINT Of(const std::wstring& root);
    // cLocalPath's judgement of `path`, its drive asked through this reading.
    bool IsLocal(const std::wstring& path);

private:
    std::map<std::wstring, UINT> m_types; // by root
};

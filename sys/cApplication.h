#pragma once
#include <string>

// Facts about the running program: its folder, its version numbers and its title.
class cApplication
{
public:
    // The folder of the running executable, without a trailing backslash (unless it is a root).
    static std::wstring Path();
    // The full path of the running executable.
    static std::wstring ExePath();
    // Parts 1, 2 and 4 of the executable's numeric file version.
    static unsigned Major();
    static unsigned Minor();
    static unsigned Revision();
    // The product name of the version block.
    static std::wstring Title();
};

#pragma once
#include <string>

// The full path of a shell folder by its CSIDL number.
class cSpecialFolder
{
public:
    static constexpr long CSIDL_DESKTOP_ = 0;
    static constexpr long CSIDL_SYSTEM_ = 37;
    static constexpr long CSIDL_PROGRAM_FILES_ = 38;
    static constexpr long CSIDL_COMMON_APPDATA_ = 35; // ProgramData

    // The folder as the shell writes it (no backslash added or removed), or the empty text.
    std::wstring GetSpecialFolder(long enmFolder) const;
};

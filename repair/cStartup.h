#pragma once
#include <string>

// The start-up's decisions, without a window: where the log goes and where the components belong.
class cStartup
{
public:
    // "plwg2reg" and the version's major, minor and revision numbers on the desktop; the empty text
    // without a desktop, as the path would then name the drive's root.
    static std::wstring LogPath(const std::wstring& desktop, unsigned major, unsigned minor,
                                unsigned revision);
    // A component's file in the map product's folder under Program Files; the empty text without one, which
    // no file answers to.
    static std::wstring ExpectedPath(const std::wstring& programFiles, const std::wstring& fileName);
};

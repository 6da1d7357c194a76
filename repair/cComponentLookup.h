#pragma once
#include <string>

// Where COM finds a component's server file: the default value of HKCR\CLSID\{id}\InprocServer32.
class cComponentLookup
{
public:
    // The value as stored, or the empty text when the key or the value is missing.
    static std::wstring RegisteredText(const std::wstring& classId);
    // Whether the text begins with two slashes of either kind: a server's file (\\server\share,
    // //server/share) or a device path (\\?\). The file system is never asked about such a text.
    static bool IsNetworkPath(const std::wstring& path);
    // The registered file in long form; empty when it does not exist or is a network path.
    static std::wstring LongForm(const std::wstring& registeredText);
};

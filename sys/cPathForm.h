#pragma once
#include <string>

// The long or the 8.3 form of an existing path, through the UTF-16 path functions.
class cPathForm
{
public:
    // The converted path, or the empty text when the file does not exist or the call fails.
    static std::wstring Long(const std::wstring& path);
    static std::wstring Short(const std::wstring& path);
};

#pragma once
#include <string>

// Path and text utilities.
class cShlwVB
{
public:
    // The text followed by "\" unless it already ends in one; an empty text becomes "\".
    std::wstring VBAddBackslash(const std::wstring& strPathName) const;
};

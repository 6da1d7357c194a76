#pragma once
#include <string>

namespace mShlwVB
{
// The path followed by "\" unless it already ends in one; an empty text becomes "\".
std::wstring AddBackslash(const std::wstring& strPathName);
} // namespace mShlwVB

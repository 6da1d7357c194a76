#pragma once
#include <windows.h>
#include <string>
#include <string_view>

// The only place that converts between UTF-16 and a code page.
namespace strconv
{
std::wstring ToWide(std::string_view text, UINT codePage = CP_ACP);
// Characters the code page cannot hold become its default character; `lossy` reports that.
std::string ToAnsi(std::wstring_view text, UINT codePage = CP_ACP, bool* lossy = nullptr);
// ToWide of the ANSI bytes without a final lead byte whose trail byte is missing: converting half a
// double-byte character, as a cut at a buffer's end leaves it, would add a character that is not there.
std::wstring ToWideWholeChars(std::string_view text);
// The text before the first NUL (all of it when there is none).
std::wstring UpToFirstNul(std::wstring_view text);
} // namespace strconv

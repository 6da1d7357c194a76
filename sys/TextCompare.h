#pragma once
#include <string_view>

namespace textcmp
{
// The system locale's comparison that ignores letter case, character width and kana type.
bool Equal(std::wstring_view a, std::wstring_view b);
} // namespace textcmp

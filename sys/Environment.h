#pragma once
#include <string>

// `text` with its %variables% expanded in this process's environment, as the program that reads such a value
// expands it; the text itself when it holds none or cannot be expanded within a path's longest length.
std::wstring ExpandedText(const std::wstring& text);

#pragma once
#include <windows.h>
#include <string>

// The whole text of a window or control (empty when it has none or the call fails).
std::wstring WindowText(HWND window);

#pragma once
#include <string>

// The Windows system folder, where the programs and DLLs the tool starts or loads must come from; the empty
// text when it cannot be had, which a caller must never take for a folder. A 32-bit process on 64-bit
// Windows gets the redirected folder, with the 32-bit programs.
std::wstring SystemFolder();

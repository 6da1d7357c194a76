#pragma once
#include <windows.h>

// LOAD_LIBRARY_SEARCH_SYSTEM32, which the Windows 7 headers lack: the system folder and nowhere else.
constexpr DWORD LoadFromSystemFolder = 0x00000800;

// The tools run elevated and may be started from a downloads folder: DLLs loaded on demand must come from
// the system folder only. Called first thing by each program.
void RestrictDllSearch();

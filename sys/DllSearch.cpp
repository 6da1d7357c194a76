#include "sys/DllSearch.h"
#include "sys/ProcAddress.h"

void RestrictDllSearch()
{
    // Looked up at run time, as Windows 7 without its loader update lacks the function.
    if (const auto set =
            ProcOf<BOOL(WINAPI*)(DWORD)>(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))
        set(LoadFromSystemFolder);
    ::SetDllDirectoryW(L"");
}

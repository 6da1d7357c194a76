#include "sys/DllSearch.h"
#include <windows.h>

void RestrictDllSearch()
{
    // Looked up at run time, as Windows 7 without its loader update lacks the function.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto* raw = kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (raw)
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(raw))(0x00000800);
    ::SetDllDirectoryW(L"");
}

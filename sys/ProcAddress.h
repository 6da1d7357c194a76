#pragma once
#include <windows.h>

// A function of a module already loaded, by its name and typed: null where the module or the function is
// missing (an older Windows, a DLL that could not be loaded).
template <class Function>
Function ProcOf(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

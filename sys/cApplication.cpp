#include "sys/cApplication.h"
#include "version.h"
#include <windows.h>

// The version numbers and the title come from the definitions that also make the program's version block
// (res/version.rc): the same build gives the same facts, with no reader of the block at this floor.

std::wstring cApplication::ExePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
        {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

std::wstring cApplication::Path()
{
    std::wstring path = ExePath();
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    // A program in a drive's root keeps its backslash: "C:\".
    path.resize(slash == 2 && path[1] == L':' ? slash + 1 : slash);
    return path;
}

unsigned cApplication::Major()
{
    return P2F_VERSION_MAJOR;
}

unsigned cApplication::Minor()
{
    return P2F_VERSION_MINOR;
}

unsigned cApplication::Revision()
{
    return P2F_VERSION_REVISION;
}

std::wstring cApplication::Title()
{
    return L"" P2F_PRODUCT_NAME;
}

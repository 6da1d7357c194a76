#include "sys/cApplication.h"
#include "image/cVersionBlock.h"
#include <windows.h>

namespace
{
// The running executable's numbers cannot change while it runs: read them once.
const VS_FIXEDFILEINFO& FixedInfo()
{
    static const VS_FIXEDFILEINFO info =
        cVersionBlock::OfThisProgram().FixedInfo().value_or(VS_FIXEDFILEINFO{});
    return info;
}
} // namespace

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
    return HIWORD(FixedInfo().dwFileVersionMS);
}

unsigned cApplication::Minor()
{
    return LOWORD(FixedInfo().dwFileVersionMS);
}

unsigned cApplication::Revision()
{
    return LOWORD(FixedInfo().dwFileVersionLS);
}

std::wstring cApplication::Title()
{
    std::optional<std::wstring> name =
        cVersionBlock::OfThisProgram().StringValue(L"041104B0", L"ProductName");
    if (name && !name->empty())
        return *name;
    std::wstring exe = ExePath();
    const size_t slash = exe.find_last_of(L'\\');
    exe = exe.substr(slash == std::wstring::npos ? 0 : slash + 1);
    const size_t dot = exe.find_last_of(L'.');
    return dot == std::wstring::npos ? exe : exe.substr(0, dot);
}

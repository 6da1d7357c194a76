#include "sys/cApplication.h"
#include <windows.h>
#include <cwchar>
#include <vector>

namespace
{
std::vector<BYTE> VersionBlock()
{
    const std::wstring exe = cApplication::ExePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !::GetFileVersionInfoW(exe.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

// The running executable's numbers cannot change while it runs: read the block once.
const VS_FIXEDFILEINFO& FixedInfo()
{
    static const VS_FIXEDFILEINFO info = [] {
        VS_FIXEDFILEINFO fixed{};
        std::vector<BYTE> block = VersionBlock();
        void* data = nullptr;
        UINT length = 0;
        if (!block.empty() && ::VerQueryValueW(block.data(), L"\\", &data, &length) && length >= sizeof fixed)
            fixed = *static_cast<const VS_FIXEDFILEINFO*>(data);
        return fixed;
    }();
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
    std::vector<BYTE> block = VersionBlock();
    void* data = nullptr;
    UINT length = 0;
    if (!block.empty() &&
        ::VerQueryValueW(block.data(), L"\\StringFileInfo\\041104B0\\ProductName", &data, &length) &&
        length > 1)
    {
        const auto* text = static_cast<const wchar_t*>(data);
        return std::wstring(text, ::wcsnlen(text, length));
    }
    std::wstring exe = ExePath();
    const size_t slash = exe.find_last_of(L'\\');
    exe = exe.substr(slash == std::wstring::npos ? 0 : slash + 1);
    const size_t dot = exe.find_last_of(L'.');
    return dot == std::wstring::npos ? exe : exe.substr(0, dot);
}

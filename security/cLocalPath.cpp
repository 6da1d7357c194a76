#include "security/cLocalPath.h"
#include <algorithm>
#include <array>

namespace
{
bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::wstring Upper(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; });
    return text;
}

// Windows opens these devices whatever folder names them, with any extension and trailing blanks or dots
// (C:\x\LPT1.ocx is the printer port, which may be redirected to a server).
bool IsReservedName(std::wstring name)
{
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && (name.back() == L' ' || name.back() == L'.'))
        name.pop_back();
    name = Upper(name);
    static const std::array<const wchar_t*, 6> fixed = {L"CON", L"PRN",    L"AUX",
                                                        L"NUL", L"CONIN$", L"CONOUT$"};
    if (std::find_if(fixed.begin(), fixed.end(), [&](const wchar_t* n) { return name == n; }) != fixed.end())
        return true;
    // COM1 to COM9 and LPT1 to LPT9, also with the superscript digits Windows accepts there.
    if (name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT")))
    {
        const wchar_t d = name[3];
        return (d >= L'1' && d <= L'9') || d == 0x00B9 || d == 0x00B2 || d == 0x00B3;
    }
    return false;
}

cLocalPath::eKind NamespaceKind(const std::wstring& path)
{
    // \\?\ and \\.\ (either slash) and \??\: what follows is handed to the object manager as it stands.
    const std::wstring rest = Upper(path.substr(4));
    if (rest.starts_with(L"UNC\\") || rest.starts_with(L"UNC/") || rest == L"UNC")
        return cLocalPath::eKind::Network;
    return cLocalPath::eKind::Prefixed;
}
} // namespace

cLocalPath::eKind cLocalPath::SpellingOf(const std::wstring& path)
{
    if (path.empty())
        return eKind::Empty;
    if (path.starts_with(L"\\??\\"))
        return NamespaceKind(path);
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
    {
        if (path.size() >= 4 && (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3]))
            return NamespaceKind(path);
        return eKind::Network;
    }
    if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || !IsSeparator(path[2]))
        return eKind::Relative;
    if (std::any_of(path.begin() + 2, path.end(), [](wchar_t c) {
            return c < 0x20 || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|';
        }))
        return eKind::Invalid;
    // The last name decides what Windows opens; a reserved name inside a folder's path is no folder either.
    size_t start = 3;
    for (size_t end; start <= path.size(); start = end + 1)
    {
        end = std::min(path.find_first_of(L"\\/", start), path.size());
        const std::wstring name = path.substr(start, end - start);
        // A stream name after a colon belongs to the file before it.
        if (IsReservedName(name.substr(0, name.find(L':'))))
            return eKind::Device;
    }
    return eKind::Local;
}

cLocalPath::eKind cLocalPath::KindOf(const std::wstring& path,
                                     const std::function<UINT(const std::wstring& root)>& driveType)
{
    const eKind spelling = SpellingOf(path);
    if (spelling != eKind::Local)
        return spelling;
    switch (driveType(path.substr(0, 2) + L"\\"))
    {
    case DRIVE_FIXED:
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        return eKind::Local;
    default:
        // A mapped share, or a letter this process does not have (a user's mapping is not the SYSTEM's).
        return eKind::NetworkDrive;
    }
}

cLocalPath::eKind cLocalPath::KindOf(const std::wstring& path)
{
    return KindOf(path, [](const std::wstring& root) { return ::GetDriveTypeW(root.c_str()); });
}

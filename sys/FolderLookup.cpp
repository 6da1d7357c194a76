#include "sys/FolderLookup.h"
#include "sys/StrConv.h"
#include <windows.h>
#include <shlobj.h>

std::wstring cSpecialFolder::GetSpecialFolder(long enmFolder) const
{
    // The wide function: the ANSI one turns a character code page 932 lacks (a user named 𠮷田) into "?",
    // naming a folder that does not exist. The shell assumes room for MAX_PATH characters.
    std::wstring buffer(MAX_PATH, L'\0');
    if (!::SHGetSpecialFolderPathW(nullptr, buffer.data(), static_cast<int>(enmFolder), FALSE))
        return {};
    return strconv::UpToFirstNul(buffer);
}

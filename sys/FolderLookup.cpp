#include "sys/FolderLookup.h"
#include "sys/StrConv.h"
#include <windows.h>
#include <shlobj.h>

std::wstring cSpecialFolder::GetSpecialFolder(long enmFolder) const
{
    // The shell function assumes room for MAX_PATH characters.
    std::string buffer(MAX_PATH, '\0');
    ::SHGetSpecialFolderPathA(nullptr, buffer.data(), static_cast<int>(enmFolder), FALSE);
    return strconv::UpToFirstNul(strconv::ToWide(buffer));
}

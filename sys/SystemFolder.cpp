#include "sys/SystemFolder.h"
#include <windows.h>

std::wstring SystemFolder()
{
    std::wstring folder(MAX_PATH, L'\0');
    const UINT length = ::GetSystemDirectoryW(folder.data(), MAX_PATH);
    folder.resize(length > 0 && length < MAX_PATH ? length : 0);
    return folder;
}

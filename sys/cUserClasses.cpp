#include "sys/cUserClasses.h"

namespace
{
// A user may plant a link on the way to their own classes file; the elevated tool must not load, let alone
// change, another file through it. What is missing means there is no file.
LONG CheckWay(const std::wstring& profileFolder)
{
    std::wstring path = profileFolder;
    for (const wchar_t* step : {L"AppData", L"Local", L"Microsoft", L"Windows", L"UsrClass.dat"})
    {
        path += (path.empty() || path.back() == L'\\' ? L"" : L"\\") + std::wstring(step);
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
        {
            const DWORD error = ::GetLastError();
            return error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : static_cast<LONG>(error);
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return cUserClasses::LinkOnTheWay;
    }
    return ERROR_SUCCESS;
}
} // namespace

std::wstring cUserClasses::FilePath(const std::wstring& profileFolder)
{
    const bool slash = !profileFolder.empty() && profileFolder.back() == L'\\';
    return profileFolder + (slash ? L"" : L"\\") + L"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
}

cUserClasses cUserClasses::OpenLoaded(const std::wstring& sid, REGSAM access)
{
    cUserClasses classes;
    // KEY_WOW64_64KEY: the paths below are physical ones, Wow6432Node spelled out where meant.
    for (const std::wstring& name : {sid + L"_Classes", sid + L"\\Software\\Classes"})
    {
        classes.Status = classes.Root.Open(HKEY_USERS, name, access | KEY_WOW64_64KEY);
        if (classes.Status == ERROR_SUCCESS)
        {
            classes.Source = eSource::Loaded;
            classes.RegistryName = L"HKEY_USERS\\" + name;
            break;
        }
    }
    return classes;
}

cUserClasses cUserClasses::OpenFile(const std::wstring& sid, const std::wstring& profileFolder, REGSAM access)
{
    cUserClasses classes;
    classes.RegistryName = L"HKEY_USERS\\" + sid + L"_Classes";
    classes.Status = CheckWay(profileFolder);
    if (classes.Status == ERROR_FILE_NOT_FOUND)
    {
        classes.Source = eSource::NoFile;
        classes.Status = ERROR_SUCCESS;
        return classes;
    }
    if (classes.Status != ERROR_SUCCESS)
        return classes;
    // Loaded for this process alone, under no name others see, and unloaded with the last key into it.
    HKEY root = nullptr;
    classes.Status = ::RegLoadAppKeyW(FilePath(profileFolder).c_str(), &root, access | KEY_WOW64_64KEY, 0, 0);
    if (classes.Status == ERROR_SUCCESS)
    {
        classes.Root = cKey(root);
        classes.Source = eSource::FromFile;
    }
    return classes;
}

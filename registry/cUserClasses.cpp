#include "registry/cUserClasses.h"
#include "security/cSecureFolder.h"

namespace
{
// The steps below a profile's folder; the last one is the file.
const wchar_t* const Way[] = {L"AppData", L"Local", L"Microsoft", L"Windows", L"UsrClass.dat"};

// A folder on the way, held with an access that takes part in sharing, so that it can be neither renamed nor
// moved while held; `follow`: the profile folder, which may itself be a junction an administrator made.
cHandle HoldFolder(const std::wstring& path, bool follow)
{
    return cHandle(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                                 nullptr));
}

// What is at `path` by its entry: ERROR_SUCCESS for a plain file, ERROR_FILE_NOT_FOUND for nothing (or a
// folder where the file belongs), LinkOnTheWay for a link.
LONG LookAtFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD error = ::GetLastError();
        return error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : static_cast<LONG>(error);
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return cUserClasses::LinkOnTheWay;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

// The folders on the way, each held and then looked at through its handle: what is held is what was checked.
LONG HoldWay(const std::wstring& profileFolder, std::vector<cHandle>& held)
{
    std::wstring path = profileFolder;
    for (size_t i = 0; i < std::size(Way); ++i)
    {
        if (i)
            path += (path.back() == L'\\' ? L"" : L"\\") + std::wstring(Way[i - 1]);
        cHandle folder = HoldFolder(path, i == 0);
        if (!folder)
        {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND
                                                                                  : static_cast<LONG>(error);
        }
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!::GetFileInformationByHandleEx(folder.Get(), FileAttributeTagInfo, &tag, sizeof tag))
            return static_cast<LONG>(::GetLastError());
        // Wine opens a Unix symbolic link's target even when asked for the link: its entry says what it is.
        const DWORD entry = i ? ::GetFileAttributesW(path.c_str()) : 0;
        if (cSecureFolder::LinkOf(tag.FileAttributes, tag.ReparseTag) ||
            (entry != INVALID_FILE_ATTRIBUTES && (entry & FILE_ATTRIBUTE_REPARSE_POINT)))
            return cUserClasses::LinkOnTheWay;
        // A file where a folder belongs holds no classes file.
        if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return ERROR_FILE_NOT_FOUND;
        held.push_back(std::move(folder));
    }
    return ERROR_SUCCESS;
}
} // namespace

std::wstring cUserClasses::FilePath(const std::wstring& profileFolder)
{
    const bool slash = !profileFolder.empty() && profileFolder.back() == L'\\';
    return profileFolder + (slash ? L"" : L"\\") + L"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
}

std::wstring cUserClasses::RegistryNameOf(const std::wstring& sid)
{
    return L"HKEY_USERS\\" + sid + L"_Classes";
}

bool cUserClasses::IsLoaded(const std::wstring& name)
{
    cKey key;
    return key.Open(HKEY_USERS, name, KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

cUserClasses cUserClasses::OpenRunner(REGSAM access)
{
    cUserClasses classes;
    // What COM reads for the runner, SYSTEM included. KEY_WOW64_64KEY: the paths below are physical ones,
    // Wow6432Node spelled out where meant.
    classes.Status = classes.Root.Open(HKEY_CURRENT_USER, L"Software\\Classes", access | KEY_WOW64_64KEY);
    classes.Source = classes.Status == ERROR_SUCCESS          ? eSource::Runner
                     : classes.Status == ERROR_FILE_NOT_FOUND ? eSource::NoFile
                                                              : eSource::Failed;
    return classes;
}

cUserClasses cUserClasses::OpenLoaded(const std::wstring& sid, REGSAM access)
{
    cUserClasses classes;
    // Only the hive Windows loads for a signed-in user's classes: HKEY_USERS\<sid>\Software\Classes is theirs
    // only through a link Windows makes at that sign-in, and a program that mounted just the main hive there
    // would show a key COM never reads.
    classes.Status = classes.Root.Open(HKEY_USERS, sid + L"_Classes", access | KEY_WOW64_64KEY);
    classes.Source = classes.Status == ERROR_SUCCESS ? eSource::Loaded : eSource::Failed;
    return classes;
}

cUserClasses cUserClasses::LoadForChange(const std::wstring& sid, const std::wstring& profileFolder)
{
    cUserClasses classes;
    // Never beside Windows' own: a user signing in now, or a hive another program mounted.
    if (IsLoaded(sid) || IsLoaded(sid + L"_Classes"))
    {
        classes.Status = SigningIn;
        return classes;
    }
    const std::wstring file = FilePath(profileFolder);
    classes.Status = HoldWay(profileFolder, classes.Held);
    if (classes.Status == ERROR_SUCCESS)
        classes.Status = LookAtFile(file);
    if (classes.Status == ERROR_FILE_NOT_FOUND)
    {
        classes.Held.clear();
        classes.Source = eSource::NoFile;
        classes.Status = ERROR_SUCCESS;
        return classes;
    }
    if (classes.Status == ERROR_SUCCESS)
        classes.Status = classes.Mount.Load(file);
    if (classes.Status == ERROR_SUCCESS)
        classes.Status =
            classes.Root.Open(HKEY_USERS, classes.Mount.Name(), KEY_READ | KEY_WRITE | KEY_WOW64_64KEY);
    // Looked at again once loaded: the file itself cannot be held while Windows loads it.
    if (classes.Status == ERROR_SUCCESS && LookAtFile(file) == LinkOnTheWay)
        classes.Status = LinkOnTheWay;
    if (classes.Status == ERROR_SUCCESS)
        classes.Source = eSource::FromFile;
    else
        classes.Close();
    return classes;
}

LONG cUserClasses::Close()
{
    Root = cKey();
    const LONG status = Mount.Unload();
    if (status == ERROR_SUCCESS)
        Held.clear();
    return status;
}

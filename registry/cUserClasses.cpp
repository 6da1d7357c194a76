#include "registry/cUserClasses.h"
#include "sys/cOwned.h"
#include <vector>

namespace
{
// The steps below a profile's folder (the folder itself may be a link an administrator made); the last one
// is the file.
const wchar_t* const Way[] = {L"AppData", L"Local", L"Microsoft", L"Windows", L"UsrClass.dat"};

// What is at `path`: ERROR_SUCCESS with its step, or why there is nothing to read (ERROR_FILE_NOT_FOUND: no
// classes file there).
LONG Look(const std::wstring& path, cUserClasses::eStep& step)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD error = ::GetLastError();
        return error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : static_cast<LONG>(error);
    }
    step = cUserClasses::StepOf(attributes);
    return step == cUserClasses::eStep::Link ? cUserClasses::LinkOnTheWay : ERROR_SUCCESS;
}

// A user may plant a link on the way to their own classes file; the elevated tool must not load, let alone
// change, another file through it. Each folder is opened (itself, never a link's target) and held so that it
// can be neither renamed nor deleted, then looked at: what is held is what was checked.
LONG HoldWay(const std::wstring& profileFolder, std::vector<cHandle>& held)
{
    std::wstring path = profileFolder;
    for (size_t i = 0; i + 1 < std::size(Way); ++i)
    {
        path += (path.back() == L'\\' ? L"" : L"\\") + std::wstring(Way[i]);
        held.emplace_back(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        cUserClasses::eStep step = cUserClasses::eStep::Directory;
        const LONG status = held.back() ? Look(path, step) : static_cast<LONG>(::GetLastError());
        if (status != ERROR_SUCCESS)
            return status == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : status;
        // A file where a folder belongs holds no classes file.
        if (step != cUserClasses::eStep::Directory)
            return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

// RegLoadAppKeyW can report success with a key that cannot be used (Wine's does): asked once, such a key
// counts as a refusal.
bool Usable(HKEY key)
{
    DWORD subKeys = 0;
    return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
} // namespace

cUserClasses::eStep cUserClasses::StepOf(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return eStep::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? eStep::Directory : eStep::File;
}

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
    // Named as the hive is when the user is signed in, or after `reg load HKU\<sid>_Classes`: a backup names
    // it so, whatever name the tool loaded it under.
    classes.RegistryName = L"HKEY_USERS\\" + sid + L"_Classes";
    std::vector<cHandle> held;
    const std::wstring file = FilePath(profileFolder);
    classes.Status = HoldWay(profileFolder, held);
    eStep step = eStep::File;
    if (classes.Status == ERROR_SUCCESS)
        classes.Status = Look(file, step);
    if (classes.Status == ERROR_FILE_NOT_FOUND || (classes.Status == ERROR_SUCCESS && step != eStep::File))
    {
        classes.Source = eSource::NoFile;
        classes.Status = ERROR_SUCCESS;
        return classes;
    }
    if (classes.Status != ERROR_SUCCESS)
        return classes;
    // For this process alone, under no name others see, where Windows allows it: it refuses a file whose keys
    // do not all share one security descriptor, as real classes files on Windows 8 and later have.
    HKEY root = nullptr;
    classes.Status = ::RegLoadAppKeyW(file.c_str(), &root, access | KEY_WOW64_64KEY, 0, 0);
    if (classes.Status == ERROR_SUCCESS)
    {
        classes.Root = cKey(root);
        if (!Usable(root))
            classes.Root = cKey(), classes.Status = ERROR_INVALID_HANDLE;
    }
    if (classes.Status != ERROR_SUCCESS)
    {
        classes.Status = classes.Mount.Load(file);
        if (classes.Status == ERROR_SUCCESS)
            classes.Status = classes.Root.Open(HKEY_USERS, classes.Mount.Name(), access | KEY_WOW64_64KEY);
    }
    // In use: the user signed in meanwhile, and Windows has it loaded.
    if (classes.Status == ERROR_SHARING_VIOLATION)
    {
        cUserClasses loaded = OpenLoaded(sid, access);
        if (loaded.Source == eSource::Loaded)
            return loaded;
    }
    // Checked again once loaded: the file itself cannot be held while Windows loads it.
    if (classes.Status == ERROR_SUCCESS && Look(file, step) == cUserClasses::LinkOnTheWay)
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
    return Mount.Unload();
}

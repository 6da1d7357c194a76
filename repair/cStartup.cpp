#include "repair/cStartup.h"
#include "sys/mShlwVB.h"

std::wstring cStartup::LogPath(const std::wstring& desktop, unsigned major, unsigned minor, unsigned revision)
{
    if (desktop.empty())
        return {};
    return mShlwVB::AddBackslash(desktop) + L"plwg2reg" + std::to_wstring(major) + std::to_wstring(minor) +
           std::to_wstring(revision) + L".log";
}

std::wstring cStartup::ExpectedPath(const std::wstring& programFiles, const std::wstring& fileName)
{
    // Without a Program Files folder the path would lie under the current drive's root, where any user can
    // create folders, and an elevated regsvr32 would register whatever was put there.
    if (programFiles.empty())
        return {};
    return mShlwVB::AddBackslash(programFiles) + L"kovamap\\common\\" + fileName;
}

#include "repair/cBackup.h"
#include "sys/cAppError.h"
#include "security/cLocalPath.h"
#include "registry/cRegFile.h"
#include "security/cSecureFolder.h"
#include "sys/mShlwVB.h"
#include <cwchar>

std::wstring cBackup::FolderOf(const std::wstring& programData)
{
    if (programData.empty())
        return {};
    return mShlwVB::AddBackslash(programData) + L"plotwing2fix\\backup";
}

std::wstring cBackup::FileName(const SYSTEMTIME& at, const std::wstring& what)
{
    wchar_t stamp[32] = {};
    std::swprintf(stamp, 32, L"%04u%02u%02u-%02u%02u%02u-", at.wYear, at.wMonth, at.wDay, at.wHour,
                  at.wMinute, at.wSecond);
    return stamp + what + L".reg";
}

std::wstring cBackup::RefusalOf(const cSecureFolder::cResult& folder)
{
    return cSecureFolder::RefusalOf(folder, L"バックアップフォルダー");
}

std::wstring cBackup::FolderRefusal()
{
    if (!m_folderChecked)
    {
        m_folderChecked = true;
        m_folderLocal = cLocalPath::IsLocal(m_folder);
        if (m_folderLocal)
            // The tool's own folder: only SYSTEM, administrators or Windows may own any folder on its way.
            m_held = cSecureFolder::Ensure(m_folder, false);
    }
    if (!m_folderLocal)
        return L"ProgramData フォルダーが分かりません";
    return RefusalOf(m_held.Verify());
}

cBackup::cSaved cBackup::Reserve(const std::wstring& what)
{
    cSaved saved;
    saved.Reason = FolderRefusal();
    if (!saved.Reason.empty())
        return saved;
    // Two repairs in the same second, or a file someone left: the next free name.
    const std::wstring base = m_folder + L"\\" + FileName(m_at, what);
    for (int n = 1; n <= 99; ++n)
    {
        const std::wstring path =
            n == 1 ? base : base.substr(0, base.size() - 4) + L"-" + std::to_wstring(n) + L".reg";
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
            ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return {eSaved::Saved, path, {}};
    }
    saved.Reason = L"バックアップファイルの名前が残っていません：" + base;
    return saved;
}

LONG cBackup::MachineKeys(const std::vector<std::wstring>& classIds, cRegFile& file, std::wstring& failedKey)
{
    for (const wchar_t* view : {L"SOFTWARE\\Classes\\CLSID\\", L"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\"})
        for (const std::wstring& classId : classIds)
        {
            failedKey = L"HKEY_LOCAL_MACHINE\\" + (view + classId);
            cKey key;
            LONG status = key.Open(HKEY_LOCAL_MACHINE, view + classId, KEY_READ | KEY_WOW64_64KEY);
            if (status == ERROR_FILE_NOT_FOUND)
                continue;
            if (status == ERROR_SUCCESS)
                status = file.AddTree(key, failedKey);
            if (status != ERROR_SUCCESS)
                return status;
        }
    failedKey.clear();
    return ERROR_SUCCESS;
}

cBackup::cSaved cBackup::SaveMachine(const std::vector<std::wstring>& classIds)
{
    cRegFile file;
    std::wstring failedKey;
    const LONG read = MachineKeys(classIds, file, failedKey);
    if (read != ERROR_SUCCESS)
        return {eSaved::Failed, {}, SystemMessage(static_cast<unsigned long>(read)) + L"：" + failedKey};
    cSaved saved = Reserve(L"machine");
    if (saved.Outcome != eSaved::Saved)
        return saved;
    const DWORD written = file.SaveAs(saved.Path);
    if (written != ERROR_SUCCESS)
        return {eSaved::Failed, {}, SystemMessage(written) + L"：" + saved.Path};
    return saved;
}

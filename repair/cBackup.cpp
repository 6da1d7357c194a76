#include "repair/cBackup.h"
#include "sys/cAppError.h"
#include "sys/cLocalPath.h"
#include "sys/cRegFile.h"
#include "sys/cSecureFolder.h"
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

const std::wstring& cBackup::FolderRefusal()
{
    if (m_folderChecked)
        return m_folderRefusal;
    m_folderChecked = true;
    if (!cLocalPath::IsLocal(m_folder))
        return m_folderRefusal = L"ProgramData フォルダーが分かりません";
    const cSecureFolder::cResult folder = cSecureFolder::Ensure(m_folder);
    switch (folder.Outcome)
    {
    case cSecureFolder::eOutcome::Ready:
    case cSecureFolder::eOutcome::Created:
        break;
    case cSecureFolder::eOutcome::Link:
        m_folderRefusal = L"バックアップフォルダーの途中にリンクがあります：" + folder.At;
        break;
    case cSecureFolder::eOutcome::Untrusted:
        m_folderRefusal =
            L"バックアップフォルダーの所有者が SYSTEM でも Administrators でもありません：" + folder.At;
        break;
    case cSecureFolder::eOutcome::Failed:
        m_folderRefusal = SystemMessage(folder.Error) + L"：" + folder.At;
        break;
    }
    return m_folderRefusal;
}

cBackup::cSaved cBackup::Reserve(const std::wstring& what)
{
    cSaved saved;
    if (!FolderRefusal().empty())
    {
        saved.Reason = m_folderRefusal;
        return saved;
    }
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

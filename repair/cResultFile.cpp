#include "repair/cResultFile.h"
#include "security/cLocalPath.h"
#include "sys/cAppError.h"
#include "sys/mShlwVB.h"
#include "sys/StrConv.h"
#include <sddl.h>

namespace
{
// SYSTEM and administrators may write the file, users may read it, whatever the folder would pass on. The
// owner is the one Windows gives what SYSTEM or an elevated administrator makes.
constexpr const wchar_t* FileSecurity = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";

std::wstring RefusalOf(const cSecureFolder::cResult& folder)
{
    return cSecureFolder::RefusalOf(folder, L"結果フォルダー");
}

// A collector reading the last result holds it for a moment: the move waits for it, within a bound.
DWORD MoveOver(const std::wstring& from, const std::wstring& to)
{
    for (int tried = 1;; ++tried)
    {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        const DWORD error = ::GetLastError();
        if (tried == cResultFile::MoveTries ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
             error != ERROR_LOCK_VIOLATION))
            return error;
        ::Sleep(cResultFile::MoveRetryMs);
    }
}
} // namespace

std::wstring cResultFile::PathOf(const std::wstring& programData)
{
    return programData.empty() ? std::wstring()
                               : mShlwVB::AddBackslash(programData) + L"plotwing2fix\\result\\last.json";
}

cSecureFolder::cHeld cResultFile::Folder(const std::wstring& folder) const
{
    // The tool's own folder: only SYSTEM, administrators or Windows may own any folder on its way.
    return cSecureFolder::Ensure(folder, false);
}

cResultFile::cKept cResultFile::Failure(const std::wstring& reason) const
{
    return {eKept::Failed, L"結果ファイルを書けませんでした（" + reason + L"）：" + m_path};
}

cResultFile::cKept cResultFile::Keep(const std::wstring& json, bool elevated) const
{
    if (!elevated)
        return {eKept::NotElevated, L"管理者権限がないため、結果ファイルは書きません：" + m_path};
    if (!cLocalPath::IsLocal(m_path))
        return Failure(L"ProgramData フォルダーが分かりません");
    const std::wstring folder = m_path.substr(0, m_path.rfind(L'\\'));
    // Held until the file is in place, and looked at again just before it is written.
    const cSecureFolder::cHeld held = Folder(folder);
    if (const std::wstring refused = RefusalOf(held.Verify()); !refused.empty())
        return Failure(refused);
    cLocalMemory descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(FileSecurity, SDDL_REVISION_1,
                                                                descriptor.Put(), nullptr))
        return Failure(SystemMessage(::GetLastError()));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    // A name no other run uses; an existing file of that name is never written through or removed.
    const std::wstring temporary = folder + L"\\last-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(::GetTickCount()) + L".tmp";
    cHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Failure(SystemMessage(::GetLastError()));
    // The line is ASCII alone (cJsonWriter escapes everything else): any code page reads the same bytes.
    const std::string bytes = strconv::ToAnsi(json + L"\r\n", CP_UTF8);
    DWORD written = 0;
    DWORD error =
        ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size() && ::FlushFileBuffers(file.Get())
            ? ERROR_SUCCESS
            : ::GetLastError();
    file.Reset();
    if (error == ERROR_SUCCESS)
        error = MoveOver(temporary, m_path);
    if (error == ERROR_SUCCESS)
        return {eKept::Written, {}};
    ::DeleteFileW(temporary.c_str());
    return Failure(SystemMessage(error ? error : ERROR_WRITE_FAULT));
}

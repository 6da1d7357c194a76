#include "repair/cRegsvr32.h"
#include "repair/cComponentLookup.h"
#include "sys/cPathForm.h"
#include "sys/mShlwVB.h"
#include "sys/SystemFolder.h"

cRegistrationOutcome cRegsvr32::Register(const std::wstring& expectedPath, const std::wstring& classId)
{
    const std::wstring program = ProgramPath(SystemFolder());
    if (program.empty())
        return cRegistrationOutcome::Failure(
            L"システムフォルダーが分からないため regsvr32.exe を起動できませんでした");
    const std::optional<HANDLE> process = Start(program, Parameter(expectedPath));
    if (!process)
        return cRegistrationOutcome::Failure(m_launcher.ErrorMessage());
    if (!*process)
        return cRegistrationOutcome::Failure(
            L"regsvr32.exe の終了を確かめられませんでした（プロセスハンドルがありません）");
    const cModalWait::eWait waited = Wait(*process);
    if (waited == cModalWait::eWait::TimedOut)
        return cRegistrationOutcome::Failure(L"regsvr32.exe が" + std::to_wstring(m_timeoutMs / 1000) +
                                             L"秒以内に終了しませんでした");
    if (waited != cModalWait::eWait::Signalled)
        return cRegistrationOutcome::Failure(L"regsvr32.exe の終了を待てませんでした");
    const std::optional<DWORD> exitCode = ExitCode(*process);
    if (!exitCode)
        return cRegistrationOutcome::Failure(L"regsvr32.exe の終了コードを取得できませんでした");
    if (*exitCode != 0)
        return cRegistrationOutcome::Failure(L"regsvr32.exe がエラーで終了しました（終了コード " +
                                             std::to_wstring(*exitCode) + L"）");
    // Exit code 0 says only that the file's own registration ran: the repair happened only when COM now
    // finds the component where it belongs.
    const std::wstring registered = RegisteredText(classId);
    if (!cComponentLookup::SamePath(cComponentLookup::LongForm(registered), expectedPath))
        return cRegistrationOutcome::Failure(
            L"regsvr32.exe は正常に終了しましたが、参照位置が変わっていません（現在の参照位置：" +
            registered + L"）");
    return cRegistrationOutcome::Success();
}

std::wstring cRegsvr32::ProgramPath(const std::wstring& systemFolder)
{
    // An empty folder would make "\regsvr32.exe" on the current drive's root: a place others may write.
    if (systemFolder.empty())
        return {};
    return mShlwVB::AddBackslash(systemFolder) + L"regsvr32.exe";
}

std::wstring cRegsvr32::Parameter(const std::wstring& expectedPath)
{
    // Without short names the 8.3 form is empty or keeps its blanks; quoting then keeps the path whole.
    const std::wstring shortPath = cPathForm::Short(expectedPath);
    const bool quote = shortPath.empty() || shortPath.find(L' ') != std::wstring::npos;
    return L" /s " + (quote ? L"\"" + expectedPath + L"\"" : shortPath);
}

std::wstring cRegsvr32::SystemFolder() const
{
    return ::SystemFolder();
}

std::optional<HANDLE> cRegsvr32::Start(const std::wstring& program, const std::wstring& parameter)
{
    // The loader looks in the current folder for a DLL found nowhere else: regsvr32 must not inherit the
    // tool's (often a downloads folder, where a planted DLL would run elevated).
    m_launcher.WorkingFolder(SystemFolder());
    if (m_launcher.Execute(m_owner, 2, program, parameter, 1, 1100))
        return std::nullopt;
    return m_launcher.ProcessHandle();
}

cModalWait::eWait cRegsvr32::Wait(HANDLE process)
{
    return cModalWait::For(process, m_owner, m_timeoutMs);
}

std::wstring cRegsvr32::RegisteredText(const std::wstring& classId) const
{
    return cComponentLookup::RegisteredText(classId);
}

std::optional<DWORD> cRegsvr32::ExitCode(HANDLE process) const
{
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code))
        return std::nullopt;
    return code;
}

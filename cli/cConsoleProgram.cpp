#include "cli/cConsoleProgram.h"
#include "repair/cReportBuffer.h"
#include "registry/cHiveMount.h"
#include "repair/cStopRequest.h"
#include "sys/cFileSystemObject.h"
#include "security/cSecureFolder.h"
#include "security/cRunner.h"

namespace
{
std::optional<cRunResult::eCommand> RunOf(std::optional<cCliRequest::eCommand> command)
{
    if (!command)
        return std::nullopt;
    return *command == cCliRequest::eCommand::Repair ? cRunResult::eCommand::Repair
                                                     : cRunResult::eCommand::Check;
}
} // namespace

BOOL WINAPI cConsoleProgram::OnControl(DWORD type)
{
    // Ctrl+C or Ctrl+Break: the run stops before its next change, unloads what it loaded and ends 4 with its
    // log entry and JSON. A closed console, a sign-out or a shut-down ends the process soon after this
    // returns: no further change, and one try at unloading a user's file this run loaded.
    cStopRequest::Request();
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)
        return TRUE;
    cHiveMount::UnloadAllOnce();
    return FALSE;
}

int cConsoleProgram::Run(const std::vector<std::wstring>& args)
{
    const auto parsed = cCommandLine::Parse(args);
    if (const auto* error = std::get_if<cUsageError>(&parsed))
    {
        m_err.Write((error->Message.empty() ? std::wstring() : error->Message + L"\r\n") +
                    cCommandLine::Usage() + L"\r\n");
        if (error->Json)
            m_out.Write(
                cResultJson::Refusal(RunOf(error->Command), cExitCode::BadCommandLine, error->Message) +
                L"\r\n");
        return cExitCode::BadCommandLine;
    }
    const cCliRequest& request = std::get<cCliRequest>(parsed);
    if (request.Command == cCliRequest::eCommand::Help)
    {
        m_out.Write(std::wstring(cCommandLine::Usage()) + L"\r\n");
        return cExitCode::SetUp;
    }
    const bool elevated = IsElevated();
    // Checked before anything starts: a repair without the rights would start regsvr32 in vain.
    if (request.Command == cCliRequest::eCommand::Repair && !elevated)
    {
        const std::wstring message = L"repair には管理者権限が必要です。管理者として実行してください。";
        m_err.Write(message + L"\r\n");
        if (request.Json)
            m_out.Write(cResultJson::Refusal(RunOf(request.Command), cExitCode::ElevationRequired, message) +
                        L"\r\n");
        return cExitCode::ElevationRequired;
    }
    // Other users' classes files are refused to a run without the rights: said once, before the users it
    // leaves unread.
    if (request.Command == cCliRequest::eCommand::Check && !elevated)
        m_err.Write(L"管理者権限がないため、ほかのユーザーのユーザー別の登録は確認できません。"
                    L"すべてのユーザーを確認するには、管理者として実行してください。\r\n");
    const std::unique_ptr<cRepairTool> tool = MakeTool();
    cSecureFolder::cHeld logFolder;
    tool->Start(LogPathFor(request, logFolder));
    if (!request.LogPath && tool->LogPath().empty())
        m_err.Write(
            L"デスクトップフォルダーが分からないため、ログは書きません（--log で場所を指定できます）。\r\n");
    const cRunResult result = Work(*tool, request);
    const std::wstring json = cResultJson::Of(result);
    // Left on the PC for collectors; a result that cannot be kept is said and changes nothing else.
    const cResultFile::cKept kept = tool->KeepResult(json, elevated);
    if (kept.Outcome != cResultFile::eKept::Written)
        m_err.Write(kept.Reason + L"\r\n");
    tool->Finish();
    m_out.Write(request.Json ? json + L"\r\n" : result.Report);
    return cResultJson::CodeOf(result);
}

cRunResult cConsoleProgram::Work(cRepairTool& tool, const cCliRequest& request) const
{
    cRunResult result{};
    result.Command = *RunOf(request.Command);
    cReportBuffer box;
    result.First = tool.Check(box, true);
    ReportFailure(result.First.Failure);
    ReportUnread(result.First);
    if (request.Command == cCliRequest::eCommand::Check || result.First.Failure)
    {
        result.Report = result.First.Failure ? L"" : box.Text() + L"\r\n";
        return result;
    }
    // As in the window, 「再設定」 can be pressed only when the check found something to repair, or forced.
    if (result.First.ResetEnabled || request.Force)
    {
        result.Repair = tool.Repair(box, true, request.Force, nullptr);
        ReportFailure(result.Repair->Failure);
    }
    cReportBuffer after;
    result.After = tool.Check(after, true);
    ReportFailure(result.After->Failure);
    ReportUnread(*result.After);
    result.Report = box.Text() + L"\r\n" + (result.After->Failure ? L"" : after.Text() + L"\r\n");
    return result;
}

bool cConsoleProgram::IsElevated() const
{
    return cRunner::IsElevated();
}

std::unique_ptr<cRepairTool> cConsoleProgram::MakeTool() const
{
    return std::make_unique<cRepairTool>();
}

std::optional<std::wstring> cConsoleProgram::LogPathFor(const cCliRequest& request,
                                                        cSecureFolder::cHeld& held) const
{
    if (!request.LogPath)
        return std::nullopt;
    const cFileSystemObject files;
    const std::wstring path = files.GetAbsolutePathName(*request.LogPath);
    // A deployment tool runs this as SYSTEM, often into a folder below ProgramData that no one made yet: made
    // here, only administrators and SYSTEM may write in it. A folder a user prepared is not written through.
    const size_t folderEnd = path.find_last_of(L"\\/");
    if (path.size() > 3 && path[1] == L':' && folderEnd != std::wstring::npos && folderEnd > 2)
    {
        // Every folder on the way, held for the run; one of the runner's own may be where the runner asked.
        held = cSecureFolder::Ensure(path.substr(0, folderEnd), true);
        const cSecureFolder::cResult& folder = held.Result;
        const wchar_t* refused =
            folder.Outcome == cSecureFolder::eOutcome::Link
                ? L"ログフォルダーの途中にリンク（シンボリック リンク、ジャンクション、マウント "
                  L"ポイント）があるため、ログなしで続けます: "
            : folder.Outcome == cSecureFolder::eOutcome::Untrusted
                ? L"ログフォルダーまたはその途中のフォルダーの所有者が "
                  L"SYSTEM、Administrators、TrustedInstaller、"
                  L"実行中のユーザーのどれでもないため、ログなしで続けます: "
            : folder.Outcome == cSecureFolder::eOutcome::Unheld
                ? L"ログフォルダーまたはその途中のフォルダーを名前の変更や移動から保護できないため、ログなし"
                  L"で続けます: "
                : nullptr;
        if (refused)
        {
            m_err.Write(refused + folder.At + L"\r\n");
            return std::wstring();
        }
    }
    // Tried once here: a log that cannot be written is said once, not lost entry by entry in silence.
    try
    {
        files.OpenTextFile(path, cFileSystemObject::ForAppending, true, cFileSystemObject::TristateFalse)
            .Close();
        return path;
    }
    catch (const cAppError& e)
    {
        m_err.Write(L"ログを書けないため、ログなしで続けます（" + e.Description() + L"）: " + path + L"\r\n");
        return std::wstring();
    }
}

void cConsoleProgram::ReportUnread(const cCheckOutcome& check) const
{
    // A collector counts such PCs from here as well as from the exit code.
    for (const cUserReading& user : check.Users)
        if (!user.Read)
            m_err.Write(cCheckReport::NotReadLine(user.Named(), user.Reason).substr(1) + L"\r\n");
    for (const cUnloadFailure& failure : check.Unloads)
        m_err.Write(cCheckReport::UnloadLine(failure).substr(1) + L"\r\n");
    if (check.Unlisted)
        m_err.Write(cCheckReport::UnlistedLine(check.Unlisted).substr(1) + L"\r\n");
}

void cConsoleProgram::ReportFailure(const std::optional<cAppError>& failure) const
{
    if (failure)
        m_err.Write(L"処理に失敗しました（エラー " + std::to_wstring(failure->Number()) + L"：" +
                    failure->Description() + L"、" + failure->Source() + L"）。ログにも記録しました。\r\n");
}

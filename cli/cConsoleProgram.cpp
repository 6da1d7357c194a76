#include "cli/cConsoleProgram.h"
#include "repair/cReportBuffer.h"
#include "cli/cJsonWriter.h"
#include "sys/cFileSystemObject.h"
#include "image/cFileVersion.h"
#include "security/cLocalPath.h"
#include "security/cSecureFolder.h"
#include "security/cRunner.h"
#include <algorithm>

namespace
{
const wchar_t* VerdictName(eVerdict verdict)
{
    switch (verdict)
    {
    case eVerdict::SetUp:
        return L"set-up";
    case eVerdict::Unverified:
        return L"unverified";
    case eVerdict::RepairNeeded:
        return L"repair-needed";
    case eVerdict::CannotRepair:
        return L"cannot-repair";
    case eVerdict::NotInstalled:
        return L"not-installed";
    case eVerdict::Failed:
        break;
    }
    return nullptr;
}

const wchar_t* StateName(ePathState state)
{
    return state == ePathState::Correct      ? L"correct"
           : state == ePathState::Repairable ? L"repairable"
           : state == ePathState::Unloadable ? L"unloadable"
                                             : L"missing";
}

// What the map's process can make of the expected file: null when it is not there.
void WriteImage(cJsonWriter& json, const std::optional<cImageCheck::cJudgement>& image)
{
    json.Key(L"image");
    if (!image)
    {
        json.Null();
        return;
    }
    json.BeginObject();
    json.Key(L"machine");
    image->Kind == cImageCheck::eImage::Unreadable ? json.Null()
                                                   : json.String(cImageCheck::MachineName(image->Machine));
    json.Key(L"loadable").Bool(image->Kind == cImageCheck::eImage::Loadable);
    json.Key(L"reason");
    image->Kind == cImageCheck::eImage::Loadable ? json.Null()
                                                 : json.String(cImageCheck::TokenOf(image->Kind));
    // Every name: the report shows the first ones only.
    const std::pair<const wchar_t*, const cImageCheck::cNames*> lists[] = {
        {L"missing", &image->Missing},
        {L"later", &image->Later},
        {L"notJudged", &image->NotJudged},
        {L"assemblies", &image->Assemblies}};
    for (const auto& [key, names] : lists)
    {
        json.Key(key).BeginArray();
        for (const std::wstring& name : *names)
            json.String(name);
        json.EndArray();
    }
    json.EndObject();
}

// A local file's version, or null: a server, a device or an NT path is never asked.
void Version(cJsonWriter& json, const std::wstring& path)
{
    const std::optional<std::wstring> version =
        cLocalPath::IsLocal(path) ? cFileVersion::Of(path) : std::nullopt;
    version ? json.String(*version) : json.Null();
}

const wchar_t* UserStateName(eUserState state)
{
    return state == eUserState::None ? L"none" : state == eUserState::Correct ? L"correct" : L"shadows";
}

void WriteUsers(cJsonWriter& json, const std::vector<cUserReading>& users)
{
    json.Key(L"users").BeginArray();
    for (const cUserReading& user : users)
    {
        json.BeginObject();
        json.Key(L"sid").String(user.Sid);
        json.Key(L"account");
        user.Account.empty() ? json.Null() : json.String(user.Account);
        json.Key(L"loaded").Bool(user.Loaded);
        json.Key(L"read").Bool(user.Read);
        if (!user.Read)
            json.Key(L"reason").String(user.Reason);
        json.Key(L"components").BeginArray();
        for (const cUserComponent& own : user.Components)
        {
            json.BeginObject();
            json.Key(L"name").String(own.Component->Name);
            json.Key(L"registered");
            own.State == eUserState::None || own.Kind != cKey::eValue::Text ? json.Null()
                                                                            : json.String(own.Registered);
            json.Key(L"state").String(UserStateName(own.State));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
}

void WriteSkipped(cJsonWriter& json, const std::vector<cSkippedProfile>& skipped)
{
    json.Key(L"skipped").BeginArray();
    for (const cSkippedProfile& profile : skipped)
        json.BeginObject().Key(L"sid").String(profile.Sid).Key(L"reason").String(profile.Reason).EndObject();
    json.EndArray();
}

void WriteUnloads(cJsonWriter& json, const std::vector<cUnloadFailure>& unloads)
{
    json.Key(L"unloadFailures").BeginArray();
    for (const cUnloadFailure& failure : unloads)
        json.BeginObject()
            .Key(L"name")
            .String(failure.Name)
            .Key(L"reason")
            .String(failure.Reason)
            .Key(L"thisRun")
            .Bool(failure.ThisRun)
            .EndObject();
    json.EndArray();
}

bool AnyOfThisRun(const std::vector<cUnloadFailure>& unloads)
{
    return std::any_of(unloads.begin(), unloads.end(), [](const cUnloadFailure& f) { return f.ThisRun; });
}

void WriteError(cJsonWriter& json, const cAppError& error)
{
    json.Key(L"error").BeginObject();
    json.Key(L"number").Number(error.Number());
    json.Key(L"description").String(error.Description());
    json.Key(L"source").String(error.Source());
    json.EndObject();
}

// `moreUnloads`: what a repair left loaded, said beside its first check's. A run refused before any check
// (`ran` false) read no profile list.
void WriteCheck(cJsonWriter& json, const cCheckOutcome& check,
                const std::vector<cUnloadFailure>& moreUnloads = {}, bool ran = true)
{
    json.Key(L"verdict");
    const wchar_t* verdict = VerdictName(check.Verdict);
    verdict ? json.String(verdict) : json.Null();
    json.Key(L"components").BeginArray();
    for (const cComponentReading& reading : check.Components)
    {
        json.BeginObject();
        json.Key(L"name").String(reading.Component->Name);
        json.Key(L"classId").String(reading.Component->ClassId);
        json.Key(L"registered").String(reading.Registered);
        json.Key(L"expected").String(reading.Expected);
        json.Key(L"state").String(StateName(reading.State));
        // The long form names a local file only, never the server a registration may name.
        Version(json.Key(L"registeredVersion"), reading.LongPath);
        Version(json.Key(L"expectedVersion"), reading.Expected);
        WriteImage(json, reading.Image);
        json.EndObject();
    }
    json.EndArray();
    WriteUsers(json, check.Users);
    if (ran)
    {
        WriteSkipped(json, check.Skipped);
        std::vector<cUnloadFailure> unloads = check.Unloads;
        unloads.insert(unloads.end(), moreUnloads.begin(), moreUnloads.end());
        WriteUnloads(json, unloads);
    }
    if (check.Failure)
        WriteError(json, *check.Failure);
}

std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}
} // namespace

int cConsoleProgram::Run(const std::vector<std::wstring>& args)
{
    const auto parsed = cCommandLine::Parse(args);
    if (const auto* error = std::get_if<cUsageError>(&parsed))
    {
        m_err.Write((error->Message.empty() ? std::wstring() : error->Message + L"\r\n") +
                    cCommandLine::Usage() + L"\r\n");
        if (error->Json)
            m_out.Write(RefusalJson(error->Command, BadCommandLine, error->Message) + L"\r\n");
        return BadCommandLine;
    }
    const cCliRequest& request = std::get<cCliRequest>(parsed);
    if (request.Command == cCliRequest::eCommand::Help)
    {
        m_out.Write(std::wstring(cCommandLine::Usage()) + L"\r\n");
        return SetUp;
    }
    // Checked before anything starts: a repair without the rights would start regsvr32 in vain.
    if (request.Command == cCliRequest::eCommand::Repair && !IsElevated())
    {
        const std::wstring message = L"repair には管理者権限が必要です。管理者として実行してください。";
        m_err.Write(message + L"\r\n");
        if (request.Json)
            m_out.Write(RefusalJson(request.Command, ElevationRequired, message) + L"\r\n");
        return ElevationRequired;
    }
    // Other users' classes files are refused to a run without the rights: said once, before the users it
    // leaves unread.
    if (request.Command == cCliRequest::eCommand::Check && !IsElevated())
        m_err.Write(L"管理者権限がないため、ほかのユーザーのユーザー別の登録は確認できません。"
                    L"すべてのユーザーを確認するには、管理者として実行してください。\r\n");
    const std::unique_ptr<cRepairTool> tool = MakeTool();
    cSecureFolder::cHeld logFolder;
    tool->Start(LogPathFor(request, logFolder));
    if (!request.LogPath && tool->LogPath().empty())
        m_err.Write(
            L"デスクトップフォルダーが分からないため、ログは書きません（--log で場所を指定できます）。\r\n");
    const Result result = Work(*tool, request);
    tool->Finish();
    if (request.Json)
        m_out.Write(Json(request, result) + L"\r\n");
    else
        m_out.Write(result.Printed);
    return result.Code;
}

cConsoleProgram::Result cConsoleProgram::Work(cRepairTool& tool, const cCliRequest& request) const
{
    Result result{};
    cReportBuffer box;
    result.First = tool.Check(box, true);
    ReportFailure(result.First.Failure);
    ReportUnread(result.First);
    if (request.Command == cCliRequest::eCommand::Check || result.First.Failure)
    {
        result.Printed = result.First.Failure ? L"" : box.Text() + L"\r\n";
        result.Code = ExitCodeOf(result.First);
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
    result.Printed = box.Text() + L"\r\n" + (result.After->Failure ? L"" : after.Text() + L"\r\n");
    result.Code = ExitCodeOf(result.Repair ? &*result.Repair : nullptr, result.After->Verdict);
    if (result.Code != CheckFailed &&
        (AnyOfThisRun(result.First.Unloads) || AnyOfThisRun(result.After->Unloads)))
        result.Code = CheckFailed;
    return result;
}

cConsoleProgram::eExitCode cConsoleProgram::ExitCodeOf(eVerdict verdict)
{
    switch (verdict)
    {
    case eVerdict::SetUp:
        return SetUp;
    case eVerdict::Unverified:
        return Unverified;
    case eVerdict::RepairNeeded:
        return RepairNeeded;
    case eVerdict::CannotRepair:
        return CannotRepair;
    case eVerdict::NotInstalled:
        return NotInstalled;
    case eVerdict::Failed:
        break;
    }
    return CheckFailed;
}

cConsoleProgram::eExitCode cConsoleProgram::ExitCodeOf(const cCheckOutcome& check)
{
    return AnyOfThisRun(check.Unloads) ? CheckFailed : ExitCodeOf(check.Verdict);
}

cConsoleProgram::eExitCode cConsoleProgram::ExitCodeOf(const cRepairOutcome* repair, eVerdict after)
{
    if (repair && (repair->Failure || repair->LockFailed || AnyOfThisRun(repair->Unloads)))
        return CheckFailed;
    if (repair && repair->LockBusy)
        return AnotherRepairRunning;
    if (repair)
        for (const cRepairReport::Registration& registration : repair->Report->Registrations())
            if (registration.Outcome.Result == cRegistrationOutcome::eResult::Failed)
                return RepairNeeded;
    return ExitCodeOf(after);
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
}

void cConsoleProgram::ReportFailure(const std::optional<cAppError>& failure) const
{
    if (failure)
        m_err.Write(L"処理に失敗しました（エラー " + std::to_wstring(failure->Number()) + L"：" +
                    failure->Description() + L"、" + failure->Source() + L"）。ログにも記録しました。\r\n");
}

std::wstring cConsoleProgram::RefusalJson(std::optional<cCliRequest::eCommand> command, eExitCode code,
                                          const std::wstring& message)
{
    // The shape of a failed check: nothing was checked, and the error says why.
    cJsonWriter json;
    json.BeginObject();
    json.Key(L"command");
    command ? json.String(*command == cCliRequest::eCommand::Repair ? L"repair" : L"check") : json.Null();
    json.Key(L"exitCode").Number(code);
    json.Key(L"computerName").String(ComputerName());
    WriteCheck(json, cCheckOutcome{}, {}, false);
    WriteError(json, cAppError(code, message, L"plotwing2fix-cli"));
    if (command == cCliRequest::eCommand::Repair)
        json.Key(L"registrations").BeginArray().EndArray().Key(L"backups").BeginArray().EndArray();
    json.Key(L"report").String(L"");
    json.EndObject();
    return json.Text();
}

std::wstring cConsoleProgram::Json(const cCliRequest& request, const Result& result) const
{
    cJsonWriter json;
    json.BeginObject();
    json.Key(L"command").String(request.Command == cCliRequest::eCommand::Repair ? L"repair" : L"check");
    json.Key(L"exitCode").Number(result.Code);
    json.Key(L"computerName").String(ComputerName());
    WriteCheck(json, result.First, result.Repair ? result.Repair->Unloads : std::vector<cUnloadFailure>{});
    if (result.Repair && result.Repair->Failure)
        WriteError(json, *result.Repair->Failure);
    if (request.Command == cCliRequest::eCommand::Repair)
    {
        // Present for every repair: empty when nothing needed registering, and after a failure what ran
        // first.
        const cRepairOutcome none;
        const cRepairOutcome& repair = result.Repair ? *result.Repair : none;
        const std::vector<cRepairReport::Registration>& registrations =
            repair.Report ? repair.Report->Registrations() : repair.Done;
        json.Key(L"registrations").BeginArray();
        for (const cRepairReport::Registration& registration : registrations)
        {
            const bool succeeded = registration.Outcome.Result == cRegistrationOutcome::eResult::Succeeded;
            json.BeginObject();
            json.Key(L"name").String(registration.Component->Name);
            json.Key(L"result").String(succeeded ? L"succeeded" : L"failed");
            json.Key(L"reason").String(registration.Outcome.Reason);
            // A removal of a user's own registration names the user and where it saved what it removed.
            json.Key(L"sid");
            registration.Sid.empty() ? json.Null() : json.String(registration.Sid);
            if (!registration.Sid.empty())
                json.Key(L"backup").String(registration.Backup);
            json.EndObject();
        }
        json.EndArray();
        json.Key(L"backups").BeginArray();
        for (const std::wstring& backup : repair.Backups)
            json.String(backup);
        json.EndArray();
    }
    if (result.After)
    {
        json.Key(L"after").BeginObject();
        WriteCheck(json, *result.After);
        json.EndObject();
    }
    json.Key(L"report").String(result.Printed);
    json.EndObject();
    return json.Text();
}

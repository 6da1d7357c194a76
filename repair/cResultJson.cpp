#include "repair/cResultJson.h"
#include "repair/cJsonWriter.h"
#include "image/cFileVersion.h"
#include "image/cVersionBlock.h"
#include "security/cLocalPath.h"
#include <cwchar>

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
        json.Key(L"unlisted").Number(static_cast<long long>(check.Unlisted));
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

// When the run's last check ended, and which build ran: a collected file's own time says neither.
void WriteStamps(cJsonWriter& json, const cCheckOutcome* last)
{
    json.Key(L"checkedAt");
    last ? json.String(cResultJson::Stamp(last->EndedAt)) : json.Null();
    const std::optional<std::wstring> version =
        cResultJson::VersionOf(cVersionBlock::OfThisProgram().FixedInfo());
    json.Key(L"toolVersion");
    version ? json.String(*version) : json.Null();
}
} // namespace

const wchar_t* cResultJson::NameOf(cRunResult::eCommand command)
{
    switch (command)
    {
    case cRunResult::eCommand::Check:
        return L"check";
    case cRunResult::eCommand::Repair:
        return L"repair";
    case cRunResult::eCommand::WindowCheck:
        return L"window-check";
    case cRunResult::eCommand::WindowRepair:
        break;
    }
    return L"window-repair";
}

cExitCode::eCode cResultJson::CodeOf(const cRunResult& run)
{
    return cExitCode::Of(run.First, run.Repair ? &*run.Repair : nullptr, run.After ? &*run.After : nullptr);
}

std::wstring cResultJson::Stamp(const SYSTEMTIME& utc)
{
    wchar_t stamp[32] = {};
    std::swprintf(stamp, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond);
    return stamp;
}

std::optional<std::wstring> cResultJson::VersionOf(const std::optional<VS_FIXEDFILEINFO>& fixed)
{
    return fixed ? std::optional(cVersionBlock::TextOf(*fixed)) : std::nullopt;
}

std::wstring cResultJson::Refusal(std::optional<cRunResult::eCommand> command, cExitCode::eCode code,
                                  const std::wstring& message)
{
    // The shape of a failed check: nothing was checked, and the error says why.
    cJsonWriter json;
    json.BeginObject();
    json.Key(L"command");
    command ? json.String(NameOf(*command)) : json.Null();
    json.Key(L"exitCode").Number(code);
    json.Key(L"computerName").String(ComputerName());
    WriteStamps(json, nullptr);
    WriteCheck(json, cCheckOutcome{}, {}, false);
    WriteError(json, cAppError(code, message, L"plotwing2fix-cli"));
    if (command == cRunResult::eCommand::Repair)
        json.Key(L"registrations").BeginArray().EndArray().Key(L"backups").BeginArray().EndArray();
    json.Key(L"report").String(L"");
    json.EndObject();
    return json.Text();
}

std::wstring cResultJson::Of(const cRunResult& result)
{
    cJsonWriter json;
    json.BeginObject();
    json.Key(L"command").String(NameOf(result.Command));
    json.Key(L"exitCode").Number(CodeOf(result));
    json.Key(L"computerName").String(ComputerName());
    WriteStamps(json, result.After ? &*result.After : &result.First);
    WriteCheck(json, result.First, result.Repair ? result.Repair->Unloads : std::vector<cUnloadFailure>{});
    if (result.Repair && result.Repair->Failure)
        WriteError(json, *result.Repair->Failure);
    if (result.Command == cRunResult::eCommand::Repair ||
        result.Command == cRunResult::eCommand::WindowRepair)
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
    json.Key(L"report").String(result.Report);
    json.EndObject();
    return json.Text();
}

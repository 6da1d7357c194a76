#include "repair/cRepairTool.h"
#include "repair/cBackup.h"
#include "repair/cComponentLookup.h"
#include "repair/cStartup.h"
#include "repair/cStopRequest.h"
#include "repair/cWorkerWait.h"
#include "security/cAccount.h"
#include "catalogue/cCartoriaMapsRegister.h"
#include "log/mDebug.h"
#include "sys/cApplication.h"
#include "sys/cPathForm.h"
#include "sys/mShlwVB.h"
#include "sys/StrConv.h"
#include <algorithm>
#include <utility>

void cRepairTool::Start(const std::optional<std::wstring>& logPath)
{
    m_logPath =
        logPath ? *logPath
                : cStartup::LogPath(GetSpecialFolder(cSpecialFolder::CSIDL_DESKTOP_), cApplication::Major(),
                                    cApplication::Minor(), cApplication::Revision());
    Logger().OutputPath(m_logPath);
    Logger().AllowOutput(!m_logPath.empty());
    Logger().AllowConsole(true);
    if (mDebug::IsDebugMode())
    {
        Logger().OutputLevel(0);
        Logger().DebugOut(L"-- Debug Start --");
    }
    else
    {
        Logger().OutputLevel(1);
        Logger().InfoOut(L"-- Start --");
    }
    Logger().InfoOut(L"Application-Path : " + mShlwVB::AddBackslash(cApplication::Path()));
    LogFolder(L"DeskTop-Path : ", cSpecialFolder::CSIDL_DESKTOP_);
    LogFolder(L"System-Path : ", cSpecialFolder::CSIDL_SYSTEM_);
    LogFolder(L"Program Files-Path : ", cSpecialFolder::CSIDL_PROGRAM_FILES_);

    const std::wstring programFiles = GetSpecialFolder(cSpecialFolder::CSIDL_PROGRAM_FILES_);
    m_expectedControlPath = cStartup::ExpectedPath(programFiles, MapControl.Name);
    m_expectedLookupPath = cStartup::ExpectedPath(programFiles, LookupLibrary.Name);
}

void cRepairTool::Finish()
{
    Logger().InfoOut(mDebug::IsDebugMode() ? L"-- Debug End --" : L"-- End --");
}

cCheckOutcome cRepairTool::Check(cReportText& box, bool showReport, HWND owner)
{
    cCheckOutcome outcome;
    try
    {
        ThrowIfStopped();
        const cCartoriaMapsRegister catalogue;
        if (!catalogue.IsInstall(catalogue.REG_CARTORIA_W3()))
        {
            if (showReport)
                box.Replace(cCheckReport::NotInstalled);
            Logger().InfoOut(box.Text());
            outcome.Verdict = eVerdict::NotInstalled;
            outcome.Report = cCheckReport::NotInstalled;
            ::GetSystemTime(&outcome.EndedAt);
            return outcome;
        }
        std::vector<cComponentReading> readings;
        for (const auto& [component, expected] : Components())
        {
            std::wstring longPath = GetRegisteredPath(component.ClassId);
            readings.push_back({&component, std::exchange(m_lastRegisteredText, {}), std::move(longPath),
                                expected, ePathState::Missing, std::nullopt});
        }
        cUserScan users = ReadUsers(MakeUserRegistrations(), owner);
        ePathState effective[2] = {};
        // Every user read, and every file there judged: only then can a PC be set up.
        bool everythingSeen = cCheckReport::EveryUserSeen(users);
        cCheckReport::UserLines lines = cCheckReport::LinesOf(users.Users, users.Unloads, users.Unlisted);
        for (size_t i = 0; i < readings.size(); ++i)
        {
            cComponentReading& reading = readings[i];
            reading.State = static_cast<ePathState>(ComparePath(reading.LongPath, reading.Expected));
            effective[i] =
                cCheckReport::EffectiveState(reading.State, IsShadowed(users.Users, *reading.Component));
            reading.Image = JudgeImage(*reading.Component, reading.Expected);
            if (!reading.Image)
                continue;
            reading.State = cCheckReport::LoadableState(reading.State, reading.Image->Kind);
            effective[i] = cCheckReport::LoadableState(effective[i], reading.Image->Kind);
            everythingSeen = everythingSeen && !cImageCheck::LeavesUnverified(reading.Image->Kind);
            std::vector<std::wstring>& below = i == 0 ? lines.Control : lines.Lookup;
            const std::wstring line =
                cImageCheck::LineOf(*reading.Image, effective[i] == ePathState::Correct);
            if (!line.empty())
                below.insert(below.begin(), line);
        }
        const cCheckReport::Verdict verdict =
            cCheckReport::VerdictOf(effective[0], effective[1], everythingSeen);
        const std::wstring report =
            cCheckReport::Report(readings[0].LongPath, readings[1].LongPath, verdict, lines);
        if (showReport)
            box.Append(report);
        if (verdict.Kind == eVerdict::Unverified)
        {
            // Who, or which file, could not be checked.
            std::wstring names;
            const auto add = [&names](const std::wstring& name) {
                names += (names.empty() ? L"" : L", ") + name;
            };
            for (const cUserReading& user : users.Users)
                if (!user.Read)
                    add(user.Named());
            for (const cComponentReading& reading : readings)
                if (reading.Image && cImageCheck::LeavesUnverified(reading.Image->Kind))
                    add(reading.Expected);
            if (users.Unlisted)
                add(cCheckReport::UnlistedLine(users.Unlisted).substr(1));
            Logger().InfoOut(L"Unverified : " + names);
        }
        Logger().InfoOut(report);
        outcome = {verdict.Kind,
                   verdict.ResetEnabled,
                   std::move(readings),
                   std::move(users.Users),
                   std::move(users.Skipped),
                   std::move(users.Unloads),
                   users.Unlisted,
                   report,
                   std::nullopt,
                   {}};
    }
    catch (...)
    {
        outcome = {};
        outcome.Failure = LogFailure(L"CheckComponent");
    }
    ::GetSystemTime(&outcome.EndedAt);
    return outcome;
}

cRepairOutcome cRepairTool::Repair(cReportText& box, bool showReport, bool forced, HWND owner)
{
    cRepairOutcome outcome;
    std::optional<cRepairReport> started;
    try
    {
        cRepairReport& section = started.emplace(box.Text());
        const cCartoriaMapsRegister catalogue;
        if (catalogue.IsInstall(catalogue.REG_CARTORIA_W3()))
        {
            const std::unique_ptr<cRegsvr32> regsvr32 = MakeRegsvr32(owner);
            const std::shared_ptr<const cUserRegistrations> userRegistrations = MakeUserRegistrations();
            // Taken at the first change and kept to the last verification.
            std::unique_ptr<cRepairLock> lock;
            cUserScan scan = ReadUsers(userRegistrations, owner);
            outcome.Unloads = std::move(scan.Unloads);
            const std::vector<cUserReading>& users = scan.Users;
            std::optional<cBackup> backup;
            // Each registration is read just before it is handled: registering one file may change the
            // other's.
            for (const auto& [component, expected] : Components())
            {
                const std::optional<cImageCheck::cJudgement> image = JudgeImage(component, expected);
                const cImageCheck::eImage loads = image ? image->Kind : cImageCheck::eImage::Loadable;
                const ePathState state = cCheckReport::LoadableState(
                    cCheckReport::EffectiveState(
                        static_cast<ePathState>(ComparePath(GetRegisteredPath(component.ClassId), expected)),
                        IsShadowed(users, component)),
                    loads);
                // A judgement exists exactly where the expected file does.
                if (cRepairReport::Choose(state, image.has_value(), forced, loads) !=
                    eRegistrationChoice::Register)
                    continue;
                if (!lock)
                    lock = MakeLock(owner);
                if (lock->State() != cRepairLock::eState::Held)
                {
                    section.Add(component, cRegistrationOutcome::Failure(lock->Reason()));
                    continue;
                }
                if (!backup)
                    backup = SaveMachine(outcome.Backups);
                // A user's own key takes every write to HKEY_CLASSES_ROOT too: the runner's goes before
                // regsvr32 runs, whatever it names, or regsvr32 would register into it and leave the
                // machine's registration stale; every other user's goes where it shadows.
                bool runnerClear = true;
                for (const bool runner : {true, false})
                    for (const cUserReading& user : users)
                    {
                        const cUserComponent* own = user.Of(component);
                        if (user.Runner != runner || (!runner && !user.Shadows(component)) ||
                            (own && own->Key == eUserKey::Missing))
                            continue;
                        ThrowIfStopped();
                        const cBackup::cSaved file = backup->Reserve(user.Sid + L"-" + component.Name);
                        const cUserRegistrations::cRemoval removal =
                            file.Outcome == cBackup::eSaved::Saved
                                ? RemoveBounded(userRegistrations, user, {&component, expected}, file.Path,
                                                owner)
                                : cUserRegistrations::cRemoval{
                                      cUserRegistrations::eRemoval::Failed,
                                      L"バックアップを保存できないため、削除しませんでした：" + file.Reason,
                                      {}};
                        if (removal.Unload)
                            LogUnload(*removal.Unload), outcome.Unloads.push_back(*removal.Unload);
                        if (removal.Outcome == cUserRegistrations::eRemoval::NotShadowed)
                            continue;
                        if (removal.Outcome == cUserRegistrations::eRemoval::Removed)
                            outcome.Backups.push_back(file.Path);
                        else if (runner)
                            runnerClear = false;
                        section.AddRemoval(component, user, removal, file.Path);
                    }
                if (!runnerClear)
                {
                    section.Add(component, cRegistrationOutcome::Failure(cRepairReport::RunnerKeyStays));
                    continue;
                }
                ThrowIfStopped();
                cRegistrationOutcome registered = regsvr32->Register(expected, component.ClassId);
                // Forced onto a file lacking a DLL: what regsvr32 could not load is named.
                if (registered.Result == cRegistrationOutcome::eResult::Failed && image &&
                    image->Kind == cImageCheck::eImage::MissingDependency)
                    registered.Reason += cImageCheck::LineOf(*image, false);
                section.Add(component, registered);
            }
            for (const cUnloadFailure& failure : outcome.Unloads)
                section.AddLine(cCheckReport::UnloadLine(failure));
            outcome.LockBusy = lock && lock->State() == cRepairLock::eState::Busy;
            outcome.LockFailed = lock && !outcome.LockBusy && lock->State() != cRepairLock::eState::Held;
        }
        if (showReport)
            box.Replace(section.Text());
        Logger().InfoOut(section.Text());
        outcome.Report = std::move(section);
    }
    catch (...)
    {
        // What happened before the failure is kept: the files saved and the registrations run.
        cRepairOutcome failed;
        failed.Backups = std::move(outcome.Backups);
        failed.Unloads = std::move(outcome.Unloads);
        if (started)
            failed.Done = started->Registrations();
        failed.Failure = LogFailure(L"ChangeRegistry");
        outcome = std::move(failed);
    }
    return outcome;
}

void cRepairTool::ThrowIfStopped()
{
    if (cStopRequest::Requested())
        throw cAppError(ERROR_CANCELLED, L"中断の指示を受けたため、ここで止めました", L"cRepairTool");
}

cModalWait::eWait cRepairTool::RunBounded(std::function<void()> work, HWND owner, DWORD timeoutMs,
                                          DWORD graceMs)
{
    return cWorkerWait::Run(std::move(work), owner, timeoutMs, graceMs);
}

cUserRegistrations::cRemoval cRepairTool::RemoveBounded(std::shared_ptr<const cUserRegistrations> users,
                                                        const cUserReading& user,
                                                        const cUserRegistrations::cExpected& expected,
                                                        const std::wstring& backupPath, HWND owner)
{
    // A signed-out user's file is loaded for the removal: off the window's thread, bounded, and past the
    // bound its unload is still waited for, so that the run never goes on, or ends, with it loaded.
    const auto removed = std::make_shared<std::optional<cUserRegistrations::cRemoval>>();
    const auto thrown = std::make_shared<std::exception_ptr>();
    const cModalWait::eWait waited = RunBounded(
        [users, user, expected, backupPath, removed, thrown] {
            try
            {
                removed->emplace(users->Remove(user, expected, backupPath, user.Runner));
            }
            catch (...)
            {
                *thrown = std::current_exception();
            }
        },
        owner, UsersTimeoutMs, UnloadGraceMs);
    if (waited != cModalWait::eWait::Signalled)
        return {cUserRegistrations::eRemoval::Failed,
                L"ユーザー別の登録の削除が" + std::to_wstring(UsersTimeoutMs / 1000) +
                    L"秒以内に終わりませんでした",
                {}};
    if (*thrown)
        std::rethrow_exception(*thrown);
    return std::move(**removed);
}

cResultFile::cKept cRepairTool::KeepResult(const std::wstring& json, bool elevated)
{
    const cResultFile::cKept kept =
        cResultFile(GetSpecialFolder(cSpecialFolder::CSIDL_COMMON_APPDATA_)).Keep(json, elevated);
    if (kept.Outcome != cResultFile::eKept::Written)
        Logger().InfoOut(L"Result : " + kept.Reason);
    return kept;
}

cUserScan cRepairTool::ReadUsers(std::shared_ptr<const cUserRegistrations> users, HWND owner)
{
    std::vector<cUserRegistrations::cExpected> expected;
    for (const auto& [component, path] : Components())
        expected.push_back({&component, path});
    // A hive load takes long on a real PC, and a shared one has hundreds of profiles: off the window's
    // thread, bounded. What the thread holds it shares, so that a reading given up on ends without harm.
    const auto read = std::make_shared<std::optional<cUserScan>>();
    const auto thrown = std::make_shared<std::exception_ptr>();
    const cModalWait::eWait waited = RunBounded(
        [users, expected, read, thrown] {
            try
            {
                read->emplace(users->Read(expected));
            }
            catch (...)
            {
                *thrown = std::current_exception();
            }
        },
        owner, UsersTimeoutMs, 0);
    if (waited != cModalWait::eWait::Signalled)
        throw cAppError(ERROR_TIMEOUT,
                        L"ユーザー別の登録を" + std::to_wstring(UsersTimeoutMs / 1000) +
                            L"秒以内に読み終えられませんでした",
                        L"cRepairTool");
    if (*thrown)
        std::rethrow_exception(*thrown);
    cUserScan scan = std::move(**read);
    for (const cUserReading& user : scan.Users)
    {
        if (!user.Read)
            Logger().InfoOut(L"User-Classes : " + user.Named() + L" : " + user.Reason);
        for (const cUserComponent& own : user.Components)
            if (own.State == eUserState::Shadows)
                // As the report shows it: a line break in what a user wrote must not make up a log entry.
                Logger().InfoOut(L"User-CLSID : " + user.Named() + L" : " + own.Component->ClassId + L" : " +
                                 cCheckReport::Found(own));
    }
    for (const cUnloadFailure& failure : scan.Unloads)
        LogUnload(failure);
    if (scan.Unlisted)
        Logger().InfoOut(L"User-Classes : " + cCheckReport::UnlistedLine(scan.Unlisted).substr(1));
    return scan;
}

void cRepairTool::LogUnload(const cUnloadFailure& failure)
{
    Logger().InfoOut(L"Hive-Unload : " + failure.Name + L" : " + failure.Reason);
}

std::wstring cRepairTool::GetRegisteredPath(const std::wstring& classId)
{
    m_lastRegisteredText = cComponentLookup::RegisteredText(classId);
    Logger().InfoOut(L"CLSID : " + classId + L" : " + m_lastRegisteredText);
    return cComponentLookup::LongForm(m_lastRegisteredText);
}

short cRepairTool::ComparePath(const std::wstring& registeredPath, const std::wstring& expectedPath)
{
    return static_cast<short>(cCheckReport::StateOf(registeredPath, expectedPath,
                                                    [&] { return FileSystem().FileExists(expectedPath); }));
}

std::wstring cRepairTool::GetLongPath(const std::wstring& path)
{
    return cPathForm::Long(path);
}

std::wstring cRepairTool::GetShortPath(const std::wstring& path)
{
    return cPathForm::Short(path);
}

bool cRepairTool::IsShadowed(const std::vector<cUserReading>& users, const cComponent& component)
{
    return std::any_of(users.begin(), users.end(),
                       [&](const cUserReading& user) { return user.Shadows(component); });
}

cBackup cRepairTool::SaveMachine(std::vector<std::wstring>& backups)
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    cBackup backup(GetSpecialFolder(cSpecialFolder::CSIDL_COMMON_APPDATA_), now);
    // The values before the repair, to import again; without them the repair still goes on, as it always did.
    const cBackup::cSaved saved = backup.SaveMachine({MapControl.ClassId, LookupLibrary.ClassId});
    if (saved.Outcome == cBackup::eSaved::Saved)
        backups.push_back(saved.Path);
    else
        Logger().InfoOut(L"Backup : 再設定前のレジストリを保存できませんでした（" + saved.Reason + L"）");
    return backup;
}

std::optional<cImageCheck::cJudgement> cRepairTool::JudgeImage(const cComponent& component,
                                                               const std::wstring& expected)
{
    if (!FileSystem().FileExists(expected))
        return std::nullopt;
    if (!m_imageCheck)
        m_imageCheck = MakeImageCheck();
    const cImageCheck::cJudgement judgement = m_imageCheck->Judge(expected);
    // The full lists, which the report cuts short.
    std::wstring detail = cImageCheck::TokenOf(judgement.Kind);
    if (judgement.Kind == cImageCheck::eImage::WrongMachine)
        detail += std::wstring(L" ") + cImageCheck::MachineName(judgement.Machine);
    const std::pair<const wchar_t*, const cImageCheck::cNames*> lists[] = {
        {L"", &judgement.Missing},
        {L" ; later :", &judgement.Later},
        {L" ; not judged :", &judgement.NotJudged},
        {L" ; assemblies :", &judgement.Assemblies}};
    for (const auto& [label, names] : lists)
        for (auto name = names->begin(); name != names->end(); ++name)
            detail += (name == names->begin() ? label : L"") + (L" " + cCheckReport::Shown(*name));
    if (judgement.Kind != cImageCheck::eImage::Loadable || !judgement.Later.empty())
        Logger().InfoOut(L"Image : " + std::wstring(component.Name) + L" : " + detail);
    return judgement;
}

void cRepairTool::BeginCommand()
{
    m_imageCheck.reset();
}

std::unique_ptr<cImageCheck> cRepairTool::MakeImageCheck() const
{
    return std::make_unique<cImageCheck>();
}

std::unique_ptr<cRepairLock> cRepairTool::MakeLock(HWND owner)
{
    return std::make_unique<cRepairLock>(owner, LockTimeoutMs());
}

std::unique_ptr<cUserRegistrations> cRepairTool::MakeUserRegistrations() const
{
    if (!m_accountNames)
        m_accountNames = std::make_shared<cAccountNames>(&cAccount::NameOf);
    return std::make_unique<cUserRegistrations>(m_accountNames);
}

cLogger& cRepairTool::Logger()
{
    if (!m_logger)
        m_logger = std::make_unique<cLogger>();
    return *m_logger;
}

cSpecialFolder& cRepairTool::SpecialFolder()
{
    if (!m_specialFolder)
        m_specialFolder = std::make_unique<cSpecialFolder>();
    return *m_specialFolder;
}

cFileSystemObject& cRepairTool::FileSystem()
{
    if (!m_fileSystem)
        m_fileSystem = std::make_unique<cFileSystemObject>();
    return *m_fileSystem;
}

std::wstring cRepairTool::GetSpecialFolder(long folder)
{
    return SpecialFolder().GetSpecialFolder(folder);
}

std::unique_ptr<cRegsvr32> cRepairTool::MakeRegsvr32(HWND owner)
{
    return std::make_unique<cRegsvr32>(owner);
}

std::vector<cRepairTool::Expected> cRepairTool::Components() const
{
    return {{MapControl, m_expectedControlPath}, {LookupLibrary, m_expectedLookupPath}};
}

cAppError cRepairTool::LogFailure(const wchar_t* procedure)
{
    // Called inside a catch block: the failure being handled is rethrown here to read it.
    try
    {
        throw;
    }
    catch (const cAppError& e)
    {
        Logger().WarnOut(procedure, &e);
        return e;
    }
    catch (const std::exception& e)
    {
        const cAppError error(-1, strconv::ToWide(e.what(), CP_UTF8), procedure);
        Logger().WarnOut(procedure, &error);
        return error;
    }
    catch (...)
    {
        const cAppError error(-1, L"unknown failure", procedure);
        Logger().WarnOut(procedure, &error);
        return error;
    }
}

void cRepairTool::LogFolder(const wchar_t* label, long folder)
{
    Logger().InfoOut(label + mShlwVB::AddBackslash(GetSpecialFolder(folder)));
}

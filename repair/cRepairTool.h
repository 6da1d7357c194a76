#pragma once
#include "repair/cBackup.h"
#include "repair/cCheckReport.h"
#include "repair/cComponent.h"
#include "repair/cImageCheck.h"
#include "repair/cModalWait.h"
#include "repair/cRegsvr32.h"
#include "repair/cRepairLock.h"
#include "repair/cRepairReport.h"
#include "repair/cResultFile.h"
#include "repair/cReportText.h"
#include "repair/cUserRegistrations.h"
#include "log/cLogger.h"
#include "sys/cAppError.h"
#include "sys/cFileSystemObject.h"
#include "sys/FolderLookup.h"
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the check read and decided for one component.
struct cComponentReading
{
    const cComponent* Component;
    std::wstring Registered; // the registry's text, as read
    std::wstring LongPath;   // its long form: empty when it names no local file
    std::wstring Expected;
    ePathState State;
    std::optional<cImageCheck::cJudgement> Image; // the expected file's, when it is there
};

// What one check came to.
struct cCheckOutcome
{
    eVerdict Verdict = eVerdict::Failed;
    bool ResetEnabled = false;
    std::vector<cComponentReading> Components; // none when the edition is not installed or the check failed
    std::vector<cUserReading> Users;      // every real user's own registrations, read with the components
    std::vector<cSkippedProfile> Skipped; // profile-list entries that are no real user's
    std::vector<cUnloadFailure> Unloads;  // classes files left loaded
    size_t Unlisted = 0;                  // profile-list entries past the reading's bound, never read
    std::wstring Report;                  // the report, or the not-installed line
    std::optional<cAppError> Failure;     // logged already
    SYSTEMTIME EndedAt{};                 // when it ended, in UTC
};

// What one re-registration came to.
struct cRepairOutcome
{
    std::optional<cRepairReport> Report; // none when the procedure failed
    bool LockBusy = false;               // a registration was not started because another repair ran
    bool LockFailed = false;             // nor because the lock could not be made or trusted
    std::vector<cRepairReport::Registration> Done; // after a failure: what was registered before it
    std::vector<std::wstring> Backups;             // the files it saved before changing anything
    std::vector<cUnloadFailure> Unloads;           // classes files it loaded and could not unload
    std::optional<cAppError> Failure;              // logged already
};

// The tool's work without a front end: start-up, the check and the re-registration, each with its log
// entries. The window and the console program run the same procedures, so they cannot drift apart.
class cRepairTool
{
public:
    cRepairTool() = default;
    virtual ~cRepairTool() = default;
    cRepairTool(const cRepairTool&) = delete;
    cRepairTool& operator=(const cRepairTool&) = delete;

    // Points the log at `logPath` (none: the tool's file on the desktop, and no log without a desktop), logs
    // the start banner and the folders, and fixes the expected component paths.
    void Start(const std::optional<std::wstring>& logPath = std::nullopt);
    // The end banner.
    void Finish();
    // The log file, or the empty text when there is none.
    const std::wstring& LogPath() const noexcept { return m_logPath; }

    // The check: reads both registrations, decides, and adds the report to `box` (with `showReport`) and
    // to the log. Every user is read off the calling thread, `owner` (when given) waiting modally meanwhile.
    // Catches and logs its own failures.
    cCheckOutcome Check(cReportText& box, bool showReport, HWND owner = nullptr);
    // The re-registration through regsvr32, one repair at a time on the PC; the section goes to `box` (with
    // `showReport`) and to the log. `owner`, when given, takes no input while regsvr32 runs. Catches and logs
    // its own failures.
    cRepairOutcome Repair(cReportText& box, bool showReport, bool forced, HWND owner);
    // Keeps `json`, the run's result, on the PC for collectors where `elevated` allows it (cResultFile); logs
    // why it did not.
    cResultFile::cKept KeepResult(const std::wstring& json, bool elevated);

    // A new command begins (in the window, a check and the repair that follows it): its files are judged
    // anew, and what their loads bring in is read again. A console run is one command.
    void BeginCommand();

    // The registered server path of a class id in long form, or the empty text; logs the registry's text.
    // Virtual so that tests can make the procedures that call it fail.
    virtual std::wstring GetRegisteredPath(const std::wstring& classId);
    // 0 correct, 1 repairable (expected file present), -1 expected file missing.
    short ComparePath(const std::wstring& registeredPath, const std::wstring& expectedPath);
    // The long or the 8.3 form of an existing path, or the empty text.
    static std::wstring GetLongPath(const std::wstring& path);
    static std::wstring GetShortPath(const std::wstring& path);

    const std::wstring& ExpectedControlPath() const noexcept { return m_expectedControlPath; }
    const std::wstring& ExpectedLookupPath() const noexcept { return m_expectedLookupPath; }

protected:
    cLogger& Logger();
    cSpecialFolder& SpecialFolder();
    cFileSystemObject& FileSystem();
    // A special folder by its CSIDL number, asked afresh; virtual so that tests can take one away.
    virtual std::wstring GetSpecialFolder(long folder);
    // The regsvr32 runner of one re-registration; virtual so that tests can shorten its bound.
    virtual std::unique_ptr<cRegsvr32> MakeRegsvr32(HWND owner);
    // Every user's own registrations; virtual so that tests can give profiles Wine cannot make.
    virtual std::unique_ptr<cUserRegistrations> MakeUserRegistrations() const;
    // How long a repair waits for another one to end.
    virtual DWORD LockTimeoutMs() const { return cRegsvr32::DefaultTimeoutMs; }
    // How long every user's reading, or one removal of a user's key, may take before the procedure gives up
    // on it; past it, a removal's unload of a user's file is still waited for this long (its tries take about
    // 30 s in all).
    static constexpr DWORD UsersTimeoutMs = 120000;
    static constexpr DWORD UnloadGraceMs = 35000;
    // Runs `work` off the calling thread within `timeoutMs` (and `graceMs` more for it to end); virtual so
    // that tests can see every bound the procedures set.
    virtual cModalWait::eWait RunBounded(std::function<void()> work, HWND owner, DWORD timeoutMs,
                                         DWORD graceMs);
    // The repair lock, waited for; virtual so that tests can give it a mutex Wine cannot make.
    virtual std::unique_ptr<cRepairLock> MakeLock(HWND owner);
    // Judges whether the map's process can load a file; virtual so that tests can give answers of their own.
    virtual std::unique_ptr<cImageCheck> MakeImageCheck() const;

private:
    struct Expected
    {
        const cComponent& Component;
        const std::wstring& Path;
    };
    std::vector<Expected> Components() const;
    // Every user's own registrations of the two components; the log gets each shadow, each profile not read
    // and each classes file left loaded.
    cUserScan ReadUsers(std::shared_ptr<const cUserRegistrations> users, HWND owner);
    void LogUnload(const cUnloadFailure& failure);
    // A stop asked for from outside (the console's Ctrl+C) ends the procedure before its next change.
    static void ThrowIfStopped();
    // One user's key removed off the calling thread, within the users' bound.
    cUserRegistrations::cRemoval RemoveBounded(std::shared_ptr<const cUserRegistrations> users,
                                               const cUserReading& user,
                                               const cUserRegistrations::cExpected& expected,
                                               const std::wstring& backupPath, HWND owner);
    static bool IsShadowed(const std::vector<cUserReading>& users, const cComponent& component);
    // The expected file's judgement when it is there (the command's own, while the file is unchanged), with
    // its log entry when it cannot be loaded or lacks a DLL loaded later.
    std::optional<cImageCheck::cJudgement> JudgeImage(const cComponent& component,
                                                      const std::wstring& expected);
    // Saves the machine's class keys into a backup whose folder and moment later files share.
    cBackup SaveMachine(std::vector<std::wstring>& backups);
    // Logs the failure being handled as the procedure's warning, with its error block, and returns it.
    cAppError LogFailure(const wchar_t* procedure);
    // "Program Files-Path : " and the like: a label and a special folder with its backslash.
    void LogFolder(const wchar_t* label, long folder);

    std::unique_ptr<cLogger> m_logger;
    std::unique_ptr<cSpecialFolder> m_specialFolder;
    std::unique_ptr<cFileSystemObject> m_fileSystem;
    // The run's account-name lookups, with one deadline for all its readings.
    mutable std::shared_ptr<cAccountNames> m_accountNames;
    std::wstring m_logPath;
    std::wstring m_expectedControlPath;
    std::wstring m_expectedLookupPath;
    // The command's judgements of the expected files, reused while a file is unchanged.
    std::unique_ptr<cImageCheck> m_imageCheck;
    // The registry's text behind the last GetRegisteredPath, which returns the long form only.
    std::wstring m_lastRegisteredText;
};

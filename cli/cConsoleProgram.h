#pragma once
#include "repair/cRepairTool.h"
#include "cli/cCommandLine.h"
#include "cli/cConsoleStream.h"
#include "security/cSecureFolder.h"
#include <memory>
#include <string>
#include <vector>

// One run of the console program: the command line, the check and the repair through the procedures the
// window runs, the printed result and the exit code that deployment tools read.
class cConsoleProgram
{
public:
    // The exit codes, as the usage text and the README list them.
    enum eExitCode : int
    {
        SetUp = 0,
        RepairNeeded = 1, // check: re-setting can repair it; repair: a registration failed or did not take
        CannotRepair = 2,
        NotInstalled = 3,
        CheckFailed = 4, // the check or the re-registration itself failed, or a classes file stayed loaded
        Unverified = 6,  // everything read is right, but a real user's own registrations could not be read
        BadCommandLine = 87,
        ElevationRequired = 740,
        AnotherRepairRunning = 1618,
    };

    cConsoleProgram(const cConsoleStream& out, const cConsoleStream& err) : m_out(out), m_err(err) {}
    virtual ~cConsoleProgram() = default;
    cConsoleProgram(const cConsoleProgram&) = delete;
    cConsoleProgram& operator=(const cConsoleProgram&) = delete;

    // `args` without the program's name.
    int Run(const std::vector<std::wstring>& args);
    // The console's control handler (SetConsoleCtrlHandler), which the program installs before it runs.
    static BOOL WINAPI OnControl(DWORD type);

    static eExitCode ExitCodeOf(eVerdict verdict);
    // A check's code: a classes file this run loaded and could not unload again fails it.
    static eExitCode ExitCodeOf(const cCheckOutcome& check);
    // A repair's code: the registrations it ran first, then the verdict of the check after it.
    static eExitCode ExitCodeOf(const cRepairOutcome* repair, eVerdict after);

protected:
    // Whether the process may change machine-wide registrations.
    virtual bool IsElevated() const;
    // The procedures; virtual so that tests can shorten the lock's bound or make a step fail.
    virtual std::unique_ptr<cRepairTool> MakeTool() const;

private:
    struct Result
    {
        cCheckOutcome First;
        std::optional<cRepairOutcome> Repair;
        std::optional<cCheckOutcome> After;
        std::wstring Printed;
        eExitCode Code;
    };
    Result Work(cRepairTool& tool, const cCliRequest& request) const;
    // Where the log goes; a line on stderr when it goes nowhere.
    // `held`: the folders on the way, held until the run ends.
    std::optional<std::wstring> LogPathFor(const cCliRequest& request, cSecureFolder::cHeld& held) const;
    void ReportFailure(const std::optional<cAppError>& failure) const;
    void ReportUnread(const cCheckOutcome& check) const;
    std::wstring Json(const cCliRequest& request, const Result& result) const;
    // The one JSON line of a run refused before any check (87, 740).
    static std::wstring RefusalJson(std::optional<cCliRequest::eCommand> command, eExitCode code,
                                    const std::wstring& message);

    const cConsoleStream& m_out;
    const cConsoleStream& m_err;
};

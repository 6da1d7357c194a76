#pragma once
#include "repair/cRepairTool.h"
#include "repair/cResultJson.h"
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
    cConsoleProgram(const cConsoleStream& out, const cConsoleStream& err) : m_out(out), m_err(err) {}
    virtual ~cConsoleProgram() = default;
    cConsoleProgram(const cConsoleProgram&) = delete;
    cConsoleProgram& operator=(const cConsoleProgram&) = delete;

    // `args` without the program's name.
    int Run(const std::vector<std::wstring>& args);
    // The console's control handler (SetConsoleCtrlHandler), which the program installs before it runs.
    static BOOL WINAPI OnControl(DWORD type);

protected:
    // Whether the process may change machine-wide registrations, and keep its result on the PC.
    virtual bool IsElevated() const;
    // The procedures; virtual so that tests can shorten the lock's bound or make a step fail.
    virtual std::unique_ptr<cRepairTool> MakeTool() const;

private:
    cRunResult Work(cRepairTool& tool, const cCliRequest& request) const;
    // Where the log goes; a line on stderr when it goes nowhere.
    // `held`: the folders on the way, held until the run ends.
    std::optional<std::wstring> LogPathFor(const cCliRequest& request, cSecureFolder::cHeld& held) const;
    void ReportFailure(const std::optional<cAppError>& failure) const;
    void ReportUnread(const cCheckOutcome& check) const;

    const cConsoleStream& m_out;
    const cConsoleStream& m_err;
};

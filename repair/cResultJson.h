#pragma once
#include "repair/cExitCode.h"
#include "repair/cRepairTool.h"
#include <windows.h>
#include <optional>
#include <string>

// One run, as a deployment tool reads it.
struct cRunResult
{
    enum class eCommand
    {
        Check,
        Repair,
        WindowCheck, // a check of the window's: at start-up, on 「チェック」, or with 「強制設定」 unticked
        WindowRepair, // 「再設定」, after the window's last check and before a check of its own
    };
    eCommand Command = eCommand::Check;
    cCheckOutcome First;
    std::optional<cRepairOutcome> Repair; // none when nothing needed registering, or for a check
    std::optional<cCheckOutcome> After;   // a repair's check after it
    std::wstring Report;                  // the text the console program prints without --json
};

// The result of a run as one line of JSON: what the console program prints with --json and what every
// elevated run keeps on the PC (cResultFile). Built here alone, so that the window's and the console
// program's are the same object.
class cResultJson
{
public:
    static const wchar_t* NameOf(cRunResult::eCommand command);
    // The exit code the run ends with, as the JSON carries it.
    static cExitCode::eCode CodeOf(const cRunResult& run);
    static std::wstring Of(const cRunResult& run);
    // The line of a run refused before any check (87, 740): the shape of a failed check. `command`: none
    // when no command was understood.
    static std::wstring Refusal(std::optional<cRunResult::eCommand> command, cExitCode::eCode code,
                                const std::wstring& message);
    // A moment in UTC to the second, as ISO 8601 writes it: 2026-12-07T09:05:02Z.
    static std::wstring Stamp(const SYSTEMTIME& utc);
    // The four parts of a version block's file version (2.0.0.0), or nothing without a block.
    static std::optional<std::wstring> VersionOf(const std::optional<VS_FIXEDFILEINFO>& fixed);
};

#pragma once
#include "repair/cRepairTool.h"

// The exit code of a run, decided from its check and repair outcomes: the console program ends with it, and
// every result it prints or keeps on the PC carries it. The usage text and the README list the same codes.
class cExitCode
{
public:
    enum eCode : int
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

    static eCode Of(eVerdict verdict);
    // A check's code: a classes file this run loaded and could not unload again fails it.
    static eCode Of(const cCheckOutcome& check);
    // A repair's code: the registrations it ran first, then the verdict of the check after it.
    static eCode Of(const cRepairOutcome* repair, eVerdict after);
    // A whole run's: its check's alone, or, with a check after a repair (none when nothing needed one), the
    // repair's, which a classes file either check left loaded fails.
    static eCode Of(const cCheckOutcome& first, const cRepairOutcome* repair, const cCheckOutcome* after);
};

#include "repair/cExitCode.h"
#include <algorithm>

namespace
{
bool AnyOfThisRun(const std::vector<cUnloadFailure>& unloads)
{
    return std::any_of(unloads.begin(), unloads.end(), [](const cUnloadFailure& f) { return f.ThisRun; });
}
} // namespace

cExitCode::eCode cExitCode::Of(eVerdict verdict)
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

cExitCode::eCode cExitCode::Of(const cCheckOutcome& check)
{
    return AnyOfThisRun(check.Unloads) ? CheckFailed : Of(check.Verdict);
}

cExitCode::eCode cExitCode::Of(const cRepairOutcome* repair, eVerdict after)
{
    if (repair && (repair->Failure || repair->LockFailed || AnyOfThisRun(repair->Unloads)))
        return CheckFailed;
    if (repair && repair->LockBusy)
        return AnotherRepairRunning;
    if (repair)
        for (const cRepairReport::Registration& registration : repair->Report->Registrations())
            if (registration.Outcome.Result == cRegistrationOutcome::eResult::Failed)
                return RepairNeeded;
    return Of(after);
}

cExitCode::eCode cExitCode::Of(const cCheckOutcome& first, const cRepairOutcome* repair,
                               const cCheckOutcome* after)
{
    if (!after)
        return Of(first);
    const eCode code = Of(repair, after->Verdict);
    return code != CheckFailed && (AnyOfThisRun(first.Unloads) || AnyOfThisRun(after->Unloads)) ? CheckFailed
                                                                                                : code;
}

#pragma once
#include "repair/cImageCheck.h"
#include "repair/cUserRegistrations.h"
#include <functional>
#include <string>
#include <vector>

// Where COM finds a component, measured against where it belongs. The values are the check's own
// numbers: 0, 1 and -1.
enum class ePathState : short
{
    Correct = 0,    // the registered path is the expected one
    Repairable = 1, // it is missing or differs, and the expected file is there to register
    Missing = -1,   // it is missing or differs, and the expected file is not there
    Unloadable =
        -2, // the expected file is there but cannot be loaded (or, needing registration, lacks a DLL)
};

// What a check concluded: the verdict of an installed edition, or why there is none.
enum class eVerdict
{
    SetUp,        // both components are registered where they belong
    Unverified,   // everything read is right, but a real user's own registrations could not be read
    RepairNeeded, // re-registering can repair a component
    CannotRepair, // a component is wrong and its file is missing: nothing to register
    NotInstalled, // edition W3 of the map product is not installed
    Failed,       // the check itself failed
};

// The check's decisions and texts, without a window: the path state, the verdict and the report.
class cCheckReport
{
public:
    static constexpr const wchar_t* NotInstalled =
        L"・このＰＣにはカルトリアＷ３がインストールされていません。";

    struct Verdict
    {
        eVerdict Kind;
        std::wstring Lines; // after the verdict title, CR LF between lines
        bool ResetEnabled;  // whether 「再設定」 can repair something
    };

    // `expectedExists` is asked only when the paths differ.
    static ePathState StateOf(const std::wstring& registeredPath, const std::wstring& expectedPath,
                              const std::function<bool()>& expectedExists);
    // Whether a reading saw every real user: each read, and no profile-list entry past its bound.
    static bool EveryUserSeen(const cUserScan& users);
    // A PC is set up only when every real user was read: otherwise it is unverified, with lines of its own.
    static Verdict VerdictOf(ePathState control, ePathState lookup, bool everyUserRead = true);
    // A component the runner finds registered where it belongs is still to be re-set for the users whose own
    // key shadows it.
    static ePathState EffectiveState(ePathState state, bool shadowed);
    // A file the loader refuses (or no DLL) ranks as a missing one; so does one needing registration whose
    // DLLs are not all found, since regsvr32 could not load it either. What is not judged, and a DLL loaded
    // later, leave the state as it is.
    static ePathState LoadableState(ePathState state, cImageCheck::eImage image);

    // What users' own registrations add to the report: under each component a line per user whose key
    // shadows it; after both a line per profile that could not be read and per classes file left loaded;
    // under the verdict what to do about the users not read. None: the report as it always was.
    struct UserLines
    {
        std::vector<std::wstring> Control, Lookup, NotRead, Unloads, Advice;
    };
    static UserLines LinesOf(const std::vector<cUserReading>& users,
                             const std::vector<cUnloadFailure>& unloads = {}, size_t unlisted = 0);
    // The profile-list entries past the reading's bound, which no one read.
    static std::wstring UnlistedLine(size_t unlisted);
    // What a user's COM finds in their key, as the report says it.
    static std::wstring Found(const cUserComponent& component);
    static std::wstring ShadowLine(const std::wstring& who, const cUserComponent& component);
    static std::wstring NotReadLine(const std::wstring& who, const std::wstring& reason);
    // What the administrator can do about a user not read.
    static const wchar_t* AdviceOf(eNotRead why);
    static std::wstring UnloadLine(const cUnloadFailure& failure);
    // A registry text as a report line can hold it: control characters shown as "?", a long text cut short.
    static std::wstring Shown(const std::wstring& text);

    // The whole report: hyphen line, title, one line per component (with its users' lines), the verdict.
    static std::wstring Report(const std::wstring& controlPath, const std::wstring& lookupPath,
                               const Verdict& verdict, const UserLines& users = {});
};

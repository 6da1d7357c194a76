#pragma once
#include "repair/cComponent.h"
#include "security/cAccountNames.h"
#include "security/cDriveTypes.h"
#include "registry/cClassesFile.h"
#include "registry/cHiveFile.h"
#include "registry/cHiveMount.h"
#include "registry/cKey.h"
#include "registry/cProfileList.h"
#include "registry/cUserClasses.h"
#include <optional>
#include <string>
#include <vector>

// What a user's own registration of a component is to that user's COM, which takes the user's key whenever it
// exists.
enum class eUserState
{
    None,    // no key of the user's own: the machine's registration holds
    Correct, // the user's key names the expected file
    Shadows, // the user's key hides the machine's registration and names no expected file
};

// What the user's own CLSID\{id} key holds, where it exists.
enum class eUserKey
{
    Missing,  // no key
    Server,   // an InprocServer32 key: its value is Kind and Registered
    NoServer, // a key without InprocServer32 (a half-removed registration)
    TreatAs,  // a key that sends COM to another class
    Link,     // it, or a key on the way to it or below it that COM reads, is a registry link: never followed
    Unreadable, // one of them could not be opened: nothing is known
};

struct cUserComponent
{
    const cComponent* Component;
    eUserState State = eUserState::None;
    eUserKey Key = eUserKey::Missing;
    cKey::eValue Kind = cKey::eValue::Missing; // of InprocServer32's default value, where it exists
    std::wstring Registered;                   // its text as stored
};

// Why nothing is known of a user's own registrations; each asks something else of the administrator.
enum class eNotRead
{
    None,
    NotElevated,   // the tool runs without administrator rights
    NoEntry,       // the profile list's entry could not be opened
    NoFolder,      // the profile list names no folder
    NotLocal,      // the profile's folder is no local path of this PC
    Link,          // the classes file is not the plain file at its place: a link on the way, or one itself
    InUse,         // the classes file is held by another program (Windows, while the user signs in)
    Denied,        // the classes file may not be read
    Refused,       // the classes file could not be opened or read
    Unsaved,       // the classes file holds changes not yet written to it, which Windows applies at sign-in
    Damaged,       // the classes file is no hive the tool can read to the end
    KeyUnreadable, // the user's key or value could not be read
};

// One user profile of the PC and what its own classes say about the two components.
struct cUserReading
{
    std::wstring Sid;
    std::wstring Account; // DOMAIN\name, or empty when it cannot be found
    std::wstring Folder;  // the profile's folder, as the profile list gives it
    bool Loaded = false;  // signed in: the classes were read where Windows keeps them loaded
    bool Runner = false;  // the account the tool runs as, read through HKEY_CURRENT_USER
    bool Read = false;    // false: Why and Reason say why nothing is known of this user
    eNotRead Why = eNotRead::None;
    std::wstring Reason;
    std::wstring RegistryName; // the classes under HKEY_USERS, as a backup names them
    std::vector<cUserComponent> Components;

    // The account as people know it, or the SID.
    std::wstring Shown() const { return Account.empty() ? Sid : Account; }
    // For the log: the account and the SID.
    std::wstring Named() const { return Account.empty() ? Sid : Account + L" (" + Sid + L")"; }
    const cUserComponent* Of(const cComponent& component) const;
    // Whether this user's own key of `component` hides the machine's registration.
    bool Shadows(const cComponent& component) const;
};

// A profile-list entry that is no user whose classes COM reads: passed over, and said so.
struct cSkippedProfile
{
    std::wstring Sid;
    const wchar_t* Reason; // an ASCII token: backup-entry, temporary-profile, system-account, ...
};

// A classes file the tool loaded under HKEY_USERS and could not unload again.
struct cUnloadFailure
{
    std::wstring Name;   // HKEY_USERS\...
    std::wstring Reason; // why, in Japanese
    bool ThisRun;        // loaded by this run; otherwise left by a run that has ended
};

// Everything one reading of every user came to.
struct cUserScan
{
    std::vector<cUserReading> Users;
    std::vector<cSkippedProfile> Skipped;
    std::vector<cUnloadFailure> Unloads;
    size_t Unlisted = 0; // profile-list entries past the reading's bound: nothing known of them
};

// What a user's CLSID\{id} key holds as read, wherever it was read: the statuses of opening it, its TreatAs
// and its InprocServer32 (ERROR_SUCCESS where not asked), and the server's default value.
struct cClassKeyRead
{
    LONG ClassKey = ERROR_SUCCESS;
    LONG TreatAs = ERROR_SUCCESS;
    LONG Server = ERROR_SUCCESS;
    cKey::cValue Value;
};

// Every user's own registrations of the two components, read from the profile list, judged, and removed where
// they shadow. What other users wrote is hostile to the elevated tool: only local paths are looked up, and
// only a key proven to shadow is removed, after it is saved.
class cUserRegistrations
{
public:
    struct cExpected
    {
        const cComponent* Component;
        std::wstring Path;
    };
    enum class eRemoval
    {
        Removed,     // saved, removed, and found gone
        NotShadowed, // it no longer shadows (the runner's: there is none): nothing removed
        Failed,      // Reason says why; nothing removed unless it says so
    };
    struct cRemoval
    {
        eRemoval Outcome = eRemoval::Failed;
        std::wstring Reason;
        std::optional<cUnloadFailure> Unload; // the classes file loaded for it stayed loaded
    };

    // `names`: the run's account-name lookups, shared by its readings; none: a lookup of this reading's own.
    explicit cUserRegistrations(std::shared_ptr<cAccountNames> names = nullptr);
    virtual ~cUserRegistrations() = default;
    cUserRegistrations(const cUserRegistrations&) = delete;
    cUserRegistrations& operator=(const cUserRegistrations&) = delete;

    // The user's key of a class id that COM reads for a 32-bit program, as a physical path below the user's
    // classes: 64-bit Windows keeps 32-bit programs' per-user class ids under Wow6432Node. A test build for
    // 64-bit stands in for the 32-bit tool there and reads what a 64-bit program reads.
    static std::wstring ClassKeyPath(const std::wstring& classId, bool wow64);
    // Whether the process runs under WOW64, from IsWow64Process's success and its answer: only an answer
    // given says so.
    static bool Wow64Of(BOOL called, BOOL wow64);
    // What a user's InprocServer32 value (when it exists) is to their COM: only a text naming the expected
    // file is no shadow.
    static eUserState StateOf(cKey::eValue kind, const std::wstring& longPath, const std::wstring& expected);
    // What the registry's statuses of opening a user's CLSID\{id} key, then its TreatAs and its
    // InprocServer32 subkeys, say the key is (a status not asked for is ERROR_SUCCESS).
    static eUserKey KeyOf(LONG classKey, LONG treatAs, LONG server);
    // The key as the registry shows it below `root`, and as the classes file holds it below its root.
    static cClassKeyRead ReadLive(const cKey& root, const std::wstring& path);
    static cClassKeyRead ReadHive(cHiveFile& hive, const std::wstring& path);
    // Why a signed-out user's classes file, opened as `opened`, tells nothing.
    static eNotRead NotReadOf(cClassesFile::eOpen opened);
    static eNotRead NotReadOf(cHiveFile::eFault fault);
    // Why a profile-list entry is no user to read (a token), or none for a real user's.
    static const wchar_t* SkipOf(const cProfileList::cProfile& profile);

    // The runner's own classes and every real user's of the profile list, in its order. Loads no hive and
    // writes nothing: a signed-out user's classes file is read as data. A profile list that cannot be read
    // throws: no user is known then.
    cUserScan Read(const std::vector<cExpected>& expected) const;
    // Saves the user's shadowing class key into `backupPath` (a new file), removes it whole and checks that
    // it is gone; for the runner (`runner`), their key whatever it names, since regsvr32's writes would land
    // in it.
    cRemoval Remove(const cUserReading& user, const cExpected& expected, const std::wstring& backupPath,
                    bool runner = false) const;

protected:
    // The steps that meet the operating system, each replaceable so that a test can bring a case about that
    // Wine cannot make (a signed-out user, a classes file in use, a profile list with broken entries).
    virtual cProfileList::cReading Profiles() const;
    virtual cUserClasses OpenRunner(REGSAM access) const;
    virtual cUserClasses OpenLoaded(const std::wstring& sid, REGSAM access) const;
    // A signed-out user's classes file, opened to be read as data.
    struct cFileOpen
    {
        cClassesFile::eOpen Outcome;
        LONG Status; // the system's error behind any other outcome than Opened
    };
    virtual cFileOpen OpenClassesFile(cClassesFile& file, const std::wstring& folder) const;
    // A repair's removal alone loads a signed-out user's file; a reading never comes here.
    virtual cUserClasses LoadForChange(const std::wstring& sid, const std::wstring& folder) const;
    // Closes what the reading opened and unloads what it loaded: the unload's status.
    virtual LONG Release(cUserClasses& classes) const;
    virtual std::vector<cHiveMount::cLeftover> ClearLeftovers() const;
    // The account names of `sids`, in their order (empty where unknown), within the run's deadline.
    virtual std::vector<std::wstring> AccountsOf(const std::vector<std::wstring>& sids) const;
    virtual std::wstring RunnerSid() const;
    // Whether HKEY_USERS holds `name` now.
    virtual bool IsLoaded(const std::wstring& name) const;
    virtual bool IsElevated() const;
    virtual bool IsWow64() const;

private:
    cUserReading ReadUser(const cProfileList::cProfile& profile, const std::wstring& account, bool runner,
                          const std::vector<cExpected>& expected, bool elevated, cDriveTypes& drives) const;
    // A signed-out user's classes, read as data from their file.
    void ReadFile(cUserReading& user, const std::vector<cExpected>& expected, bool elevated,
                  cDriveTypes& drives) const;
    // Why a signed-out user's folder is not to be looked at; None when it is.
    eNotRead FolderCheck(cUserReading& user, bool elevated, cDriveTypes& drives) const;
    cUserComponent Judge(const cClassKeyRead& read, const cExpected& expected, cUserReading& user) const;
    cRemoval RemoveFrom(cUserClasses& classes, cUserReading& again, const cExpected& expected,
                        const std::wstring& backupPath, bool runner) const;
    // Closes `classes`; an unload that failed, as reported.
    std::optional<cUnloadFailure> Done(cUserClasses& classes) const;

    std::shared_ptr<cAccountNames> m_names;
};

#pragma once
#include "repair/cComponent.h"
#include "sys/cKey.h"
#include "sys/cProfileList.h"
#include "sys/cUserClasses.h"
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

struct cUserComponent
{
    const cComponent* Component;
    eUserState State = eUserState::None;
    cKey::eValue Kind = cKey::eValue::Missing; // of the key's default value, where the key exists
    std::wstring Registered;                   // its text as stored
};

// One user profile of the PC and what its own classes say about the two components.
struct cUserReading
{
    std::wstring Sid;
    std::wstring Account; // DOMAIN\name, or empty when it cannot be found
    std::wstring Folder;  // the profile's folder, as the profile list gives it
    bool Loaded = false;  // signed in: the classes were read where Windows keeps them loaded
    bool Read = false;    // false: Reason says why nothing is known of this user
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
        NotShadowed, // it no longer shadows: nothing removed
        Failed,      // Reason says why; nothing removed unless it says so
    };
    struct cRemoval
    {
        eRemoval Outcome = eRemoval::Failed;
        std::wstring Reason;
    };

    cUserRegistrations() = default;
    virtual ~cUserRegistrations() = default;
    cUserRegistrations(const cUserRegistrations&) = delete;
    cUserRegistrations& operator=(const cUserRegistrations&) = delete;

    // The key below a user's classes that COM reads for a 32-bit program, as a physical path: 64-bit Windows
    // keeps 32-bit programs' per-user class ids under Wow6432Node. A test build for 64-bit stands in for the
    // 32-bit tool there and reads what a 64-bit program reads.
    static std::wstring ClassKeyPath(const std::wstring& classId, bool wow64);
    // What a user's key (when it exists) is to their COM: only a text naming the expected file is no shadow.
    static eUserState StateOf(cKey::eValue kind, const std::wstring& longPath, const std::wstring& expected);

    // Every profile of the list, in its order.
    std::vector<cUserReading> Read(const std::vector<cExpected>& expected) const;
    // Saves the user's shadowing key into `backupPath` (a new file), removes it and checks that it is gone.
    cRemoval Remove(const cUserReading& user, const cExpected& expected,
                    const std::wstring& backupPath) const;

protected:
    // The steps that meet the operating system, each replaceable so that a test can bring a case about that
    // Wine cannot make (a signed-out user, a classes file in use, a profile list with broken entries).
    virtual std::vector<cProfileList::cProfile> Profiles() const;
    virtual cUserClasses OpenLoaded(const std::wstring& sid, REGSAM access) const;
    virtual cUserClasses OpenFile(const std::wstring& sid, const std::wstring& folder, REGSAM access) const;
    virtual std::wstring AccountOf(const std::wstring& sid) const;
    virtual bool IsWow64() const;

private:
    // The user's classes, or the reason they cannot be had; the reading's Loaded and RegistryName are set.
    cUserClasses Open(cUserReading& user, REGSAM access) const;
    cUserComponent ReadOne(const cKey& root, const cExpected& expected, cUserReading& user) const;
};

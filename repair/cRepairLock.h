#pragma once
#include "repair/cModalWait.h"
#include "sys/cOwned.h"
#include <windows.h>
#include <optional>
#include <string>

// One repair at a time on a PC: the window and the console program hold this machine-wide mutex from the
// first change to the last verification, so that two repairs never register over each other. One rule for
// every caller, a SYSTEM run and an administrator's alike:
//
//   the mutex                               repair                    reason              exit code
//   made now, or held by a trusted owner    waits up to the bound     (another is busy)   0, or 1618
//   owned by anyone but SYSTEM or Admins    fails at once             Untrusted           4
//   not to be opened (access denied)        fails at once             AccessDenied        4
//   the name taken by another kind          fails at once             WrongKind           4
//   not to be made or waited for            fails at once             Unavailable         4
//
// In every failing case no registration starts.
class cRepairLock
{
public:
    static constexpr const wchar_t* Name = L"Global\\plotwing2fix-repair";
    // What the lock's security allows: SYSTEM and administrators may wait on it, release it and read its
    // security; no one else may open it. Its owner is the Administrators group, as Windows makes the owner of
    // what SYSTEM and elevated administrators create.
    static constexpr const wchar_t* Security = L"O:BAD:P(A;;0x120001;;;SY)(A;;0x120001;;;BA)";
    static constexpr DWORD Access = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;

    enum class eState
    {
        Held,         // ours, also when taken over from a holder that ended without releasing it
        Busy,         // another repair kept it beyond the bound
        Untrusted,    // its owner is neither SYSTEM nor the Administrators group: a user may have made it
        AccessDenied, // it exists, and this account may not wait on it
        WrongKind,    // the name belongs to an object of another kind
        Unavailable,  // it could not be made or waited for
    };
    enum class eOpened
    {
        Created, // made now, with the security above
        Opened,  // there already: ERROR_ALREADY_EXISTS alone says nothing, two real repairs meet so
        AccessDenied,
        WrongKind,
        Failed,
    };

    // Whether the repair may wait for the mutex (nothing), or fails at once; `ownerTrusted` is asked of an
    // opened or created mutex only.
    static std::optional<eState> Refusal(eOpened opened, bool ownerTrusted);
    static eState AfterWait(cModalWait::eWait waited);

    // Waits for the lock within `timeoutMs`, the owner window painting but closed to input meanwhile.
    cRepairLock(HWND owner, DWORD timeoutMs);
    virtual ~cRepairLock();
    cRepairLock(const cRepairLock&) = delete;
    cRepairLock& operator=(const cRepairLock&) = delete;

    eState State() const noexcept { return m_state; }
    // Why a registration was not started without the lock; empty while it is held.
    std::wstring Reason() const;

protected:
    // Opens the mutex, or makes it with the security above; virtual so that tests can bring about what Wine
    // cannot (a second account's mutex).
    virtual eOpened Open(cHandle& mutex);
    virtual bool IsOwnerTrusted(HANDLE mutex) const;
    // The constructor's work, for a test's own seams; the constructor calls it.
    void Acquire(HWND owner, DWORD timeoutMs);
    explicit cRepairLock(std::nullptr_t) {}

private:
    cHandle m_mutex;
    eState m_state = eState::Unavailable;
};

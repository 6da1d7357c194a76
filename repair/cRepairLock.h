#pragma once
#include "sys/cOwned.h"
#include <windows.h>
#include <string>

// One repair at a time on a PC: the window and the console program hold this machine-wide mutex from the
// first regsvr32 start to the last verification, so that two repairs never register over each other.
class cRepairLock
{
public:
    static constexpr const wchar_t* Name = L"Global\\plotwing2fix-repair";
    enum class eState
    {
        Held,        // ours, also when taken over from a holder that ended without releasing it
        Busy,        // another repair kept it beyond the bound
        Unavailable, // the mutex could not be made or waited for
    };

    // Waits for the lock within `timeoutMs`, the owner window painting but closed to input meanwhile.
    cRepairLock(HWND owner, DWORD timeoutMs);
    ~cRepairLock();
    cRepairLock(const cRepairLock&) = delete;
    cRepairLock& operator=(const cRepairLock&) = delete;

    eState State() const noexcept { return m_state; }
    // Why a registration was not started without the lock; empty while it is held.
    std::wstring Reason() const;

private:
    cHandle m_mutex;
    eState m_state = eState::Unavailable;
};

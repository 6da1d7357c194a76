#pragma once
#include <windows.h>
#include <optional>

// Waits for a process or a mutex within a bound while the owner window, if any, takes no input but keeps
// painting and answering. The window is given back enabled or disabled as it was found, with its focus.
class cModalWait
{
public:
    enum class eWait
    {
        Signalled, // the process ended, or the mutex is now ours
        Abandoned, // the mutex is ours, left by a holder that ended without releasing it
        TimedOut,
        Failed,
    };
    static eWait For(HANDLE object, HWND owner, DWORD timeoutMs);
};

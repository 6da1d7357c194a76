#pragma once
#include "repair/cModalWait.h"
#include <windows.h>
#include <functional>

// Work that would keep the window's thread from its messages (reading every user's classes), run on a thread
// of its own while the caller waits for it within a bound: with an owner window, modally, as during regsvr32
// (painted and answering, closed to input, its focus given back); without one, plainly.
class cWorkerWait
{
public:
    // `work` must hold only what it owns or shares: past the bound it runs on, and its answer is dropped.
    // `graceMs`: past the bound, how much longer to wait for it to end (a removal unloading a user's file):
    // the answer still counts as timed out.
    static cModalWait::eWait Run(std::function<void()> work, HWND owner, DWORD timeoutMs, DWORD graceMs = 0);
};

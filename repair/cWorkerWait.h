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
    static cModalWait::eWait Run(std::function<void()> work, HWND owner, DWORD timeoutMs);
};

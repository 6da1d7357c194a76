#include "repair/cModalWait.h"

namespace
{
bool IsInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}
} // namespace

cModalWait::eWait cModalWait::For(HANDLE object, HWND owner, DWORD timeoutMs)
{
    // Disabled, the window takes no input, so no handler can run again meanwhile.
    const HWND focus = ::GetFocus();
    const BOOL wasDisabled = owner ? ::EnableWindow(owner, FALSE) : TRUE;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    std::optional<WPARAM> quit;
    eWait result = eWait::Failed;
    for (;;)
    {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        // After WM_QUIT the queue is left alone; the quit is posted again once the wait is over.
        const DWORD wait = quit ? ::WaitForSingleObject(object, left)
                                : ::MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED_0)
        {
            result = wait == WAIT_OBJECT_0 ? eWait::Signalled : eWait::Abandoned;
            break;
        }
        if (wait == WAIT_TIMEOUT)
        {
            result = eWait::TimedOut;
            break;
        }
        if (wait != WAIT_OBJECT_0 + 1)
            break;
        // The queue is read as a modal loop reads it, or Windows would take a window that has read no input
        // for 5 seconds for hung ("応答なし") and invite the user to kill it. Input for the disabled window
        // is dropped; everything else is handled, a request to close included, which the window keeps until
        // the outcome is logged.
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                quit = msg.wParam;
                break;
            }
            if (owner && IsInput(msg.message) && (msg.hwnd == owner || ::IsChild(owner, msg.hwnd)))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (!wasDisabled)
        ::EnableWindow(owner, TRUE);
    if (owner && focus && !::GetFocus() && ::IsWindow(focus))
        ::SetFocus(focus);
    if (quit)
        ::PostQuitMessage(static_cast<int>(*quit));
    return result;
}

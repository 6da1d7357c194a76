#include "app/cModalWait.h"

cModalWait::eWait cModalWait::For(HANDLE object, HWND owner, DWORD timeoutMs)
{
    // Disabled, the window takes no input, so no handler can run again meanwhile; it still paints.
    const BOOL wasDisabled = owner ? ::EnableWindow(owner, FALSE) : TRUE;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    eWait result = eWait::Failed;
    for (;;)
    {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD wait = ::MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_PAINT | QS_SENDMESSAGE);
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
        // Only paint messages are taken from the queue; input stays where a disabled window ignores it.
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
            ::DispatchMessageW(&msg);
    }
    if (!wasDisabled)
        ::EnableWindow(owner, TRUE);
    return result;
}

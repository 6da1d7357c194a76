#include "repair/cWorkerWait.h"
#include "sys/cOwned.h"
#include <memory>
#include <thread>

namespace
{
cModalWait::eWait Wait(HANDLE done, HWND owner, DWORD timeoutMs)
{
    if (owner)
        return cModalWait::For(done, owner, timeoutMs);
    switch (::WaitForSingleObject(done, timeoutMs))
    {
    case WAIT_OBJECT_0:
        return cModalWait::eWait::Signalled;
    case WAIT_TIMEOUT:
        return cModalWait::eWait::TimedOut;
    default:
        return cModalWait::eWait::Failed;
    }
}
} // namespace

cModalWait::eWait cWorkerWait::Run(std::function<void()> work, HWND owner, DWORD timeoutMs, DWORD graceMs)
{
    // Shared with the thread, so that a late end signals an event that still exists.
    const auto done = std::make_shared<cHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!*done)
        return cModalWait::eWait::Failed;
    std::thread([work = std::move(work), done] {
        work();
        ::SetEvent(done->Get());
    }).detach();
    const cModalWait::eWait waited = Wait(done->Get(), owner, timeoutMs);
    if (waited == cModalWait::eWait::TimedOut && graceMs)
        Wait(done->Get(), owner, graceMs);
    return waited;
}

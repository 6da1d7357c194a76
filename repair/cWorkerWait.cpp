#include "repair/cWorkerWait.h"
#include "sys/cOwned.h"
#include <memory>
#include <thread>

cModalWait::eWait cWorkerWait::Run(std::function<void()> work, HWND owner, DWORD timeoutMs)
{
    // Shared with the thread, so that a late end signals an event that still exists.
    const auto done = std::make_shared<cHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!*done)
        return cModalWait::eWait::Failed;
    std::thread([work = std::move(work), done] {
        work();
        ::SetEvent(done->Get());
    }).detach();
    if (owner)
        return cModalWait::For(done->Get(), owner, timeoutMs);
    switch (::WaitForSingleObject(done->Get(), timeoutMs))
    {
    case WAIT_OBJECT_0:
        return cModalWait::eWait::Signalled;
    case WAIT_TIMEOUT:
        return cModalWait::eWait::TimedOut;
    default:
        return cModalWait::eWait::Failed;
    }
}

#include "repair/cRepairLock.h"
#include "repair/cModalWait.h"

cRepairLock::cRepairLock(HWND owner, DWORD timeoutMs) : m_mutex(::CreateMutexW(nullptr, FALSE, Name))
{
    if (!m_mutex)
        return;
    switch (cModalWait::For(m_mutex.Get(), owner, timeoutMs))
    {
    case cModalWait::eWait::Signalled:
    case cModalWait::eWait::Abandoned:
        m_state = eState::Held;
        break;
    case cModalWait::eWait::TimedOut:
        m_state = eState::Busy;
        break;
    case cModalWait::eWait::Failed:
        break;
    }
}

cRepairLock::~cRepairLock()
{
    if (m_state == eState::Held)
        ::ReleaseMutex(m_mutex.Get());
}

std::wstring cRepairLock::Reason() const
{
    switch (m_state)
    {
    case eState::Held:
        return {};
    case eState::Busy:
        return L"別の再設定が実行中のため、開始できませんでした";
    case eState::Unavailable:
        break;
    }
    return L"ほかの再設定との同時実行を防げないため、開始できませんでした";
}

#include "repair/cRepairLock.h"
#include "security/cSecureFolder.h"
#include <sddl.h>

std::optional<cRepairLock::eState> cRepairLock::Refusal(eOpened opened, bool ownerTrusted)
{
    switch (opened)
    {
    case eOpened::Created:
    case eOpened::Opened:
        return ownerTrusted ? std::nullopt : std::optional(eState::Untrusted);
    case eOpened::AccessDenied:
        return eState::AccessDenied;
    case eOpened::WrongKind:
        return eState::WrongKind;
    case eOpened::Failed:
        break;
    }
    return eState::Unavailable;
}

cRepairLock::eState cRepairLock::AfterWait(cModalWait::eWait waited)
{
    switch (waited)
    {
    case cModalWait::eWait::Signalled:
    case cModalWait::eWait::Abandoned:
        return eState::Held;
    case cModalWait::eWait::TimedOut:
        return eState::Busy;
    case cModalWait::eWait::Failed:
        break;
    }
    return eState::Unavailable;
}

cRepairLock::cRepairLock(HWND owner, DWORD timeoutMs)
{
    Acquire(owner, timeoutMs);
}

void cRepairLock::Acquire(HWND owner, DWORD timeoutMs)
{
    const eOpened opened = Open(m_mutex);
    const bool trusted =
        (opened == eOpened::Created || opened == eOpened::Opened) && IsOwnerTrusted(m_mutex.Get());
    const std::optional<eState> refused = Refusal(opened, trusted);
    m_state = refused ? *refused : AfterWait(cModalWait::For(m_mutex.Get(), owner, timeoutMs));
}

cRepairLock::~cRepairLock()
{
    if (m_state == eState::Held)
        ::ReleaseMutex(m_mutex.Get());
}

cRepairLock::eOpened cRepairLock::Open(cHandle& mutex)
{
    for (int tries = 0; tries < 3; ++tries)
    {
        mutex.Reset(::OpenMutexW(Access, FALSE, Name));
        DWORD error = mutex ? ERROR_SUCCESS : ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
        {
            cLocalMemory descriptor;
            if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(Security, SDDL_REVISION_1,
                                                                        descriptor.Put(), nullptr))
                return eOpened::Failed;
            SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
            mutex.Reset(::CreateMutexExW(&attributes, Name, 0, Access));
            error = ::GetLastError();
            if (mutex)
                return error == ERROR_ALREADY_EXISTS ? eOpened::Opened : eOpened::Created;
            // Made and gone again between the two calls: open it afresh.
            if (error == ERROR_FILE_NOT_FOUND)
                continue;
        }
        switch (error)
        {
        case ERROR_SUCCESS:
            return eOpened::Opened;
        case ERROR_ACCESS_DENIED:
            return eOpened::AccessDenied;
        case ERROR_INVALID_HANDLE: // an event, a semaphore, ... under the name
            return eOpened::WrongKind;
        default:
            return eOpened::Failed;
        }
    }
    return eOpened::Failed;
}

bool cRepairLock::IsOwnerTrusted(HANDLE mutex) const
{
    bool trusted = false;
    cSecureFolder::ReadOwnerTrust(mutex, SE_KERNEL_OBJECT, nullptr, trusted);
    return trusted;
}

std::wstring cRepairLock::Reason() const
{
    switch (m_state)
    {
    case eState::Held:
        return {};
    case eState::Busy:
        return L"別の再設定が実行中のため、開始できませんでした";
    case eState::Untrusted:
        return L"再設定の同時実行を防ぐミューテックスを SYSTEM でも Administrators "
               L"でもない所有者が作っているため、"
               L"開始しませんでした";
    case eState::AccessDenied:
        return L"再設定の同時実行を防ぐミューテックスにアクセスできないため、開始できませんでした";
    case eState::WrongKind:
        return L"再設定の同時実行を防ぐミューテックスの名前がほかの種類のオブジェクトに使われているため、"
               L"開始できませんでした";
    case eState::Unavailable:
        break;
    }
    return L"ほかの再設定との同時実行を防げないため、開始できませんでした";
}

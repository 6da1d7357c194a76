#include "security/cThreadPrivileges.h"
#include <atomic>

namespace
{
std::atomic<bool> s_spoiled{false};
} // namespace

cThreadPrivileges::cThreadPrivileges(std::initializer_list<const wchar_t*> names)
{
    ::OpenThreadToken(::GetCurrentThread(), TOKEN_IMPERSONATE, TRUE, m_previous.Put());
    if (!::ImpersonateSelf(SecurityImpersonation))
    {
        m_status = ::GetLastError();
        return;
    }
    m_impersonating = true;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, TRUE, m_token.Put()))
    {
        m_status = ::GetLastError();
        return;
    }
    for (const wchar_t* name : names)
    {
        TOKEN_PRIVILEGES privilege{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        if (!::LookupPrivilegeValueW(nullptr, name, &privilege.Privileges[0].Luid) ||
            !::AdjustTokenPrivileges(m_token.Get(), FALSE, &privilege, 0, nullptr, nullptr))
            m_status = ::GetLastError();
        // AdjustTokenPrivileges succeeds for a privilege the token lacks, and says so only here.
        else if (::GetLastError() == ERROR_NOT_ALL_ASSIGNED)
            m_status = ERROR_NOT_ALL_ASSIGNED;
        else
            m_enabled.push_back(privilege.Privileges[0].Luid);
    }
}

cThreadPrivileges::~cThreadPrivileges()
{
    if (!m_impersonating)
        return;
    // Disabled first: should the token stay on the thread after all, it holds nothing more than the
    // process's.
    for (const LUID& luid : m_enabled)
    {
        TOKEN_PRIVILEGES privilege{1, {{luid, 0}}};
        ::AdjustTokenPrivileges(m_token.Get(), FALSE, &privilege, 0, nullptr, nullptr);
    }
    // With no former token this is RevertToSelf.
    if (!::SetThreadToken(nullptr, m_previous.Get()))
    {
        ::RevertToSelf();
        s_spoiled = true;
    }
}

bool cThreadPrivileges::Spoiled() noexcept
{
    return s_spoiled;
}

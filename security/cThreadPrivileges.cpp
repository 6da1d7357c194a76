#include "security/cThreadPrivileges.h"

cThreadPrivileges::cThreadPrivileges(std::initializer_list<const wchar_t*> names)
{
    ::OpenThreadToken(::GetCurrentThread(), TOKEN_IMPERSONATE, TRUE, m_previous.Put());
    if (!::ImpersonateSelf(SecurityImpersonation))
    {
        m_status = ::GetLastError();
        return;
    }
    m_impersonating = true;
    cHandle token;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, TRUE, token.Put()))
    {
        m_status = ::GetLastError();
        return;
    }
    for (const wchar_t* name : names)
    {
        TOKEN_PRIVILEGES privilege{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        if (!::LookupPrivilegeValueW(nullptr, name, &privilege.Privileges[0].Luid) ||
            !::AdjustTokenPrivileges(token.Get(), FALSE, &privilege, 0, nullptr, nullptr))
            m_status = ::GetLastError();
        // AdjustTokenPrivileges succeeds for a privilege the token lacks, and says so only here.
        else if (::GetLastError() == ERROR_NOT_ALL_ASSIGNED)
            m_status = ERROR_NOT_ALL_ASSIGNED;
    }
}

cThreadPrivileges::~cThreadPrivileges()
{
    // With no former token this is RevertToSelf.
    if (m_impersonating)
        ::SetThreadToken(nullptr, m_previous.Get());
}

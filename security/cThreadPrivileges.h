#pragma once
#include "sys/cOwned.h"
#include <initializer_list>

// Privileges enabled for the calling thread alone: it impersonates a copy of the process's token and enables
// them there. When this goes the thread gets its former token back (or none); the process's own token, which
// every other thread uses, never changes.
class cThreadPrivileges
{
public:
    explicit cThreadPrivileges(std::initializer_list<const wchar_t*> names);
    ~cThreadPrivileges();
    cThreadPrivileges(const cThreadPrivileges&) = delete;
    cThreadPrivileges& operator=(const cThreadPrivileges&) = delete;

    // ERROR_SUCCESS when every privilege is enabled; ERROR_NOT_ALL_ASSIGNED when the process holds one not at
    // all (an unelevated run), or the system's error.
    DWORD Status() const noexcept { return m_status; }

private:
    cHandle m_previous; // the thread's own token before, when it was impersonating already
    bool m_impersonating = false;
    DWORD m_status = ERROR_SUCCESS;
};

#pragma once
#include "sys/cOwned.h"
#include <initializer_list>
#include <vector>

// Privileges enabled for the calling thread alone: it impersonates a copy of the process's token and enables
// them there. When this goes they are disabled again and the thread gets its former token back (or none); the
// process's own token, which every other thread uses, never changes.
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
    // Whether some thread of this run could not be given its former token back: it was made to revert to the
    // process's own, and nothing that needs privileges is done again in this run.
    static bool Spoiled() noexcept;

private:
    cHandle m_previous; // the thread's own token before, when it was impersonating already
    cHandle m_token;    // the copy it impersonates, to disable on the way out
    std::vector<LUID> m_enabled;
    bool m_impersonating = false;
    DWORD m_status = ERROR_SUCCESS;
};

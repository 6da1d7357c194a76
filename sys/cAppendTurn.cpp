#include "sys/cAppendTurn.h"

namespace
{
OVERLAPPED Region()
{
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFFF;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}
} // namespace

cAppendTurn::cAppendTurn(HANDLE file, int tries) : m_file(file)
{
    for (int tried = 0; tried < tries && !m_held; ++tried)
    {
        OVERLAPPED at = Region();
        m_held =
            ::LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
        if (!m_held && ::GetLastError() != ERROR_LOCK_VIOLATION)
            return;
        if (!m_held)
            ::Sleep(1);
    }
}

cAppendTurn::~cAppendTurn()
{
    OVERLAPPED at = Region();
    if (m_held)
        ::UnlockFileEx(m_file, 0, 1, 0, &at);
}

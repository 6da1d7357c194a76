#include "sys/cTextStream.h"
#include "sys/cAppError.h"
#include "sys/StrConv.h"
#include <algorithm>

namespace
{
// Windows lands each write of an append-only handle at the end of the file at once; Wine seeks and writes,
// so two of our programs logging at the same moment could write over each other. Our writers take turns
// on one byte far beyond any data: readers of the log are never held up. Bounded: without the lock (a file
// system that has none) the entry is written all the same.
class cAppendTurn
{
public:
    explicit cAppendTurn(HANDLE file) : m_file(file)
    {
        for (int tries = 0; tries < 2000 && !m_held; ++tries)
        {
            OVERLAPPED at = Region();
            m_held = ::LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                                  &at) != FALSE;
            if (!m_held && ::GetLastError() != ERROR_LOCK_VIOLATION)
                return;
            if (!m_held)
                ::Sleep(1);
        }
    }
    ~cAppendTurn()
    {
        OVERLAPPED at = Region();
        if (m_held)
            ::UnlockFileEx(m_file, 0, 1, 0, &at);
    }
    cAppendTurn(const cAppendTurn&) = delete;
    cAppendTurn& operator=(const cAppendTurn&) = delete;

private:
    static OVERLAPPED Region()
    {
        OVERLAPPED at{};
        at.Offset = 0xFFFFFFFF;
        at.OffsetHigh = 0x7FFFFFFF;
        return at;
    }
    HANDLE m_file;
    bool m_held = false;
};
} // namespace

void cTextStream::WriteLine(const std::wstring& text)
{
    if (!m_file)
        throw cAppError::Standard(errnum::BadFileName, L"cTextStream");
    // Characters code page 932 lacks become its default character; the entry itself is kept.
    const std::string bytes = strconv::ToAnsi(text) + "\r\n";
    const cAppendTurn turn(m_file.Get());
    size_t done = 0;
    while (done < bytes.size())
    {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(m_file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
        {
            const DWORD error = ::GetLastError();
            throw cAppError(static_cast<long>(error), SystemMessage(error), L"cTextStream");
        }
        done += written;
    }
}

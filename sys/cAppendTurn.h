#pragma once
#include <windows.h>

// Windows lands each write of an append-only handle at the end of the file at once; Wine seeks and writes, so
// two of our programs logging at the same moment could write over each other. Our writers take turns on one
// byte far beyond any data: readers of the log are never held up. Bounded: without the lock (a file system
// that has none) the entry is written all the same.
class cAppendTurn
{
public:
    static constexpr int DefaultTries = 2000; // 1 ms apart

    explicit cAppendTurn(HANDLE file, int tries = DefaultTries);
    ~cAppendTurn();
    cAppendTurn(const cAppendTurn&) = delete;
    cAppendTurn& operator=(const cAppendTurn&) = delete;

    // Whether this writer has the turn: no other writer of the file has it meanwhile.
    bool Held() const noexcept { return m_held; }

private:
    HANDLE m_file;
    bool m_held = false;
};

#pragma once
#include "sys/cOwned.h"
#include <string>

// An open text file in the system ANSI code page; closed at the latest when destroyed.
class cTextStream
{
public:
    explicit cTextStream(cHandle file) : m_file(std::move(file)) {}
    // Appends the text, converted to the ANSI code page, and CR LF; throws cAppError on failure.
    void WriteLine(const std::wstring& text);
    void Close() noexcept { m_file.Reset(); }

private:
    cHandle m_file;
};

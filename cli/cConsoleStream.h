#pragma once
#include <windows.h>
#include <string_view>

// Standard output or standard error. The handle is borrowed: the process owns its standard handles.
class cConsoleStream
{
public:
    explicit cConsoleStream(DWORD stdHandle); // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
    // To a console: UTF-16 through WriteConsoleW, so Japanese shows in any console code page.
    // Redirected to a file or pipe: code page 932 bytes, as the log is written. Line ends are not
    // translated (the JSON line is ASCII, the same bytes in any code page). Without a usable handle nothing
    // is written; a failed write ends the write silently.
    void Write(std::wstring_view text) const;
    bool IsConsole() const noexcept { return m_console; }

private:
    HANDLE m_handle;
    bool m_console;
};

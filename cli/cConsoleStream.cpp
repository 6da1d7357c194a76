#include "cli/cConsoleStream.h"
#include "sys/StrConv.h"
#include <algorithm>
#include <string>

namespace
{
bool IsUsable(HANDLE handle)
{
    return handle && handle != INVALID_HANDLE_VALUE;
}

// Before Windows 8 a console write goes through a 64 KiB shared buffer and fails when it is larger.
constexpr size_t ConsoleChunk = 8192;
} // namespace

cConsoleStream::cConsoleStream(DWORD stdHandle) : m_handle(::GetStdHandle(stdHandle)), m_console(false)
{
    // A file, pipe or the null device has no console mode; a console buffer always has one.
    DWORD mode = 0;
    m_console = IsUsable(m_handle) && ::GetConsoleMode(m_handle, &mode);
}

void cConsoleStream::Write(std::wstring_view text) const
{
    if (!IsUsable(m_handle) || text.empty())
        return;
    if (m_console)
    {
        while (!text.empty())
        {
            size_t chunk = std::min(text.size(), ConsoleChunk);
            // A surrogate pair split across two writes would show as two broken characters.
            if (chunk < text.size() && text[chunk - 1] >= 0xD800 && text[chunk - 1] <= 0xDBFF)
                --chunk;
            DWORD written = 0;
            if (!::WriteConsoleW(m_handle, text.data(), static_cast<DWORD>(chunk), &written, nullptr) ||
                written == 0)
                return;
            text.remove_prefix(std::min<size_t>(written, text.size()));
        }
        return;
    }
    const std::string bytes = strconv::ToAnsi(text, 932);
    for (size_t done = 0; done < bytes.size();)
    {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(m_handle, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return;
        done += written;
    }
}

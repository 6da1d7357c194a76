#include "sys/cAppError.h"
#include "sys/StrConv.h"
#include <windows.h>

cAppError::cAppError(long number, std::wstring description, std::wstring source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_what(strconv::ToAnsi(m_source + L": " + m_description, CP_UTF8))
{
}

std::wstring SystemMessage(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

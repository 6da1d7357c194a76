#include "sys/cPathForm.h"
#include <windows.h>

namespace
{
std::wstring Convert(DWORD(WINAPI* convert)(LPCWSTR, LPWSTR, DWORD), const std::wstring& path)
{
    if (path.empty())
        return {};
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n = convert(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    // A result larger than the buffer is the size it needs, not a length: convert again with that size.
    if (n > buffer.size())
    {
        buffer.assign(n, L'\0');
        n = convert(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n >= buffer.size())
            n = 0;
    }
    buffer.resize(n);
    return buffer;
}
} // namespace

std::wstring cPathForm::Long(const std::wstring& path)
{
    return Convert(&::GetLongPathNameW, path);
}

std::wstring cPathForm::Short(const std::wstring& path)
{
    return Convert(&::GetShortPathNameW, path);
}

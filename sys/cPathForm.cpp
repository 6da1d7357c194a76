#include "sys/cPathForm.h"
#include "sys/StrConv.h"
#include <windows.h>

namespace
{
std::wstring Convert(DWORD(WINAPI* convert)(LPCSTR, LPSTR, DWORD), const std::wstring& path)
{
    const std::string ansiPath = strconv::ToAnsi(path);
    std::string buffer(256, '\0');
    DWORD n = convert(ansiPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    // A result larger than the buffer is the size it needs, not a length: convert again with that size.
    if (n > buffer.size())
    {
        buffer.assign(n, '\0');
        n = convert(ansiPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n >= buffer.size())
            n = 0;
    }
    return strconv::ToWide(std::string_view(buffer.data(), n));
}
} // namespace

std::wstring cPathForm::Long(const std::wstring& path)
{
    return Convert(&::GetLongPathNameA, path);
}

std::wstring cPathForm::Short(const std::wstring& path)
{
    return Convert(&::GetShortPathNameA, path);
}

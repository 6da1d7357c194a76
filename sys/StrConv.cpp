#include "sys/StrConv.h"
#include <limits>
#include <stdexcept>

namespace strconv
{
namespace
{
int CheckedLength(size_t size)
{
    if (size > static_cast<size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("text too long to convert");
    return static_cast<int>(size);
}
} // namespace

std::wstring ToWide(std::string_view text, UINT codePage)
{
    if (text.empty())
        return {};
    const int inLength = CheckedLength(text.size());
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), inLength, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring result(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), inLength, result.data(), length);
    return result;
}

std::string ToAnsi(std::wstring_view text, UINT codePage, bool* lossy)
{
    if (lossy)
        *lossy = false;
    if (text.empty())
        return {};
    const int inLength = CheckedLength(text.size());
    // UTF-8 refuses the default-character arguments.
    const bool utf8 = codePage == CP_UTF8;
    BOOL usedDefault = FALSE;
    const int length =
        ::WideCharToMultiByte(codePage, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string result(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), inLength, result.data(), length, nullptr,
                          utf8 ? nullptr : &usedDefault);
    if (lossy)
        *lossy = usedDefault != FALSE;
    return result;
}

std::wstring ToWideWholeChars(std::string_view text)
{
    size_t whole = 0;
    for (size_t i = 0; i < text.size();)
    {
        i += ::IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? 2 : 1;
        if (i <= text.size())
            whole = i;
    }
    return ToWide(text.substr(0, whole));
}

std::wstring UpToFirstNul(std::wstring_view text)
{
    const size_t nul = text.find(L'\0');
    return std::wstring(nul == std::wstring_view::npos ? text : text.substr(0, nul));
}
} // namespace strconv

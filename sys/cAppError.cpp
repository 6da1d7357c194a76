#include "sys/cAppError.h"
#include "sys/StrConv.h"
#include <windows.h>

cAppError::cAppError(long number, std::wstring description, std::wstring source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_what(strconv::ToAnsi(m_source + L": " + m_description, CP_UTF8))
{
}

cAppError cAppError::Standard(long number, std::wstring source)
{
    const wchar_t* description = L"";
    switch (number)
    {
    case errnum::InvalidCall:
        description = L"プロシージャの呼び出し、または引数が不正です。";
        break;
    case errnum::Overflow:
        description = L"オーバーフローしました。";
        break;
    case errnum::SubscriptRange:
        description = L"インデックスが有効範囲にありません。";
        break;
    case errnum::BadFileName:
        description = L"ファイル名または番号が不正です。";
        break;
    case errnum::FileExists:
        description = L"既に同名のファイルが存在しています。";
        break;
    case errnum::PermissionDenied:
        description = L"書き込みできません。";
        break;
    case errnum::PathNotFound:
        description = L"パスが見つかりません。";
        break;
    case errnum::DuplicateKey:
        description = L"このキーは既にこのコレクションの要素に割り当てられています。";
        break;
    default:
        break;
    }
    return cAppError(number, description, std::move(source));
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

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
    static const struct
    {
        long Number;
        const wchar_t* Description;
    } descriptions[] = {
        {errnum::InvalidCall, L"プロシージャの呼び出し、または引数が不正です。"},
        {errnum::Overflow, L"オーバーフローしました。"},
        {errnum::SubscriptRange, L"インデックスが有効範囲にありません。"},
        {errnum::BadFileName, L"ファイル名または番号が不正です。"},
        {errnum::FileExists, L"既に同名のファイルが存在しています。"},
        {errnum::PermissionDenied, L"書き込みできません。"},
        {errnum::PathNotFound, L"パスが見つかりません。"},
        {errnum::DuplicateKey, L"このキーは既にこのコレクションの要素に割り当てられています。"},
    };
    for (const auto& entry : descriptions)
        if (entry.Number == number)
            return cAppError(number, entry.Description, std::move(source));
    return cAppError(number, L"", std::move(source));
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

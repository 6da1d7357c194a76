#include "cli/cJsonWriter.h"

cJsonWriter& cJsonWriter::Value(std::wstring_view json)
{
    if (m_afterKey)
        m_afterKey = false;
    else if (!m_empty.empty())
    {
        if (!m_empty.back())
            m_text += L',';
        m_empty.back() = false;
    }
    m_text += json;
    return *this;
}

cJsonWriter& cJsonWriter::Close(wchar_t bracket)
{
    m_text += bracket;
    if (!m_empty.empty())
        m_empty.pop_back();
    m_afterKey = false;
    return *this;
}

cJsonWriter& cJsonWriter::BeginObject()
{
    Value(L"{");
    m_empty.push_back(true);
    return *this;
}

cJsonWriter& cJsonWriter::EndObject()
{
    return Close(L'}');
}

cJsonWriter& cJsonWriter::BeginArray()
{
    Value(L"[");
    m_empty.push_back(true);
    return *this;
}

cJsonWriter& cJsonWriter::EndArray()
{
    return Close(L']');
}

cJsonWriter& cJsonWriter::Key(std::wstring_view name)
{
    Value(Escape(name) + L':');
    m_afterKey = true;
    return *this;
}

cJsonWriter& cJsonWriter::String(std::wstring_view text)
{
    return Value(Escape(text));
}

cJsonWriter& cJsonWriter::Number(long long n)
{
    return Value(std::to_wstring(n));
}

cJsonWriter& cJsonWriter::Null()
{
    return Value(L"null");
}

cJsonWriter& cJsonWriter::Bool(bool b)
{
    return Value(b ? L"true" : L"false");
}

std::wstring cJsonWriter::Escape(std::wstring_view text)
{
    static const wchar_t Hex[] = L"0123456789abcdef";
    const auto IsHigh = [](wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    const auto IsLow = [](wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    std::wstring json = L"\"";
    for (size_t i = 0; i < text.size(); ++i)
    {
        const wchar_t c = text[i];
        const bool pairStart = IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1]);
        const bool pairEnd = IsLow(c) && i > 0 && IsHigh(text[i - 1]);
        switch (c)
        {
        case L'"':
            json += L"\\\"";
            break;
        case L'\\':
            json += L"\\\\";
            break;
        case L'\b':
            json += L"\\b";
            break;
        case L'\f':
            json += L"\\f";
            break;
        case L'\n':
            json += L"\\n";
            break;
        case L'\r':
            json += L"\\r";
            break;
        case L'\t':
            json += L"\\t";
            break;
        default:
            // U+2028 and U+2029 end a line in JavaScript; a lone surrogate is no character UTF-8 can carry.
            if (c < 0x20 || c == 0x2028 || c == 0x2029 || ((IsHigh(c) || IsLow(c)) && !pairStart && !pairEnd))
                json +=
                    {L'\\', L'u', Hex[(c >> 12) & 15], Hex[(c >> 8) & 15], Hex[(c >> 4) & 15], Hex[c & 15]};
            else
                json += c;
        }
    }
    return json + L'"';
}

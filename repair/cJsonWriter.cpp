#include "repair/cJsonWriter.h"

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
    std::wstring json = L"\"";
    for (const wchar_t c : text)
    {
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
            // Everything outside printable ASCII as a UTF-16 escape: the line then reads the same in any code
            // page (Windows PowerShell decodes a program's output in the console's), and a character beyond
            // U+FFFF is its surrogate pair, as JSON writes it. A lone surrogate stays a lone escape.
            if (c < 0x20 || c >= 0x7F)
                json +=
                    {L'\\', L'u', Hex[(c >> 12) & 15], Hex[(c >> 8) & 15], Hex[(c >> 4) & 15], Hex[c & 15]};
            else
                json += c;
        }
    }
    return json + L'"';
}

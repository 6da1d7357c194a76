#pragma once
#include <string>
#include <string_view>
#include <vector>

// Builds one line of JSON, with no whitespace; commas come by themselves. It trusts its caller to nest
// and to give a key before each value in an object.
class cJsonWriter
{
public:
    cJsonWriter& BeginObject();
    cJsonWriter& EndObject();
    cJsonWriter& BeginArray();
    cJsonWriter& EndArray();
    cJsonWriter& Key(std::wstring_view name); // inside an object, before a value
    cJsonWriter& String(std::wstring_view text);
    cJsonWriter& Number(long long n);
    cJsonWriter& Null();
    cJsonWriter& Bool(bool b);
    const std::wstring& Text() const noexcept { return m_text; }

    // The text as a quoted JSON string of ASCII characters alone.
    static std::wstring Escape(std::wstring_view text);

private:
    cJsonWriter& Value(std::wstring_view json);
    cJsonWriter& Close(wchar_t bracket);

    std::wstring m_text;
    std::vector<bool> m_empty; // one per open object or array: nothing in it yet
    bool m_afterKey = false;
};

#include "registry/cRegFile.h"
#include <algorithm>
#include <cwchar>

namespace
{
std::wstring Quoted(std::wstring_view text)
{
    std::wstring quoted = L"\"";
    for (const wchar_t c : text)
    {
        if (c == L'\\' || c == L'"')
            quoted += L'\\';
        quoted += c;
    }
    return quoted + L'"';
}

// hex: or hex(N): and the bytes, lines continued as the registry editor continues them.
std::wstring Hex(const std::wstring& prefix, DWORD type, const std::vector<BYTE>& data)
{
    wchar_t kind[16] = {};
    if (type == REG_BINARY)
        std::swprintf(kind, 16, L"hex:");
    else
        std::swprintf(kind, 16, L"hex(%lx):", static_cast<unsigned long>(type));
    std::wstring text = prefix + kind;
    size_t column = text.size();
    for (size_t i = 0; i < data.size(); ++i)
    {
        wchar_t byte[4] = {};
        std::swprintf(byte, 4, L"%02x", data[i]);
        text += byte;
        column += 2;
        if (i + 1 < data.size())
        {
            text += L',';
            ++column;
            if (column > 76)
            {
                text += L"\\\r\n  ";
                column = 2;
            }
        }
    }
    return text;
}

// A REG_SZ the export can write in quotes: whole UTF-16 characters, one final NUL, no line breaks or other
// control characters inside.
bool IsPlainText(const std::vector<BYTE>& data, std::wstring& text)
{
    if (data.size() < 2 || data.size() % 2)
        return false;
    text.assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    if (text.back() != L'\0')
        return false;
    text.pop_back();
    return std::none_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20; });
}
} // namespace

std::wstring cRegFile::ValueLine(const std::wstring& name, DWORD type, const std::vector<BYTE>& data)
{
    const std::wstring prefix = (name.empty() ? L"@" : Quoted(name)) + L"=";
    std::wstring text;
    if (type == REG_SZ && IsPlainText(data, text))
        return prefix + Quoted(text);
    if (type == REG_DWORD && data.size() == 4)
    {
        wchar_t dword[16] = {};
        std::swprintf(dword, 16, L"dword:%08lx",
                      static_cast<unsigned long>(data[0] | data[1] << 8 | data[2] << 16 |
                                                 static_cast<DWORD>(data[3]) << 24));
        return prefix + dword;
    }
    return Hex(prefix, type, data);
}

LONG cRegFile::AddTree(const cKey& key, const std::wstring& name)
{
    return Add(key, name, 0);
}

LONG cRegFile::Add(const cKey& key, const std::wstring& name, size_t depth)
{
    if (depth > MaxDepth)
        return ERROR_CANTREAD;
    std::vector<cKey::cRawValue> values;
    std::vector<std::wstring> subKeys;
    LONG status = key.Values(values, MaxEntries + 1);
    if (status == ERROR_SUCCESS)
        status = key.SubKeys(subKeys, MaxEntries + 1);
    m_entries += 1 + values.size() + subKeys.size();
    if (status == ERROR_SUCCESS && m_entries > MaxEntries)
        status = ERROR_CANTREAD;
    if (status != ERROR_SUCCESS)
        return status;
    m_text += L"\r\n[" + name + L"]\r\n";
    for (const cKey::cRawValue& value : values)
        m_text += ValueLine(value.Name, value.Type, value.Data) + L"\r\n";
    for (const std::wstring& subKey : subKeys)
    {
        cKey child;
        // A link inside is never followed: its target is no part of the key (cKey::IsLink then).
        status = child.OpenNoLink(key.Get(), subKey, KEY_READ | KEY_WOW64_64KEY);
        if (status == ERROR_SUCCESS)
            status = Add(child, name + L"\\" + subKey, depth + 1);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

DWORD cRegFile::SaveAs(const std::wstring& path) const
{
    const cHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return ::GetLastError();
    const std::wstring bytes = L"\xFEFF" + m_text + L"\r\n";
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes.size() * sizeof(wchar_t));
    if (!::WriteFile(file.Get(), bytes.data(), size, &written, nullptr))
        return ::GetLastError();
    if (written != size)
        return ERROR_WRITE_FAULT;
    return ::FlushFileBuffers(file.Get()) ? ERROR_SUCCESS : ::GetLastError();
}

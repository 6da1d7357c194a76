#pragma once
#include "registry/cKey.h"
#include <string>
#include <vector>

// A registry file an administrator imports again (reg import, or a double click): the keys a repair is about
// to change, as they are, in the format of the registry editor's export.
class cRegFile
{
public:
    static constexpr const wchar_t* Header = L"Windows Registry Editor Version 5.00";
    // Beyond these a key is no registration: the backup fails rather than save half of it.
    static constexpr size_t MaxDepth = 16;
    static constexpr size_t MaxEntries = 4096;

    cRegFile() : m_text(std::wstring(Header) + L"\r\n") {}
    // Adds `key` with its values and subkeys, named `name` (HKEY_...\...). The registry's status
    // (cKey::IsLink for a link below it); anything but ERROR_SUCCESS leaves the file unfit to save.
    LONG AddTree(const cKey& key, const std::wstring& name);
    // One value as the export writes it: "name"= or @= and the data.
    static std::wstring ValueLine(const std::wstring& name, DWORD type, const std::vector<BYTE>& data);
    const std::wstring& Text() const noexcept { return m_text; }
    // Writes the text as UTF-16 LE with its byte-order mark into `path`, which must not exist yet: the
    // system's error code.
    DWORD SaveAs(const std::wstring& path) const;

private:
    LONG Add(const cKey& key, const std::wstring& name, size_t depth);

    std::wstring m_text;
    size_t m_entries = 0;
};

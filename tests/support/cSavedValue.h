#pragma once
#include "sys/cOwned.h"
#include <optional>
#include <string>
#include <vector>

// One registry value of HKEY_CURRENT_USER, put back as it was (or removed) when destroyed.
class cSavedValue
{
public:
    static constexpr const wchar_t* UserShellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    static constexpr const wchar_t* ShellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

    cSavedValue(const wchar_t* subKey, const wchar_t* name) : m_name(name)
    {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, subKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          m_key.Put(), nullptr);
        DWORD size = 0;
        if (::RegQueryValueExW(m_key.Get(), name, nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS)
        {
            m_data.emplace(size);
            ::RegQueryValueExW(m_key.Get(), name, nullptr, &m_type, m_data->data(), &size);
        }
    }
    ~cSavedValue()
    {
        if (m_data)
            ::RegSetValueExW(m_key.Get(), m_name.c_str(), 0, m_type, m_data->data(),
                             static_cast<DWORD>(m_data->size()));
        else
            ::RegDeleteValueW(m_key.Get(), m_name.c_str());
    }
    cSavedValue(const cSavedValue&) = delete;
    cSavedValue& operator=(const cSavedValue&) = delete;
    bool Set(const std::wstring& text) const
    {
        return ::RegSetValueExW(m_key.Get(), m_name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    bool SetDword(DWORD value) const
    {
        return ::RegSetValueExW(m_key.Get(), m_name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
    }

private:
    cRegKey m_key;
    std::wstring m_name;
    DWORD m_type = REG_NONE;
    std::optional<std::vector<BYTE>> m_data;
};

#include "sys/cSpecialFolder.h"
#include "sys/cOwned.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace
{
const wchar_t* const ShellFoldersKey[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};

// One registry value of HKEY_CURRENT_USER, put back as it was (or removed) when destroyed.
class cSavedValue
{
public:
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

private:
    cRegKey m_key;
    std::wstring m_name;
    DWORD m_type = REG_NONE;
    std::optional<std::vector<BYTE>> m_data;
};
} // namespace

TEST(cSpecialFolderTest, KnownIdsGiveTheShellsPathUnchanged)
{
    const cSpecialFolder folders;
    for (long id : {cSpecialFolder::CSIDL_DESKTOP_, cSpecialFolder::CSIDL_SYSTEM_,
                    cSpecialFolder::CSIDL_PROGRAM_FILES_})
    {
        SCOPED_TRACE(id);
        const std::wstring path = folders.GetSpecialFolder(id);
        EXPECT_EQ(ShellFolder(static_cast<int>(id)), path);
        ASSERT_GT(path.size(), 3u);
        EXPECT_NE(L'\\', path.back());
    }
    // A 32-bit program in a 64-bit prefix sees the x86 Program Files.
    EXPECT_EQ(L"C:\\Program Files (x86)", folders.GetSpecialFolder(38));
}

TEST(cSpecialFolderTest, UnknownIdGivesEmptyText)
{
    const cSpecialFolder folders;
    for (long id : {0x7FFFL, -1L, 0x00FFL})
    {
        SCOPED_TRACE(id);
        EXPECT_EQ(L"", folders.GetSpecialFolder(id));
    }
}

TEST(cSpecialFolderTest, JapaneseDesktopPathSurvivesCodePage932)
{
    const cTempFolder temp;
    const std::wstring desktop = temp / L"山田太郎のデスクトップ";
    ASSERT_TRUE(::CreateDirectoryW(desktop.c_str(), nullptr));
    const cSavedValue user(ShellFoldersKey[0], L"Desktop");
    const cSavedValue resolved(ShellFoldersKey[1], L"Desktop");
    ASSERT_TRUE(user.Set(desktop));
    if (ShellFolder(0) != desktop)
        GTEST_SKIP() << "the shell does not read the Desktop value afresh";
    EXPECT_EQ(desktop, cSpecialFolder().GetSpecialFolder(0));
}

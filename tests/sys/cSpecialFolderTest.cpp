#include "sys/cSpecialFolder.h"
#include "sys/cOwned.h"
#include "tests/support/TestSupport.h"
#include "tests/support/cSavedValue.h"
#include <gtest/gtest.h>

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
    const cSavedValue user(cSavedValue::UserShellFolders, L"Desktop");
    const cSavedValue resolved(cSavedValue::ShellFolders, L"Desktop");
    ASSERT_TRUE(user.Set(desktop));
    if (ShellFolder(0) != desktop)
        GTEST_SKIP() << "the shell does not read the Desktop value afresh";
    EXPECT_EQ(desktop, cSpecialFolder().GetSpecialFolder(0));
}

#include "sys/FolderLookup.h"
#include "tests/support/TestSupport.h"
#include "tests/support/cSavedValue.h"
#include <gtest/gtest.h>

TEST(cSpecialFolderTest, KnownIdsGiveTheShellsPathUnchangedUnknownOnesEmptyText)
{
    const cSpecialFolder folders;
    for (long id : {cSpecialFolder::CSIDL_DESKTOP_, cSpecialFolder::CSIDL_SYSTEM_})
        EXPECT_EQ(ShellFolder(static_cast<int>(id)), folders.GetSpecialFolder(id)) << id;
    // A 32-bit program in a 64-bit prefix sees the x86 Program Files; no backslash is added.
    EXPECT_EQ(L"C:\\Program Files (x86)", folders.GetSpecialFolder(cSpecialFolder::CSIDL_PROGRAM_FILES_));
    for (long id : {0x7FFFL, -1L})
        EXPECT_EQ(L"", folders.GetSpecialFolder(id)) << id;
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

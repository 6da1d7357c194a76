#include "sys/cFileSystemObject.h"
#include "sys/cAppError.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <functional>

namespace
{
::testing::AssertionResult ThrowsNumber(long number, const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const cAppError& e)
    {
        if (e.Number() == number)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "error " << e.Number() << " instead of " << number;
    }
    return ::testing::AssertionFailure() << "nothing thrown, expected error " << number;
}
} // namespace

class cFileSystemObjectExistsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteFileBytes(m_file, "x"));
        ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr));
    }
    cTempFolder m_temp;
    std::wstring m_file = m_temp / L"地図.ocx";
    std::wstring m_folder = m_temp / L"共通フォルダ";
    cFileSystemObject m_fso;
};

TEST_F(cFileSystemObjectExistsTest, FileExistsOnlyForFiles)
{
    EXPECT_TRUE(m_fso.FileExists(m_file));
    EXPECT_FALSE(m_fso.FileExists(m_folder));
    EXPECT_FALSE(m_fso.FileExists(m_temp / L"無い.ocx"));
    EXPECT_FALSE(m_fso.FileExists(L""));
}

TEST_F(cFileSystemObjectExistsTest, FolderExistsOnlyForFolders)
{
    EXPECT_TRUE(m_fso.FolderExists(m_folder));
    EXPECT_TRUE(m_fso.FolderExists(m_folder + L"\\"));
    EXPECT_FALSE(m_fso.FolderExists(m_file));
    EXPECT_FALSE(m_fso.FolderExists(m_temp / L"無い"));
    EXPECT_FALSE(m_fso.FolderExists(L""));
}

TEST(cFileSystemObjectDriveTest, DriveNameIsTheLetterOrTheUncShare)
{
    const cFileSystemObject fso;
    EXPECT_EQ(L"C:", fso.GetDriveName(L"C:\\dir"));
    EXPECT_EQ(L"c:", fso.GetDriveName(L"c:"));
    EXPECT_EQ(L"D:", fso.GetDriveName(L"D:file.txt"));
    EXPECT_EQ(L"\\\\server\\share", fso.GetDriveName(L"\\\\server\\share\\x"));
    EXPECT_EQ(L"\\\\server\\share", fso.GetDriveName(L"\\\\server\\share"));
    EXPECT_EQ(L"", fso.GetDriveName(L"\\\\server"));
    EXPECT_EQ(L"", fso.GetDriveName(L"\\\\server\\"));
    EXPECT_EQ(L"", fso.GetDriveName(L"dir\\file.txt"));
    EXPECT_EQ(L"", fso.GetDriveName(L"\\dir"));
    EXPECT_EQ(L"", fso.GetDriveName(L""));
}

class cFileSystemObjectFolderTest : public ::testing::Test
{
protected:
    cTempFolder m_temp;
    cFileSystemObject m_fso;
};

TEST_F(cFileSystemObjectFolderTest, CreateFolderMakesOneFolder)
{
    const std::wstring folder = m_temp / L"新しいフォルダ";
    m_fso.CreateFolder(folder);
    EXPECT_TRUE(m_fso.FolderExists(folder));
}

TEST_F(cFileSystemObjectFolderTest, CreateFolderRaisesWhenItCannot)
{
    const std::wstring folder = m_temp / L"dir";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_TRUE(ThrowsNumber(58, [&] { m_fso.CreateFolder(folder); }));
    EXPECT_TRUE(ThrowsNumber(76, [&] { m_fso.CreateFolder(m_temp / L"無い\\子"); }));
    EXPECT_FALSE(m_fso.FolderExists(m_temp / L"無い"));
    EXPECT_TRUE(ThrowsNumber(5, [&] { m_fso.CreateFolder(L""); }));
}

class cFileSystemObjectTextFileTest : public ::testing::Test
{
protected:
    cTextStream Append() const
    {
        return m_fso.OpenTextFile(m_path, cFileSystemObject::ForAppending, true,
                                  cFileSystemObject::TristateFalse);
    }
    cTempFolder m_temp;
    std::wstring m_path = m_temp / L"ログ.log";
    cFileSystemObject m_fso;
};

TEST_F(cFileSystemObjectTextFileTest, AppendingCreatesTheFileAndWritesCodePage932Lines)
{
    cTextStream stream = Append();
    stream.WriteLine(L"地図");
    stream.WriteLine(L"");
    stream.Close();
    EXPECT_EQ("\x92\x6E\x90\x7D\r\n\r\n", ReadFileBytes(m_path));
}

TEST_F(cFileSystemObjectTextFileTest, AppendingKeepsEarlierBytes)
{
    ASSERT_TRUE(WriteFileBytes(m_path, "old"));
    cTextStream stream = Append();
    stream.WriteLine(L"new");
    stream.Close();
    stream = Append();
    stream.WriteLine(L"again");
    stream.Close();
    EXPECT_EQ("oldnew\r\nagain\r\n", ReadFileBytes(m_path));
}

TEST_F(cFileSystemObjectTextFileTest, UnsupportedModesAndFailuresRaise)
{
    EXPECT_TRUE(ThrowsNumber(5, [&] { m_fso.OpenTextFile(m_path, cFileSystemObject::ForReading, true); }));
    EXPECT_TRUE(ThrowsNumber(5, [&] { m_fso.OpenTextFile(m_path, cFileSystemObject::ForWriting, true); }));
    EXPECT_TRUE(
        ThrowsNumber(5, [&] { m_fso.OpenTextFile(m_path, cFileSystemObject::ForAppending, true, -1); }));
    EXPECT_FALSE(m_fso.FileExists(m_path));
    EXPECT_THROW(m_fso.OpenTextFile(m_path, cFileSystemObject::ForAppending, false), cAppError);
    EXPECT_FALSE(m_fso.FileExists(m_path));
    EXPECT_TRUE(ThrowsNumber(76, [&] { m_fso.OpenTextFile(m_temp / L"無い\\a.log", 8, true); }));
}

TEST_F(cFileSystemObjectTextFileTest, WriteLineAfterCloseRaises)
{
    cTextStream stream = Append();
    stream.Close();
    EXPECT_THROW(stream.WriteLine(L"late"), cAppError);
    EXPECT_EQ("", ReadFileBytes(m_path));
}

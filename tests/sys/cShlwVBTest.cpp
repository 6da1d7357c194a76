#include "sys/cShlwVB.h"
#include "sys/mShlwVB.h"
#include "tests/support/TestSupport.h"
#include "tests/support/cMessageBoxCatcher.h"
#include <gtest/gtest.h>
#include <climits>

namespace
{
// Full-width reverse solidus and full stop: equal to "\" and "." under text comparison only.
const std::wstring WideBackslash = L"\uFF3C";
const std::wstring WideDot = L"\uFF0E";
const std::wstring AppTitle = L"地図コンポーネントレジストリ再設定ツール（カルトリアＷ３）";

struct TextCase
{
    std::wstring input;
    std::wstring expected;
};

struct OptionCase
{
    std::wstring input;
    bool option;
    std::wstring expected;
};

// Bytes as the fixed-point value with four decimals that VBFormatKBSize takes.
constexpr long long Bytes(long long bytes)
{
    return bytes * 10000;
}
} // namespace

class cShlwVBBackslashTest : public ::testing::Test
{
protected:
    cShlwVB m_shlw;
};

TEST_F(cShlwVBBackslashTest, AddBackslashAppendsOnlyWhenMissing)
{
    for (const TextCase& c : {TextCase{L"C:\\Temp", L"C:\\Temp\\"}, TextCase{L"C:\\Temp\\", L"C:\\Temp\\"},
                              TextCase{L"", L"\\"}, TextCase{L"C:\\Temp" + WideBackslash, L"C:\\Temp＼\\"}})
    {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.expected, m_shlw.VBAddBackslash(c.input));
        EXPECT_EQ(c.expected, mShlwVB::AddBackslash(c.input));
    }
}

TEST_F(cShlwVBBackslashTest, RemoveBackslashDropsAtMostOne)
{
    for (const TextCase& c :
         {TextCase{L"C:\\Temp\\", L"C:\\Temp"}, TextCase{L"C:\\", L"C:"}, TextCase{L"C:\\Temp", L"C:\\Temp"},
          TextCase{L"C:\\Temp\\\\", L"C:\\Temp\\"}, TextCase{L"", L""}, TextCase{L"\\", L""},
          TextCase{L"C:\\Temp＼", L"C:\\Temp＼"}})
    {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.expected, m_shlw.VBRemoveBackslash(c.input));
    }
}

class cShlwVBSplitTest : public ::testing::Test
{
protected:
    cShlwVB m_shlw;
};

TEST_F(cShlwVBSplitTest, FindPathNameKeepsOrDropsTheBackslash)
{
    for (const OptionCase& c :
         {OptionCase{L"C:\\dir\\file.txt", true, L"C:\\dir\\"},
          OptionCase{L"C:\\dir\\file.txt", false, L"C:\\dir"}, OptionCase{L"C:\\dir\\", false, L"C:\\dir"},
          OptionCase{L"C:\\dir\\", true, L"C:\\dir\\"}, OptionCase{L"file.txt", true, L"file.txt"},
          OptionCase{L"file.txt", false, L"file.txt"}, OptionCase{L"\\", false, L""},
          OptionCase{L"", true, L""}})
    {
        SCOPED_TRACE(c.input + (c.option ? L" true" : L" false"));
        EXPECT_EQ(c.expected, m_shlw.VBFindPathName(c.input, c.option));
    }
}

TEST_F(cShlwVBSplitTest, FindExtensionSearchesTheWholeText)
{
    for (const OptionCase& c :
         {OptionCase{L"C:\\dir\\file.txt", true, L".txt"}, OptionCase{L"C:\\dir\\file.txt", false, L"txt"},
          OptionCase{L"C:\\dir\\file.", false, L""}, OptionCase{L"C:\\dir\\file", true, L"C:\\dir\\file"},
          OptionCase{L"C:\\dir\\file", false, L"C:\\dir\\file"},
          OptionCase{L"C:\\my.dir\\file", true, L".dir\\file"}, OptionCase{L"archive.tar.gz", true, L".gz"}})
    {
        SCOPED_TRACE(c.input + (c.option ? L" true" : L" false"));
        EXPECT_EQ(c.expected, m_shlw.VBFindExtension(c.input, c.option));
    }
}

TEST_F(cShlwVBSplitTest, FindFileNameLiesBetweenFolderAndExtension)
{
    for (const TextCase& c :
         {TextCase{L"C:\\dir\\file.txt", L"file"}, TextCase{L"C:\\dir\\archive.tar.gz", L"archive.tar"},
          TextCase{L"file.txt", L"file"}, TextCase{L"C:\\dir\\.txt", L""},
          TextCase{L"C:\\dir\\file.", L"file"}})
    {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.expected, m_shlw.VBFindFileName(c.input));
    }
}

TEST_F(cShlwVBSplitTest, FindFileNameWithoutExtensionIsTheNameAfterTheFolder)
{
    for (const TextCase& c : {TextCase{L"C:\\dir\\file", L"file"}, TextCase{L"file", L"file"},
                              TextCase{L"C:\\my.dir\\file", L"file"},
                              TextCase{L"C:\\a.b.c\\readme", L"readme"}, TextCase{L"C:\\dir.\\", L""},
                              TextCase{L"", L""}, TextCase{L"file" + WideDot + L"txt", L"file．txt"}})
    {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.expected, m_shlw.VBFindFileName(c.input));
    }
}

TEST_F(cShlwVBSplitTest, RemoveExtensionCutsAtTheLastDot)
{
    for (const TextCase& c : {TextCase{L"C:\\dir\\file.txt", L"C:\\dir\\file"}, TextCase{L"a.b.c", L"a.b"},
                              TextCase{L".txt", L""}, TextCase{L"C:\\my.dir\\file", L"C:\\my"},
                              TextCase{L"C:\\dir\\file", L"C:\\dir\\file"}, TextCase{L"", L""}})
    {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.expected, m_shlw.VBRemoveExtension(c.input));
    }
}

TEST_F(cShlwVBSplitTest, RenameExtensionAlwaysAddsTheDot)
{
    struct Case
    {
        std::wstring file, ext, expected;
    };
    for (const Case& c : {Case{L"C:\\dir\\file.txt", L"bak", L"C:\\dir\\file.bak"},
                          Case{L"C:\\dir\\file.txt", L".bak", L"C:\\dir\\file..bak"},
                          Case{L"C:\\dir\\file.txt", L"", L"C:\\dir\\file."},
                          Case{L"C:\\dir\\file", L"bak", L"C:\\dir\\file.bak"}, Case{L"", L"ini", L".ini"}})
    {
        SCOPED_TRACE(c.file + L" / " + c.ext);
        EXPECT_EQ(c.expected, m_shlw.VBRenameExtension(c.file, c.ext));
    }
}

TEST_F(cShlwVBSplitTest, StripPathKeepsTheTextAfterTheLastBackslash)
{
    for (const TextCase& c : {TextCase{L"C:\\dir\\file.txt", L"file.txt"}, TextCase{L"file.txt", L"file.txt"},
                              TextCase{L"C:\\dir\\", L""}, TextCase{L"\\\\server\\share", L"share"}})
    {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.expected, m_shlw.VBStripPath(c.input));
    }
}

TEST_F(cShlwVBSplitTest, FindFolderNameIgnoresOneTrailingBackslash)
{
    for (const TextCase& c :
         {TextCase{L"C:\\dir\\sub\\", L"sub"}, TextCase{L"C:\\dir\\sub", L"sub"}, TextCase{L"C:\\", L"C:"},
          TextCase{L"sub", L"sub"}, TextCase{L"", L""}, TextCase{L"C:\\dir\\\\", L""}})
    {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.expected, m_shlw.VBFindFolderName(c.input));
    }
}

// A full-width separator counts where the search is a text comparison, but the presence test before it is
// exact.
class cShlwVBTextComparisonTest : public ::testing::Test
{
protected:
    cShlwVB m_shlw;
};

TEST_F(cShlwVBTextComparisonTest, WideBackslashIsTheLastSeparatorOnlyBesideAnOrdinaryOne)
{
    const std::wstring mixed = L"C:\\dir" + WideBackslash + L"file.txt";
    EXPECT_EQ(L"C:\\dir＼", m_shlw.VBFindPathName(mixed, true));
    EXPECT_EQ(L"C:\\dir", m_shlw.VBFindPathName(mixed, false));
    EXPECT_EQ(L"file", m_shlw.VBFindFileName(mixed));
    EXPECT_EQ(L"file.txt", m_shlw.VBStripPath(mixed));

    const std::wstring wideOnly = L"dir" + WideBackslash + L"file.txt";
    EXPECT_EQ(wideOnly, m_shlw.VBFindPathName(wideOnly, true));
    EXPECT_EQ(wideOnly, m_shlw.VBStripPath(wideOnly));
    EXPECT_EQ(L"dir＼file", m_shlw.VBFindFileName(wideOnly));
}

TEST_F(cShlwVBTextComparisonTest, FindFolderNameCountsOnlyTheOrdinaryBackslash)
{
    EXPECT_EQ(L"dir＼sub", m_shlw.VBFindFolderName(L"C:\\dir" + WideBackslash + L"sub"));
    EXPECT_EQ(L"dir＼", m_shlw.VBFindFolderName(L"C:\\dir" + WideBackslash));
}

TEST_F(cShlwVBTextComparisonTest, WideDotIsTheLastDotOnlyBesideAnOrdinaryOne)
{
    const std::wstring mixed = L"C:\\a.b" + WideDot + L"txt";
    EXPECT_EQ(L"．txt", m_shlw.VBFindExtension(mixed, true));
    EXPECT_EQ(L"txt", m_shlw.VBFindExtension(mixed, false));
    EXPECT_EQ(L"a.b", m_shlw.VBFindFileName(mixed));

    const std::wstring wideOnly = L"C:\\file" + WideDot + L"txt";
    EXPECT_EQ(wideOnly, m_shlw.VBFindExtension(wideOnly, true));
}

TEST_F(cShlwVBTextComparisonTest, RemoveExtensionTakesAWideDotOnItsOwn)
{
    EXPECT_EQ(L"C:\\dir\\file", m_shlw.VBRemoveExtension(L"C:\\dir\\file" + WideDot + L"txt"));
    EXPECT_EQ(L"C:\\dir\\file.bak", m_shlw.VBRenameExtension(L"C:\\dir\\file" + WideDot + L"txt", L"bak"));
    EXPECT_EQ(L"a.b", m_shlw.VBRemoveExtension(L"a.b" + WideDot + L"c"));
}

class cShlwVBKindTest : public ::testing::Test
{
protected:
    cShlwVB m_shlw;
};

TEST_F(cShlwVBKindTest, UncNeedsTwoLeadingBackslashes)
{
    EXPECT_TRUE(m_shlw.VBIsUNC(L"\\\\server\\share"));
    EXPECT_TRUE(m_shlw.VBIsUNC(L"\\\\"));
    EXPECT_FALSE(m_shlw.VBIsUNC(L"\\"));
    EXPECT_FALSE(m_shlw.VBIsUNC(L""));
    EXPECT_FALSE(m_shlw.VBIsUNC(L"C:\\\\dir"));
    EXPECT_FALSE(m_shlw.VBIsUNC(WideBackslash + WideBackslash + L"server"));
    EXPECT_FALSE(m_shlw.VBIsUNC(L"//server/share"));
}

TEST_F(cShlwVBKindTest, UrlNeedsSchemeSeparatorAnywhere)
{
    EXPECT_TRUE(m_shlw.VBIsURL(L"http://example.jp/"));
    EXPECT_TRUE(m_shlw.VBIsURL(L"://"));
    EXPECT_TRUE(m_shlw.VBIsURL(L"C:\\x://y"));
    EXPECT_FALSE(m_shlw.VBIsURL(L"http:/example.jp"));
    EXPECT_FALSE(m_shlw.VBIsURL(L"C:\\dir"));
    EXPECT_FALSE(m_shlw.VBIsURL(L""));
    EXPECT_FALSE(m_shlw.VBIsURL(L"http：//example.jp"));
}

class cShlwVBStrStrTest : public ::testing::Test
{
protected:
    cShlwVB m_shlw;
};

TEST_F(cShlwVBStrStrTest, ReturnsTheRestFromTheFirstOccurrence)
{
    struct Case
    {
        std::wstring first, search;
        bool option;
        std::wstring expected;
    };
    for (const Case& c :
         {Case{L"C:\\dir\\file.txt", L"dir", true, L"dir\\file.txt"}, Case{L"ABC", L"b", false, L"BC"},
          Case{L"ABC", L"b", true, L""}, Case{L"abcabc", L"bc", true, L"bcabc"},
          Case{L"ABC", L"", true, L"ABC"}, Case{L"ABC", L"", false, L"ABC"}, Case{L"", L"", false, L""},
          Case{L"", L"a", true, L""}, Case{L"AB", L"ABC", false, L""}, Case{L"xyz", L"q", false, L""}})
    {
        SCOPED_TRACE(c.first + L" / " + c.search + (c.option ? L" true" : L" false"));
        EXPECT_EQ(c.expected, m_shlw.VBStrStr(c.first, c.search, c.option));
    }
}

TEST_F(cShlwVBStrStrTest, TextComparisonIgnoresWidthAndKanaType)
{
    EXPECT_EQ(L"ＤＩＲ\\file", m_shlw.VBStrStr(L"C:\\ＤＩＲ\\file", L"dir", false));
    EXPECT_EQ(L"", m_shlw.VBStrStr(L"C:\\ＤＩＲ\\file", L"dir", true));
    EXPECT_EQ(L"かるとりあｗ３", m_shlw.VBStrStr(L"地図かるとりあｗ３", L"カルトリア", false));
    EXPECT_EQ(L"かるとりあｗ３", m_shlw.VBStrStr(L"地図かるとりあｗ３", L"ｶﾙﾄﾘｱ", false));
    EXPECT_EQ(L"＼file.txt", m_shlw.VBStrStr(L"C:" + WideBackslash + L"file.txt", L"\\", false));
}

class cShlwVBFormatKBSizeTest : public ::testing::Test
{
protected:
    void Check(std::initializer_list<std::pair<long long, std::wstring>> cases)
    {
        for (const auto& [size, expected] : cases)
        {
            SCOPED_TRACE(size);
            EXPECT_EQ(expected, m_shlw.VBFormatKBSize(size));
        }
    }
    cShlwVB m_shlw;
};

TEST_F(cShlwVBFormatKBSizeTest, WorkedExamples)
{
    Check({{Bytes(0), L"0 ﾊﾞｲﾄ"},
           {Bytes(512), L"512 ﾊﾞｲﾄ"},
           {Bytes(513), L"0.5 KB"},
           {Bytes(600), L"0.59 KB"},
           {Bytes(1023), L"1. KB"},
           {Bytes(1024), L"1. KB"},
           {Bytes(1536), L"1.5 KB"},
           {Bytes(1572864), L"1.5 MB"},
           {Bytes(10000000), L"9.54 MB"},
           {Bytes(1099511627776), L"1. TB"},
           {Bytes(-2048), L"-2,048 ﾊﾞｲﾄ"}});
}

TEST_F(cShlwVBFormatKBSizeTest, ExactlyHalfAUnitFallsToTheSmallerUnit)
{
    Check({{Bytes(524288), L"512. KB"},
           {Bytes(524289), L"0.5 MB"},
           {Bytes(536870912), L"512. MB"},
           {Bytes(536870913), L"0.5 GB"},
           {Bytes(549755813888), L"512. GB"},
           {Bytes(549755813889), L"0.5 TB"},
           {Bytes(512) + 1, L"0.5 KB"},
           {Bytes(512) - 1, L"512 ﾊﾞｲﾄ"}});
}

TEST_F(cShlwVBFormatKBSizeTest, RoundsTwoDecimalsHalvesAwayFromZero)
{
    // 1,029.12 bytes is exactly 1.005 KB, which a double holds as 1.00499...
    Check({{10291200, L"1.01 KB"},
           {10291199, L"1. KB"},
           {Bytes(1018), L"0.99 KB"},
           {Bytes(1030), L"1.01 KB"},
           {Bytes(1126), L"1.1 KB"},
           {LLONG_MAX, L"838.86 TB"}});
}

TEST_F(cShlwVBFormatKBSizeTest, BytesRoundHalvesAwayFromZeroAndGroup)
{
    Check({{5000, L"1 ﾊﾞｲﾄ"},
           {4999, L"0 ﾊﾞｲﾄ"},
           {-5000, L"-1 ﾊﾞｲﾄ"},
           {-4999, L"0 ﾊﾞｲﾄ"},
           {Bytes(-1), L"-1 ﾊﾞｲﾄ"},
           {Bytes(-1099511627776), L"-1,099,511,627,776 ﾊﾞｲﾄ"},
           {LLONG_MIN, L"-922,337,203,685,478 ﾊﾞｲﾄ"}});
}

class cShlwVBTimeIntervalTest : public ::testing::Test
{
protected:
    void Check(std::initializer_list<std::pair<long, std::wstring>> cases)
    {
        for (const auto& [milliseconds, expected] : cases)
        {
            SCOPED_TRACE(milliseconds);
            EXPECT_EQ(expected, m_shlw.VBFromTimeInterval(milliseconds));
        }
    }
    cShlwVB m_shlw;
};

TEST_F(cShlwVBTimeIntervalTest, WorkedExamples)
{
    Check({{500, L"0秒"},
           {1500, L"2秒"},
           {2500, L"2秒"},
           {60000, L"60秒"},
           {60400, L"1分"},
           {61500, L"1分2秒"},
           {3600000, L"60分"},
           {3659000, L"60分59秒"},
           {3661000, L"1時間1分"},
           {7200000, L"2時間"},
           {-5000, L"-5秒"}});
}

TEST_F(cShlwVBTimeIntervalTest, MinutesStartAboveSixtySeconds)
{
    Check({{0, L"0秒"},
           {59500, L"60秒"},
           {60001, L"1分"},
           {60500, L"1分"},
           {62500, L"1分2秒"},
           {119999, L"2分"},
           {3599500, L"60分"}});
}

TEST_F(cShlwVBTimeIntervalTest, HoursStartAtSixtyOneMinutesAndDropSeconds)
{
    Check({{3659499, L"60分59秒"},
           {3659500, L"1時間1分"},
           {3660000, L"1時間1分"},
           {3719000, L"1時間1分"},
           {7259000, L"2時間"},
           {86400000, L"24時間"},
           {LONG_MAX, L"596時間31分"}});
}

TEST_F(cShlwVBTimeIntervalTest, NegativeValuesStayInSeconds)
{
    Check({{-500, L"0秒"},
           {-1500, L"-2秒"},
           {-2500, L"-2秒"},
           {-3600000, L"-3600秒"},
           {LONG_MIN, L"-2147484秒"}});
}

class cShlwVBFolderChainTest : public ::testing::Test
{
protected:
    static bool IsFolder(const std::wstring& path)
    {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    static bool Exists(const std::wstring& path)
    {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    ::testing::AssertionResult FailedWith(const std::wstring& path, const std::wstring& expectedText)
    {
        cMessageBoxCatcher catcher;
        if (!m_shlw.VBMakeSureDirectoryPathExists(path))
            return ::testing::AssertionFailure() << "reported success";
        if (catcher.Boxes().size() != 1)
            return ::testing::AssertionFailure() << catcher.Boxes().size() << " message boxes";
        const cMessageBoxCatcher::Box& box = catcher.Boxes()[0];
        if (box.Text != expectedText || box.Title != AppTitle || box.Icon != MB_ICONERROR)
            return ::testing::AssertionFailure()
                   << "box \"" << ::testing::PrintToString(box.Text) << "\" titled "
                   << ::testing::PrintToString(box.Title) << " icon " << box.Icon;
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult Succeeded(const std::wstring& path)
    {
        cMessageBoxCatcher catcher;
        if (m_shlw.VBMakeSureDirectoryPathExists(path))
            return ::testing::AssertionFailure() << "reported failure";
        if (!catcher.Boxes().empty())
            return ::testing::AssertionFailure()
                   << "showed " << ::testing::PrintToString(catcher.Boxes()[0].Text);
        return ::testing::AssertionSuccess();
    }
    cTempFolder m_temp;
    cShlwVB m_shlw;
};

TEST_F(cShlwVBFolderChainTest, NothingToCreateSucceedsSilently)
{
    EXPECT_TRUE(Succeeded(m_temp.Path()));
    EXPECT_TRUE(Succeeded(m_shlw.VBRemoveBackslash(m_temp.Path())));
    EXPECT_TRUE(Succeeded(L""));
    EXPECT_TRUE(Succeeded(L"C:"));
    EXPECT_TRUE(Succeeded(L"C:\\"));
}

TEST_F(cShlwVBFolderChainTest, CreatesEveryMissingFolderOfADeepChain)
{
    EXPECT_TRUE(Succeeded(m_temp / L"a\\b\\c\\d"));
    EXPECT_TRUE(IsFolder(m_temp / L"a\\b\\c\\d"));
    // Doubled backslashes and a trailing one add no folders of their own.
    EXPECT_TRUE(Succeeded(m_temp / L"a\\\\b\\e\\地図\\"));
    EXPECT_TRUE(IsFolder(m_temp / L"a\\b\\e\\地図"));
}

TEST_F(cShlwVBFolderChainTest, RelativePathsResolveAgainstTheCurrentFolder)
{
    wchar_t saved[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetCurrentDirectoryW(MAX_PATH, saved));
    ASSERT_TRUE(::SetCurrentDirectoryW(m_temp.Path().c_str()));
    const bool relative = Succeeded(L"rel\\sub");
    const bool driveRelative = Succeeded(m_temp.Path().substr(0, 2) + L"drv\\sub");
    ::SetCurrentDirectoryW(saved);
    EXPECT_TRUE(relative);
    EXPECT_TRUE(IsFolder(m_temp / L"rel\\sub"));
    EXPECT_TRUE(driveRelative);
    EXPECT_TRUE(IsFolder(m_temp / L"drv\\sub"));
}

TEST_F(cShlwVBFolderChainTest, InvalidNameStopsTheChainAndKeepsFoldersMadeBefore)
{
    EXPECT_TRUE(FailedWith(m_temp / L"made\\also\\bad*name\\never", L"76\r\nパスが見つかりません。"));
    EXPECT_TRUE(IsFolder(m_temp / L"made\\also"));
    EXPECT_FALSE(Exists(m_temp / L"made\\also\\bad*name"));
}

TEST_F(cShlwVBFolderChainTest, FileInTheWayIsReported)
{
    ASSERT_TRUE(WriteFileBytes(m_temp / L"file.txt", "x"));
    EXPECT_TRUE(FailedWith(m_temp / L"file.txt\\sub", L"58\r\n既に同名のファイルが存在しています。"));
    EXPECT_EQ("x", ReadFileBytes(m_temp / L"file.txt"));
}

TEST_F(cShlwVBFolderChainTest, MissingDriveIsReported)
{
    const DWORD drives = ::GetLogicalDrives();
    wchar_t letter = 0;
    for (wchar_t candidate = L'Z'; candidate >= L'D' && !letter; --candidate)
        if (!(drives & (1u << (candidate - L'A'))))
            letter = candidate;
    if (!letter)
        GTEST_SKIP() << "every drive letter is in use";
    EXPECT_TRUE(FailedWith(std::wstring(1, letter) + L":\\p2f\\sub", L"76\r\nパスが見つかりません。"));
}

TEST_F(cShlwVBFolderChainTest, ServerWithoutShareIsRefusedNotBuiltOnTheCurrentDrive)
{
    const std::wstring name = L"p2fNoShare" + std::to_wstring(::GetCurrentProcessId());
    EXPECT_TRUE(FailedWith(L"\\\\" + name, L"76\r\nパスが見つかりません。"));
    EXPECT_TRUE(FailedWith(L"\\\\" + name + L"\\", L"76\r\nパスが見つかりません。"));
    EXPECT_FALSE(Exists(L"\\" + name));
}

#include "sys/cShlwVB.h"
#include "sys/mShlwVB.h"
#include "tests/support/TestSupport.h"
#include "tests/support/cMessageBoxCatcher.h"
#include <gtest/gtest.h>
#include <functional>

namespace
{
using T = std::pair<std::wstring, std::wstring>; // T(input, expected)
using Size = std::pair<long long, std::wstring>;
using Ms = std::pair<long, std::wstring>;
const cShlwVB s{}; // stateless

void ExpectEach(std::initializer_list<T> rows, const std::function<std::wstring(const std::wstring&)>& f)
{
    for (const auto& [input, expected] : rows)
    {
        SCOPED_TRACE(input);
        EXPECT_EQ(expected, f(input));
    }
}
} // namespace

TEST(cShlwVBPathTest, FoldersAsInTheWorkedExamples)
{
    ExpectEach({T(L"C:\\Temp", L"C:\\Temp\\"), T(L"C:\\Temp\\", L"C:\\Temp\\"), T(L"", L"\\")},
               [&](auto& p) { return s.VBAddBackslash(p); });
    EXPECT_EQ(L"C:\\Temp\\", mShlwVB::AddBackslash(L"C:\\Temp"));
    ExpectEach({T(L"C:\\Temp\\", L"C:\\Temp"), T(L"C:\\", L"C:"), T(L"C:\\Temp", L"C:\\Temp"),
                T(L"C:\\Temp\\\\", L"C:\\Temp\\"), T(L"", L"")},
               [&](auto& p) { return s.VBRemoveBackslash(p); });
    ExpectEach({T(L"C:\\dir\\file.txt", L"C:\\dir\\"), T(L"file.txt", L"file.txt")},
               [&](auto& p) { return s.VBFindPathName(p, true); });
    ExpectEach(
        {T(L"C:\\dir\\file.txt", L"C:\\dir"), T(L"C:\\dir\\", L"C:\\dir"), T(L"file.txt", L"file.txt")},
        [&](auto& p) { return s.VBFindPathName(p, false); });
    ExpectEach({T(L"C:\\dir\\file.txt", L"file.txt"), T(L"file.txt", L"file.txt"), T(L"C:\\dir\\", L"")},
               [&](auto& p) { return s.VBStripPath(p); });
    ExpectEach({T(L"C:\\dir\\sub\\", L"sub"), T(L"C:\\dir\\sub", L"sub"), T(L"C:\\", L"C:"),
                T(L"sub", L"sub"), T(L"", L"")},
               [&](auto& p) { return s.VBFindFolderName(p); });
}

TEST(cShlwVBPathTest, ExtensionPartsAsInTheWorkedExamples)
{
    ExpectEach({T(L"C:\\dir\\file.txt", L".txt"), T(L"C:\\dir\\file", L"C:\\dir\\file"),
                T(L"C:\\my.dir\\file", L".dir\\file")},
               [&](auto& p) { return s.VBFindExtension(p, true); });
    ExpectEach(
        {T(L"C:\\dir\\file.txt", L"txt"), T(L"C:\\dir\\file.", L""), T(L"C:\\dir\\file", L"C:\\dir\\file")},
        [&](auto& p) { return s.VBFindExtension(p, false); });
    // Without an extension the name is everything after the folder part, dots in folder names or not.
    ExpectEach({T(L"C:\\dir\\file.txt", L"file"), T(L"C:\\dir\\archive.tar.gz", L"archive.tar"),
                T(L"file.txt", L"file"), T(L"C:\\dir\\file", L"file"), T(L"file", L"file"),
                T(L"C:\\my.dir\\file", L"file"), T(L"", L"")},
               [&](auto& p) { return s.VBFindFileName(p); });
    ExpectEach({T(L"C:\\dir\\file.txt", L"C:\\dir\\file"), T(L"a.b.c", L"a.b"), T(L".txt", L""),
                T(L"C:\\my.dir\\file", L"C:\\my"), T(L"C:\\dir\\file", L"C:\\dir\\file")},
               [&](auto& p) { return s.VBRemoveExtension(p); });
    ExpectEach(
        {T(L"bak", L"C:\\dir\\file.bak"), T(L".bak", L"C:\\dir\\file..bak"), T(L"", L"C:\\dir\\file.")},
        [&](auto& ext) { return s.VBRenameExtension(L"C:\\dir\\file.txt", ext); });
    EXPECT_EQ(L"C:\\dir\\file.bak", s.VBRenameExtension(L"C:\\dir\\file", L"bak"));
}

// U+FF3C and U+FF0E equal "\" and "." under text comparison only; the presence tests, VBIsUNC and VBIsURL
// are exact.
TEST(cShlwVBPathTest, TextComparisonOnlyWhereTheRuleSaysSo)
{
    EXPECT_EQ(L"C:\\dir＼", s.VBFindPathName(L"C:\\dir＼file.txt", true));
    EXPECT_EQ(L"file", s.VBFindFileName(L"C:\\dir＼file.txt"));
    EXPECT_EQ(L"dir＼file.txt", s.VBFindPathName(L"dir＼file.txt", true));
    EXPECT_EQ(L"dir＼sub", s.VBFindFolderName(L"C:\\dir＼sub"));
    EXPECT_EQ(L"．txt", s.VBFindExtension(L"C:\\a.b．txt", true));
    EXPECT_EQ(L"C:\\file．txt", s.VBFindExtension(L"C:\\file．txt", true));
    EXPECT_EQ(L"C:\\file", s.VBRemoveExtension(L"C:\\file．txt"));
    EXPECT_EQ(L"ＤＩＲ\\f", s.VBStrStr(L"C:\\ＤＩＲ\\f", L"dir", false));
    EXPECT_EQ(L"", s.VBStrStr(L"C:\\ＤＩＲ\\f", L"dir", true));
    EXPECT_EQ(L"かるとりあ", s.VBStrStr(L"地図かるとりあ", L"ｶﾙﾄﾘｱ", false));
    EXPECT_FALSE(s.VBIsUNC(L"＼＼server"));
    EXPECT_TRUE(s.VBIsUNC(L"\\\\server\\share") && s.VBIsUNC(L"\\\\"));
    EXPECT_FALSE(s.VBIsUNC(L"\\") || s.VBIsUNC(L"") || s.VBIsUNC(L"C:\\\\dir"));
    EXPECT_TRUE(s.VBIsURL(L"http://example.jp/") && s.VBIsURL(L"://"));
    EXPECT_FALSE(s.VBIsURL(L"http:/example.jp") || s.VBIsURL(L""));
    EXPECT_EQ(L"dir\\file.txt", s.VBStrStr(L"C:\\dir\\file.txt", L"dir", true));
    EXPECT_EQ(L"BC", s.VBStrStr(L"ABC", L"b", false));
    EXPECT_EQ(L"", s.VBStrStr(L"ABC", L"b", true));
    EXPECT_EQ(L"ABC", s.VBStrStr(L"ABC", L"", true));
    EXPECT_EQ(L"", s.VBStrStr(L"", L"", false));
}

TEST(cShlwVBFormatTest, FormatKBSizePicksTheUnitReachedByMoreThanHalf)
{
    for (const auto& [bytes, expected] :
         {Size(0, L"0 ﾊﾞｲﾄ"), Size(512, L"512 ﾊﾞｲﾄ"), Size(513, L"0.5 KB"), Size(600, L"0.59 KB"),
          Size(1023, L"1. KB"), Size(1024, L"1. KB"), Size(1536, L"1.5 KB"), Size(1572864, L"1.5 MB"),
          Size(10000000, L"9.54 MB"), Size(1099511627776, L"1. TB"), Size(-2048, L"-2,048 ﾊﾞｲﾄ"),
          Size(524288, L"512. KB"), Size(524289, L"0.5 MB")})
    {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(expected, s.VBFormatKBSize(bytes * 10000)); // the argument has four fixed decimals
    }
    EXPECT_EQ(L"0.5 KB", s.VBFormatKBSize(5120001));
    EXPECT_EQ(L"1 ﾊﾞｲﾄ", s.VBFormatKBSize(5000));
    EXPECT_EQ(L"1.01 KB", s.VBFormatKBSize(10291200)); // exactly 1.005 KB, which a double holds as 1.00499...
}

TEST(cShlwVBFormatTest, FromTimeIntervalSwitchesAbove60SecondsAnd60Minutes)
{
    for (const auto& [ms, expected] :
         {Ms(500, L"0秒"), Ms(1500, L"2秒"), Ms(2500, L"2秒"), Ms(60000, L"60秒"), Ms(60400, L"1分"),
          Ms(61500, L"1分2秒"), Ms(3600000, L"60分"), Ms(3659000, L"60分59秒"), Ms(3659500, L"1時間1分"),
          Ms(3661000, L"1時間1分"), Ms(7200000, L"2時間"), Ms(-5000, L"-5秒"), Ms(-2500, L"-2秒"),
          Ms(-3600000, L"-3600秒")})
    {
        SCOPED_TRACE(ms);
        EXPECT_EQ(expected, s.VBFromTimeInterval(ms));
    }
}

class cShlwVBFolderChainTest : public ::testing::Test
{
protected:
    // The boxes shown while making the chain; the result must be true exactly when one was shown.
    std::vector<cMessageBoxCatcher::Box> Make(const std::wstring& path)
    {
        cMessageBoxCatcher catcher;
        const bool failed = s.VBMakeSureDirectoryPathExists(path);
        EXPECT_EQ(failed, !catcher.Boxes().empty()) << "the result against the boxes shown";
        return catcher.Boxes();
    }
    static bool IsFolder(const std::wstring& path)
    {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    cTempFolder m_temp;
};

TEST_F(cShlwVBFolderChainTest, CreatesWhatIsMissingAlongAbsoluteAndRelativePaths)
{
    EXPECT_TRUE(Make(m_temp.Path()).empty());
    EXPECT_TRUE(Make(L"").empty());
    EXPECT_TRUE(Make(L"C:").empty());
    EXPECT_TRUE(Make(m_temp / L"a\\b\\c\\d").empty());
    EXPECT_TRUE(IsFolder(m_temp / L"a\\b\\c\\d"));
    EXPECT_TRUE(Make(m_temp / L"a\\\\b\\地図\\").empty()); // a doubled backslash adds no folder
    EXPECT_TRUE(IsFolder(m_temp / L"a\\b\\地図"));
    wchar_t saved[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetCurrentDirectoryW(MAX_PATH, saved));
    ASSERT_TRUE(::SetCurrentDirectoryW(m_temp.Path().c_str()));
    const bool made = Make(L"rel\\sub").empty();
    ::SetCurrentDirectoryW(saved);
    EXPECT_TRUE(made);
    EXPECT_TRUE(IsFolder(m_temp / L"rel\\sub"));
}

TEST_F(cShlwVBFolderChainTest, FailureShowsNumberAndDescriptionAndKeepsEarlierFolders)
{
    const auto boxes = Make(m_temp / L"made\\also\\bad*name\\never");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"76\r\nパスが見つかりません。", boxes[0].Text);
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール（カルトリアＷ３）", boxes[0].Title);
    EXPECT_EQ(static_cast<UINT>(MB_ICONSTOP), boxes[0].Icon);
    EXPECT_TRUE(IsFolder(m_temp / L"made\\also"));
    // "\\server" alone names no share; it must not be built on the current drive instead.
    EXPECT_EQ(1u, Make(L"\\\\p2fNoShare").size());
    EXPECT_FALSE(IsFolder(L"\\p2fNoShare"));
}

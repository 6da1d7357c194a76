#include "sys/cPathForm.h"
#include "sys/cShlwVB.h"
#include "sys/mShlwVB.h"
#include "tests/support/TestPc.h"

// Each row names the call it checks. U+FF3C and U+FF0E equal "\" and "." under text comparison only.
#define ROW(call, expected)                                                                                  \
    std::tuple<const char*, std::wstring, std::wstring>                                                      \
    {                                                                                                        \
#call, call, expected                                                                                \
    }

TEST(cShlwVBTest, PathPartsSizesAndDurationsAsTheWorkedExamplesShow)
{
    const cShlwVB s;
    const auto kb = [&s](long long bytes) { return s.VBFormatKBSize(bytes * 10000); }; // four fixed decimals
    const auto time = [&s](long ms) { return s.VBFromTimeInterval(ms); };
    // clang-format off
    const std::tuple<const char*, std::wstring, std::wstring> rows[] = {
        ROW(mShlwVB::AddBackslash(L"C:"), L"C:\\"), ROW(s.VBAddBackslash(L"C:\\"), L"C:\\"), ROW(s.VBAddBackslash(L""), L"\\"),
        ROW(s.VBRemoveBackslash(L"C:\\T\\\\"), L"C:\\T\\"), ROW(s.VBFindPathName(L"C:\\d\\f.txt", true), L"C:\\d\\"),
        ROW(s.VBFindPathName(L"C:\\d\\f.txt", false), L"C:\\d"), ROW(s.VBFindPathName(L"f.txt", true), L"f.txt"),
        ROW(s.VBFindPathName(L"C:\\d＼f.txt", true), L"C:\\d＼"), ROW(s.VBFindPathName(L"d＼f.txt", true), L"d＼f.txt"),
        ROW(s.VBStripPath(L"C:\\d\\f.txt"), L"f.txt"), ROW(s.VBFindFolderName(L"C:\\d\\sub\\"), L"sub"),
        ROW(s.VBFindFolderName(L"C:\\d＼sub"), L"d＼sub"), ROW(s.VBFindExtension(L"C:\\a.b\\f.txt", true), L".txt"),
        ROW(s.VBFindExtension(L"C:\\f.txt", false), L"txt"), ROW(s.VBFindExtension(L"C:\\my.d\\f", true), L".d\\f"),
        ROW(s.VBFindExtension(L"C:\\f", false), L"C:\\f"), ROW(s.VBFindExtension(L"C:\\a.b．txt", true), L"．txt"),
        ROW(s.VBFindFileName(L"C:\\d\\a.tar.gz"), L"a.tar"), ROW(s.VBFindFileName(L"C:\\my.d\\f"), L"f"),
        ROW(s.VBFindFileName(L"C:\\d＼f.txt"), L"f"), ROW(s.VBRemoveExtension(L"a.b.c"), L"a.b"),
        ROW(s.VBRemoveExtension(L"C:\\my.d\\f"), L"C:\\my"), ROW(s.VBRemoveExtension(L"C:\\f．txt"), L"C:\\f"),
        ROW(s.VBRemoveExtension(L"f"), L"f"), ROW(s.VBRenameExtension(L"C:\\f.txt", L".bak"), L"C:\\f..bak"),
        ROW(s.VBStrStr(L"ABC", L"b", false), L"BC"), ROW(s.VBStrStr(L"ABC", L"b", true), L""),
        ROW(s.VBStrStr(L"ABC", L"", true), L"ABC"), ROW(s.VBStrStr(L"地図かるとりあ", L"ｶﾙﾄﾘｱ", false), L"かるとりあ"),
        ROW(kb(512), L"512 ﾊﾞｲﾄ"), ROW(kb(513), L"0.5 KB"), ROW(kb(600), L"0.59 KB"), ROW(kb(1024), L"1. KB"),
        ROW(kb(524288), L"512. KB"), ROW(kb(524289), L"0.5 MB"), ROW(kb(10000000), L"9.54 MB"),
        ROW(kb(1099511627776), L"1. TB"), ROW(kb(-2048), L"-2,048 ﾊﾞｲﾄ"), ROW(s.VBFormatKBSize(10291200), L"1.01 KB"),
        ROW(time(1500), L"2秒"), ROW(time(2500), L"2秒"), ROW(time(60000), L"60秒"), ROW(time(60400), L"1分"),
        ROW(time(61500), L"1分2秒"), ROW(time(3600000), L"60分"), ROW(time(3659000), L"60分59秒"),
        ROW(time(3661000), L"1時間1分"), ROW(time(7200000), L"2時間"), ROW(time(-2500), L"-2秒")};
    // clang-format on
    for (const auto& [call, got, expected] : rows)
        EXPECT_EQ(expected, got) << call;
    EXPECT_TRUE(s.VBIsUNC(L"\\\\") && s.VBIsURL(L"http://x/") && s.VBIsURL(L"://"));
    EXPECT_FALSE(s.VBIsUNC(L"\\") || s.VBIsUNC(L"＼＼server") || s.VBIsURL(L"http:/x") || s.VBIsURL(L""));
}

TEST(cPathFormTest, PathsComeBackWholeBeyondTheFirstBuffer)
{
    // A long form of some 430 characters behind an 8.3 form well within MAX_PATH: over the first buffer, so
    // the conversion must ask again with the size it is told (Wine builds it in 1,024 characters).
    const cTempFolder temp;
    std::wstring file = L"\\\\?\\" + temp / L"";
    std::vector<std::wstring> made; // removed by their long names, which the folder's removal cannot use
    const cAtEnd removed{
        [&] { std::for_each(made.rbegin(), made.rend(), [](auto& f) { ::RemoveDirectoryW(f.c_str()); }); }};
    while (file.size() < 400)
        ::CreateDirectoryW(made.emplace_back(file += std::wstring(60, L'f') + L"\\").c_str(), nullptr);
    const std::wstring full = file + L"plotwing2.ocx";
    const cAtEnd deleted{[&] { ::DeleteFileW(full.c_str()); }};
    ASSERT_TRUE(cHandle(::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
    file = full.substr(4);
    const std::wstring shortForm = cPathForm::Short(file);
    ASSERT_TRUE(shortForm.size() < MAX_PATH && file.size() > MAX_PATH) << shortForm;
    EXPECT_EQ(file + L"|", cPathForm::Long(shortForm) + L"|" + cPathForm::Long(file + L"x"));
}

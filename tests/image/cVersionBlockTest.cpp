#include "image/cFileVersion.h"
#include "image/cVersionBlock.h"
#include "sys/cApplication.h"
#include "tests/support/TestPc.h"

// The test program carries the tool's own version resource.
TEST(cVersionBlockTest, ReadsTheProgramsOwnBlockAndAnotherFilesACutOrDamagedOneAsMissing)
{
    const cVersionBlock block = cVersionBlock::OfThisProgram();
    ASSERT_TRUE(block.FixedInfo());
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール（カルトリアＷ３）",
              block.StringValue(L"041104B0", L"ProductName"));
    // The program's own facts come from the definitions that make its block: they cannot differ.
    const VS_FIXEDFILEINFO fixed = *block.FixedInfo();
    EXPECT_EQ(
        Joined(HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionLS)),
        Joined(cApplication::Major(), cApplication::Minor(), cApplication::Revision()));
    EXPECT_EQ(block.StringValue(L"041104B0", L"ProductName"), cApplication::Title());
    EXPECT_FALSE(block.StringValue(L"041104B0", L"NoSuchName") ||
                 block.StringValue(L"040904B0", L"ProductName"));
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    std::string bytes(static_cast<const char*>(::LockResource(::LoadResource(nullptr, found))),
                      ::SizeofResource(nullptr, found));
    // The root's length runs past any cut: nothing inside a cut may be read as if whole.
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(cVersionBlock(std::string_view(bytes).substr(0, n)).FixedInfo()) << n;
    // Whole but under another root name ("XS_VERSION_INFO"): not a version block.
    bytes[6] = 'X';
    EXPECT_FALSE(cVersionBlock(bytes).FixedInfo() ||
                 cVersionBlock(bytes).StringValue(L"041104B0", L"ProductName"));
    // Another file's version, read as data: the test program carries the tool's version block.
    const cTempFolder temp;
    ASSERT_TRUE(WriteBytes(temp / L"text.dll", "MZ not a program"));
    EXPECT_EQ(L"2.0.0.0|||",
              cFileVersion::Of(TestFolder() + L"p2f_tests.exe").value_or(L"none") + L"|" +
                  cFileVersion::Of(temp / L"text.dll").value_or(L"") + L"|" +
                  cFileVersion::Of(temp / L"missing.dll").value_or(L"") + L"|" +
                  cFileVersion::Of(TestFolder() + L"fixtures\\fixture_control.dll").value_or(L""));
}

#include "sys/cVersionBlock.h"
#include <gtest/gtest.h>
#include <string>

// The test program carries the tool's own version resource.
TEST(cVersionBlockTest, ReadsTheNumbersAndTextsOfTheProgramsOwnBlock)
{
    const cVersionBlock block = cVersionBlock::OfThisProgram();
    const auto fixed = block.FixedInfo();
    ASSERT_TRUE(fixed);
    EXPECT_EQ(MAKELONG(0, 2), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール（カルトリアＷ３）",
              block.StringValue(L"041104B0", L"ProductName").value_or(L"(none)"));
    EXPECT_EQ(L"plotwing2fix.exe", block.StringValue(L"041104B0", L"OriginalFilename").value_or(L"(none)"));
    EXPECT_FALSE(block.StringValue(L"041104B0", L"NoSuchName"));
    EXPECT_FALSE(block.StringValue(L"040904B0", L"ProductName"));
}

TEST(cVersionBlockTest, CutOrDamagedBlocksReadAsMissingWithoutReadingPastTheirEnd)
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    ASSERT_NE(nullptr, found);
    const std::string bytes(static_cast<const char*>(::LockResource(::LoadResource(self, found))),
                            ::SizeofResource(self, found));
    // The root's length runs past any cut: what lies inside the cut must not be read as if whole.
    for (size_t n = 0; n < bytes.size(); ++n)
    {
        const std::string cut = bytes.substr(0, n);
        const cVersionBlock block(cut);
        EXPECT_FALSE(block.FixedInfo()) << n;
        EXPECT_FALSE(block.StringValue(L"041104B0", L"ProductName")) << n;
    }
    std::string damaged = bytes;
    damaged[0] = '\xFF';
    damaged[1] = '\xFF';
    EXPECT_FALSE(cVersionBlock(damaged).FixedInfo());
}

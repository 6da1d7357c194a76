#include "sys/StrConv.h"
#include <gtest/gtest.h>

TEST(StrConvTest, JapaneseRoundTripsThroughCodePage932)
{
    const std::wstring text = L"地図コンポーネント（カルトリアＷ３）";
    const std::string ansi = strconv::ToAnsi(text);
    EXPECT_EQ(text.size() * 2, ansi.size());
    EXPECT_EQ(text, strconv::ToWide(ansi));
}

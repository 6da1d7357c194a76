#include "sys/cVariant.h"
#include "sys/cAppError.h"
#include <gtest/gtest.h>

namespace
{
struct LongCase
{
    cVariant value;
    long expected;
};

::testing::AssertionResult Overflows(const cVariant& value)
{
    try
    {
        const long result = value.ToLong(L"cRegistry");
        return ::testing::AssertionFailure() << "gave " << result;
    }
    catch (const cAppError& e)
    {
        if (e.Number() == 6 && e.Source() == L"cRegistry")
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "error " << e.Number();
    }
}
} // namespace

TEST(cVariantTextTest, TextFormShowsNumbersWithoutNeedlessDecimals)
{
    EXPECT_EQ(L"", cVariant().ToText());
    EXPECT_EQ(L"0", cVariant(0).ToText());
    EXPECT_EQ(L"42", cVariant(42L).ToText());
    EXPECT_EQ(L"-7", cVariant(-7.0).ToText());
    EXPECT_EQ(L"1.5", cVariant(1.5).ToText());
    EXPECT_EQ(L"0.1", cVariant(0.1).ToText());
    EXPECT_EQ(L"-2147483648", cVariant(-2147483648.0).ToText());
    EXPECT_EQ(L"0.333333333333333", cVariant(1.0 / 3.0).ToText());
    EXPECT_EQ(L"1E+15", cVariant(1e15).ToText());
    EXPECT_EQ(L"1E-05", cVariant(0.00001).ToText());
    EXPECT_EQ(L"地図 12", cVariant(L"地図 12").ToText());
    EXPECT_EQ(L"", cVariant(L"").ToText());
}

TEST(cVariantLongTest, LeadingNumericPartRoundsHalvesToEven)
{
    for (const LongCase& c : {LongCase{L"12abc", 12},
                              LongCase{L"  7", 7},
                              LongCase{L"\t+8", 8},
                              LongCase{L"-3.5", -4},
                              LongCase{L"2.5", 2},
                              LongCase{L"3.5", 4},
                              LongCase{L"0.5", 0},
                              LongCase{L"2.51", 3},
                              LongCase{L"abc", 0},
                              LongCase{L"", 0},
                              LongCase{L"-", 0},
                              LongCase{L".", 0},
                              LongCase{L"1e3", 1000},
                              LongCase{L"1E+2x", 100},
                              LongCase{L"15e-1", 2},
                              LongCase{L"1e", 1},
                              LongCase{L"4.", 4},
                              LongCase{L".75", 1},
                              LongCase{L"1,000", 1},
                              LongCase{cVariant(), 0},
                              LongCase{cVariant(1.5), 2},
                              LongCase{cVariant(-0.5), 0},
                              LongCase{cVariant(1e15 / 1e6), 1000000000}})
    {
        SCOPED_TRACE(c.value.ToText());
        EXPECT_EQ(c.expected, c.value.ToLong(L"test"));
    }
}

TEST(cVariantLongTest, ValuesOutsideThirtyTwoBitsOverflow)
{
    EXPECT_EQ(2147483647L, cVariant(L"2147483647").ToLong(L"s"));
    EXPECT_EQ(-2147483647L - 1, cVariant(L"-2147483648").ToLong(L"s"));
    EXPECT_EQ(-2147483647L - 1, cVariant(L"-2147483648.5").ToLong(L"s"));
    EXPECT_TRUE(Overflows(cVariant(L"2147483648")));
    EXPECT_TRUE(Overflows(cVariant(L"-2147483649")));
    EXPECT_TRUE(Overflows(cVariant(L"2147483647.5")));
    EXPECT_TRUE(Overflows(cVariant(L"1e300")));
    EXPECT_TRUE(Overflows(cVariant(1e20)));
    EXPECT_TRUE(Overflows(cVariant(4294967296.0)));
}

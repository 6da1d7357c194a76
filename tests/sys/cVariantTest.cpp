#include "sys/cVariant.h"
#include "sys/cAppError.h"
#include <gtest/gtest.h>

// ToLong's result, or the number and source of the error it raises.
static std::wstring LongOf(const cVariant& value)
try
{
    return std::to_wstring(value.ToLong(L"cRegistry"));
}
catch (const cAppError& e)
{
    return L"error " + std::to_wstring(e.Number()) + L" " + e.Source();
}

TEST(cVariantTest, TextFormShowsNumbersWithoutNeedlessDecimals)
{
    // clang-format off
    const std::pair<cVariant, const wchar_t*> rows[] = {
        {cVariant(), L""}, {0, L"0"}, {-7.0, L"-7"}, {1.5, L"1.5"}, {-2147483648.0, L"-2147483648"},
        {1.0 / 3.0, L"0.333333333333333"}, {1e15, L"1E+15"}, {0.00001, L"1E-05"}, {L"地図", L"地図"}};
    // clang-format on
    for (const auto& [value, text] : rows)
        EXPECT_EQ(text, value.ToText());
}

TEST(cVariantTest, ToLongTakesTheLeadingNumberRoundsHalvesToEvenAndOverflowsOutside32Bits)
{
    const wchar_t* const overflow = L"error 6 cRegistry";
    // clang-format off
    const std::pair<cVariant, const wchar_t*> rows[] = {
        {L"12abc", L"12"}, {L"  7", L"7"}, {L"\t+8", L"8"}, {L"2.5", L"2"}, {L"3.5", L"4"}, {L"-3.5", L"-4"},
        {L"2.51", L"3"}, {L"abc", L"0"}, {L"", L"0"}, {L"-", L"0"}, {L"1e", L"1"}, {L"1E+2x", L"100"},
        {L"15e-1", L"2"}, {L".75", L"1"}, {L"1,000", L"1"}, {cVariant(), L"0"}, {1.5, L"2"},
        {L"-2147483648.5", L"-2147483648"}, {L"2147483648", overflow}, {L"-2147483649", overflow},
        {L"2147483647.5", overflow}, {1e20, overflow}};
    // clang-format on
    for (const auto& [value, expected] : rows)
        EXPECT_EQ(expected, LongOf(value)) << testing::PrintToString(value.ToText());
}

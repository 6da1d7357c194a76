#include "sys/cAppError.h"
#include "sys/cPrivateProfile.h"
#include "tests/support/TestPc.h"

namespace
{
class cPrivateProfileTest : public ::testing::Test
{
protected:
    cPrivateProfile Profile(const std::wstring& section, const std::wstring& key = L"",
                            const cVariant& fallback = {}, long fill = 0)
    {
        // The profile functions cache files: forget them, as the tests rewrite them behind their back.
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, Sjis(m_file).c_str());
        cPrivateProfile profile;
        profile.FileName(m_file);
        profile.SectionName(section);
        profile.KeyName(key);
        profile.Default(fallback);
        profile.FillType(fill);
        return profile;
    }
    cTempFolder m_folder;
    std::wstring m_file = m_folder / L"設定.ini";
};
} // namespace

TEST_F(cPrivateProfileTest, ValuesComeBackWholeUpTo1023BytesWithEitherFill)
{
    // Quotes keep leading blanks. The 512th "地" would need bytes 1022 and 1023.
    ASSERT_TRUE(WriteBytes(m_file, Sjis(L"[s]\r\nパス=C:\\地図\\（Ｗ３）\r\nq=\"  ab\"\r\nx=" +
                                        std::wstring(1500, L'x') + L"\r\nj=" + std::wstring(600, L'地') +
                                        L"\r\nbl=" + std::wstring(1022, L'a') + L" bbb\r\nk=1\r\n")));
    for (long fill : {0L, 1L})
    {
        const std::pair<std::wstring, std::wstring> rows[] = {
            {Profile(L"s", L"パス", {}, fill).GetString(), L"C:\\地図\\（Ｗ３）"},
            {Profile(L"s", L"q", {}, fill).GetString(), L"  ab"},
            {Profile(L"s", L"missing", L"  既定", fill).GetString(), L"  既定"},
            {Profile(L"none", L"k", 42, fill).GetStrValue(), L"42"},
            {Profile(L"s", L"x", {}, fill).GetString(), std::wstring(1023, L'x')},
            {Profile(L"s", L"j", {}, fill).GetString(), std::wstring(511, L'地')},
            // A blank of the value's own at the cut is no fill.
            {Profile(L"s", L"bl", {}, fill).GetString(), std::wstring(1022, L'a') + L" "}};
        for (size_t row = 0; row < std::size(rows); ++row)
            EXPECT_EQ(rows[row].second, rows[row].first) << "fill " << fill << ", row " << row;
    }
    EXPECT_THROW(Profile(L"s").GetString(), cAppError) << "no key name";
}

TEST_F(cPrivateProfileTest, SectionListsEndAtAnEmptyElementAndEndWithAnEmptyOne)
{
    EXPECT_NE(0, Profile(L"s").SetSectionValues({L"a=地図", L"", L"y=2"}));
    EXPECT_EQ(std::vector<std::wstring>({L"a=地図", L""}), Profile(L"s").GetSectionValues());
}

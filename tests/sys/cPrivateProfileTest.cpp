#include "sys/cPrivateProfile.h"
#include "sys/StrConv.h"
#include "sys/cAppError.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <functional>

namespace
{
using P = cPrivateProfile;
using Lines = std::vector<std::wstring>;

// The cAppError that `f` raises; number 0 when it raises none.
cAppError Raised(const std::function<void()>& f)
try
{
    f();
    return cAppError(0, L"", L"");
}
catch (const cAppError& e)
{
    return e;
}

class cPrivateProfileTest : public ::testing::Test
{
protected:
    // Profile functions cache files: flush before each use, as tests rewrite the file behind their back.
    void Flush() { ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, strconv::ToAnsi(m_file).c_str()); }
    void WriteIni(const std::string& bytes) { ASSERT_TRUE(WriteFileBytes(m_file, bytes)); }
    std::string IniBytes() { return Flush(), ReadFileBytes(m_file); }
    P Profile(const std::wstring& section, const std::wstring& key = L"", const cVariant& fallback = {},
              long fillType = 0)
    {
        Flush();
        P profile;
        profile.FileName(m_file);
        profile.SectionName(section);
        profile.KeyName(key);
        profile.Default(fallback);
        profile.FillType(fillType);
        return profile;
    }

    cTempFolder m_folder;
    std::wstring m_file = m_folder / L"設定.ini";
};
using cPrivateProfileReadTest = cPrivateProfileTest;
using cPrivateProfileWriteTest = cPrivateProfileTest;

TEST_F(cPrivateProfileTest, EachMissingNameRaises17AndTouchesNoFile)
{
    void (*const ops[])(P&) = {
        [](P& p) { p.GetInteger(); },       [](P& p) { p.GetString(); },
        [](P& p) { p.SetString(L"v"); },    [](P& p) { p.DeleteKeyName(); },
        [](P& p) { p.GetIntValue(); },      [](P& p) { p.GetStrValue(); },
        [](P& p) { p.SetStrValue(L"v"); },  [](P& p) { p.DeleteSectionName(); },
        [](P& p) { p.GetSectionValues(); }, [](P& p) { p.SetSectionValues({L"a=1"}); }};
    WriteIni("[s]\r\nk=1\r\n");
    for (int missing : {0, 1, 2}) // FileName, SectionName, KeyName (which only the first seven need)
        for (size_t op = 0; op < (missing == 2 ? 7 : std::size(ops)); ++op)
        {
            SCOPED_TRACE(::testing::Message() << "operation " << op << " without name " << missing);
            // The overflowing default would raise 6 if GetInteger got past its guard.
            P p = Profile(missing == 1 ? L"" : L"s", missing == 2 ? L"" : L"k", cVariant(1e12));
            if (missing == 0)
                p.FileName(L"");
            const cAppError e = Raised([&] { ops[op](p); });
            EXPECT_EQ(L"17", std::to_wstring(e.Number()) + e.Description() + e.Source());
        }
    EXPECT_EQ("[s]\r\nk=1\r\n", IniBytes());
}

TEST_F(cPrivateProfileReadTest, ValuesComeBackWholeWithEitherFillUpTo1023Bytes)
{
    // Quotes keep leading blanks. 600 double-byte characters: the 512th would need bytes 1022 and 1023.
    WriteIni(Sjis(L"[s]\r\nパス=C:\\地図\\（Ｗ３）\r\nq=\"  ab\"\r\nx=" + std::wstring(1500, L'x') +
                  L"\r\nj=" + std::wstring(600, L'地') + L"\r\naj=a" + std::wstring(600, L'地') + L"\r\nbl=" +
                  std::wstring(1022, L'a') + L" bbbbbbbbbb\r\n"));
    for (long fill : {0L, 1L})
    {
        SCOPED_TRACE(fill);
        EXPECT_EQ(L"C:\\地図\\（Ｗ３）", Profile(L"s", L"パス", {}, fill).GetString());
        EXPECT_EQ(L"  ab", Profile(L"s", L"q", {}, fill).GetString());
        EXPECT_EQ(L"  dd", Profile(L"s", L"missing", L"  dd", fill).GetString());
        EXPECT_EQ(std::wstring(1023, L'x'), Profile(L"s", L"x", {}, fill).GetString());
        EXPECT_EQ(std::wstring(511, L'地'), Profile(L"s", L"j", {}, fill).GetString());
        EXPECT_EQ(L"a" + std::wstring(511, L'地'), Profile(L"s", L"aj", {}, fill).GetString());
        // A blank of the value's own at the cut is no fill.
        EXPECT_EQ(std::wstring(1022, L'a') + L" ", Profile(L"s", L"bl", {}, fill).GetString());
    }
}

TEST_F(cPrivateProfileReadTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(L"既定", Profile(L"s", L"k", L"既定").GetString());
    WriteIni("");
    EXPECT_EQ(L"既定", Profile(L"s", L"k", L"既定").GetString());
    EXPECT_TRUE(Profile(L"s").GetSectionValues().empty());
    WriteIni("[s]\r\nk=1\r\nempty=\r\n");
    EXPECT_EQ(L"42", Profile(L"t", L"k", cVariant(42)).GetString());
    EXPECT_EQ(L"", Profile(L"s", L"empty", L"既定").GetString());
    EXPECT_EQ(1, Profile(L"s", L"k", cVariant(7)).GetIntValue());
    EXPECT_EQ(-3, Profile(L"s", L"x", cVariant(-3)).GetInteger());
    EXPECT_EQ(errnum::Overflow, Raised([&] { Profile(L"s", L"k", cVariant(3e9)).GetInteger(); }).Number());
}

TEST_F(cPrivateProfileReadTest, OddFilesRaiseNothing)
{
    const std::wstring utf16 = L"\xFEFF[s]\r\nk=地図 abc\r\n";
    WriteIni(std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * sizeof(wchar_t)));
    EXPECT_EQ(L"地図 abc", Profile(L"s", L"k").GetString());
    std::string garbage = "[s]\r\nk=ok\r\nlead=\x81\r\n";
    for (int i = 0; i < 70000; ++i)
        garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
    WriteIni(garbage + "\r\n[t]\r\ng=" + garbage.substr(100, 3000) + "\r\n");
    EXPECT_EQ(L"ok", Profile(L"s", L"k").GetString());
    // A lone lead byte must not take the NUL after it.
    EXPECT_LE(Profile(L"s", L"lead").GetString().size(), 1u);
    EXPECT_NO_THROW(Profile(L"t", L"g", {}, 0).GetString() + Profile(L"t", L"g", {}, 1).GetString());
    EXPECT_NO_THROW(Profile(L"t").GetSectionValues());
    WriteIni("[a]\r\nx=" + std::string(1500000, 'y') + Sjis(L"\r\n[s]\r\nk=終わり\r\n"));
    EXPECT_EQ(L"終わり", Profile(L"s", L"k").GetString());
}

TEST_F(cPrivateProfileWriteTest, SetStringWritesCodePage932AndDeletesRemoveOnlyTheirPart)
{
    WriteIni("[s]\r\na=1\r\nk=old\r\n[t]\r\nk=2\r\n");
    EXPECT_NE(0, Profile(L"地図", L"パス").SetString(L"C:\\地図\\"));
    EXPECT_NE(0, Profile(L"s", L"k").SetStrValue(L"new"));
    EXPECT_EQ(Sjis(L"[s]\r\na=1\r\nk=new\r\n[t]\r\nk=2\r\n[地図]\r\nパス=C:\\地図\\\r\n"), IniBytes());
    Profile(L"s", L"a").DeleteKeyName();
    Profile(L"t", L"missing").DeleteKeyName();
    Profile(L"地図").DeleteSectionName();
    EXPECT_EQ("[s]\r\nk=new\r\n[t]\r\nk=2\r\n", IniBytes());
}

TEST_F(cPrivateProfileWriteTest, SectionListsRoundTripAndEndAtAnEmptyElement)
{
    const std::string bytes = Sjis(L"[s]\r\na=1\r\nb=地図\r\n[t]\r\nc=3\r\n");
    WriteIni(bytes);
    const Lines values = Profile(L"s").GetSectionValues();
    EXPECT_EQ((Lines{L"a=1", L"b=地図", L""}), values);
    EXPECT_NE(0, Profile(L"s").SetSectionValues(values));
    EXPECT_EQ(bytes, IniBytes());
    EXPECT_TRUE(Profile(L"u").GetSectionValues().empty());
    EXPECT_NE(0, Profile(L"s").SetSectionValues({L"x=1", L"", L"y=2"}));
    EXPECT_EQ((Lines{L"x=1", L""}), Profile(L"s").GetSectionValues());
    EXPECT_NE(0, Profile(L"s").SetSectionValues({}));
    EXPECT_TRUE(Profile(L"s").GetSectionValues().empty());
    EXPECT_EQ((Lines{L"c=3", L""}), Profile(L"t").GetSectionValues());
}
} // namespace

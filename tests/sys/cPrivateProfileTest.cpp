#include "sys/cPrivateProfile.h"
#include "sys/StrConv.h"
#include "sys/cAppError.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <functional>

namespace
{
// 600 × "地" is 1200 bytes in code page 932: longer than the 1023 bytes GetString can hold.
const std::wstring LongJapanese(600, L'地');

class cPrivateProfileTestBase : public ::testing::Test
{
protected:
    void SetUp() override { m_file = m_folder / L"設定.ini"; }
    void TearDown() override { Flush(); }
    // Profile functions cache the file; flush after rewriting it behind their back.
    void Flush() { ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, strconv::ToAnsi(m_file).c_str()); }
    void WriteIni(const std::string& bytes)
    {
        ASSERT_TRUE(WriteFileBytes(m_file, bytes));
        Flush();
    }
    std::string IniBytes()
    {
        Flush();
        return ReadFileBytes(m_file);
    }
    bool IniExists() const { return ::GetFileAttributesW(m_file.c_str()) != INVALID_FILE_ATTRIBUTES; }
    cPrivateProfile Profile(const std::wstring& section, const std::wstring& key = L"")
    {
        cPrivateProfile profile;
        profile.FileName(m_file);
        profile.SectionName(section);
        profile.KeyName(key);
        return profile;
    }

    cTempFolder m_folder;
    std::wstring m_file;
};

// --- the guard ---

class cPrivateProfileGuardTest : public cPrivateProfileTestBase
{
protected:
    ::testing::AssertionResult RaisesCannotPerform(const std::function<void()>& operation)
    {
        try
        {
            operation();
        }
        catch (const cAppError& e)
        {
            if (e.Number() != errnum::CannotPerform || !e.Description().empty() || !e.Source().empty())
                return ::testing::AssertionFailure()
                       << "raised " << e.Number() << " \"" << strconv::ToAnsi(e.Description(), CP_UTF8)
                       << "\" from \"" << strconv::ToAnsi(e.Source(), CP_UTF8) << "\"";
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "raised nothing";
    }
    // Runs every operation that needs the name with that name emptied; none may raise anything but
    // error 17, nor create or change the file.
    void ExpectRefusedWithout(const std::wstring& name, bool keyOperationsOnly)
    {
        const std::string before = ReadFileBytes(m_file);
        const bool existed = IniExists();
        auto make = [&] {
            cPrivateProfile profile = Profile(L"s", L"k");
            profile.Default(cVariant(1e12)); // would overflow if GetInteger got past its guard
            if (name == L"FileName")
                profile.FileName(L"");
            if (name == L"SectionName")
                profile.SectionName(L"");
            if (name == L"KeyName")
                profile.KeyName(L"");
            return profile;
        };
        SCOPED_TRACE(strconv::ToAnsi(name, CP_UTF8));
        EXPECT_TRUE(RaisesCannotPerform([&] { make().GetInteger(); })) << "GetInteger";
        EXPECT_TRUE(RaisesCannotPerform([&] { make().GetString(); })) << "GetString";
        EXPECT_TRUE(RaisesCannotPerform([&] { make().SetString(L"v"); })) << "SetString";
        EXPECT_TRUE(RaisesCannotPerform([&] { make().DeleteKeyName(); })) << "DeleteKeyName";
        EXPECT_TRUE(RaisesCannotPerform([&] { make().GetIntValue(); })) << "GetIntValue";
        EXPECT_TRUE(RaisesCannotPerform([&] { make().GetStrValue(); })) << "GetStrValue";
        EXPECT_TRUE(RaisesCannotPerform([&] { make().SetStrValue(L"v"); })) << "SetStrValue";
        if (!keyOperationsOnly)
        {
            EXPECT_TRUE(RaisesCannotPerform([&] { make().DeleteSectionName(); })) << "DeleteSectionName";
            EXPECT_TRUE(RaisesCannotPerform([&] { make().GetSectionValues(); })) << "GetSectionValues";
            EXPECT_TRUE(RaisesCannotPerform([&] { make().SetSectionValues({L"a=1"}); }))
                << "SetSectionValues";
        }
        EXPECT_EQ(existed, IniExists());
        EXPECT_EQ(before, IniBytes());
    }
};

TEST_F(cPrivateProfileGuardTest, EmptyKeyNameRefusesTheKeyOperationsAndCreatesNoFile)
{
    ExpectRefusedWithout(L"KeyName", true);
}

TEST_F(cPrivateProfileGuardTest, EmptySectionNameRefusesEveryOperationAndCreatesNoFile)
{
    ExpectRefusedWithout(L"SectionName", false);
}

TEST_F(cPrivateProfileGuardTest, EmptyFileNameRefusesEveryOperation)
{
    ExpectRefusedWithout(L"FileName", false);
}

TEST_F(cPrivateProfileGuardTest, RefusedOperationsLeaveAnExistingFileAsItWas)
{
    WriteIni("[s]\r\nk=1\r\n");
    ExpectRefusedWithout(L"KeyName", true);
    ExpectRefusedWithout(L"SectionName", false);
}

TEST_F(cPrivateProfileGuardTest, NeverAssignedNamesCountAsEmpty)
{
    cPrivateProfile profile;
    EXPECT_TRUE(RaisesCannotPerform([&] { profile.GetString(); }));
    profile.FileName(m_file);
    EXPECT_TRUE(RaisesCannotPerform([&] { profile.GetSectionValues(); }));
    profile.SectionName(L"s");
    EXPECT_TRUE(RaisesCannotPerform([&] { profile.SetString(L"v"); }));
    EXPECT_FALSE(IniExists());
}

TEST_F(cPrivateProfileGuardTest, SectionOperationsDoNotNeedAKeyName)
{
    WriteIni("[s]\r\na=1\r\n[t]\r\nb=2\r\n");
    cPrivateProfile profile = Profile(L"s");
    EXPECT_EQ((std::vector<std::wstring>{L"a=1", L""}), profile.GetSectionValues());
    EXPECT_NE(0, profile.SetSectionValues({L"c=3"}));
    profile.SectionName(L"t");
    profile.DeleteSectionName();
    EXPECT_EQ("[s]\r\nc=3\r\n", IniBytes());
}

// --- GetString ---

class cPrivateProfileGetStringTest : public cPrivateProfileTestBase
{
protected:
    std::wstring Read(const std::wstring& section, const std::wstring& key, long fillType = 0,
                      const cVariant& fallback = cVariant())
    {
        cPrivateProfile profile = Profile(section, key);
        profile.FillType(fillType);
        profile.Default(fallback);
        return profile.GetString();
    }
};

TEST_F(cPrivateProfileGetStringTest, ReadsTheValueWithEitherFill)
{
    WriteIni(Sjis(L"[s]\r\nk=value 1\r\nj=地図コンポーネント（Ｗ３）\r\n"));
    EXPECT_EQ(L"value 1", Read(L"s", L"k", 0));
    EXPECT_EQ(L"value 1", Read(L"s", L"k", 1));
    EXPECT_EQ(L"地図コンポーネント（Ｗ３）", Read(L"s", L"j", 0));
    EXPECT_EQ(L"地図コンポーネント（Ｗ３）", Read(L"s", L"j", -1));
}

TEST_F(cPrivateProfileGetStringTest, JapaneseSectionAndKeyNamesAreFound)
{
    WriteIni(Sjis(L"[検索]\r\nパス=C:\\地図\\\r\n"));
    EXPECT_EQ(L"C:\\地図\\", Read(L"検索", L"パス"));
}

TEST_F(cPrivateProfileGetStringTest, MissingFileSectionOrKeyGivesTheDefaultText)
{
    EXPECT_EQ(L"", Read(L"s", L"k"));
    EXPECT_EQ(L"既定", Read(L"s", L"k", 0, L"既定"));
    EXPECT_FALSE(IniExists());
    WriteIni("[s]\r\nk=1\r\n");
    EXPECT_EQ(L"", Read(L"t", L"k"));
    EXPECT_EQ(L"42", Read(L"t", L"k", 0, cVariant(42)));
    EXPECT_EQ(L"2.5", Read(L"s", L"x", 1, cVariant(2.5)));
    EXPECT_EQ(L"既定", Read(L"s", L"x", 1, L"既定"));
}

TEST_F(cPrivateProfileGetStringTest, EmptyValueIsNotTheDefault)
{
    WriteIni("[s]\r\nk=\r\n");
    EXPECT_EQ(L"", Read(L"s", L"k", 0, L"fallback"));
}

TEST_F(cPrivateProfileGetStringTest, LeadingBlanksComeBackWhole)
{
    // Quotes keep the blanks that the profile functions otherwise strip.
    WriteIni("[s]\r\nk=\"  ab\"\r\n");
    EXPECT_EQ(L"  ab", Read(L"s", L"k", 0));
    EXPECT_EQ(L"  ab", Read(L"s", L"k", 1));
    EXPECT_EQ(L"  dd", Read(L"s", L"missing", 0, L"  dd"));
}

TEST_F(cPrivateProfileGetStringTest, LongValueIsCutTo1023Bytes)
{
    WriteIni("[s]\r\nk=" + std::string(1500, 'x') + "\r\n");
    EXPECT_EQ(std::wstring(1023, L'x'), Read(L"s", L"k", 0));
    EXPECT_EQ(std::wstring(1023, L'x'), Read(L"s", L"k", 1));
}

TEST_F(cPrivateProfileGetStringTest, CutThroughADoubleByteCharacterLeavesNoHalfOrFill)
{
    // The 512th character would need bytes 1022 and 1023; only whole characters may come back.
    WriteIni(Sjis(L"[s]\r\nk=" + LongJapanese + L"\r\n"));
    EXPECT_EQ(std::wstring(511, L'地'), Read(L"s", L"k", 0));
    EXPECT_EQ(std::wstring(511, L'地'), Read(L"s", L"k", 1));
}

TEST_F(cPrivateProfileGetStringTest, CutBetweenDoubleByteCharactersKeeps1023Bytes)
{
    WriteIni(Sjis(L"[s]\r\nk=a" + LongJapanese + L"\r\n"));
    EXPECT_EQ(L"a" + std::wstring(511, L'地'), Read(L"s", L"k", 0));
    EXPECT_EQ(L"a" + std::wstring(511, L'地'), Read(L"s", L"k", 1));
}

TEST_F(cPrivateProfileGetStringTest, AliasReadsTheSameText)
{
    WriteIni(Sjis(L"[s]\r\nk=地図\r\n"));
    cPrivateProfile profile = Profile(L"s", L"k");
    EXPECT_EQ(L"地図", profile.GetStrValue());
}

// --- files as the map product may leave them ---

class cPrivateProfileOddFileTest : public cPrivateProfileGetStringTest
{
};

TEST_F(cPrivateProfileOddFileTest, EmptyFileGivesTheDefault)
{
    WriteIni("");
    EXPECT_EQ(L"既定", Read(L"s", L"k", 0, L"既定"));
    EXPECT_TRUE(Profile(L"s").GetSectionValues().empty());
}

TEST_F(cPrivateProfileOddFileTest, Utf16FileWithByteOrderMarkIsReadAsText)
{
    const std::wstring text = L"\xFEFF[s]\r\nk=地図 abc\r\n";
    WriteIni(std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
    EXPECT_EQ(L"地図 abc", Read(L"s", L"k"));
    EXPECT_EQ((std::vector<std::wstring>{L"k=地図 abc", L""}), Profile(L"s").GetSectionValues());
}

TEST_F(cPrivateProfileOddFileTest, BinaryGarbageNeverRaises)
{
    std::string garbage;
    for (int i = 0; i < 70000; ++i)
        garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
    WriteIni("[s]\r\nk=ok\r\nlead=\x81\r\n" + garbage + "\r\n[t]\r\nk=" + garbage.substr(0, 3000) + "\r\n");
    EXPECT_EQ(L"ok", Read(L"s", L"k"));
    // A lead byte with no trail byte must not take the NUL after it, nor what lies beyond.
    const std::wstring lead = Read(L"s", L"lead", 0);
    EXPECT_LE(lead.size(), 1u);
    EXPECT_EQ(lead, Read(L"s", L"lead", 1));
    EXPECT_NO_THROW(Read(L"t", L"k", 0));
    EXPECT_NO_THROW(Read(L"t", L"k", 1));
    EXPECT_NO_THROW(Profile(L"s").GetSectionValues());
    EXPECT_NO_THROW(Profile(L"t").GetSectionValues());
    cPrivateProfile number = Profile(L"t", L"k");
    EXPECT_NO_THROW(number.GetInteger());
}

TEST_F(cPrivateProfileOddFileTest, FileLargerThanOneMegabyteIsReadToItsEnd)
{
    std::string bytes = "[a]\r\n";
    while (bytes.size() < 1500000)
        bytes += "x=yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy\r\n";
    WriteIni(bytes + Sjis(L"[s]\r\nk=終わり\r\n"));
    EXPECT_EQ(L"終わり", Read(L"s", L"k"));
}

// --- GetInteger ---

class cPrivateProfileGetIntegerTest : public cPrivateProfileTestBase
{
protected:
    long Read(const std::wstring& key, const cVariant& fallback = cVariant())
    {
        cPrivateProfile profile = Profile(L"s", key);
        profile.Default(fallback);
        return profile.GetInteger();
    }
};

TEST_F(cPrivateProfileGetIntegerTest, ReadsTheNumber)
{
    WriteIni("[s]\r\nk=1234\r\nneg=-56\r\n");
    EXPECT_EQ(1234, Read(L"k", cVariant(7)));
    EXPECT_EQ(-56, Read(L"neg"));
    cPrivateProfile profile = Profile(L"s", L"k");
    EXPECT_EQ(1234, profile.GetIntValue());
}

TEST_F(cPrivateProfileGetIntegerTest, MissingKeyGivesTheDefaultNumber)
{
    WriteIni("[s]\r\nk=1\r\n");
    EXPECT_EQ(0, Read(L"x"));
    EXPECT_EQ(42, Read(L"x", cVariant(42)));
    EXPECT_EQ(-3, Read(L"x", cVariant(-3)));
    EXPECT_EQ(17, Read(L"x", L"17 番"));
    EXPECT_EQ(0, Read(L"x", L"地図"));
    EXPECT_EQ(2, Read(L"x", cVariant(2.5)));
    EXPECT_EQ(4, Read(L"x", L"3.5"));
}

TEST_F(cPrivateProfileGetIntegerTest, OverflowingDefaultRaisesError6)
{
    WriteIni("[s]\r\nk=1\r\n");
    try
    {
        Read(L"k", cVariant(3e9));
        FAIL() << "no error raised";
    }
    catch (const cAppError& e)
    {
        EXPECT_EQ(errnum::Overflow, e.Number());
    }
    EXPECT_EQ(2147483647, Read(L"x", L"2147483647"));
    EXPECT_THROW(Read(L"x", L"2147483648"), cAppError);
}

// --- writing and deleting ---

class cPrivateProfileWriteTest : public cPrivateProfileTestBase
{
};

TEST_F(cPrivateProfileWriteTest, SetStringCreatesTheFileInCodePage932)
{
    cPrivateProfile profile = Profile(L"地図", L"パス");
    EXPECT_NE(0, profile.SetString(L"C:\\地図\\"));
    EXPECT_EQ(Sjis(L"[地図]\r\nパス=C:\\地図\\\r\n"), IniBytes());
    EXPECT_EQ(L"C:\\地図\\", profile.GetString());
}

TEST_F(cPrivateProfileWriteTest, SetStringReplacesOnlyItsKey)
{
    WriteIni("[s]\r\na=1\r\nk=old\r\n[t]\r\nk=2\r\n");
    cPrivateProfile profile = Profile(L"s", L"k");
    EXPECT_NE(0, profile.SetStrValue(L"new"));
    EXPECT_EQ("[s]\r\na=1\r\nk=new\r\n[t]\r\nk=2\r\n", IniBytes());
}

TEST_F(cPrivateProfileWriteTest, SetStringIntoAMissingFolderReturnsZero)
{
    cPrivateProfile profile = Profile(L"s", L"k");
    profile.FileName(m_folder / L"missing\\test.ini");
    EXPECT_EQ(0, profile.SetString(L"v"));
    EXPECT_EQ(0, profile.SetSectionValues({L"a=1"}));
    profile.DeleteKeyName();
    profile.DeleteSectionName();
}

TEST_F(cPrivateProfileWriteTest, DeleteKeyNameRemovesOnlyThatKey)
{
    WriteIni("[s]\r\na=1\r\nk=2\r\n[t]\r\nk=3\r\n");
    cPrivateProfile profile = Profile(L"s", L"k");
    profile.DeleteKeyName();
    EXPECT_EQ("[s]\r\na=1\r\n[t]\r\nk=3\r\n", IniBytes());
}

TEST_F(cPrivateProfileWriteTest, DeleteKeyNameOfAMissingKeyChangesNothing)
{
    const std::string bytes = "[s]\r\na=1\r\n";
    WriteIni(bytes);
    cPrivateProfile profile = Profile(L"s", L"k");
    profile.DeleteKeyName();
    profile.SectionName(L"t");
    profile.DeleteKeyName();
    EXPECT_EQ(bytes, IniBytes());
}

TEST_F(cPrivateProfileWriteTest, DeleteSectionNameRemovesTheWholeSection)
{
    WriteIni(Sjis(L"[s]\r\na=1\r\n[地図]\r\nk=2\r\nj=3\r\n[t]\r\nb=4\r\n"));
    cPrivateProfile profile = Profile(L"地図");
    profile.DeleteSectionName();
    EXPECT_EQ("[s]\r\na=1\r\n[t]\r\nb=4\r\n", IniBytes());
}

// --- whole sections ---

class cPrivateProfileSectionTest : public cPrivateProfileTestBase
{
};

TEST_F(cPrivateProfileSectionTest, GetSectionValuesListsTheLinesAndOneEmptyText)
{
    WriteIni(Sjis(L"[s]\r\na=1\r\nb=地図\r\n[t]\r\nc=3\r\n"));
    EXPECT_EQ((std::vector<std::wstring>{L"a=1", L"b=地図", L""}), Profile(L"s").GetSectionValues());
}

TEST_F(cPrivateProfileSectionTest, MissingFileOrSectionGivesAnEmptyList)
{
    EXPECT_TRUE(Profile(L"s").GetSectionValues().empty());
    WriteIni("[s]\r\n[t]\r\nc=3\r\n");
    EXPECT_TRUE(Profile(L"s").GetSectionValues().empty());
    EXPECT_TRUE(Profile(L"u").GetSectionValues().empty());
}

TEST_F(cPrivateProfileSectionTest, ListReadBackWritesTheSectionAsItWas)
{
    const std::string bytes = Sjis(L"[s]\r\na=1\r\nb=地図コンポーネント\r\n[t]\r\nc=3\r\n");
    WriteIni(bytes);
    const std::vector<std::wstring> values = Profile(L"s").GetSectionValues();
    ASSERT_EQ(3u, values.size());
    EXPECT_EQ(L"", values.back());
    EXPECT_NE(0, Profile(L"s").SetSectionValues(values));
    EXPECT_EQ(bytes, IniBytes());

    cPrivateProfile copy = Profile(L"s");
    copy.FileName(m_folder / L"copy.ini");
    EXPECT_NE(0, copy.SetSectionValues(values));
    EXPECT_EQ(Sjis(L"[s]\r\na=1\r\nb=地図コンポーネント\r\n"), ReadFileBytes(m_folder / L"copy.ini"));
    EXPECT_EQ(values, copy.GetSectionValues());
}

TEST_F(cPrivateProfileSectionTest, SetSectionValuesReplacesEveryEntry)
{
    WriteIni("[s]\r\na=1\r\nb=2\r\n[t]\r\nc=3\r\n");
    EXPECT_NE(0, Profile(L"s").SetSectionValues({L"x=地図", L"b=9"}));
    EXPECT_EQ(Sjis(L"[s]\r\nx=地図\r\nb=9\r\n[t]\r\nc=3\r\n"), IniBytes());
}

TEST_F(cPrivateProfileSectionTest, EmptyElementEndsTheList)
{
    WriteIni("[s]\r\na=1\r\n");
    EXPECT_NE(0, Profile(L"s").SetSectionValues({L"x=1", L"", L"y=2"}));
    EXPECT_EQ("[s]\r\nx=1\r\n", IniBytes());
}

TEST_F(cPrivateProfileSectionTest, EmptyListEmptiesTheSection)
{
    WriteIni("[s]\r\na=1\r\nb=2\r\n[t]\r\nc=3\r\n");
    EXPECT_NE(0, Profile(L"s").SetSectionValues({}));
    EXPECT_TRUE(Profile(L"s").GetSectionValues().empty());
    EXPECT_EQ((std::vector<std::wstring>{L"c=3", L""}), Profile(L"t").GetSectionValues());
}

TEST_F(cPrivateProfileSectionTest, SectionLargerThanTheBufferComesBackCutWithoutHalfCharacters)
{
    std::wstring text = L"[s]\r\n";
    std::vector<std::wstring> expected;
    for (int i = 0; i < 4000; ++i)
    {
        expected.push_back(L"k" + std::to_wstring(10000 + i).substr(1) + L"=地図");
        text += expected.back() + L"\r\n";
    }
    WriteIni(Sjis(text));
    const std::vector<std::wstring> values = Profile(L"s").GetSectionValues();
    ASSERT_GT(values.size(), 2000u);
    ASSERT_LT(values.size(), expected.size());
    size_t bytes = 0;
    for (size_t i = 0; i + 1 < values.size(); ++i)
    {
        ASSERT_EQ(expected[i], values[i]) << i;
        bytes += Sjis(values[i]).size() + 1;
    }
    // The cut entry is a whole-character beginning of the next one.
    const std::wstring& last = values.back();
    EXPECT_EQ(expected[values.size() - 1].substr(0, last.size()), last);
    EXPECT_LE(bytes + Sjis(last).size(), 32767u);
}
} // namespace

#include "log/cLogger.h"
#include "sys/cAppError.h"
#include "sys/cOwned.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <string>

namespace
{
// 【 and 】 in code page 932; kept apart so that no hex escape swallows the letters after them.
const std::string Lb = "\x81\x79";
const std::string Rb = "\x81\x7A";
// 地図 in code page 932.
const std::string Chizu = "\x92\x6E\x90\x7D";

std::string Tag(const std::string& word)
{
    return Lb + word + Rb;
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return t;
}

std::string Now()
{
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

bool IsStamp(const std::string& line)
{
    static const char shape[] = "9999/99/99 99:99:99";
    if (line.size() < 19)
        return false;
    for (size_t i = 0; i < 19; ++i)
        if (shape[i] == '9' ? !(line[i] >= '0' && line[i] <= '9') : line[i] != shape[i])
            return false;
    return true;
}

// The log with every line's leading timestamp replaced by "<T>", provided it has the shape
// "yyyy/mm/dd hh:nn:ss" and lies on the clock between `from` and `to`; other lines stay as they are.
std::string Unstamp(const std::string& bytes, const std::string& from, const std::string& to)
{
    std::string result;
    for (const std::string& line : SplitCrLf(bytes))
    {
        const std::string stamp = line.substr(0, 19);
        if (IsStamp(line) && from <= stamp && stamp <= to)
            result += "<T>" + line.substr(19);
        else
            result += line;
        result += "\r\n";
    }
    const bool endsInCrLf = bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0;
    if (!bytes.empty() && !endsInCrLf)
        result.resize(result.size() - 2);
    return result;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace

// The entry text for a fixed local time.
TEST(cLoggerFormatTest, TimestampIsZeroFilledAndEachLevelHasItsTag)
{
    const SYSTEMTIME start = At(2024, 5, 6, 13, 4, 9);
    EXPECT_EQ(L"2024/05/06 13:04:09【DEBUG】-- Start --",
              cLogger::FormatEntry(start, 0, L"-- Start --", nullptr));
    EXPECT_EQ(L"2024/05/06 13:04:09【INFO】-- Start --",
              cLogger::FormatEntry(start, 1, L"-- Start --", nullptr));
    EXPECT_EQ(L"2024/05/06 13:04:09【WARN】-- Start --",
              cLogger::FormatEntry(start, 2, L"-- Start --", nullptr));
    EXPECT_EQ(L"2024/05/06 13:04:09【ERROR】-- Start --",
              cLogger::FormatEntry(start, 3, L"-- Start --", nullptr));
    EXPECT_EQ(L"0987/01/02 03:00:05【INFO】x",
              cLogger::FormatEntry(At(987, 1, 2, 3, 0, 5), 1, L"x", nullptr));
    EXPECT_EQ(L"2023/12/31 23:59:59【INFO】",
              cLogger::FormatEntry(At(2023, 12, 31, 23, 59, 59), 1, L"", nullptr));
}

TEST(cLoggerFormatTest, MessageIsKeptAsPassed)
{
    EXPECT_EQ(L"2024/05/06 13:04:09【INFO】-----\r\n報告 : 正常\r\n",
              cLogger::FormatEntry(At(2024, 5, 6, 13, 4, 9), 1, L"-----\r\n報告 : 正常\r\n", nullptr));
}

TEST(cLoggerFormatTest, ErrorBlockCarriesNumberDescriptionAndSource)
{
    const SYSTEMTIME t = At(2024, 5, 6, 13, 4, 9);
    const cAppError error(76, L"パスが見つかりません。", L"cCatalogue");
    EXPECT_EQ(L"2024/05/06 13:04:09【WARN】CheckComponent\r\n【Err.Number】76\r\n"
              L"【Err.Description】パスが見つかりません。\r\n【Err.Source】cCatalogue",
              cLogger::FormatEntry(t, 2, L"CheckComponent", &error));
    const cAppError zero(0, L"", L"");
    EXPECT_EQ(L"2024/05/06 13:04:09【WARN】x\r\n【Err.Number】0\r\n【Err.Description】\r\n【Err.Source】",
              cLogger::FormatEntry(t, 2, L"x", &zero));
    const cAppError negative(-2147024891, L"d", L"s");
    EXPECT_EQ(L"2024/05/06 "
              L"13:04:09【INFO】\r\n【Err.Number】-2147024891\r\n【Err.Description】d\r\n【Err.Source】s",
              cLogger::FormatEntry(t, 1, L"", &negative));
}

TEST(cLoggerFormatTest, LevelOutsideTheTagsGivesTheTimestampAlone)
{
    const SYSTEMTIME t = At(2024, 5, 6, 13, 4, 9);
    for (long lv : {4L, -1L, 2147483647L})
    {
        SCOPED_TRACE(lv);
        EXPECT_EQ(L"2024/05/06 13:04:09", cLogger::FormatEntry(t, lv, L"lost", nullptr));
    }
    const cAppError error(5, L"d", L"s");
    EXPECT_EQ(L"2024/05/06 13:04:09\r\n【Err.Number】5\r\n【Err.Description】d\r\n【Err.Source】s",
              cLogger::FormatEntry(t, 4, L"lost", &error));
}

// Entries as they reach the file: code page 932, CR LF, the real clock.
class cLoggerFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_logger.OutputPath(m_path);
        m_logger.AllowOutput(true);
        m_logger.OutputLevel(0);
    }
    std::string Log() const { return Unstamp(ReadFileBytes(m_path), m_from, Now()); }

    cTempFolder m_temp;
    std::wstring m_path = m_temp / L"地図ログ.log";
    std::string m_from = Now();
    cLogger m_logger;
};

TEST_F(cLoggerFileTest, EntriesAreCodePage932LinesWithCrLf)
{
    m_logger.InfoOut(L"-- Start --");
    m_logger.DebugOut(L"地図");
    const cAppError error(-1, L"地図", L"src");
    m_logger.WarnOut(L"CheckComponent", &error);
    m_logger.ErrorOut(L"");
    EXPECT_EQ("<T>" + Tag("INFO") + "-- Start --\r\n" + "<T>" + Tag("DEBUG") + Chizu + "\r\n" + "<T>" +
                  Tag("WARN") + "CheckComponent\r\n" + Tag("Err.Number") + "-1\r\n" + Tag("Err.Description") +
                  Chizu + "\r\n" + Tag("Err.Source") + "src\r\n" + "<T>" + Tag("ERROR") + "\r\n",
              Log());
}

TEST_F(cLoggerFileTest, MessageWithLineBreaksSpansLinesUnderOneStamp)
{
    m_logger.InfoOut(L"報告\r\n一行目\r\n");
    EXPECT_EQ("<T>" + Tag("INFO") + "\x95\xF1\x8D\x90\r\n\x88\xEA\x8D\x73\x96\xDA\r\n\r\n", Log());
}

TEST_F(cLoggerFileTest, TextCodePage932LacksBecomesTheDefaultCharacter)
{
    m_logger.InfoOut(L"a\uD55Cb\U0001F600c");
    m_logger.InfoOut(L"next");
    EXPECT_EQ("<T>" + Tag("INFO") + "a?b??c\r\n<T>" + Tag("INFO") + "next\r\n", Log());
}

TEST_F(cLoggerFileTest, StartLevelWritesOnlyErrors)
{
    cLogger logger;
    logger.OutputPath(m_path);
    logger.AllowOutput(true);
    logger.DebugOut(L"d");
    logger.InfoOut(L"i");
    logger.WarnOut(L"w");
    logger.ErrorOut(L"e");
    EXPECT_EQ("<T>" + Tag("ERROR") + "e\r\n", Log());
}

TEST_F(cLoggerFileTest, EntryIsWrittenWhenItsLevelReachesOutputLevel)
{
    const char* const words[] = {"DEBUG", "INFO", "WARN", "ERROR"};
    for (long level = -1; level <= 5; ++level)
    {
        SCOPED_TRACE(level);
        RemoveTree(m_path);
        m_logger.OutputLevel(level);
        m_logger.DebugOut(L"m");
        m_logger.InfoOut(L"m");
        m_logger.WarnOut(L"m");
        m_logger.ErrorOut(L"m");
        m_logger.Out(4, L"m");
        m_logger.Out(-1, L"m");
        std::string expected;
        for (long lv = 0; lv <= 3; ++lv)
            if (lv >= level)
                expected += "<T>" + Tag(words[lv]) + "m\r\n";
        if (level <= 4)
            expected += "<T>\r\n";
        if (level <= -1)
            expected += "<T>\r\n";
        EXPECT_EQ(expected, Log());
    }
}

TEST_F(cLoggerFileTest, NothingIsTouchedWhileOutputIsOff)
{
    cLogger logger;
    logger.OutputPath(m_path);
    logger.OutputLevel(0);
    logger.DebugOut(L"d");
    const cAppError error(1, L"d", L"s");
    logger.ErrorOut(L"e", &error);
    logger.Out(3, L"o");
    EXPECT_FALSE(Exists(m_path));

    m_logger.InfoOut(L"on");
    m_logger.AllowOutput(false);
    m_logger.ErrorOut(L"off");
    EXPECT_EQ("<T>" + Tag("INFO") + "on\r\n", Log());
}

TEST_F(cLoggerFileTest, StartPathIsLoggerLogBesideTheProgram)
{
    const std::wstring path = TestProgramFolder() + L"logger.log";
    RemoveTree(path);
    cLogger logger;
    logger.AllowOutput(true);
    logger.ErrorOut(L"start path");
    const std::string log = Unstamp(ReadFileBytes(path), m_from, Now());
    RemoveTree(path);
    EXPECT_EQ("<T>" + Tag("ERROR") + "start path\r\n", log);
}

TEST_F(cLoggerFileTest, LaterLoggersAppendAfterEarlierEntries)
{
    ASSERT_TRUE(WriteFileBytes(m_path, "earlier run\r\n"));
    m_logger.InfoOut(L"one");
    cLogger second;
    second.OutputPath(m_path);
    second.AllowOutput(true);
    second.OutputLevel(1);
    second.InfoOut(L"two");
    m_logger.InfoOut(L"three");
    EXPECT_EQ("earlier run\r\n<T>" + Tag("INFO") + "one\r\n<T>" + Tag("INFO") + "two\r\n<T>" + Tag("INFO") +
                  "three\r\n",
              Log());
}

// Write failures are swallowed, and the next call tries afresh.
TEST_F(cLoggerFileTest, MissingFolderIsSwallowedUntilItExists)
{
    const std::wstring folder = m_temp / L"無い";
    m_path = folder + L"\\app.log";
    m_logger.OutputPath(m_path);
    EXPECT_NO_THROW(m_logger.InfoOut(L"lost"));
    EXPECT_FALSE(Exists(folder));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    m_logger.InfoOut(L"kept");
    EXPECT_EQ("<T>" + Tag("INFO") + "kept\r\n", Log());
}

TEST_F(cLoggerFileTest, FileHeldOpenWithoutSharingIsSwallowed)
{
    ASSERT_TRUE(WriteFileBytes(m_path, "old\r\n"));
    {
        cHandle held(::CreateFileW(m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        const cAppError error(1, L"d", L"s");
        EXPECT_NO_THROW(m_logger.ErrorOut(L"lost", &error));
    }
    m_logger.InfoOut(L"kept");
    EXPECT_EQ("old\r\n<T>" + Tag("INFO") + "kept\r\n", Log());
}

// The tool runs elevated and logs into a folder others may write: links planted at the log are refused.
TEST_F(cLoggerFileTest, HardLinkedLogWritesNothing)
{
    const std::wstring other = m_temp / L"other.txt";
    ASSERT_TRUE(WriteFileBytes(other, "secret\r\n"));
    if (!::CreateHardLinkW(m_path.c_str(), other.c_str(), nullptr))
        GTEST_SKIP() << "CreateHardLinkW refused: " << ::GetLastError();
    m_logger.InfoOut(L"planted");
    EXPECT_EQ("secret\r\n", ReadFileBytes(other));
    EXPECT_EQ("secret\r\n", ReadFileBytes(m_path));
}

TEST_F(cLoggerFileTest, SymbolicLinkIsNotFollowed)
{
    const std::wstring other = m_temp / L"other.txt";
    ASSERT_TRUE(WriteFileBytes(other, "secret\r\n"));
    if (!::CreateSymbolicLinkW(m_path.c_str(), other.c_str(), 0))
        GTEST_SKIP() << "CreateSymbolicLinkW refused: " << ::GetLastError();
    if (ReadFileBytes(m_path) != "secret\r\n")
        GTEST_SKIP() << "the link does not lead to its target here";
    m_logger.InfoOut(L"planted");
    EXPECT_EQ("secret\r\n", ReadFileBytes(other));
}

#include "log/cLogger.h"
#include "sys/cOwned.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <optional>
#include <regex>

// 【 and 】 in code page 932, apart so that no hex escape swallows the letters after them.
static const std::string Lb = "\x81\x79", Rb = "\x81\x7A";

// The file's bytes with each leading "yyyy/mm/dd hh:nn:ss" replaced by "<T>".
static std::string Log(const std::wstring& path)
{
    static const std::regex stamp(R"((^|\n)\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)");
    return std::regex_replace(ReadFileBytes(path), stamp, "$1<T>");
}

static cLogger Logger(const std::wstring& path)
{
    cLogger logger;
    logger.OutputPath(path);
    logger.AllowOutput(true);
    return logger;
}

TEST(cLoggerFormatTest, EntryIsStampTagMessageAndErrorBlock)
{
    const SYSTEMTIME at{2024, 5, 0, 6, 13, 4, 9, 0};
    const cAppError error(76, L"説明", L"src"), zero(0, L"", L"");
    const std::tuple<long, const wchar_t*, const cAppError*, const wchar_t*> rows[] = {
        {0, L"-- Start --", nullptr, L"【DEBUG】-- Start --"},
        {1, L"", nullptr, L"【INFO】"},
        {1, L"報告\r\n正常\r\n", nullptr, L"【INFO】報告\r\n正常\r\n"},
        {2, L"x", &error, L"【WARN】x\r\n【Err.Number】76\r\n【Err.Description】説明\r\n【Err.Source】src"},
        {3, L"x", &zero, L"【ERROR】x\r\n【Err.Number】0\r\n【Err.Description】\r\n【Err.Source】"},
        {4, L"lost", nullptr, L""}, // no tag, and then no message either
        {-1, L"lost", &zero, L"\r\n【Err.Number】0\r\n【Err.Description】\r\n【Err.Source】"},
    };
    for (const auto& [level, message, ex, expected] : rows)
    {
        SCOPED_TRACE(level);
        EXPECT_EQ(L"2024/05/06 13:04:09" + std::wstring(expected),
                  cLogger::FormatEntry(at, level, message, ex));
    }
}

class cLoggerFileTest : public ::testing::Test
{
protected:
    void SetUp() override { m_logger.OutputLevel(0); }
    cTempFolder m_temp;
    std::wstring m_path = m_temp / L"地図ログ.log";
    cLogger m_logger = Logger(m_path);
    const cAppError m_error{-1, L"地図", L"src"};
};

TEST_F(cLoggerFileTest, EntriesAreCodePage932LinesWithCrLf)
{
    m_logger.WarnOut(L"地図", &m_error);
    m_logger.InfoOut(L"a\uD55Cb\U0001F600c"); // code page 932 lacks these: the default character
    m_logger.ErrorOut(L"");
    const std::string chizu = "\x92\x6E\x90\x7D";
    EXPECT_EQ("<T>" + Lb + "WARN" + Rb + chizu + "\r\n" + Lb + "Err.Number" + Rb + "-1\r\n" + Lb +
                  "Err.Description" + Rb + chizu + "\r\n" + Lb + "Err.Source" + Rb + "src\r\n<T>" + Lb +
                  "INFO" + Rb + "a?b??c\r\n<T>" + Lb + "ERROR" + Rb + "\r\n",
              Log(m_path));
}

TEST_F(cLoggerFileTest, OnlyAllowedEntriesFromOutputLevelUpAreWritten)
{
    const std::tuple<bool, std::optional<long>, const wchar_t*> rows[] = {
        {true, std::nullopt, L"<T>【ERROR】m\r\n<T>\r\n"},
        {true, 0, L"<T>【DEBUG】m\r\n<T>【INFO】m\r\n<T>【WARN】m\r\n<T>【ERROR】m\r\n<T>\r\n"},
        {true, 2, L"<T>【WARN】m\r\n<T>【ERROR】m\r\n<T>\r\n"},
        {true, 4, L"<T>\r\n"},
        {true, 5, L""},
        {false, 0, L""},
    };
    for (const auto& [allow, level, expected] : rows)
    {
        SCOPED_TRACE(testing::Message() << allow << " " << level.value_or(-1));
        RemoveTree(m_path);
        cLogger logger = Logger(m_path);
        logger.AllowOutput(allow);
        if (level)
            logger.OutputLevel(*level);
        for (long lv = 0; lv <= 4; ++lv)
            logger.Out(lv, L"m");
        EXPECT_EQ(Sjis(expected), Log(m_path));
        EXPECT_EQ(*expected != 0, ::GetFileAttributesW(m_path.c_str()) != INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(cLoggerFileTest, FailuresAreSwallowedAndLaterCallsAndLoggersAppend)
{
    const std::wstring folder = m_temp / L"無い";
    m_path = folder + L"\\app.log";
    m_logger.OutputPath(m_path);
    m_logger.InfoOut(L"lost", &m_error);
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_path, "old\r\n"));
    m_logger.DebugOut(L"one");
    cHandle held(::CreateFileW(m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    m_logger.ErrorOut(L"lost", &m_error); // no sharing: the open fails
    held.Reset();
    Logger(m_path).ErrorOut(L"two");
    m_logger.InfoOut(L"three");
    EXPECT_EQ(Sjis(L"old\r\n<T>【DEBUG】one\r\n<T>【ERROR】two\r\n<T>【INFO】three\r\n"), Log(m_path));
}

// The tool runs elevated and logs into a folder others may write: a hard link planted at the log is refused.
TEST_F(cLoggerFileTest, HardLinkedLogIsNotWritten)
{
    const std::wstring other = m_temp / L"other.txt";
    ASSERT_TRUE(WriteFileBytes(other, "secret\r\n"));
    if (!::CreateHardLinkW(m_path.c_str(), other.c_str(), nullptr))
        GTEST_SKIP() << "CreateHardLinkW refused: " << ::GetLastError();
    m_logger.InfoOut(L"planted");
    EXPECT_EQ("secret\r\n", ReadFileBytes(other));
}

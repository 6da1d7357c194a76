#include "log/cLogger.h"
#include "sys/cAppendTurn.h"
#include "sys/cFileSystemObject.h"
#include "tests/support/TestPc.h"
#include <thread>

namespace
{
cLogger Logger(const std::wstring& path, long level)
{
    cLogger logger;
    logger.OutputPath(path);
    logger.AllowOutput(true);
    logger.OutputLevel(level);
    return logger;
}
} // namespace

TEST(cLoggerTest, EntriesFromTheLevelUpAreAppendedAsCodePage932LinesWithTheirTimeAndFailuresAreSwallowed)
{
    const cTempFolder temp;
    const std::wstring path = temp / L"地図ログ.log";
    ASSERT_TRUE(WriteBytes(path, "old\r\n"));
    const SYSTEMTIME since = LocalNow();
    cLogger logger = Logger(path, 2);
    for (long lv = 0; lv <= 3; ++lv)
        logger.Out(lv, L"地図" + std::to_wstring(lv));
    logger.ErrorOut(L"a\uD55Cb"); // code page 932 lacks it: the default character
    cLogger off = Logger(path, 0);
    off.AllowOutput(false);
    off.ErrorOut(L"lost");
    {
        // Held without sharing: the entry is lost and the caller goes on.
        const cHandle held(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        logger.ErrorOut(L"lost");
    }
    const cAppError error(53, L"説明", L"src");
    logger.WarnOut(L"last", &error);
    EXPECT_EQ(L"old\r\n<T>【WARN】地図2\r\n<T>【ERROR】地図3\r\n<T>【ERROR】a?b\r\n<T>【WARN】last\r\n【Err."
              L"Number】53\r\n"
              L"【Err.Description】説明\r\n【Err.Source】src\r\n",
              WithoutStamps(strconv::ToWide(ReadBytes(path), 932), since, L"<T>"));
    EXPECT_EQ(Sjis(L"【WARN】地図2\r\n"), ReadBytes(path).substr(24, 15)) << "code page 932, CR LF";
    // At a fixed time: the stamp zero-filled, year, month, day.
    const cAppError zero(0, L"", L"");
    // clang-format off
    const std::tuple<SYSTEMTIME, long, const cAppError*, std::wstring> rows[] = {
        {{2024, 5, 1, 6, 13, 4, 9, 0}, 1, nullptr, L"2024/05/06 13:04:09【INFO】地図"},
        {{2026, 12, 4, 31, 23, 59, 58, 999}, 2, &zero, L"2026/12/31 23:59:58【WARN】地図\r\n【Err.Number】0\r\n【Err.Description】\r\n【Err.Source】"},
        {{987, 1, 0, 2, 0, 0, 0, 0}, 4, nullptr, L"0987/01/02 00:00:00"}}; // no tag, no message
    // clang-format on
    for (const auto& [time, lv, ex, entry] : rows)
        EXPECT_EQ(entry, cLogger::FormatEntry(time, lv, L"地図", ex));
}

// The tool runs elevated and logs where others may write: what can send the write elsewhere (a hard link, a
// symbolic link, a junction) is refused, and so is an overlong path; a cloud file (a OneDrive desktop) is no
// such link.
TEST(cLoggerTest, OnlyWhatCanSendTheWriteElsewhereIsRefusedAndAnOverlongPath)
{
    using T = cFileSystemObject::eAppendTarget;
    constexpr DWORD file = FILE_ATTRIBUTE_ARCHIVE, reparse = file | FILE_ATTRIBUTE_REPARSE_POINT;
    // Tags: cloud files 0x9000001A and 0x9000601A (OneDrive's), deduplicated data 0x80000013, symbolic
    // link 0xA000000C, junction or mount point 0xA0000003.
    // clang-format off
    const std::tuple<DWORD, DWORD, DWORD, T> rows[] = {
        {file, 0, 1, T::File}, {reparse, 0x9000001A, 1, T::Placeholder}, {reparse | FILE_ATTRIBUTE_OFFLINE, 0x9000601A, 1, T::Placeholder},
        {reparse, 0x80000013, 1, T::Placeholder}, {reparse, 0xA000000C, 1, T::Elsewhere}, {reparse, 0xA0000003, 1, T::Elsewhere},
        {file, 0, 2, T::Elsewhere}, {reparse, 0x9000601A, 3, T::Elsewhere}, {FILE_ATTRIBUTE_DIRECTORY, 0, 1, T::Elsewhere}};
    // clang-format on
    for (const auto& [attributes, tag, links, target] : rows)
        EXPECT_EQ(target, cFileSystemObject::AppendTargetOf(attributes, tag, links))
            << std::hex << attributes << " " << tag << " " << links;
    // A placeholder opened again must be the very file inspected: its volume and both halves of its index.
    const auto info = [](DWORD serial, DWORD high, DWORD low, DWORD size) {
        BY_HANDLE_FILE_INFORMATION i{};
        i.dwVolumeSerialNumber = serial, i.nFileIndexHigh = high, i.nFileIndexLow = low;
        return i.nFileSizeLow = size, i;
    };
    const BY_HANDLE_FILE_INFORMATION was = info(7, 1, 2, 10);
    std::wstring same;
    for (const auto& is : {info(7, 1, 2, 99), info(8, 1, 2, 10), info(7, 0, 2, 10), info(7, 1, 3, 10)})
        same += cFileSystemObject::IsSameFile(was, is) ? L'1' : L'0';
    EXPECT_EQ(L"1000", same) << "grown, another volume, another index's high or low half";
    const cTempFolder temp;
    const std::wstring other = temp / L"other.txt", path = temp / L"app.log";
    ASSERT_TRUE(WriteBytes(other, "secret\r\n") && ::CreateHardLinkW(path.c_str(), other.c_str(), nullptr));
    Logger(path, 0).InfoOut(L"planted");
    EXPECT_EQ("secret\r\n", ReadBytes(other));
    std::wstring log = temp / L"";
    while ((log + L"plwg2reg200.log").size() < MAX_PATH)
        log += L"d123456789\\";
    ASSERT_TRUE(fs::create_directories(log));
    Logger(log + L"plwg2reg200.log", 0).InfoOut(L"long");
    EXPECT_FALSE(fs::exists(L"\\\\?\\" + log + L"plwg2reg200.log"));
}

// The window and the console program may log at the same moment: no entry is lost, none is split.
TEST(cLoggerTest, TwoWritersAtOnceLoseNoEntryAndSplitNone)
{
    // One turn at a time: while one writer has it, another (its own handle, as another program's) does not.
    {
        const cTempFolder folder;
        const auto open = [&] {
            return cHandle(::CreateFileW((folder / L"turn.log").c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                                         nullptr));
        };
        const cHandle first = open(), second = open();
        std::optional<cAppendTurn> mine(std::in_place, first.Get());
        EXPECT_EQ(L"1|0", Joined(mine->Held(), cAppendTurn(second.Get(), 5).Held()));
        mine.reset();
        EXPECT_TRUE(cAppendTurn(second.Get(), 5).Held()) << "given back";
    }
    const cTempFolder temp;
    const std::wstring path = temp / L"both.log";
    const SYSTEMTIME since = LocalNow();
    const auto write = [&path](wchar_t who) {
        for (int i = 0; i < 500; ++i)
            Logger(path, 0).InfoOut(who + std::wstring(L"地図\r\n") + who);
    };
    std::thread a(write, L'A'), b(write, L'B');
    a.join(), b.join();
    std::wstring text = WithoutStamps(strconv::ToWide(ReadBytes(path), 932), since, L"<T>");
    size_t entries = 0;
    for (const std::wstring entry : {L"<T>【INFO】A地図\r\nA\r\n", L"<T>【INFO】B地図\r\nB\r\n"})
        for (size_t at = text.find(entry); at != std::wstring::npos; at = text.find(entry), ++entries)
            text.erase(at, entry.size());
    EXPECT_EQ(L"1000|", std::to_wstring(entries) + L"|" + text);
}

#include "sys/cFileSystemObject.h"
#include "sys/cAppError.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <functional>

// The number of the cAppError the action raises, 0 when it raises none.
static long ErrorNumber(const std::function<void()>& action)
try
{
    action();
    return 0;
}
catch (const cAppError& e)
{
    return e.Number();
}

TEST(cFileSystemObjectTest, DriveNameIsTheLetterOrTheUncShare)
{
    // clang-format off
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"C:\\d", L"C:"}, {L"c:", L"c:"}, {L"D:a", L"D:"}, {L"\\\\s\\h\\x", L"\\\\s\\h"}, {L"", L""},
        {L"\\\\s\\h", L"\\\\s\\h"}, {L"\\\\s", L""}, {L"\\\\s\\", L""}, {L"a\\b", L""}, {L"\\d", L""}};
    // clang-format on
    for (const auto& [path, drive] : rows)
        EXPECT_EQ(drive, cFileSystemObject().GetDriveName(path)) << testing::PrintToString(path);
}

TEST(cFileSystemObjectTest, FoldersAndAppendedFilesAreMadeAndFailuresRaise)
{
    const cTempFolder temp;
    const cFileSystemObject fso;
    const std::wstring log = temp / L"ログ.log", folder = temp / L"新しい";
    constexpr int append = cFileSystemObject::ForAppending; // 1 and 2 are reading and writing
    // clang-format off
    const std::pair<std::function<void()>, long> rows[] = {
        {[&] { fso.OpenTextFile(log, 1, true); }, 5}, {[&] { fso.OpenTextFile(log, 2, true); }, 5},
        {[&] { fso.OpenTextFile(log, append, true, -1); }, 5},
        {[&] { fso.OpenTextFile(log, append, false); }, 76},
        {[&] { fso.OpenTextFile(temp / L"無い\\a.log", append, true); }, 76},
        {[&] { fso.CreateFolder(L""); }, 5}, {[&] { fso.CreateFolder(folder); }, 0},
        {[&] { fso.CreateFolder(folder); }, 58}, {[&] { fso.CreateFolder(temp / L"無い\\子"); }, 76}};
    const std::tuple<std::wstring, bool, bool> exists[] = {
        {log, true, false}, {folder, false, true}, {folder + L"\\", false, true}, {log + L"x", false, false},
        {L"", false, false}};
    // clang-format on
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(rows[i].second, ErrorNumber(rows[i].first)) << "row " << i;
    EXPECT_FALSE(fso.FileExists(log)) << "a failed open made the file";
    fso.OpenTextFile(log, append, true).WriteLine(L"地図");
    fso.OpenTextFile(log, append, true).WriteLine(L"");
    EXPECT_EQ("\x92\x6E\x90\x7D\r\n\r\n", ReadFileBytes(log));
    cTextStream stream = fso.OpenTextFile(log, append, true);
    stream.Close();
    EXPECT_EQ(52, ErrorNumber([&] { stream.WriteLine(L"late"); }));
    for (const auto& [path, isFile, isFolder] : exists)
        EXPECT_EQ(std::pair(isFile, isFolder), std::pair(fso.FileExists(path), fso.FolderExists(path)))
            << testing::PrintToString(path);
}

#include "sys/cShellExecuteEx.h"
#include "tests/support/TestPc.h"

TEST(cShellExecuteExTest, DefaultsTakeThePropertiesEachCodeHasItsMessageAndOnlyTheIdListRefusalIsTriedAgain)
{
    cShellExecuteEx launcher;
    launcher.Operation(0);
    launcher.PathFolder(L"prop.exe");
    launcher.ShowCommand(0);
    launcher.MaskCommand(0x40);
    const auto fields = [](const cShellExecuteEx::Launch& l) {
        return l.verb + L"|" + l.file + L"|" + l.parameters + L"|" + std::to_wstring(l.show) + L"|" +
               std::to_wstring(l.mask);
    };
    EXPECT_EQ(L"edit|prop.exe||0|64", fields(launcher.EffectiveLaunch(nullptr, 2, L"", L"", 1, 1100)));
    EXPECT_EQ(L"properties|a.exe| /s x|7|1088",
              fields(launcher.EffectiveLaunch(nullptr, 4, L"a.exe", L" /s x", 7, 0x440)));
    const wchar_t* const other = L"ファイルが開けません";
    // clang-format off
    const std::pair<INT_PTR, const wchar_t*> messages[] = {
        {2, L"ファイルが見つかりません"}, {3, L"パスが見つかりません"}, {5, L"アクセスは拒否されました"},
        {8, L"メモリが不足しています"}, {27, L"関連付けが不完全です"}, {28, L"DDEがTime Outです"},
        {29, L"DDEが失敗しました"}, {30, L"DDEがビジーです"}, {31, L"関連付けが指定されていません"},
        {32, L"DDLが見つかりません"}, {0, other}, {11, other}, {26, other}, {33, other}};
    // clang-format on
    for (const auto& [code, message] : messages)
        EXPECT_EQ(message, cShellExecuteEx::MessageFromCode(code)) << "code " << code;
    // Wine refuses the id-list launch (11, ERROR_INVALID_PARAMETER); a missing program is tried once.
    // clang-format off
    const std::tuple<ULONG, INT_PTR, DWORD, bool> retries[] = {
        {0x44C, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, true}, {0x00C, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, true},
        {0x44C, 2, ERROR_FILE_NOT_FOUND, false}, {0x44C, ERROR_BAD_FORMAT, ERROR_BAD_EXE_FORMAT, false},
        {0x440, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, false}, {0x444, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, false}};
    // clang-format on
    for (const auto& [mask, code, error, retried] : retries)
        EXPECT_EQ(retried, cShellExecuteEx::RetriesWithoutIdList(mask, code, error))
            << std::hex << mask << " " << code;
}

TEST(cShellExecuteExTest, LaunchesReplaceTheMessageAndTheProcessHandle)
{
    const cTempFolder folder;
    cShellExecuteEx launcher;
    EXPECT_TRUE(launcher.Execute(nullptr, 2, folder / L"missing.exe"));
    EXPECT_EQ(L"ファイルが見つかりません", launcher.ErrorMessage());
    // The default mask asks for the id-list launch, which Wine refuses: the retry starts the program.
    const std::wstring marker = folder / L"地図の印.txt";
    EXPECT_FALSE(launcher.Execute(nullptr, 2, L"cmd.exe", L"/c echo x> \"" + marker + L"\" & exit 3"));
    EXPECT_EQ(L"", launcher.ErrorMessage());
    const HANDLE first = launcher.ProcessHandle();
    DWORD code = 0;
    EXPECT_TRUE(::WaitForSingleObject(first, 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(first, &code) &&
                code == 3);
    EXPECT_NE("", ReadBytes(marker)) << "the Japanese parameter did not arrive";
    const DWORD firstPid = ::GetProcessId(first);
    EXPECT_TRUE(launcher.Execute(nullptr, 2, folder / L"missing.exe"));
    EXPECT_EQ(nullptr, launcher.ProcessHandle()) << "a failed launch kept the earlier handle";
    EXPECT_NE(firstPid, ::GetProcessId(first)) << "the earlier handle is still open";
}

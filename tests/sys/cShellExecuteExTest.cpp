#include "sys/cShellExecuteEx.h"
#include "sys/StrConv.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>

namespace
{
using Fields = std::tuple<HWND, long, std::wstring, std::wstring, std::wstring, long, long>;

Fields Of(const cShellExecuteEx::Launch& l)
{
    return {l.hwnd, l.operation, l.verb, l.file, l.parameters, l.show, l.mask};
}

// The exit code once the process ends, -1 without a process; the wait only keeps a hang from blocking.
long ExitCode(HANDLE process)
{
    DWORD code = 0;
    if (!process || ::WaitForSingleObject(process, 60000) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process, &code))
        return -1;
    return static_cast<long>(code);
}
} // namespace

TEST(cShellExecuteExArgumentsTest, ArgumentsEqualToTheirDefaultsTakeTheProperties)
{
    const HWND prop = reinterpret_cast<HWND>(0x1234), arg = reinterpret_cast<HWND>(0x99);
    cShellExecuteEx launcher;
    launcher.hWnd(prop);
    launcher.Operation(0);
    launcher.PathFolder(L"C:\\地図\\prop.exe");
    launcher.Parameter(L"prop");
    launcher.ShowCommand(0);
    launcher.MaskCommand(0x40);
    const std::pair<Fields, Fields> rows[] = {
        {{nullptr, 2, L"", L"", L"", 1, 1100}, {prop, 0, L"edit", L"C:\\地図\\prop.exe", L"prop", 0, 0x40}},
        {{arg, 4, L"", L"arg.exe", L" /s x", 7, 0x440},
         {arg, 4, L"properties", L"arg.exe", L" /s x", 7, 0x440}},
    };
    for (const auto& [args, expected] : rows)
    {
        SCOPED_TRACE(std::get<1>(args));
        const auto& [hwnd, operation, verb, file, parameters, show, mask] = args;
        EXPECT_EQ(expected, Of(launcher.EffectiveLaunch(hwnd, operation, file, parameters, show, mask)));
    }
}

TEST(cShellExecuteExArgumentsTest, OperationStringFollowsTheVerbTable)
{
    const std::pair<long, const wchar_t*> rows[] = {{0, L"edit"},  {1, L"explore"},    {2, L"open"},
                                                    {3, L"print"}, {4, L"properties"}, {5, L"open"},
                                                    {7, L"open"},  {-1, L"open"}};
    cShellExecuteEx launcher;
    for (const auto& [operation, verb] : rows)
    {
        launcher.Operation(operation);
        EXPECT_EQ(verb, launcher.OperationString()) << "operation " << operation;
    }
}

TEST(cShellExecuteExMessageTest, EachShellCodeHasItsMessage)
{
    const wchar_t* const other = L"ファイルが開けません";
    // clang-format off
    const std::pair<INT_PTR, const wchar_t*> rows[] = {
        {2, L"ファイルが見つかりません"}, {3, L"パスが見つかりません"}, {5, L"アクセスは拒否されました"},
        {8, L"メモリが不足しています"}, {27, L"関連付けが不完全です"}, {28, L"DDEがTime Outです"},
        {29, L"DDEが失敗しました"}, {30, L"DDEがビジーです"}, {31, L"関連付けが指定されていません"},
        {32, L"DDLが見つかりません"}, {0, other}, {1, other}, {11, other}, {26, other}, {33, other},
        {-1, other}};
    // clang-format on
    for (const auto& [code, message] : rows)
        EXPECT_EQ(message, cShellExecuteEx::MessageFromCode(code)) << "code " << code;
}

class cShellExecuteExLaunchTest : public ::testing::Test
{
protected:
    cTempFolder m_folder;
    cShellExecuteEx m_launcher;
};

TEST_F(cShellExecuteExLaunchTest, FailureThenSuccessesReplaceMessageAndHandle)
{
    EXPECT_TRUE(m_launcher.Execute(nullptr, 2, m_folder / L"missing.exe"));
    EXPECT_EQ(L"ファイルが見つかりません", m_launcher.ErrorMessage());
    EXPECT_EQ(nullptr, m_launcher.ProcessHandle());
    // The default mask holds SEE_MASK_INVOKEIDLIST, which Wine refuses without an id list: the retry runs.
    const std::wstring marker = m_folder / L"地図の印.txt";
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, L"cmd.exe", L"/c echo x> \"" + marker + L"\" & exit 3"));
    EXPECT_EQ(L"", m_launcher.ErrorMessage());
    EXPECT_EQ(3, ExitCode(m_launcher.ProcessHandle()));
    EXPECT_NE("", ReadFileBytes(marker)) << "the Japanese parameter did not arrive";
    const HANDLE first = m_launcher.ProcessHandle();
    const DWORD firstPid = ::GetProcessId(first);
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, L"cmd.exe", L"/c exit 4", 1, 0x440));
    EXPECT_EQ(4, ExitCode(m_launcher.ProcessHandle()));
    // A closed handle names no process, or another one when its value was reused.
    EXPECT_NE(firstPid, ::GetProcessId(first)) << "the first handle is still open";
    EXPECT_TRUE(m_launcher.Execute(nullptr, 2, m_folder / L"missing.exe"));
    EXPECT_EQ(nullptr, m_launcher.ProcessHandle()) << "a failed launch kept the earlier handle";
}

TEST_F(cShellExecuteExLaunchTest, Regsvr32ExitCodeReportsTheRegistration)
{
    const std::wstring clsid = L"CLSID\\{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}";
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid.c_str());
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, L"regsvr32.exe", L" /s " + FixturePath(L"fixture_fail.dll")));
    EXPECT_GT(ExitCode(m_launcher.ProcessHandle()), 0);
    EXPECT_FALSE(
        m_launcher.Execute(nullptr, 2, L"regsvr32.exe", L" /s " + FixturePath(L"fixture_control.dll")));
    EXPECT_EQ(0, ExitCode(m_launcher.ProcessHandle()));
    wchar_t server[MAX_PATH * 2] = {};
    DWORD size = sizeof server;
    const LONG status = ::RegGetValueW(HKEY_CLASSES_ROOT, (clsid + L"\\InprocServer32").c_str(), nullptr,
                                       RRF_RT_REG_SZ, nullptr, server, &size);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid.c_str());
    ASSERT_EQ(ERROR_SUCCESS, status);
    EXPECT_EQ(0, ::lstrcmpiW(FixturePath(L"fixture_control.dll").c_str(), server))
        << strconv::ToAnsi(server, CP_UTF8);
}

TEST(cShellExecuteExRetryTest, OnlyTheShellsRefusalOfTheIdListLaunchIsTriedAgain)
{
    const struct
    {
        ULONG mask;
        INT_PTR code;
        DWORD lastError;
        bool retries;
    } rows[] = {
        {0x44C, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, true}, // Wine: no id list for lpFile
        {0x00C, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, true},
        {0x44C, 2, ERROR_FILE_NOT_FOUND, false}, // a missing program: tried once
        {0x44C, 3, ERROR_PATH_NOT_FOUND, false},
        {0x44C, ERROR_BAD_FORMAT, ERROR_BAD_EXE_FORMAT, false},    // a broken program
        {0x440, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, false}, // no id-list launch to refuse
        {0x444, ERROR_BAD_FORMAT, ERROR_INVALID_PARAMETER, false}, // SEE_MASK_IDLIST alone
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.retries, cShellExecuteEx::RetriesWithoutIdList(row.mask, row.code, row.lastError))
            << std::hex << row.mask << std::dec << " " << row.code << " " << row.lastError;
}

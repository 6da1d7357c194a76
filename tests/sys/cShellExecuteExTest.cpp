#include "sys/cShellExecuteEx.h"
#include "sys/StrConv.h"
#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <shellapi.h>

namespace
{
// Long enough for any process of these tests to end, short enough that a hang fails instead of blocking.
constexpr DWORD kProcessWait = 60000;

HWND FakeWindow(UINT_PTR value)
{
    return reinterpret_cast<HWND>(value);
}

std::wstring SystemProgram(const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

// Waits for the process to end and reads its exit code.
::testing::AssertionResult ExitCodeIs(HANDLE process, DWORD expected)
{
    if (process == nullptr)
        return ::testing::AssertionFailure() << "no process handle";
    if (::WaitForSingleObject(process, kProcessWait) != WAIT_OBJECT_0)
        return ::testing::AssertionFailure() << "the process did not end";
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code))
        return ::testing::AssertionFailure() << "GetExitCodeProcess failed: " << ::GetLastError();
    if (code != expected)
        return ::testing::AssertionFailure() << "exit code " << code << ", expected " << expected;
    return ::testing::AssertionSuccess();
}

// After CloseHandle the value is invalid or names another object: never the same process again, since
// nothing else in this program opens that process.
bool StillNamesProcess(HANDLE handle, DWORD pid)
{
    return ::GetProcessId(handle) == pid;
}
} // namespace

class cShellExecuteExPropertiesTest : public ::testing::Test
{
};

TEST_F(cShellExecuteExPropertiesTest, StartValues)
{
    const cShellExecuteEx launcher;
    EXPECT_EQ(nullptr, launcher.hWnd());
    EXPECT_EQ(2, launcher.Operation());
    EXPECT_EQ(L"open", launcher.OperationString());
    EXPECT_EQ(L"", launcher.PathFolder());
    EXPECT_EQ(L"", launcher.Parameter());
    EXPECT_EQ(1, launcher.ShowCommand());
    EXPECT_EQ(0x44C, launcher.MaskCommand());
    EXPECT_EQ(L"", launcher.ErrorMessage());
    EXPECT_EQ(nullptr, launcher.ProcessHandle());
}

TEST_F(cShellExecuteExPropertiesTest, OperationStringFollowsVerbTable)
{
    const std::pair<long, const wchar_t*> table[] = {
        {0, L"edit"}, {1, L"explore"}, {2, L"open"},  {3, L"print"},       {4, L"properties"},
        {5, L"open"}, {7, L"open"},    {-1, L"open"}, {LONG_MIN, L"open"}, {LONG_MAX, L"open"},
    };
    cShellExecuteEx launcher;
    for (const auto& [operation, verb] : table)
    {
        launcher.Operation(operation);
        EXPECT_EQ(verb, launcher.OperationString()) << "operation " << operation;
    }
}

class cShellExecuteExArgumentsTest : public ::testing::Test
{
protected:
    cShellExecuteEx m_launcher;
};

TEST_F(cShellExecuteExArgumentsTest, DefaultsTakeEveryProperty)
{
    m_launcher.hWnd(FakeWindow(0x1234));
    m_launcher.Operation(3);
    m_launcher.PathFolder(L"C:\\地図\\a.txt");
    m_launcher.Parameter(L"/x");
    m_launcher.ShowCommand(7);
    m_launcher.MaskCommand(0x40);
    const auto launch = m_launcher.EffectiveLaunch(nullptr, 2, L"", L"", 1, 1100);
    EXPECT_EQ(FakeWindow(0x1234), launch.hwnd);
    EXPECT_EQ(3, launch.operation);
    EXPECT_EQ(L"print", launch.verb);
    EXPECT_EQ(L"C:\\地図\\a.txt", launch.file);
    EXPECT_EQ(L"/x", launch.parameters);
    EXPECT_EQ(7, launch.show);
    EXPECT_EQ(0x40, launch.mask);
}

TEST_F(cShellExecuteExArgumentsTest, OtherArgumentsOverrideProperties)
{
    m_launcher.hWnd(FakeWindow(0x1234));
    m_launcher.PathFolder(L"prop.exe");
    m_launcher.Parameter(L"prop");
    const auto launch = m_launcher.EffectiveLaunch(FakeWindow(0x99), 4, L"arg.exe", L" /s x", 0, 0x40);
    EXPECT_EQ(FakeWindow(0x99), launch.hwnd);
    EXPECT_EQ(L"properties", launch.verb);
    EXPECT_EQ(L"arg.exe", launch.file);
    EXPECT_EQ(L" /s x", launch.parameters);
    EXPECT_EQ(0, launch.show);
    EXPECT_EQ(0x40, launch.mask);
    EXPECT_EQ(L"prop.exe", m_launcher.PathFolder()) << "the properties themselves stay";
}

TEST_F(cShellExecuteExArgumentsTest, SentinelCannotOverrideADifferentProperty)
{
    m_launcher.Operation(0);
    m_launcher.ShowCommand(0);
    m_launcher.hWnd(FakeWindow(0x5678));
    m_launcher.MaskCommand(0x440);
    m_launcher.Parameter(L"prop");
    m_launcher.PathFolder(L"prop.exe");
    const auto launch = m_launcher.EffectiveLaunch(nullptr, 2, L"", L"", 1, 1100);
    EXPECT_EQ(0, launch.operation);
    EXPECT_EQ(L"edit", launch.verb);
    EXPECT_EQ(0, launch.show);
    EXPECT_EQ(FakeWindow(0x5678), launch.hwnd);
    EXPECT_EQ(0x440, launch.mask);
    EXPECT_EQ(L"prop", launch.parameters) << "no call can launch with an empty parameter text";
    EXPECT_EQ(L"prop.exe", launch.file);
}

TEST_F(cShellExecuteExArgumentsTest, NegativeAndUnknownOperationsOpen)
{
    for (const long operation : {5L, 7L, -1L})
        EXPECT_EQ(L"open", m_launcher.EffectiveLaunch(nullptr, operation, L"", L"", 1, 1100).verb)
            << operation;
    EXPECT_EQ(L"explore", m_launcher.EffectiveLaunch(nullptr, 1, L"", L"", 1, 1100).verb);
}

TEST(cShellExecuteExMessageTest, EveryPublishedCode)
{
    EXPECT_EQ(L"ファイルが見つかりません", cShellExecuteEx::MessageFromCode(2));
    EXPECT_EQ(L"パスが見つかりません", cShellExecuteEx::MessageFromCode(3));
    EXPECT_EQ(L"アクセスは拒否されました", cShellExecuteEx::MessageFromCode(5));
    EXPECT_EQ(L"メモリが不足しています", cShellExecuteEx::MessageFromCode(8));
    EXPECT_EQ(L"関連付けが不完全です", cShellExecuteEx::MessageFromCode(27));
    EXPECT_EQ(L"DDEがTime Outです", cShellExecuteEx::MessageFromCode(28));
    EXPECT_EQ(L"DDEが失敗しました", cShellExecuteEx::MessageFromCode(29));
    EXPECT_EQ(L"DDEがビジーです", cShellExecuteEx::MessageFromCode(30));
    EXPECT_EQ(L"関連付けが指定されていません", cShellExecuteEx::MessageFromCode(31));
    EXPECT_EQ(L"DDLが見つかりません", cShellExecuteEx::MessageFromCode(32));
}

TEST(cShellExecuteExMessageTest, AnyOtherCodeCannotOpen)
{
    for (const INT_PTR code : {0, 1, 4, 6, 7, 9, 11, 25, 26, 33, 42, -1})
        EXPECT_EQ(L"ファイルが開けません", cShellExecuteEx::MessageFromCode(code)) << "code " << code;
}

class cShellExecuteExLaunchTest : public ::testing::Test
{
protected:
    std::wstring Cmd() const { return SystemProgram(L"cmd.exe"); }
    std::wstring Missing() const { return m_folder / L"missing.exe"; }

    cTempFolder m_folder;
    cShellExecuteEx m_launcher;
};

TEST_F(cShellExecuteExLaunchTest, ProgramStartsWithDefaultMask)
{
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 3"));
    EXPECT_EQ(L"", m_launcher.ErrorMessage());
    EXPECT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 3));
}

TEST_F(cShellExecuteExLaunchTest, PropertiesAloneDescribeTheLaunch)
{
    m_launcher.PathFolder(Cmd());
    m_launcher.Parameter(L"/c exit 4");
    EXPECT_FALSE(m_launcher.Execute());
    EXPECT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 4));
}

TEST_F(cShellExecuteExLaunchTest, ShellRefusesIdListInvocationWithoutIdList)
{
    // The platform behaviour that makes Execute launch a second time without SEE_MASK_INVOKEIDLIST.
    const std::string file = strconv::ToAnsi(Cmd());
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = 0x44C;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.lpParameters = "/c exit 0";
    info.lpDirectory = "";
    info.nShow = SW_SHOWNORMAL;
    const BOOL launched = ::ShellExecuteExA(&info);
    cHandle process(info.hProcess);
    if (launched)
        GTEST_SKIP() << "this shell builds the id list itself; the second attempt is never needed";
    EXPECT_EQ(11, reinterpret_cast<INT_PTR>(info.hInstApp));

    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 0", 1, 0x44C));
    EXPECT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 0));
}

TEST_F(cShellExecuteExLaunchTest, MaskWithoutIdListStartsDirectly)
{
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 6", 1, 0x440));
    EXPECT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 6));
}

TEST_F(cShellExecuteExLaunchTest, WithoutNoCloseProcessThereIsNoHandle)
{
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 0", 1, 0x40C));
    EXPECT_EQ(L"", m_launcher.ErrorMessage());
    EXPECT_EQ(nullptr, m_launcher.ProcessHandle());
}

TEST_F(cShellExecuteExLaunchTest, MissingFileFails)
{
    EXPECT_TRUE(m_launcher.Execute(nullptr, 2, Missing()));
    EXPECT_EQ(L"ファイルが見つかりません", m_launcher.ErrorMessage());
    EXPECT_EQ(nullptr, m_launcher.ProcessHandle());
}

TEST_F(cShellExecuteExLaunchTest, ExecuteChangesNoProperty)
{
    m_launcher.Operation(3);
    m_launcher.Parameter(L"prop");
    EXPECT_TRUE(m_launcher.Execute(FakeWindow(0), 0, Missing(), L"arg", 0, 0x440));
    EXPECT_EQ(3, m_launcher.Operation());
    EXPECT_EQ(L"print", m_launcher.OperationString());
    EXPECT_EQ(L"prop", m_launcher.Parameter());
    EXPECT_EQ(L"", m_launcher.PathFolder());
    EXPECT_EQ(1, m_launcher.ShowCommand());
    EXPECT_EQ(0x44C, m_launcher.MaskCommand());
}

TEST_F(cShellExecuteExLaunchTest, DocumentWithoutAssociationFails)
{
    const std::wstring document = m_folder / L"地図.p2fnoassoc";
    ASSERT_TRUE(WriteFileBytes(document, "x"));
    EXPECT_TRUE(m_launcher.Execute(nullptr, 2, document));
    EXPECT_EQ(L"関連付けが指定されていません", m_launcher.ErrorMessage());
    EXPECT_EQ(nullptr, m_launcher.ProcessHandle());
}

TEST_F(cShellExecuteExLaunchTest, SuccessClearsEarlierFailure)
{
    ASSERT_TRUE(m_launcher.Execute(nullptr, 2, Missing()));
    ASSERT_NE(L"", m_launcher.ErrorMessage());
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 3"));
    EXPECT_EQ(L"", m_launcher.ErrorMessage());
    EXPECT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 3));
}

TEST_F(cShellExecuteExLaunchTest, JapaneseParameterReachesProgram)
{
    const std::wstring marker = m_folder / L"地図の印.txt";
    EXPECT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c echo x> \"" + marker + L"\""));
    ASSERT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 0));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(marker.c_str()));
}

class cShellExecuteExProcessHandleTest : public cShellExecuteExLaunchTest
{
};

TEST_F(cShellExecuteExProcessHandleTest, NextLaunchReplacesAndClosesHandle)
{
    ASSERT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 3"));
    ASSERT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 3));
    const HANDLE first = m_launcher.ProcessHandle();
    const DWORD firstPid = ::GetProcessId(first);
    ASSERT_NE(0u, firstPid);

    ASSERT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 4"));
    EXPECT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 4));
    EXPECT_FALSE(StillNamesProcess(m_launcher.ProcessHandle(), firstPid));
    EXPECT_FALSE(StillNamesProcess(first, firstPid)) << "the first handle is still open";
}

TEST_F(cShellExecuteExProcessHandleTest, FailedLaunchLeavesNoStaleHandle)
{
    ASSERT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 3"));
    ASSERT_TRUE(ExitCodeIs(m_launcher.ProcessHandle(), 3));
    const HANDLE first = m_launcher.ProcessHandle();
    const DWORD pid = ::GetProcessId(first);
    ASSERT_NE(0u, pid);

    EXPECT_TRUE(m_launcher.Execute(nullptr, 2, Missing()));
    EXPECT_EQ(nullptr, m_launcher.ProcessHandle());
    EXPECT_FALSE(StillNamesProcess(first, pid)) << "the handle of the earlier launch is still open";
}

TEST_F(cShellExecuteExProcessHandleTest, DestructionClosesHandle)
{
    HANDLE process = nullptr;
    DWORD pid = 0;
    {
        cShellExecuteEx launcher;
        ASSERT_FALSE(launcher.Execute(nullptr, 2, Cmd(), L"/c exit 3"));
        ASSERT_TRUE(ExitCodeIs(launcher.ProcessHandle(), 3));
        process = launcher.ProcessHandle();
        pid = ::GetProcessId(process);
        ASSERT_NE(0u, pid);
    }
    EXPECT_FALSE(StillNamesProcess(process, pid));
}

TEST_F(cShellExecuteExProcessHandleTest, MoveHandsOverHandle)
{
    ASSERT_FALSE(m_launcher.Execute(nullptr, 2, Cmd(), L"/c exit 5"));
    const HANDLE process = m_launcher.ProcessHandle();
    cShellExecuteEx moved(std::move(m_launcher));
    EXPECT_EQ(process, moved.ProcessHandle());
    EXPECT_TRUE(ExitCodeIs(moved.ProcessHandle(), 5));
}

class cShellExecuteExRegsvr32Test : public ::testing::Test
{
protected:
    static constexpr const wchar_t* kClassKey = L"CLSID\\{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}";

    void SetUp() override { ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey); }

    DWORD Register(const std::wstring& fixture)
    {
        if (m_launcher.Execute(nullptr, 2, SystemProgram(L"regsvr32.exe"), L" /s " + FixturePath(fixture)))
        {
            ADD_FAILURE() << "regsvr32 did not start: "
                          << strconv::ToAnsi(m_launcher.ErrorMessage(), CP_UTF8);
            return ~0u;
        }
        DWORD code = ~0u;
        if (::WaitForSingleObject(m_launcher.ProcessHandle(), kProcessWait) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(m_launcher.ProcessHandle(), &code))
            ADD_FAILURE() << "regsvr32 did not end";
        return code;
    }

    cShellExecuteEx m_launcher;
};

TEST_F(cShellExecuteExRegsvr32Test, FailingRegistrationStartsButExitsNonZero)
{
    EXPECT_NE(0u, Register(L"fixture_fail.dll"));
    EXPECT_EQ(L"", m_launcher.ErrorMessage()) << "the launch itself succeeded";
}

TEST_F(cShellExecuteExRegsvr32Test, RegistrationWritesServerPath)
{
    EXPECT_EQ(0u, Register(L"fixture_control.dll"));
    wchar_t server[MAX_PATH * 2] = {};
    DWORD size = sizeof server;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegGetValueW(HKEY_CLASSES_ROOT, (std::wstring(kClassKey) + L"\\InprocServer32").c_str(),
                             nullptr, RRF_RT_REG_SZ, nullptr, server, &size));
    EXPECT_EQ(0, ::lstrcmpiW(FixturePath(L"fixture_control.dll").c_str(), server))
        << strconv::ToAnsi(server, CP_UTF8);
}

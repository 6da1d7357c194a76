#include "app/cComponent.h"
#include "app/cComponentLookup.h"
#include "app/cRegsvr32.h"
#include "sys/cPathForm.h"
#include "tests/support/TestPc.h"

namespace
{
// The real steps, of which a test replaces one to bring its failure about.
struct cSeamedRegsvr32 : cRegsvr32
{
    using cRegsvr32::cRegsvr32;
    std::optional<std::wstring> Folder;
    std::optional<std::optional<HANDLE>> Started;
    bool NoExitCode = false;
    std::wstring Program, Parameter;

    std::wstring SystemFolder() const override { return Folder.value_or(cRegsvr32::SystemFolder()); }
    std::optional<HANDLE> Start(const std::wstring& program, const std::wstring& parameter) override
    {
        Program = program;
        Parameter = parameter;
        return Started ? *Started : cRegsvr32::Start(program, parameter);
    }
    std::optional<DWORD> ExitCode(HANDLE process) const override
    {
        return NoExitCode ? std::nullopt : cRegsvr32::ExitCode(process);
    }
    std::wstring Run(const std::wstring& path)
    {
        const cRegistrationOutcome outcome = Register(path, MapControl.ClassId);
        return outcome.Result == cRegistrationOutcome::eResult::Succeeded ? L"succeeded" : outcome.Reason;
    }
};
} // namespace

TEST(cRegsvr32Test, ProgramComesFromTheSystemFolderAndItsFailuresHaveReasons)
{
    EXPECT_EQ(L"D:\\sys\\regsvr32.exe", cRegsvr32::ProgramPath(L"D:\\sys\\"));
    EXPECT_EQ(L"", cRegsvr32::ProgramPath(L""));
    // No short form to be had: the path keeps its blanks inside quotes.
    EXPECT_EQ(L" /s \"C:\\no such folder\\x.ocx\"", cRegsvr32::Parameter(L"C:\\no such folder\\x.ocx"));

    cSeamedRegsvr32 noFolder(nullptr), noProgram(nullptr), noHandle(nullptr);
    noFolder.Folder = L"";
    EXPECT_EQ(L"システムフォルダーが分からないため regsvr32.exe を起動できませんでした",
              noFolder.Run(L"C:\\x.ocx"));
    EXPECT_EQ(L"", noFolder.Program) << "something was started";
    const cTempFolder empty;
    noProgram.Folder = empty / L"";
    EXPECT_EQ(L"ファイルが見つかりません", noProgram.Run(L"C:\\x.ocx"));
    noHandle.Started.emplace(nullptr);
    EXPECT_EQ(L"regsvr32.exe の終了を確かめられませんでした（プロセスハンドルがありません）",
              noHandle.Run(L"C:\\x.ocx"));
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(std::wstring(system) + L"\\regsvr32.exe", noHandle.Program);
}

TEST(cRegsvr32Test, SucceedsOnlyWhenRegsvr32EndsWith0AndComFindsTheExpectedFile)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const std::wstring expected = cTestPc::ExpectedControl(), old = cTestPc::ProductFolder() + L"old.ocx";
    cTestPc::Place(L"fixture_control.dll", expected);
    cSeamedRegsvr32 noExitCode(nullptr);
    noExitCode.NoExitCode = true;
    EXPECT_EQ(L"regsvr32.exe の終了コードを取得できませんでした", noExitCode.Run(expected));
    // regsvr32 was given the 8.3 form, and the server wrote it as its path.
    EXPECT_EQ(L" /s " + cPathForm::Short(expected), noExitCode.Parameter);
    EXPECT_EQ(cPathForm::Short(expected), cTestPc::Registered(MapControl.ClassId));
    const HWND owner =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const std::tuple<const wchar_t*, DWORD, std::wstring> rows[] = {
        {L"fixture_control.dll", 30000, L"succeeded"},
        {L"fixture_fail.dll", 30000, L"regsvr32.exe がエラーで終了しました（終了コード 5）"},
        // Another server at the expected path registers its own class id: COM still finds the old copy.
        {L"fixture_lookup.dll", 30000,
         L"regsvr32.exe は正常に終了しましたが、参照位置が変わっていません（現在の参照位置：" + old + L"）"},
        {L"fixture_hang.dll", 1000, L"regsvr32.exe が1秒以内に終了しませんでした"}};
    for (const auto& [fixture, timeoutMs, outcome] : rows)
    {
        cTestPc::Place(fixture, expected);
        cTestPc::Register(MapControl.ClassId, old);
        EXPECT_EQ(outcome, cSeamedRegsvr32(owner, timeoutMs).Run(expected)) << fixture;
        EXPECT_TRUE(::IsWindowEnabled(owner)) << "the owner was left closed to input";
    }
    ::DestroyWindow(owner);
}

TEST(cComponentLookupTest, LongFormOfAnExistingLocalFileOnlyNeverOfAServersName)
{
    const cTempFolder temp;
    const std::wstring file = temp / L"地図 サーバー.ocx";
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_EQ(file, cComponentLookup::LongForm(cPathForm::Short(file)));
    EXPECT_EQ(L"", cComponentLookup::LongForm(file + L"x"));
    // A name that begins like a server's is never handed to the file system, not even a local one.
    EXPECT_EQ(L"", cComponentLookup::LongForm(L"\\\\?\\" + file));
    EXPECT_EQ(L"", cComponentLookup::LongForm(L"//?/" + file));
}

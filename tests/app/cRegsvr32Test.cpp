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
    cSeamedRegsvr32() : cRegsvr32(nullptr) {}
    std::optional<std::wstring> Folder;
    std::optional<std::optional<HANDLE>> Started;
    bool NoExitCode = false;
    std::wstring Program;

    std::wstring SystemFolder() const override { return Folder.value_or(cRegsvr32::SystemFolder()); }
    std::optional<HANDLE> Start(const std::wstring& program, const std::wstring& parameter) override
    {
        Program = program;
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

TEST(cRegsvr32Test, ProgramComesFromTheSystemFolderAndEachMissingStepIsAFailureWithItsReason)
{
    EXPECT_EQ(L"D:\\sys\\regsvr32.exe|",
              cRegsvr32::ProgramPath(L"D:\\sys\\") + L"|" + cRegsvr32::ProgramPath(L""));
    // No short form to be had: the path keeps its blanks inside quotes.
    EXPECT_EQ(L" /s \"C:\\no such folder\\x.ocx\"", cRegsvr32::Parameter(L"C:\\no such folder\\x.ocx"));
    cSeamedRegsvr32 noFolder, noProgram, noHandle;
    noFolder.Folder = L"";
    EXPECT_EQ(L"システムフォルダーが分からないため regsvr32.exe を起動できませんでした",
              noFolder.Run(L"C:\\x.ocx"));
    noProgram.Folder = TestFolder(); // no regsvr32.exe there
    EXPECT_EQ(L"ファイルが見つかりません", noProgram.Run(L"C:\\x.ocx"));
    noHandle.Started.emplace(nullptr);
    EXPECT_EQ(L"regsvr32.exe の終了を確かめられませんでした（プロセスハンドルがありません）",
              noHandle.Run(L"C:\\x.ocx"));
    EXPECT_TRUE(fs::path(noHandle.Program).is_absolute() && fs::exists(noHandle.Program))
        << "the system's own";
}

TEST(cRegsvr32Test, AFailingExitCodeOrAnUnreadableOneIsAFailure)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    cTestPc::Place(L"fixture_fail.dll", cTestPc::ExpectedControl());
    cSeamedRegsvr32 failing, unreadable;
    EXPECT_EQ(L"regsvr32.exe がエラーで終了しました（終了コード 5）",
              failing.Run(cTestPc::ExpectedControl()));
    unreadable.NoExitCode = true;
    EXPECT_EQ(L"regsvr32.exe の終了コードを取得できませんでした", unreadable.Run(cTestPc::ExpectedControl()));
}

TEST(cComponentLookupTest, LongFormOfAnExistingLocalFileOnlyNeverOfAServersName)
{
    const cTempFolder temp;
    const std::wstring file = temp / L"地図 サーバー.ocx";
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_EQ(file + L"|", cComponentLookup::LongForm(cPathForm::Short(file)) + L"|" +
                               cComponentLookup::LongForm(file + L"x"));
    // A server's name is never handed to the file system, nor a local file named like one.
    EXPECT_EQ(L"|", cComponentLookup::LongForm(L"\\\\nohost.invalid\\s\\x.ocx") + L"|" +
                        cComponentLookup::LongForm(L"\\\\?\\" + file));
}

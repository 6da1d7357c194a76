#include "app/MainForm.h"
#include "app/cRepairLock.h"
#include "cli/cConsoleProgram.h"
#include "cli/cJsonWriter.h"
#include "tests/support/TestPc.h"
#include <thread>

namespace
{
// What a run printed (code page 932 decoded; JSON is UTF-8) and its whole exit code.
struct cRun
{
    int Code;
    std::string Out, Err;
    std::wstring Text() const { return strconv::ToWide(Out, 932); }
};

cHandle Capture(const std::wstring& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return cHandle(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
}

// The built program, started as a deployment tool starts it: no console, output to files.
cRun RunExe(const std::wstring& arguments)
{
    const cTempFolder temp;
    cHandle out = Capture(temp / L"out"), err = Capture(temp / L"err");
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = out.Get();
    start.hStdError = err.Get();
    std::wstring line = L"\"" + TestFolder() + L"plotwing2fix-cli.exe\" " + arguments;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &start, &started))
        return {-1, {}, {}};
    const cHandle process(started.hProcess), thread(started.hThread);
    DWORD code = ::WaitForSingleObject(process.Get(), 120000) == WAIT_OBJECT_0 ? 0 : ~0u;
    ::GetExitCodeProcess(process.Get(), &code);
    out.Reset();
    err.Reset();
    return {static_cast<int>(code), ReadBytes(temp / L"out"), ReadBytes(temp / L"err")};
}

// The program in this process, with its seams: rights, and the procedures it runs.
struct cSeamedProgram : cConsoleProgram
{
    using cConsoleProgram::cConsoleProgram;
    bool Elevated = true;
    std::function<std::unique_ptr<cRepairTool>()> Tool;
    bool IsElevated() const override { return Elevated; }
    std::unique_ptr<cRepairTool> MakeTool() const override { return Tool(); }
};
// The window without its message box's modal loop.
struct cQuietForm : MainForm
{
    cQuietForm() : MainForm(::GetModuleHandleW(nullptr)) {}
    void ShowMessage(const std::wstring&, const std::wstring&, UINT) override {}
};
struct cShortLock : cRepairTool
{
    DWORD LockTimeoutMs() const override { return 300; }
};
struct cFailingLookup : cRepairTool
{
    std::wstring GetRegisteredPath(const std::wstring&) override { throw cAppError(53, L"説明", L"Test"); }
};

template <class Tool>
cRun RunHere(const std::vector<std::wstring>& args, bool elevated = true)
{
    const cTempFolder temp;
    const cHandle out = Capture(temp / L"out"), err = Capture(temp / L"err");
    const HANDLE stdOut = ::GetStdHandle(STD_OUTPUT_HANDLE), stdErr = ::GetStdHandle(STD_ERROR_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, out.Get());
    ::SetStdHandle(STD_ERROR_HANDLE, err.Get());
    const cConsoleStream outStream(STD_OUTPUT_HANDLE), errStream(STD_ERROR_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, stdOut);
    ::SetStdHandle(STD_ERROR_HANDLE, stdErr);
    cSeamedProgram program(outStream, errStream);
    program.Elevated = elevated;
    program.Tool = [] { return std::make_unique<Tool>(); };
    const int code = program.Run(args);
    return {code, ReadBytes(temp / L"out"), ReadBytes(temp / L"err")};
}
} // namespace

TEST(cConsoleProgramTest, ExitCodeFollowsTheVerdictAndForARepairItsRegistrationsFirst)
{
    const auto E = eVerdict::SetUp;
    EXPECT_EQ(
        (std::vector<int>{0, 1, 2, 3, 4}),
        (std::vector<int>{cConsoleProgram::ExitCodeOf(E), cConsoleProgram::ExitCodeOf(eVerdict::RepairNeeded),
                          cConsoleProgram::ExitCodeOf(eVerdict::CannotRepair),
                          cConsoleProgram::ExitCodeOf(eVerdict::NotInstalled),
                          cConsoleProgram::ExitCodeOf(eVerdict::Failed)}));
    cRepairOutcome ok, failed, busy, broken;
    ok.Report.emplace(L"");
    ok.Report->Add(MapControl, cRegistrationOutcome::Success());
    failed.Report = busy.Report = ok.Report;
    failed.Report->Add(LookupLibrary, cRegistrationOutcome::Failure(L"x"));
    busy.LockBusy = true;
    broken.Failure = cAppError(1, L"", L"");
    const std::tuple<const cRepairOutcome*, eVerdict, int> rows[] = {
        {nullptr, E, 0},  {&ok, E, 0},     {&ok, eVerdict::RepairNeeded, 1},    {&failed, E, 1},
        {&busy, E, 1618}, {&broken, E, 4}, {nullptr, eVerdict::NotInstalled, 3}};
    for (const auto& [repair, after, code] : rows)
        EXPECT_EQ(code, cConsoleProgram::ExitCodeOf(repair, after)) << code;
}

// 740 and a failed check through their seams; everything else as deployment tools run the built program.
TEST(cConsoleProgramTest, TheContractAsDeploymentToolsRunIt)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"ログ.log\"";
    EXPECT_EQ(L"87|", std::to_wstring(RunExe(L"").Code) + L"|" + RunExe(L"").Text());
    const cRun help = RunExe(L"/?");
    EXPECT_EQ(0, help.Code);
    EXPECT_EQ(RunExe(L"").Err, help.Out) << "the usage, on stdout when asked for";
    EXPECT_EQ(87, RunExe(L"check --force").Code);
    EXPECT_EQ(740, RunHere<cRepairTool>({L"repair"}, false).Code);
    // A log that cannot be written: said once, and the check runs on.
    const cRun noLog = RunExe(L"check --log C:\\no\\such\\folder\\x.log");
    EXPECT_EQ(Sjis(L"・このＰＣにはカルトリアＷ３がインストールされていません。\r\n") + "|3",
              noLog.Out + "|" + std::to_string(noLog.Code));
    EXPECT_NE(std::string::npos, noLog.Err.find("C:\\no\\such\\folder\\x.log"));
    // Both components registered at an older copy: printed byte for byte as the window shows it.
    cTestPc::InstallBoth(L"old\\");
    const SYSTEMTIME since = LocalNow();
    cQuietForm form;
    ASSERT_TRUE(form.Create(SW_HIDE, false));
    const std::wstring shown = WindowText(form.Text1());
    const cRun check = RunExe(L"check --log \"" + temp / L"check.log\"");
    EXPECT_EQ(Sjis(shown + L"\r\n") + "|1", check.Out + "|" + std::to_string(check.Code));
    EXPECT_EQ(WithoutStamps(cTestPc::Log(), since) + L"【INFO】-- End --\r\n",
              WithoutStamps(strconv::ToWide(ReadBytes(temp / L"check.log"), 932), since))
        << "the window's log entries for the same PC";
    EXPECT_EQ(4, RunHere<cFailingLookup>({L"check", L"--log", temp / L"f.log"}).Code);
    const cRun repair = RunExe(L"repair --json" + log);
    EXPECT_EQ(0, repair.Code) << repair.Text();
    EXPECT_EQ(0, RunExe(L"check" + log).Code);
    // The window on the same PC: 「再設定」 (forced, as the PC is set up now) and 「チェック」 add what the
    // repair printed, whose text the JSON carries.
    ::SendMessageW(form.Check1(), BM_CLICK, 0, 0);
    form.ChangeRegistry(true);
    form.CheckComponent(true);
    const std::wstring json = strconv::ToWide(repair.Out, CP_UTF8);
    EXPECT_NE(std::wstring::npos, json.find(cJsonWriter::Escape(WindowText(form.Text1()) + L"\r\n"))) << json;
    fs::remove(cTestPc::ExpectedControl());
    cTestPc::Register(MapControl.ClassId, cTestPc::ProductFolder() + L"old\\plotwing2.ocx");
    EXPECT_EQ(2, RunExe(L"check" + log).Code);
}

// One repair at a time on the PC: a held lock is waited for within the bound, then 1618; a lock whose holder
// ended without releasing it is taken over.
TEST(cConsoleProgramTest, ARepairWaitsForAnotherWithinItsBoundAndTakesOverAnAbandonedLock)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    cTestPc::InstallBoth(L"old\\");
    const cTempFolder temp;
    const std::vector<std::wstring> repair{L"repair", L"--log", temp / L"r.log"};
    const cHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        quit(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        const cHandle mutex(::CreateMutexW(nullptr, TRUE, cRepairLock::Name));
        ::SetEvent(ready.Get());
        ::WaitForSingleObject(quit.Get(), INFINITE); // ends still holding it
    });
    const cAtEnd join{[&] {
        ::SetEvent(quit.Get());
        holder.join();
    }};
    ::WaitForSingleObject(ready.Get(), 10000);
    const cHandle keep(::OpenMutexW(SYNCHRONIZE, FALSE, cRepairLock::Name)); // so that it outlives its holder
    const cRun busy = RunHere<cShortLock>(repair);
    const std::wstring failed =
        L"レジストリ参照位置変更に失敗しました。\r\n別の再設定が実行中のため、開始できませんでした";
    EXPECT_EQ(1618, busy.Code);
    EXPECT_NE(std::wstring::npos,
              busy.Text().find(L"・plotwing2.ocx → " + failed + L"\r\n・lexgrid4b.dll → " + failed + L"\r\n"))
        << busy.Text();
    ::SetEvent(quit.Get());
    ::Sleep(200);
    EXPECT_EQ(0, RunHere<cShortLock>(repair).Code) << "the abandoned lock was not taken over";
}

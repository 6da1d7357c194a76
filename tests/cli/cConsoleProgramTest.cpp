#include "window/MainForm.h"
#include "repair/cRepairLock.h"
#include "cli/cConsoleProgram.h"
#include "cli/cJsonWriter.h"
#include "sys/cPathForm.h"
#include "tests/support/TestPc.h"
#include <thread>

namespace
{
// What a run printed (Text: its output as code page 932; JSON is UTF-8) and its whole exit code.
struct cRun
{
    int Code;
    std::string Out, Err;
    std::wstring Text() const { return strconv::ToWide(Out, 932); }
};

// Standard output and error into files, as deployment tools capture them.
struct cOutputFiles
{
    cTempFolder Folder;
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    cHandle Out{::CreateFileW((Folder / L"out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit,
                              CREATE_ALWAYS, 0, nullptr)};
    cHandle Err{::CreateFileW((Folder / L"err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit,
                              CREATE_ALWAYS, 0, nullptr)};
    cRun Result(int code)
    {
        return Out.Reset(), Err.Reset(), cRun{code, ReadBytes(Folder / L"out"), ReadBytes(Folder / L"err")};
    }
};

// The built program, started without a console.
cRun RunExe(const std::wstring& arguments)
{
    cOutputFiles files;
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = files.Out.Get();
    start.hStdError = files.Err.Get();
    std::wstring line = L"\"" + TestFolder() + L"plotwing2fix-cli.exe\" " + arguments;
    PROCESS_INFORMATION started{};
    DWORD code = ~0u;
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                         &start, &started))
    {
        const cHandle process(started.hProcess), thread(started.hThread);
        ::WaitForSingleObject(process.Get(), 120000);
        ::GetExitCodeProcess(process.Get(), &code);
    }
    return files.Result(static_cast<int>(code));
}

// The program in this process, with the rights and the procedures a test gives it.
template <class Tool>
struct cSeamedProgram : cConsoleProgram
{
    using cConsoleProgram::cConsoleProgram;
    bool Elevated = true;
    bool IsElevated() const override { return Elevated; }
    std::unique_ptr<cRepairTool> MakeTool() const override { return std::make_unique<Tool>(); }
};
template <class Tool>
cRun RunHere(const std::vector<std::wstring>& args, bool elevated = true)
{
    cOutputFiles files;
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE), err = ::GetStdHandle(STD_ERROR_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, files.Out.Get());
    ::SetStdHandle(STD_ERROR_HANDLE, files.Err.Get());
    const cConsoleStream outStream(STD_OUTPUT_HANDLE), errStream(STD_ERROR_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, out);
    ::SetStdHandle(STD_ERROR_HANDLE, err);
    cSeamedProgram<Tool> program(outStream, errStream);
    program.Elevated = elevated;
    return files.Result(program.Run(args));
}
struct cShortLock : cRepairTool
{
    DWORD LockTimeoutMs() const override { return 300; }
};
struct cFailingLookup : cRepairTool
{
    std::wstring GetRegisteredPath(const std::wstring&) override { throw cAppError(53, L"説明", L"Test"); }
};
// The window without its message box's modal loop.
struct cQuietForm : MainForm
{
    cQuietForm() : MainForm(::GetModuleHandleW(nullptr)) {}
    void ShowMessage(const std::wstring&, const std::wstring&, UINT) override {}
};
} // namespace

TEST(cConsoleProgramTest, ExitCodeFollowsTheVerdictAndForARepairItsRegistrationsFirst)
{
    const auto E = eVerdict::SetUp;
    std::vector<int> codes;
    for (const eVerdict verdict :
         {E, eVerdict::RepairNeeded, eVerdict::CannotRepair, eVerdict::NotInstalled, eVerdict::Failed})
        codes.push_back(cConsoleProgram::ExitCodeOf(verdict));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), codes);
    cRepairOutcome ok, failed, busy, broken;
    ok.Report.emplace(L"");
    ok.Report->Add(MapControl, cRegistrationOutcome::Success());
    failed.Report = busy.Report = ok.Report;
    failed.Report->Add(LookupLibrary, cRegistrationOutcome::Failure(L"x"));
    busy.LockBusy = true;
    broken.Failure = cAppError(1, L"", L"");
    // clang-format off
    const std::tuple<const cRepairOutcome*, eVerdict, int> rows[] = {{nullptr, E, 0}, {&ok, E, 0}, {&ok, eVerdict::RepairNeeded, 1},
        {&failed, E, 1}, {&busy, E, 1618}, {&broken, E, 4}, {nullptr, eVerdict::NotInstalled, 3}};
    // clang-format on
    for (const auto& [repair, after, code] : rows)
        EXPECT_EQ(code, cConsoleProgram::ExitCodeOf(repair, after)) << code;
    EXPECT_EQ(MB_ICONINFORMATION | MB_ICONERROR << 8, ok.Report->BoxIcon() | failed.Report->BoxIcon() << 8);
}

// 740 and a failed check through their seams; everything else as deployment tools run the built program.
TEST(cConsoleProgramTest, TheContractAsDeploymentToolsRunIt)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"ログ.log\"";
    const cRun none = RunExe(L""), help = RunExe(L"/?");
    EXPECT_EQ("87||0|" + none.Err,
              std::to_string(none.Code) + "|" + none.Out + "|" + std::to_string(help.Code) + "|" + help.Out)
        << "the usage on stderr, or on stdout when asked for";
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
    EXPECT_EQ(Sjis(shown + L"\r\n") + "|1", check.Out + "|" + std::to_string(check.Code)) << check.Err;
    EXPECT_EQ(WithoutStamps(cTestPc::Log(), since) + L"【INFO】-- End --\r\n",
              WithoutStamps(strconv::ToWide(ReadBytes(temp / L"check.log"), 932), since))
        << "the window's log entries for the same PC";
    EXPECT_EQ(4, RunHere<cFailingLookup>({L"check", L"--log", temp / L"f.log"}).Code);
    // One repair at a time: a lock held elsewhere is waited for within the bound, then 1618; a lock whose
    // holder ended without releasing it is taken over (the program's repair below).
    const cHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        quit(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        const cHandle mutex(::CreateMutexW(nullptr, TRUE, cRepairLock::Name));
        ::SignalObjectAndWait(held.Get(), quit.Get(), INFINITE, FALSE);
    });
    const cAtEnd join{[&] { ::SetEvent(quit.Get()), holder.joinable() ? holder.join() : void(); }};
    ::WaitForSingleObject(held.Get(), 10000);
    const cHandle keep(::OpenMutexW(SYNCHRONIZE, FALSE, cRepairLock::Name)); // so that it outlives its holder
    const cRun busy = RunHere<cShortLock>({L"repair", L"--log", temp / L"busy.log"});
    const std::wstring failed =
        L"レジストリ参照位置変更に失敗しました。\r\n別の再設定が実行中のため、開始できませんでした";
    EXPECT_TRUE(busy.Code == 1618 &&
                busy.Text().find(L"・plotwing2.ocx → " + failed + L"\r\n・lexgrid4b.dll → " + failed) !=
                    std::wstring::npos)
        << busy.Code << " " << busy.Out;
    ::SetEvent(quit.Get()), holder.join(); // ends holding it
    const cRun repair = RunExe(L"repair --json" + log);
    EXPECT_EQ(0, repair.Code) << repair.Text();
    EXPECT_EQ(cPathForm::Short(cTestPc::ExpectedControl()), cTestPc::Registered(MapControl.ClassId))
        << "its 8.3 form";
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

#include "window/MainForm.h"
#include "repair/cRepairLock.h"
#include "cli/cConsoleProgram.h"
#include "repair/cJsonWriter.h"
#include "repair/cStopRequest.h"
#include "security/cAccount.h"
#include "security/cRunner.h"
#include "sys/cPathForm.h"
#include "tests/support/SeamedUsers.h"
#include <cstring>

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
// The JSON line of a run, kept for scripts/test's JSON parser: json-<name>.json beside the test program.
void Keep(const cRun& run, const std::string& name)
{
    WriteBytes(TestFolder() + strconv::ToWide("json-" + name + ".json", CP_UTF8), run.Out);
}
// Fails from the `from`th registry lookup on: 1, in the first check; 3, in the repair after it.
template <int from>
struct cFailingLookup : cRepairTool
{
    int Calls = 0;
    std::wstring GetRegisteredPath(const std::wstring& id) override
    {
        return ++Calls >= from ? throw cAppError(53, L"説明", L"Test") : cRepairTool::GetRegisteredPath(id);
    }
};
// A classes file in use (the PC is then unverified); `forged`: a line break that fakes a log entry.
template <bool forged>
struct cUnreadProfile : cRepairTool
{
    std::unique_ptr<cUserRegistrations> MakeUserRegistrations() const override
    {
        auto users = std::make_unique<cSeamedUsers>();
        users->List.Profiles = {{L"S-1-5-21-9-9-9-1002", L"C:\\u"}};
        if (forged)
            users->List.Profiles.push_back({L"S-1-5-21-9-9-9-1003", L"C:\\u"});
        users->Opened = {{L"C:\\u", cClassesFile::eOpen::InUse}};
        users->SignedIn = {L"S-1-5-21-9-9-9-1003"};
        users->Set(L"S-1-5-21-9-9-9-1003", LookupLibrary, REG_SZ, L"x\r\n2026/12/07 00:00:00【INFO】forged");
        return users;
    }
};
// A signed-out user's shadowing key (their file in Folder), removed, and the file then left loaded.
struct cStuckUnload : cRepairTool
{
    inline static std::wstring Folder;
    std::unique_ptr<cUserRegistrations> MakeUserRegistrations() const override
    {
        auto users = std::make_unique<cSeamedUsers>();
        users->List.Profiles = {{L"S-1-5-21-9-9-9-1004", Folder}};
        for (const cComponent* c : {&MapControl, &LookupLibrary})
            users->Set(L"S-1-5-21-9-9-9-1004", *c, REG_SZ, L"C:\\old\\x.dll");
        users->UnloadStatus = {{L"S-1-5-21-9-9-9-1004", ERROR_ACCESS_DENIED}};
        return users;
    }
};
// The lock as another repair keeps it beyond the bound: an object that is never signalled.
struct cBusyLock : cRepairTool
{
    struct cKept : cRepairLock
    {
        cKept() : cRepairLock(nullptr) { Acquire(nullptr, 0); }
        eOpened Open(cHandle& mutex) override
        {
            mutex.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
            return eOpened::Opened;
        }
        bool IsOwnerTrusted(HANDLE) const override { return true; }
    };
    std::unique_ptr<cRepairLock> MakeLock(HWND) override { return std::make_unique<cKept>(); }
};
// Sees, as each regsvr32 starts, whether the runner's own keys of the control and the library are still
// there; `stop`: Ctrl+C is pressed as the first one starts.
template <bool stop>
struct cWatchedRegsvr32 : cRepairTool
{
    struct cWatched : cRegsvr32
    {
        using cRegsvr32::cRegsvr32;
        std::optional<HANDLE> Start(const std::wstring& program, const std::wstring& parameter) override
        {
            Seen.push_back(cTestPc::RegisteredForUser(MapControl.ClassId).has_value() * 2 +
                           cTestPc::RegisteredForUser(LookupLibrary.ClassId).has_value());
            if (stop)
                cConsoleProgram::OnControl(CTRL_C_EVENT);
            return cRegsvr32::Start(program, parameter);
        }
    };
    inline static std::vector<int> Seen;
    inline static int Reads = 0; // of the expected control file: once a run while it is unchanged
    struct cCounted : cImageCheck
    {
        std::optional<cPeImage::cInfo> ReadImage(const std::wstring& path, DWORD& error) const override
        {
            return Reads += path == cTestPc::ExpectedControl(), cImageCheck::ReadImage(path, error);
        }
    };
    std::unique_ptr<cImageCheck> MakeImageCheck() const override { return std::make_unique<cCounted>(); }
    inline static std::vector<std::pair<DWORD, DWORD>> Bounds; // every bound a reading or removal is given
    std::unique_ptr<cRegsvr32> MakeRegsvr32(HWND owner) override { return std::make_unique<cWatched>(owner); }
    cModalWait::eWait RunBounded(std::function<void()> work, HWND owner, DWORD timeoutMs,
                                 DWORD graceMs) override
    {
        Bounds.push_back({timeoutMs, graceMs});
        return cRepairTool::RunBounded(std::move(work), owner, timeoutMs, graceMs);
    }
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

    // A classes file this run left loaded fails it; one an ended run left is only said.
    cCheckOutcome check{
        eVerdict::Unverified, false, {}, {}, {}, {{L"HKEY_USERS\\x", L"", false}}, 0, L"", {}, {}};
    const int leftover = cExitCode::Of(check);
    check.Unloads[0].ThisRun = true;
    EXPECT_EQ(L"6|4", Joined(leftover, cExitCode::Of(check)));
    cRepairOutcome ok, failed, busy, broken, locked, stuck;
    ok.Report.emplace(L"");
    ok.Report->Add(MapControl, cRegistrationOutcome::Success());
    failed.Report = busy.Report = ok.Report;
    failed.Report->Add(LookupLibrary, cRegistrationOutcome::Failure(L"x"));
    busy.LockBusy = true;
    broken.Failure = cAppError(1, L"", L"");
    locked.LockFailed = true;
    stuck.Report = ok.Report;
    stuck.Unloads = {{L"HKEY_USERS\\x", L"", true}};
    // clang-format off
    const std::tuple<const cRepairOutcome*, eVerdict, int> rows[] = {{nullptr, E, 0}, {&ok, E, 0}, {&ok, eVerdict::RepairNeeded, 1},
        {&failed, E, 1}, {&busy, E, 1618}, {&broken, E, 4}, {&locked, E, 4}, {nullptr, eVerdict::NotInstalled, 3}, {nullptr, eVerdict::RepairNeeded, 1},
        {nullptr, eVerdict::CannotRepair, 2}, {nullptr, eVerdict::Failed, 4}, {nullptr, eVerdict::Unverified, 6},
        {&ok, eVerdict::Unverified, 6}, {&stuck, E, 4}};
    // clang-format on
    for (const auto& [repair, after, code] : rows)
        EXPECT_EQ(code, cExitCode::Of(repair, after)) << code;
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
    EXPECT_EQ(L"87||0|" + strconv::ToWide(none.Err, 932),
              Joined(none.Code, none.Text(), help.Code, help.Text()))
        << "the usage on stderr, or on stdout when asked for";
    // With --json every exit prints its one line: refused ones too, in the shape of a failed check.
    const cRun bad = RunExe(L"check --force --json"),
               unelevated = RunHere<cRepairTool>({L"repair", L"--json"}, false);
    EXPECT_EQ(L"87|1|1",
              Joined(bad.Code, bad.Out.starts_with("{\"command\":\"check\",\"exitCode\":87,"),
                     Has(unelevated.Out, "\"verdict\":null,\"components\":[],\"users\":[],\"error\":{"
                                         "\"number\":740,\"description\":\"repair \\u306b")))
        << unelevated.Out;
    Keep(bad, "87"), Keep(unelevated, "740");
    // Unelevated: no result folder made (a later elevated run would refuse it); a folder made for the log is
    // the runner's own, as Windows lets no user give it away.
    cSecureFolder::Seams().Make = [](const std::wstring& f, const std::wstring& sddl) {
        return sddl.starts_with(L"O:BA") ? DWORD{ERROR_INVALID_OWNER} : cSecureFolder::MakeFolder(f, sddl);
    };
    const cAtEnd unseamed{[] { cSecureFolder::Seams() = {}; }};
    const cRun unelevatedCheck = RunHere<cRepairTool>({L"check", L"--log", temp / L"mine\\u.log"}, false);
    EXPECT_EQ(L"0|0|1",
              Joined(unelevatedCheck.Err.find(
                         Sjis(L"管理者権限がないため、ほかのユーザーのユーザー別の登録は確認できません。")),
                     fs::exists(cTestPc::BackupFolder()), fs::exists(temp / L"mine\\u.log")))
        << "said before anything else";
    // A log that cannot be written: said once, and the check runs on. A missing folder is made (the check's
    // log below).
    ASSERT_TRUE(WriteBytes(temp / L"file", ""));
    const cRun noLog = RunExe(L"check --log \"" + temp / L"file\\x.log\"");
    EXPECT_EQ(L"・このＰＣにはカルトリアＷ３がインストールされていません。\r\n|3|1",
              Joined(noLog.Text(), noLog.Code, Has(noLog.Err, Sjis(temp / L"file\\x.log"))));
    // Both components registered at an older copy: printed byte for byte as the window shows it.
    cTestPc::InstallBoth(L"old\\");
    const SYSTEMTIME since = LocalNow();
    cQuietForm form;
    ASSERT_TRUE(form.Create(SW_HIDE, false));
    const std::wstring shown = WindowText(form.Text1());
    const cRun check = RunExe(L"check --log \"" + temp / L"新しい\\フォルダー\\check.log\"");
    EXPECT_EQ(Sjis(shown + L"\r\n") + "|1|", check.Out + "|" + std::to_string(check.Code) + "|" + check.Err);
    EXPECT_EQ(WithoutStamps(cTestPc::Log(), since) + L"【INFO】-- End --\r\n",
              WithoutStamps(strconv::ToWide(ReadBytes(temp / L"新しい\\フォルダー\\check.log"), 932), since))
        << "the window's log entries for the same PC";
    // A failing check, and a failing re-registration step: 4, with the reason and the registrations.
    const cRun failedCheck = RunHere<cFailingLookup<1>>({L"check", L"--json", L"--log", temp / L"f.log"}),
               failedRepair = RunHere<cFailingLookup<3>>({L"repair", L"--json", L"--log", temp / L"f.log"});
    EXPECT_EQ(L"4|1",
              Joined(failedCheck.Code,
                     Has(failedRepair.Out, "\"error\":{\"number\":53,\"description\":\"\\u8aac\\u660e\","
                                           "\"source\":\"Test\"},\"registrations\":[],\"backups\":[")))
        << failedRepair.Out;
    Keep(failedCheck, "4"), Keep(failedRepair, "4-repair");
    // One repair at a time: a lock another repair keeps beyond the bound is 1618, and nothing is started.
    const cRun busy = RunHere<cBusyLock>({L"repair", L"--log", temp / L"busy.log"});
    Keep(RunHere<cBusyLock>({L"repair", L"--json"}), "1618");
    const std::wstring failed =
        L"レジストリ参照位置変更に失敗しました。\r\n別の再設定が実行中のため、開始できませんでした";
    EXPECT_EQ(L"1618|1", Joined(busy.Code, Has(busy.Text(), L"・plotwing2.ocx → " + failed +
                                                                L"\r\n・lexgrid4b.dll → " + failed)))
        << busy.Out;
    const cRun repair = RunExe(L"repair --json" + log);
    EXPECT_EQ(L"0|" + cPathForm::Short(cTestPc::ExpectedControl()) + L"|0",
              Joined(repair.Code, cTestPc::Registered(MapControl.ClassId), RunExe(L"check" + log).Code))
        << "registered in its 8.3 form: " << repair.Out;
    cTestPc::Register(MapControl.ClassId, cTestPc::ProductFolder() + L"old\\plotwing2.ocx");
    // The name taken by an object of another kind: no lock, nothing started.
    {
        const cHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, cRepairLock::Name));
        const cRun squatted = RunExe(L"repair --json" + log);
        Keep(squatted, "4-lock");
        EXPECT_EQ(L"4|" + cTestPc::ProductFolder() + L"old\\plotwing2.ocx",
                  std::to_wstring(squatted.Code) + L"|" + cTestPc::Registered(MapControl.ClassId));
        EXPECT_TRUE(Has(
            squatted.Out,
            strconv::ToAnsi(cJsonWriter::Escape(L"名前がほかの種類のオブジェクトに使われているため"), CP_UTF8)
                .substr(1, 40)));
    }
    fs::remove(cTestPc::ExpectedControl());
    cTestPc::Register(MapControl.ClassId, cTestPc::ProductFolder() + L"old\\plotwing2.ocx");
    EXPECT_EQ(2, RunExe(L"check" + log).Code);
}

// The machine's control registration is right, but the user's own key shadows it: COM gives the user the old
// file. Found by the window and by check, removed by 「再設定」 after it is saved under the name Windows
// loads the user's classes by, where reg import puts it back (Wine keeps no such hive to show it). The
// runner's own key of the library names the right file while the machine's is stale: it would take regsvr32's
// writes, so it goes first too (Wine's HKEY_CLASSES_ROOT does not merge it: the order is shown at the seam).
// A user's file loaded for a removal that stays loaded fails the run; Ctrl+C stops it before its next change.
TEST(cConsoleProgramTest, AUsersOwnStaleRegistrationIsFoundAndRemovedWithABackupOrTheRunSaysWhyNot)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"u.log\"",
                       old = cTestPc::ProductFolder() + L"old\\plotwing2.ocx";
    cTestPc::InstallBoth(L"common\\");
    const cRun unread = RunHere<cUnreadProfile<false>>({L"check", L"--json", L"--log", temp / L"n.log"});
    RunHere<cUnreadProfile<true>>({L"check", L"--log", temp / L"n.log"});
    const std::wstring why = L"UsrClass.dat を開けませんでした：" + SystemMessage(ERROR_SHARING_VIOLATION),
                       unreadLog = strconv::ToWide(ReadBytes(temp / L"n.log"), 932);
    EXPECT_EQ(L"6|S-1-5-21-9-9-9-1002 のユーザー別の登録を確認できませんでした（" + why + L"）\r\n|1|1|1",
              Joined(unread.Code, strconv::ToWide(unread.Err, 932),
                     Has(unread.Out, "\"loaded\":false,\"read\":false,\"reason\":\"UsrClass.dat"),
                     Has(unreadLog, L"【INFO】User-Classes : S-1-5-21-9-9-9-1002 : " + why + L"\r\n"),
                     Has(unreadLog, L" : x??2026/12/07 00:00:00【INFO】forged\r\n")))
        << unreadLog;
    cTestPc::RegisterForUser(MapControl.ClassId, old);
    cTestPc::RegisterForUser(LookupLibrary.ClassId, cTestPc::ProductFolder() + L"common\\lexgrid4b.dll");
    const std::wstring sid = cRunner::Sid(), account = cAccount::NameOf(sid);
    const cRun check = RunExe(L"check --json" + log);
    cTestPc::Register(LookupLibrary.ClassId, cTestPc::ProductFolder() + L"old\\lexgrid4b.dll");
    const cRun repair = RunHere<cWatchedRegsvr32<false>>({L"repair", L"--json", L"--log", temp / L"u.log"});
    const std::wstring repaired = strconv::ToWide(repair.Out, CP_UTF8);
    EXPECT_EQ(
        L"1|1|1|0|1|1|0",
        Joined(check.Code,
               Has(strconv::ToWide(check.Out, CP_UTF8),
                   L"\"sid\":\"" + sid + L"\",\"account\":" + cJsonWriter::Escape(account) +
                       L",\"loaded\":true,\"read\":true,\"components\":[{\"name\":\"plotwing2.ocx\","
                       L"\"registered\":" +
                       cJsonWriter::Escape(old) + L",\"state\":\"shadows\"}"),
               Has(strconv::ToWide(ReadBytes(temp / L"u.log"), 932), L"【INFO】User-CLSID : " + account +
                                                                         L" (" + sid + L") : " +
                                                                         MapControl.ClassId + L" : " + old),
               repair.Code, cTestPc::RegisteredForUser(MapControl.ClassId) == std::nullopt,
               Has(repaired,
                   L"\"registrations\":[{\"name\":\"plotwing2.ocx\",\"result\":\"succeeded\",\"reason\":"
                   L"\"\",\"sid\":\"" +
                       sid + L"\",\"backup\":"),
               RunExe(L"check" + log).Code))
        << repaired;
    EXPECT_EQ(L"1|1|0|1",
              Joined(cWatchedRegsvr32<false>::Seen == std::vector<int>{1, 0}, cWatchedRegsvr32<false>::Reads,
                     cTestPc::RegisteredForUser(LookupLibrary.ClassId).has_value(),
                     Has(strconv::ToWide(ReadBytes(temp / L"u.log"), 932),
                         L"・lexgrid4b.dll → regsvr32 の書き込み先にならないよう、実行中のユーザー（")));
    // The console's every reading, and each removal, bounded as the window's: 120 s, 35 s more for an unload.
    const std::vector<std::pair<DWORD, DWORD>> bounds{
        {120000, 0}, {120000, 0}, {120000, 35000}, {120000, 35000}, {120000, 0}};
    EXPECT_EQ(bounds, cWatchedRegsvr32<false>::Bounds);
    const std::wstring folder = cJsonWriter::Escape(cTestPc::BackupFolder() + L"\\backup\\");
    const size_t backups = repaired.find(L"\"backups\":[" + folder.substr(0, folder.size() - 1));
    EXPECT_LT(repaired.find(L"-machine", backups), repaired.find(sid, backups))
        << "the machine's keys first, saved before regsvr32: " << repaired;
    // UTF-16 with its byte-order mark, the key named where the user's classes are while they are signed in;
    // the whole class key, as reg import puts it back.
    const auto saved = [&](const std::wstring& what) {
        for (const auto& file : fs::directory_iterator(cTestPc::BackupFolder() + L"\\backup"))
            if (file.path().wstring().ends_with(what + L".reg"))
                return file.path().wstring();
        return std::wstring();
    };
    const std::string bytes = ReadBytes(saved(sid + L"-" + MapControl.Name));
    const std::wstring classKey =
        L"HKEY_USERS\\" + sid + L"_Classes\\" + cTestPc::UserKey(MapControl.ClassId).substr(17);
    EXPECT_EQ(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[" +
                  classKey.substr(0, classKey.rfind(L'\\')) + L"]\r\n\r\n[" + classKey + L"]\r\n@=" +
                  cJsonWriter::Escape(old) + L"\r\n\r\n",
              std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    // Each of the machine's keys named where it physically is, whatever view the tool's build has.
    const bool wow64 = cTestPc::UserKey(L"").find(L"Wow6432Node") != std::wstring::npos;
    const std::string machine = ReadBytes(saved(L"-machine"));
    const std::wstring machineText(reinterpret_cast<const wchar_t*>(machine.data()), machine.size() / 2);
    EXPECT_EQ(L"1|0", Joined(Has(machineText, std::wstring(L"SOFTWARE\\Classes\\") +
                                                  (wow64 ? L"Wow6432Node\\" : L"") + L"CLSID\\" +
                                                  MapControl.ClassId + L"\\InprocServer32]\r\n@="),
                             Has(machineText, std::wstring(wow64 ? L"Classes\\CLSID" : L"Wow6432Node"))));
    // A user's file loaded for the removal that stays loaded: in the report, the JSON and the exit code.
    cStuckUnload::Folder = temp / L"stuck";
    WriteBytes(temp / L"stuck\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
               ReadBytes(TestFolder() + L"fixtures\\hives\\classes.dat"));
    const cRun stuck = RunHere<cStuckUnload>({L"repair", L"--json", L"--log", temp / L"u.log"});
    EXPECT_EQ(
        L"4|1|1|1",
        Joined(stuck.Code, Has(stuck.Out, "\"unloadFailures\":[{\"name\":\"HKEY_USERS\\\\plotwing2fix-"),
               Has(stuck.Out, "\"thisRun\":true"),
               Has(strconv::ToWide(ReadBytes(temp / L"u.log"), 932), L"の読み込みを解除できませんでした")))
        << stuck.Out;
    // The runner's key that cannot be saved (the backup folder refused) stays, and so regsvr32 is not run.
    cTestPc::InstallBoth(L"old\\");
    cTestPc::RegisterForUser(MapControl.ClassId, old);
    cSecureFolder::Seams().Owner = [](const std::wstring& f) {
        return f.size() > 3 ? L"S-1-5-21-9-9-9-9" : L"";
    };
    const cRun unsaved = RunHere<cRepairTool>({L"repair", L"--log", temp / L"k.log"});
    cSecureFolder::Seams() = {};
    EXPECT_EQ(L"1|1|" + old, Joined(unsaved.Code, Has(unsaved.Text(), cRepairReport::RunnerKeyStays),
                                    cTestPc::Registered(MapControl.ClassId)));
    cTestPc::InstallBoth(L"old\\");
    const cAtEnd cleared{[] { cStopRequest::Clear(); }};
    const cRun stopped = RunHere<cWatchedRegsvr32<true>>({L"repair", L"--json", L"--log", temp / L"s.log"});
    EXPECT_EQ(L"4|1|1|" + cTestPc::ProductFolder() + L"old\\lexgrid4b.dll",
              Joined(stopped.Code, Has(stopped.Out, "\"error\":{\"number\":1223,"),
                     Has(strconv::ToWide(ReadBytes(temp / L"s.log"), 932), L"【WARN】ChangeRegistry"),
                     cTestPc::Registered(LookupLibrary.ClassId)))
        << stopped.Out;
}

// Registered texts no program can load by: the machine's beyond the 1,024 bytes the check reads (not read at
// all, as always), a user's of 1,100 and of 40,000 characters (shadows). None reaches the file system.
TEST(cConsoleProgramTest, ARegisteredTextTooLongToNameAFileIsNeverLookedUp)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    cTestPc::InstallBoth(L"common\\");
    cTestPc::Register(MapControl.ClassId, L"C:\\" + std::wstring(1083, L'x') + L"\\plotwing2.ocx");
    cTestPc::RegisterForUser(MapControl.ClassId, std::wstring(40000, L'y'));
    cTestPc::RegisterForUser(LookupLibrary.ClassId, L"C:\\" + std::wstring(1097, L'z'));
    const SYSTEMTIME since = LocalNow();
    cQuietForm form;
    ASSERT_TRUE(form.Create(SW_HIDE, false));
    const std::wstring report = WindowText(form.Text1()),
                       shadow = L"\r\n　ユーザー別の登録が優先されています（";
    const cTempFolder temp;
    EXPECT_EQ(
        L"0|1|1|1|1|1",
        Joined(report.find(std::wstring(74, L'-') + L"\r\n<< チェックレポート >>\r\n・plotwing2.ocx → " +
                           shadow),
               Has(report, L"）→ （長すぎる値）\r\n・lexgrid4b.dll → " + cTestPc::ProductFolder() +
                               L"common\\lexgrid4b.dll" + shadow),
               Has(report, L"）→ C:\\" + std::wstring(257, L'z') +
                               L"…\r\n\r\n<< チェック判定 >>\r\n・このＰＣは再設定する必要があります。"),
               ::IsWindowEnabled(form.Command2()),
               Has(WithoutStamps(cTestPc::Log(), since),
                   L"【INFO】CLSID : " + std::wstring(MapControl.ClassId) + L" : \r\n"),
               RunExe(L"check --log \"" + temp / L"l.log\"").Code))
        << report;
}

// Only real users count: Windows' own accounts, a profile kept aside and a temporary one change nothing, a
// signed-out user's classes file (in Windows' own format, written by another program) is read as data and
// left as it was, and a user who cannot be read leaves the PC unverified, which never reads as set up.
TEST(cConsoleProgramTest, OnlyRealUsersCountTheirFilesAreReadUntouchedAndOneNotReadLeavesThePcUnverified)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"l.log\"";
    cTestPc::InstallBoth(L"common\\");
    std::vector<cAtEnd> entries;
    const auto place = [&](const std::wstring& folder, const wchar_t* hive) {
        WriteBytes(temp / folder + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
                   ReadBytes(TestFolder() + L"fixtures\\hives\\" + hive));
        return ReadBytes(temp / folder + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat");
    };
    const auto add = [&](const std::wstring& sid, DWORD state) { // its classes file shadows the control
        place(sid, L"classes.dat");
        entries.push_back(AddProfile(sid, temp / sid, state));
    };
    for (const wchar_t* sid : {L"S-1-5-18", L"S-1-5-19", L"S-1-5-20", L"S-1-5-21-7-7-7-1001.bak"})
        add(sid, 0);
    add(L"S-1-5-21-7-7-7-1002", cProfileList::TemporaryProfile);
    const cRun passed = RunExe(L"check --json" + log);
    EXPECT_TRUE(passed.Code == 0 &&
                Has(passed.Out, "\"S-1-5-20\",\"reason\":\"system-account\"},{\"sid\":\"S-1-5-21"
                                "-7-7-7-1001.bak\",\"reason\":\"backup-entry\"},{\"sid\":\"S-1-5"
                                "-21-7-7-7-1002\",\"reason\":\"temporary-profile\"}]"))
        << passed.Out;
    // Signed out: their own file, read where the profile list names it with a variable; nothing loaded,
    // nothing written, whatever the file holds.
    const auto users = [] {
        std::vector<std::wstring> names;
        cKey all;
        return all.Open(HKEY_USERS, L"", KEY_ENUMERATE_SUB_KEYS), all.SubKeys(names, 1000), names;
    };
    const std::vector<std::wstring> mounted = users();
    ::SetEnvironmentVariableW(L"P2F_PROFILES", (temp / L"").c_str());
    entries.push_back(AddProfile(L"S-1-5-21-7-7-7-1003", L"%P2F_PROFILES%sato"));
    for (const auto& [hive, code] : {std::pair{L"classes.dat", 1}, {L"others.dat", 0}, {L"dirty.dat", 6}})
    {
        const std::string bytes = place(L"sato", hive);
        const cRun run = RunExe(L"check" + log);
        EXPECT_EQ(Joined(code, code == 1, 1, 1),
                  Joined(run.Code, Has(run.Text(), L"（S-1-5-21-7-7-7-1003）→ "),
                         bytes == ReadBytes(temp / L"sato\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"),
                         users() == mounted))
            << hive << run.Text();
    }
    entries.pop_back();
    entries.push_back(AddProfile(L"S-1-5-21-7-7-7-1004", L"\\\\server\\share\\u"));
    const cRun unverified = RunExe(L"check" + log), repair = RunExe(L"repair --json" + log);
    EXPECT_EQ(L"6|6|1|1", Joined(unverified.Code, repair.Code, Has(repair.Out, "\"registrations\":[]"),
                                 Has(repair.Out, "\"after\":{\"verdict\":\"unverified\"")));
    EXPECT_TRUE(Has(unverified.Text(),
                    L"<< チェック判定 >>\r\n・このＰＣが設定済みかどうかは確認できていません（未確認）。") &&
                !Has(unverified.Text(), L"設定済みです"))
        << unverified.Text();
    EXPECT_TRUE(
        Has(strconv::ToWide(ReadBytes(temp / L"l.log"), 932), L"【INFO】Unverified : S-1-5-21-7-7-7-1004"));
}

// What COM finds must be a file the map's process can load: another machine's build, one cut short, one
// lacking a DLL are said, judged from their bytes, and never handed to regsvr32, which runs in the system
// folder.
TEST(cConsoleProgramTest, AFileTheMapCannotLoadIsSaidAndNeverRegistered)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"l.log\"";
    cTestPc::InstallBoth(L"common\\");
    const std::string dll = ReadBytes(TestFolder() + L"fixtures\\fixture_control.dll");
    const WORD other = cImageCheck::OwnMachine() == IMAGE_FILE_MACHINE_I386 ? IMAGE_FILE_MACHINE_AMD64
                                                                            : IMAGE_FILE_MACHINE_I386;
    std::string wrong = dll, lacking = dll;
    std::memcpy(&wrong[*reinterpret_cast<const DWORD*>(dll.data() + 0x3C) + 4], &other, sizeof other);
    lacking.replace(lacking.find("ADVAPI32.dll"), 12, "ADVAPI99.dll");
    WriteBytes(cTestPc::ExpectedControl(), wrong);
    const cRun machine = RunExe(L"check --json" + log), forced = RunExe(L"repair --force" + log);
    const std::wstring otherName = cImageCheck::MachineName(other);
    EXPECT_EQ(L"2|2|1|1",
              Joined(machine.Code, forced.Code, Has(forced.Text(), otherName + L" 用のファイルで"),
                     Has(machine.Out, "\"image\":{\"machine\":\"" + Sjis(otherName) +
                                          "\",\"loadable\":false,\"reason\":\"wrong-machine\"")));
    EXPECT_EQ(L"|" + ShellFolder(CSIDL_SYSTEM),
              Joined(cTestPc::Registered(MapControl.ClassId, L"RegisteredIn"),
                     cTestPc::Registered(LookupLibrary.ClassId, L"RegisteredIn")))
        << "forced, only the loadable file is registered, by a regsvr32 running in the system folder";
    // Cut short; lacking a DLL: a warning where the registration is right, why it cannot be repaired where it
    // is not, and nothing once the DLL lies beside the file.
    const std::wstring missing = L"　このファイルが使う DLL が見つかりません：ADVAPI99.dll。",
                       old = cTestPc::ProductFolder() + L"old\\plotwing2.ocx";
    const std::tuple<std::string, std::wstring, int, std::wstring> rows[] = {
        {dll.substr(0, dll.size() / 2), cTestPc::ExpectedControl(), 2, L"（ファイルが途中で切れています）"},
        {lacking, cTestPc::ExpectedControl(), 0, missing + L"地図が起動しないおそれがあります。"},
        {lacking, old, 2, missing + L"このままでは再設定できません。"},
        {lacking, old, 1, L"・"}};
    for (const auto& [bytes, registered, code, line] : rows)
    {
        if (line == L"・") // the DLL beside the file
            ::CopyFileW((ShellFolder(CSIDL_SYSTEM) + L"\\advapi32.dll").c_str(),
                        (cTestPc::ProductFolder() + L"common\\ADVAPI99.dll").c_str(), FALSE);
        WriteBytes(cTestPc::ExpectedControl(), bytes);
        cTestPc::Register(MapControl.ClassId, registered);
        const cRun run = RunExe(L"check" + log);
        EXPECT_EQ(Joined(code, 1, line.starts_with(missing)),
                  Joined(run.Code, Has(run.Text(), line), Has(run.Text(), L"見つかりません")))
            << run.Text();
    }
    // A file that cannot be read is not judged: the PC is unverified, and the log names the file.
    cTestPc::Register(MapControl.ClassId, cTestPc::ExpectedControl());
    const cHandle held(::CreateFileW(cTestPc::ExpectedControl().c_str(), GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    const int unread = RunExe(L"check" + log).Code;
    EXPECT_EQ(L"6|1", Joined(unread, Has(strconv::ToWide(ReadBytes(temp / L"l.log"), 932),
                                         L"【INFO】Unverified : " + cTestPc::ExpectedControl() + L"\r\n")));
}

// Every elevated run leaves its result where collectors read it: the console program's the very line it
// printed, the window's the same object under its own command; a run that cannot replace it ends as it would
// have.
TEST(cConsoleProgramTest, EachElevatedRunLeavesItsOwnResultOnThePc)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"l.log\"",
                       file = cResultFile::PathOf(ShellFolder(CSIDL_COMMON_APPDATA));
    cTestPc::InstallBoth(L"old\\");
    const cRun check = RunExe(L"check --json" + log);
    EXPECT_EQ(check.Out, ReadBytes(file));
    cQuietForm form;
    ASSERT_TRUE(form.Create(SW_HIDE, false));
    for (MSG message{}; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) // kept once it is shown
        ::DispatchMessageW(&message);
    const std::string window = ReadBytes(file);
    const auto undated = [](std::string json) { return json.erase(json.find("\"checkedAt\":") + 13, 20); };
    EXPECT_EQ(undated("{\"command\":\"window-check\"" + check.Out.substr(18)), undated(window));
    {
        const cHandle reader(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        const cRun held = RunExe(L"check" + log);
        EXPECT_EQ(L"1|1|1", Joined(held.Code, Has(held.Err, Sjis(L"結果ファイルを書けませんでした（")),
                                   window == ReadBytes(file)));
    }
    form.Command2_Click();
    const std::string repaired = ReadBytes(file);
    EXPECT_TRUE(Has(repaired, "{\"command\":\"window-repair\",\"exitCode\":0,") &&
                Has(repaired, "\"after\":{\"verdict\":\"set-up\""))
        << repaired;
}

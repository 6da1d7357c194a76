#include "window/MainForm.h"
#include "repair/cRepairLock.h"
#include "cli/cConsoleProgram.h"
#include "cli/cJsonWriter.h"
#include "sys/cKey.h"
#include "sys/cPathForm.h"
#include <sddl.h>
#include "tests/support/SeamedUsers.h"
#include <thread>
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
struct cShortLock : cRepairTool
{
    DWORD LockTimeoutMs() const override { return 300; }
};
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
// A lock's mutex as Wine cannot make it: another account's, or one this account may not open.
template <cRepairLock::eOpened opened>
struct cForeignLock : cRepairLock
{
    cForeignLock() : cRepairLock(nullptr) { Acquire(nullptr, 0); }
    eOpened Open(cHandle&) override { return opened; }
    bool IsOwnerTrusted(HANDLE) const override { return false; }
};
template <cRepairLock::eOpened opened>
struct cForeignLocked : cRepairTool
{
    std::unique_ptr<cRepairLock> MakeLock(HWND) override { return std::make_unique<cForeignLock<opened>>(); }
};
// A classes file in use (verdict, exit code unchanged); `forged`: a line break that fakes a log entry.
template <bool forged>
struct cUnreadProfile : cRepairTool
{
    std::unique_ptr<cUserRegistrations> MakeUserRegistrations() const override
    {
        auto users = std::make_unique<cSeamedUsers>();
        users->List = {{L"S-1-5-21-9-9-9-1002", L"C:\\u"}};
        if (forged)
            users->List.push_back({L"S-1-5-21-9-9-9-1003", L"C:\\u"});
        users->FileStatus = {{L"S-1-5-21-9-9-9-1002", ERROR_SHARING_VIOLATION}};
        users->SignedIn = {{L"S-1-5-21-9-9-9-1003", true}};
        users->Set(L"S-1-5-21-9-9-9-1003", LookupLibrary, REG_SZ, L"x\r\n2026/12/07 00:00:00【INFO】forged");
        return users;
    }
};
// The lock's mutex as another repair makes it, with the lock's security, and held.
HANDLE HeldLock()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(cRepairLock::Security, SDDL_REVISION_1,
                                                           &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE mutex =
        ::CreateMutexExW(&attributes, cRepairLock::Name, CREATE_MUTEX_INITIAL_OWNER, MUTEX_ALL_ACCESS);
    ::LocalFree(descriptor);
    return mutex;
}
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
    for (const eVerdict verdict : {E, eVerdict::RepairNeeded, eVerdict::CannotRepair, eVerdict::NotInstalled,
                                   eVerdict::Failed, eVerdict::Unverified})
        codes.push_back(cConsoleProgram::ExitCodeOf(verdict));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 6}), codes);
    // A classes file this run left loaded fails it; one an ended run left is only said.
    cCheckOutcome check;
    check.Verdict = eVerdict::Unverified;
    check.Unloads = {{L"HKEY_USERS\\x", L"", false}};
    const int leftover = cConsoleProgram::ExitCodeOf(check);
    check.Unloads[0].ThisRun = true;
    EXPECT_EQ(L"6|4", std::to_wstring(leftover) + L"|" + std::to_wstring(cConsoleProgram::ExitCodeOf(check)));
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
        {&failed, E, 1}, {&busy, E, 1618}, {&broken, E, 4}, {&locked, E, 4}, {nullptr, eVerdict::NotInstalled, 3},
        {&ok, eVerdict::Unverified, 6}, {&stuck, E, 4}};
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
    // With --json every exit prints its one line: refused ones too, in the shape of a failed check.
    const cRun bad = RunExe(L"check --force --json"),
               unelevated = RunHere<cRepairTool>({L"repair", L"--json"}, false);
    EXPECT_EQ("87|{\"command\":\"check\",\"exitCode\":87,",
              std::to_string(bad.Code) + "|" + bad.Out.substr(0, 33));
    EXPECT_NE(std::string::npos,
              unelevated.Out.find("\"verdict\":null,\"components\":[],\"users\":[],\"error\":{\"number\":740,"
                                  "\"description\":\"repair \\u306b"))
        << unelevated.Out;
    Keep(bad, "87"), Keep(unelevated, "740");
    EXPECT_EQ(
        0u, RunHere<cRepairTool>({L"check", L"--log", temp / L"u.log"}, false)
                .Err.find(Sjis(L"管理者権限がないため、ほかのユーザーのユーザー別の登録は確認できません。")))
        << "said before anything else";
    // A log that cannot be written: said once, and the check runs on. A missing folder is made (the check's
    // log below); one reached through a link is refused.
    ASSERT_TRUE(WriteBytes(temp / L"file", ""));
    const cRun noLog = RunExe(L"check --log \"" + temp / L"file\\x.log\"");
    EXPECT_EQ(Sjis(L"・このＰＣにはカルトリアＷ３がインストールされていません。\r\n") + "|3",
              noLog.Out + "|" + std::to_string(noLog.Code));
    EXPECT_NE(std::string::npos, noLog.Err.find(Sjis(temp / L"file\\x.log")));
    const std::wstring linked =
        L"C:\\p2f-linked-folder"; // scripts/test makes it: a symbolic link to C:\windows\temp
    if (const DWORD link = ::GetFileAttributesW(linked.c_str());
        link != INVALID_FILE_ATTRIBUTES && (link & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        const cRun refused = RunExe(L"check --log " + linked + L"\\p2f\\x.log");
        EXPECT_EQ(Sjis(L"ログフォルダーの途中にリンク（シンボリック リンク、ジャンクション、マウント "
                       L"ポイント）があるため、"
                       L"ログなしで続けます: " +
                       linked + L"\r\n"),
                  refused.Err);
        EXPECT_FALSE(fs::exists(ShellFolder(CSIDL_WINDOWS) + L"\\temp\\p2f")) << "nothing made through it";
    }
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
    EXPECT_EQ(4, failedCheck.Code);
    EXPECT_NE(std::string::npos,
              failedRepair.Out.find("\"error\":{\"number\":53,\"description\":\"\\u8aac\\u660e\",\"source\":"
                                    "\"Test\"},\"registrations\":[],\"backups\":["))
        << failedRepair.Out;
    Keep(failedCheck, "4"), Keep(failedRepair, "4-repair");
    // The lock, one rule for every caller: another account's mutex, or one not to be opened, is no lock.
    const cRun untrusted = RunHere<cForeignLocked<cRepairLock::eOpened::Opened>>({L"repair", L"--json"}),
               denied = RunHere<cForeignLocked<cRepairLock::eOpened::AccessDenied>>({L"repair"});
    EXPECT_EQ(L"4|4|" + cTestPc::ProductFolder() + L"old\\plotwing2.ocx",
              std::to_wstring(untrusted.Code) + L"|" + std::to_wstring(denied.Code) + L"|" +
                  cTestPc::Registered(MapControl.ClassId));
    EXPECT_NE(
        std::string::npos,
        untrusted.Out.find(
            strconv::ToAnsi(cJsonWriter::Escape(L"SYSTEM でも Administrators でもない所有者が作っているため"),
                            CP_UTF8)
                .substr(1, 60)));
    EXPECT_NE(std::wstring::npos, denied.Text().find(L"ミューテックスにアクセスできないため"));
    Keep(untrusted, "4-lock");
    // One repair at a time: a lock held elsewhere is waited for within the bound, then 1618; a lock whose
    // holder ended without releasing it is taken over (the program's repair below).
    const cHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        quit(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        const cHandle mutex(HeldLock());
        ::SignalObjectAndWait(held.Get(), quit.Get(), INFINITE, FALSE);
    });
    const cAtEnd join{[&] { ::SetEvent(quit.Get()), holder.joinable() ? holder.join() : void(); }};
    ::WaitForSingleObject(held.Get(), 10000);
    cHandle keep(::OpenMutexW(SYNCHRONIZE, FALSE, cRepairLock::Name)); // so that it outlives its holder
    const cRun busy = RunHere<cShortLock>({L"repair", L"--log", temp / L"busy.log"}),
               busyJson = RunHere<cShortLock>({L"repair", L"--json"});
    Keep(busyJson, "1618");
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
    keep.Reset();
    cTestPc::Register(MapControl.ClassId, cTestPc::ProductFolder() + L"old\\plotwing2.ocx");
    // The name taken by an object of another kind: no lock, nothing started.
    {
        const cHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, cRepairLock::Name));
        const cRun squatted = RunExe(L"repair" + log);
        EXPECT_EQ(L"4|" + cTestPc::ProductFolder() + L"old\\plotwing2.ocx",
                  std::to_wstring(squatted.Code) + L"|" + cTestPc::Registered(MapControl.ClassId));
        EXPECT_NE(std::wstring::npos,
                  squatted.Text().find(L"名前がほかの種類のオブジェクトに使われているため"));
    }
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

// The machine's registrations are right, but the user's own key shadows one: COM gives the user the old file.
// Found by the window and by check, removed by 「再設定」 after it is saved; the saved file imports it back.
TEST(cConsoleProgramTest, AUsersOwnStaleRegistrationIsFoundRemovedWithABackupAndImportsBack)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"u.log\"",
                       old = cTestPc::ProductFolder() + L"old\\plotwing2.ocx";
    cTestPc::InstallBoth(L"common\\");
    const cRun unread = RunHere<cUnreadProfile<false>>({L"check", L"--json", L"--log", temp / L"n.log"});
    RunHere<cUnreadProfile<true>>({L"check", L"--log", temp / L"n.log"});
    const std::wstring why = L"UsrClass.dat を開けませんでした：" + SystemMessage(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(L"6|S-1-5-21-9-9-9-1002 のユーザー別の登録を確認できませんでした（" + why + L"）\r\n",
              std::to_wstring(unread.Code) + L"|" + strconv::ToWide(unread.Err, 932));
    EXPECT_NE(std::string::npos,
              unread.Out.find("\"loaded\":false,\"read\":false,\"reason\":\"UsrClass.dat"));
    const std::wstring unreadLog = strconv::ToWide(ReadBytes(temp / L"n.log"), 932);
    EXPECT_NE(std::wstring::npos,
              unreadLog.find(L"【INFO】User-Classes : S-1-5-21-9-9-9-1002 : " + why + L"\r\n"));
    EXPECT_NE(std::wstring::npos, unreadLog.find(L" : x??2026/12/07 00:00:00【INFO】forged\r\n"))
        << unreadLog;
    cTestPc::RegisterForUser(MapControl.ClassId, old);
    wchar_t computer[64] = {}, user[64] = {};
    DWORD size = 64;
    ::GetComputerNameW(computer, &size), size = 64, ::GetUserNameW(user, &size);
    const std::wstring account = computer + (L"\\" + std::wstring(user)), sid = L"S-1-5-21-0-0-0-1000";
    const cRun check = RunExe(L"check --json" + log);
    EXPECT_EQ(1, check.Code);
    const std::wstring json = strconv::ToWide(check.Out, CP_UTF8);
    EXPECT_NE(std::wstring::npos,
              json.find(L"\"users\":[{\"sid\":\"" + sid + L"\",\"account\":" + cJsonWriter::Escape(account) +
                        L",\"loaded\":true,\"read\":true,\"components\":[{\"name\":\"plotwing2.ocx\","
                        L"\"registered\":" +
                        cJsonWriter::Escape(old) +
                        L",\"state\":\"shadows\"},{\"name\":\"lexgrid4b.dll\",\"registered\":null,"
                        L"\"state\":\"none\"}]}]"))
        << json;
    EXPECT_NE(std::wstring::npos, strconv::ToWide(ReadBytes(temp / L"u.log"), 932)
                                      .find(L"【INFO】User-CLSID : " + account + L" (" + sid + L") : " +
                                            MapControl.ClassId + L" : " + old + L"\r\n"));
    cQuietForm form;
    ASSERT_TRUE(form.Create(SW_HIDE, false));
    const std::wstring shadow = L"　ユーザー別の登録が優先されています（" + account + L"）→ " + old;
    EXPECT_NE(std::wstring::npos,
              WindowText(form.Text1())
                  .find(cTestPc::ExpectedControl() + L"\r\n" + shadow + L"\r\n・lexgrid4b.dll"));
    EXPECT_TRUE(::IsWindowEnabled(form.Command2())) << WindowText(form.Text1());
    ::SendMessageW(form.Command2(), BM_CLICK, 0, 0);
    const std::wstring section = WindowText(form.Text1()),
                       removed = L"・plotwing2.ocx → ユーザー別の登録を削除しました（" + account +
                                 L"）\r\n　バックアップ：";
    const size_t at = section.find(removed) + removed.size();
    ASSERT_LT(removed.size(), at) << section;
    const std::wstring backup = section.substr(at, section.find(L"\r\n", at) - at);
    EXPECT_EQ(std::nullopt, cTestPc::RegisteredForUser(MapControl.ClassId));
    EXPECT_EQ(0, RunExe(L"check" + log).Code);
    // UTF-16 with its byte-order mark, the key named where the user's classes are while they are signed in.
    const std::string bytes = ReadBytes(backup);
    const std::wstring saved(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    const std::wstring classKey = L"HKEY_USERS\\" + sid + L"\\" + cTestPc::UserKey(MapControl.ClassId);
    EXPECT_EQ(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[" +
                  classKey.substr(0, classKey.rfind(L'\\')) + L"]\r\n\r\n[" + classKey + L"]\r\n@=" +
                  cJsonWriter::Escape(old) + L"\r\n\r\n",
              saved);
    _wsystem((ShellFolder(CSIDL_SYSTEM) + L"\\reg.exe import \"" + backup + L"\" /reg:64 >nul 2>&1").c_str());
    EXPECT_EQ(old, cTestPc::RegisteredForUser(MapControl.ClassId).value_or(L"(gone)"));
    const cRun repair = RunExe(L"repair --json" + log);
    EXPECT_EQ(0, repair.Code) << repair.Out;
    const std::wstring repaired = strconv::ToWide(repair.Out, CP_UTF8);
    EXPECT_NE(std::wstring::npos, repaired.find(L"\"registrations\":[{\"name\":\"plotwing2.ocx\",\"result\":"
                                                L"\"succeeded\",\"reason\":\"\",\"sid\":\"" +
                                                sid + L"\",\"backup\":"))
        << repaired;
    const std::wstring folder = cJsonWriter::Escape(cTestPc::BackupFolder() + L"\\backup\\");
    const size_t backups = repaired.find(L"\"backups\":[" + folder.substr(0, folder.size() - 1));
    EXPECT_LT(repaired.find(L"-machine", backups), repaired.find(sid, backups))
        << "the machine's keys first, saved before regsvr32: " << repaired;
    // A class key of the user's own without its server hides the machine's too: removed whole, and imported
    // back.
    const std::wstring lookupKey = cTestPc::UserKey(LookupLibrary.ClassId);
    const std::wstring halfKey = lookupKey.substr(0, lookupKey.rfind(L'\\'));
    const auto exists = [&] {
        return cKey().Open(HKEY_CURRENT_USER, halfKey, KEY_READ | KEY_WOW64_64KEY) == 0;
    };
    cRegKey made;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, halfKey.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                      made.Put(), nullptr);
    made.Reset();
    const cRun halfRemoved = RunExe(L"check" + log);
    EXPECT_NE(std::wstring::npos, halfRemoved.Text().find(L"）→ （InprocServer32 のないキー）"))
        << halfRemoved.Text();
    const int repairedCode = RunExe(L"repair" + log).Code;
    EXPECT_EQ(L"1|0|0", std::to_wstring(halfRemoved.Code) + L"|" + std::to_wstring(repairedCode) + L"|" +
                            std::to_wstring(exists()));
    for (const auto& file : fs::directory_iterator(cTestPc::BackupFolder() + L"\\backup"))
        if (file.path().wstring().ends_with(sid + L"-lexgrid4b.dll.reg"))
            _wsystem((ShellFolder(CSIDL_SYSTEM) + L"\\reg.exe import \"" + file.path().wstring() +
                      L"\" /reg:64 >nul 2>&1")
                         .c_str());
    EXPECT_TRUE(exists()) << "imported back";
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
    EXPECT_EQ(0u, report.find(std::wstring(74, L'-') + L"\r\n<< チェックレポート >>\r\n・plotwing2.ocx → " +
                              shadow))
        << report;
    EXPECT_NE(std::wstring::npos, report.find(L"）→ （長すぎる値）\r\n・lexgrid4b.dll → " +
                                              cTestPc::ProductFolder() + L"common\\lexgrid4b.dll" + shadow));
    EXPECT_NE(std::wstring::npos, report.find(L"）→ C:\\" + std::wstring(257, L'z') +
                                              L"…\r\n\r\n<< チェック判定 >>\r\n・"
                                              L"このＰＣは再設定する必要があります。"));
    EXPECT_TRUE(::IsWindowEnabled(form.Command2()));
    EXPECT_NE(std::wstring::npos,
              WithoutStamps(cTestPc::Log(), since)
                  .find(L"【INFO】CLSID : " + std::wstring(MapControl.ClassId) + L" : \r\n"));
    const cTempFolder temp;
    EXPECT_EQ(1, RunExe(L"check --log \"" + temp / L"l.log\"").Code);
}

// Only real users count: Windows' own accounts, a profile kept aside and a temporary one change nothing, a
// signed-out user's classes file is read, and a user who cannot be read leaves the PC unverified, never set
// up.
TEST(cConsoleProgramTest, OnlyRealUsersCountAndOneNotReadLeavesThePcUnverified)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    if (!IsWine())
        GTEST_SKIP() << "the classes files here are in Wine's registry format";
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring log = L" --log \"" + temp / L"l.log\"",
                       stale = cTestPc::ProductFolder() + L"old\\x.ocx",
                       key = cTestPc::UserKey(MapControl.ClassId).substr(17);
    cTestPc::InstallBoth(L"common\\");
    std::vector<cAtEnd> entries;
    for (const auto& [sid, state] : {std::pair{L"S-1-5-18", 0},
                                     {L"S-1-5-19", 0},
                                     {L"S-1-5-20", 0},
                                     {L"S-1-5-21-7-7-7-1001.bak", 0},
                                     {L"S-1-5-21-7-7-7-1002", 0x800}})
    {
        PlaceClasses(temp / sid, {{key, stale}});
        entries.push_back(AddProfile(sid, temp / sid, state));
    }
    const cRun passed = RunExe(L"check --json" + log);
    EXPECT_EQ(0, passed.Code) << passed.Out;
    EXPECT_NE(std::string::npos,
              passed.Out.find(
                  "\"skipped\":[{\"sid\":\"S-1-5-18\",\"reason\":\"system-account\"},{\"sid\":\"S-1-5-"
                  "19\",\"reason\":\"system-account\"},{\"sid\":\"S-1-5-20\",\"reason\":\"system-account\"},"
                  "{\"sid\":\"S-1-5-21-7-7-7-1001.bak\",\"reason\":\"backup-entry\"},{\"sid\":\"S-1-5-21-7-"
                  "7-7-1002\",\"reason\":\"temporary-profile\"}],\"unloadFailures\":[]"))
        << passed.Out;
    // A signed-out user's own file, read as that user's COM reads it.
    PlaceClasses(temp / L"sato", {{key, stale}});
    entries.push_back(AddProfile(L"S-1-5-21-7-7-7-1003", temp / L"sato"));
    const cRun shadowed = RunExe(L"check" + log);
    EXPECT_EQ(L"1|" + std::to_wstring(std::wstring::npos !=
                                      shadowed.Text().find(L"（S-1-5-21-7-7-7-1003）→ " + stale)),
              std::to_wstring(shadowed.Code) + L"|1")
        << shadowed.Text();
    entries.pop_back();
    // One user not read: named, with why and what to do, and no verdict of "set up".
    entries.push_back(AddProfile(L"S-1-5-21-7-7-7-1004", L"\\\\server\\share\\u"));
    const cRun unverified = RunExe(L"check --json" + log), repair = RunExe(L"repair --json" + log);
    const std::wstring text = strconv::ToWide(unverified.Out, CP_UTF8);
    EXPECT_EQ(L"6|6", std::to_wstring(unverified.Code) + L"|" + std::to_wstring(repair.Code));
    const auto inJson = [](const std::wstring& report) {
        const std::wstring quoted = cJsonWriter::Escape(report);
        return quoted.substr(1, quoted.size() - 2);
    };
    EXPECT_NE(std::wstring::npos,
              text.find(inJson(L"・S-1-5-21-7-7-7-1004 "
                               L"のユーザー別の登録を確認できませんでした（プロファイルのフォルダーがこのＰＣ"
                               L"のローカルパスではありません：\\\\server\\share\\u）\r\n\r\n<< チェック判定 "
                               L">>\r\n・このＰＣは既に設定"
                               L"済みです。\r\n　再設定の必要はありません\r\n・上記のユーザーのユーザー別の登"
                               L"録は確認できなかったため、判"
                               L"定に含まれていません。\r\n　S-1-5-21-7-7-7-"
                               L"1004：このユーザーにサインインしてもらい、サインインしてい"
                               L"る間にもう一度確認してください\r\n")))
        << text;
    EXPECT_TRUE(text.find(L"\"verdict\":\"unverified\"") != std::wstring::npos &&
                repair.Out.find("\"registrations\":[]") != std::string::npos &&
                repair.Out.find("\"after\":{\"verdict\":\"unverified\"") != std::string::npos)
        << repair.Out;
    EXPECT_NE(std::wstring::npos, strconv::ToWide(ReadBytes(temp / L"l.log"), 932)
                                      .find(L"【INFO】Unverified : S-1-5-21-7-7-7-1004\r\n"));
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
    EXPECT_EQ(L"2|2|1",
              std::to_wstring(machine.Code) + L"|" + std::to_wstring(forced.Code) + L"|" +
                  std::to_wstring(forced.Text().find(otherName + L" 用のファイルで") != std::wstring::npos));
    EXPECT_NE(std::string::npos,
              machine.Out.find("\"image\":{\"machine\":\"" + Sjis(otherName) +
                               "\",\"loadable\":false,\"reason\":\"wrong-machine\",\"missing\":[]}"));
    const auto registeredIn = [](const cComponent& c) {
        wchar_t folder[MAX_PATH] = {};
        DWORD size = sizeof folder;
        ::RegGetValueW(HKEY_CLASSES_ROOT, (L"CLSID\\" + std::wstring(c.ClassId)).c_str(), L"RegisteredIn",
                       RRF_RT_REG_SZ, nullptr, folder, &size);
        return std::wstring(folder);
    };
    EXPECT_EQ(L"|" + ShellFolder(CSIDL_SYSTEM), registeredIn(MapControl) + L"|" + registeredIn(LookupLibrary))
        << "forced, only the loadable file is registered, by a regsvr32 running in the system folder";
    WriteBytes(cTestPc::ExpectedControl(), dll.substr(0, dll.size() / 2));
    const cRun cut = RunExe(L"check" + log);
    EXPECT_TRUE(cut.Code == 2 && cut.Text().find(L"（ファイルが途中で切れています）") != std::wstring::npos);
    // A DLL found nowhere: only a warning where the registration is right, the reason it cannot be repaired
    // where it is not, and nothing once the DLL lies beside the file.
    WriteBytes(cTestPc::ExpectedControl(), lacking);
    const std::wstring missing = L"　このファイルが使う DLL が見つかりません：ADVAPI99.dll。";
    const cRun right = RunExe(L"check" + log);
    cTestPc::Register(MapControl.ClassId, cTestPc::ProductFolder() + L"old\\plotwing2.ocx");
    const cRun elsewhere = RunExe(L"check" + log);
    ::CopyFileW((ShellFolder(CSIDL_SYSTEM) + L"\\advapi32.dll").c_str(),
                (cTestPc::ProductFolder() + L"common\\ADVAPI99.dll").c_str(), FALSE);
    const cRun beside = RunExe(L"check" + log);
    EXPECT_EQ(L"0|2|1", std::to_wstring(right.Code) + L"|" + std::to_wstring(elsewhere.Code) + L"|" +
                            std::to_wstring(beside.Code));
    EXPECT_NE(std::wstring::npos, right.Text().find(missing + L"地図が起動しないおそれがあります。"));
    EXPECT_NE(std::wstring::npos, elsewhere.Text().find(missing + L"このままでは再設定できません。"));
    EXPECT_EQ(std::wstring::npos, beside.Text().find(L"見つかりません")) << beside.Text();
}

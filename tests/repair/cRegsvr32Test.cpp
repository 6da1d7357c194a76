#include "repair/cComponent.h"
#include "repair/cComponentLookup.h"
#include "repair/cRegsvr32.h"
#include "sys/cPathForm.h"
#include "tests/support/TestPc.h"

namespace
{
// The real steps, of which a test replaces one to bring its failure about.
struct cSeamedRegsvr32 : cRegsvr32
{
    explicit cSeamedRegsvr32(HWND owner = nullptr, DWORD bound = DefaultTimeoutMs) : cRegsvr32(owner, bound)
    {
    }
    std::optional<std::wstring> Folder, Registered;
    std::optional<std::optional<HANDLE>> Started;
    std::optional<std::optional<DWORD>> Code;
    std::wstring Program;

    std::wstring SystemFolder() const override { return Folder.value_or(cRegsvr32::SystemFolder()); }
    std::optional<HANDLE> Start(const std::wstring& program, const std::wstring& parameter) override
    {
        return Program = program, Started ? *Started : cRegsvr32::Start(program, parameter);
    }
    std::optional<DWORD> ExitCode(HANDLE process) const override
    {
        return Code ? *Code : cRegsvr32::ExitCode(process);
    }
    std::wstring RegisteredText(const std::wstring& id) const override
    {
        return Registered.value_or(cRegsvr32::RegisteredText(id));
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
    unreadable.Code.emplace(std::nullopt);
    EXPECT_EQ(L"regsvr32.exe の終了コードを取得できませんでした", unreadable.Run(cTestPc::ExpectedControl()));
}

namespace
{
// A process that has ended, and one that never ends.
const cHandle Ended(::CreateEventW(nullptr, TRUE, TRUE, nullptr)),
    Running(::CreateEventW(nullptr, TRUE, FALSE, nullptr));

// Windows takes the keyboard focus from a window it disables (Wine does not): this owner does so itself.
LRESULT CALLBACK LosesFocusWhenDisabled(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_ENABLE && !wParam)
        ::SetFocus(nullptr);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace

TEST(cRegsvr32Test, TheWaitGivesTheWindowBackAsItFoundItAndExitCodeZeroCountsOnlyWhenComFindsTheExpectedFile)
{
    WNDCLASSW owners{0,       &LosesFocusWhenDisabled, 0, 0, nullptr, nullptr, nullptr, nullptr,
                     nullptr, L"P2fTestOwner"};
    ::RegisterClassW(&owners);
    for (const BOOL enabled : {TRUE, FALSE})
        for (const HANDLE process : {Ended.Get(), Running.Get()})
        {
            HWND owner = ::CreateWindowExW(0, L"P2fTestOwner", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr,
                                           nullptr, nullptr);
            HWND button =
                ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 9, 9, owner, nullptr, nullptr, nullptr);
            const cAtEnd destroy{[owner] { ::DestroyWindow(owner); }};
            ::SetFocus(button);
            ::EnableWindow(owner, enabled);
            const HWND had = ::GetFocus(); // the button, or none in a window disabled before
            cSeamedRegsvr32 one(owner, 20);
            one.Started.emplace(process);
            one.Run(L"C:\\x.ocx");
            EXPECT_EQ(std::pair(enabled, had), std::pair(::IsWindowEnabled(owner), ::GetFocus()))
                << "enabled " << enabled << ", ended " << (process == Ended.Get()) << ": its state and focus";
        }
    // After exit code 0 the file COM finds is compared as the check compares it: letter case and 8.3 form
    // aside.
    const cTempFolder temp;
    const std::wstring onDisk = temp / L"KovaMap\\Common\\plotwing2.ocx";
    ASSERT_TRUE(WriteBytes(onDisk, "x"));
    const std::wstring moved =
        L"regsvr32.exe は正常に終了しましたが、参照位置が変わっていません（現在の参照位置：";
    // clang-format off
    const std::pair<std::wstring, std::wstring> rows[] = {{onDisk, L"succeeded"}, {cPathForm::Short(onDisk), L"succeeded"},
        {temp / L"old.ocx", moved + temp / L"old.ocx）"}, {L"", moved + L"）"}};
    // clang-format on
    for (const auto& [registered, outcome] : rows)
    {
        cSeamedRegsvr32 regsvr32;
        regsvr32.Started.emplace(Ended.Get());
        regsvr32.Code.emplace(0);
        regsvr32.Registered = registered;
        EXPECT_EQ(outcome, regsvr32.Run(temp / L"kovamap\\common\\plotwing2.ocx")) << registered;
    }
}

TEST(cComponentLookupTest, LongFormOfAnExistingLocalFileOnlyAndNoLookupAtAllOfAnyOtherText)
{
    // The machine's registration in the build's view, never HKEY_CLASSES_ROOT (it shows the runner's own).
    EXPECT_EQ(L"SOFTWARE\\Classes\\CLSID\\{A}\\InprocServer32", cComponentLookup::MachineKeyPath(L"{A}"));
    EXPECT_TRUE(cComponentLookup::MachineView(false) == KEY_WOW64_32KEY &&
                cComponentLookup::MachineView(true) == KEY_WOW64_64KEY);
    const cTempFolder temp;
    const std::wstring file = temp / L"地図 サーバー𠮷.ocx";
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_EQ(file + L"|", cComponentLookup::LongForm(cPathForm::Short(file)) + L"|" +
                               cComponentLookup::LongForm(file + L"x"));
    // What other users can write is never handed to the file system: only a local drive-letter path is.
    std::vector<std::wstring> asked;
    const auto record = [&](const std::wstring& path) { return asked.push_back(path), path; };
    for (const std::wstring& text :
         std::vector<std::wstring>{L"\\\\nohost.invalid\\s\\x.ocx", L"\\??\\UNC\\h\\s\\x.ocx",
                                   L"\\\\?\\" + file, L"\\??\\" + file, L"x.ocx", L"C:\\x\\LPT1.ocx", L""})
        EXPECT_EQ(L"", cComponentLookup::LongForm(text, record)) << text;
    EXPECT_TRUE(asked.empty()) << asked.front();
    // A text longer than MAX_PATH less its NUL names nothing a program loads: not looked up at all.
    const std::wstring longest = L"C:\\" + std::wstring(252, L'x') + L".ocx";
    EXPECT_EQ(L"|" + longest + L"|" + file, cComponentLookup::LongForm(longest + L"x", record) + L"|" +
                                                cComponentLookup::LongForm(longest, record) + L"|" +
                                                cComponentLookup::LongForm(file, record));
}

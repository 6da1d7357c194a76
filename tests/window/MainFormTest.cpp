#include "window/MainForm.h"
#include "repair/cComponent.h"
#include "sys/cAppError.h"
#include "sys/cPathForm.h"
#include "sys/cComApartment.h"
#include "sys/cScreenDC.h"
#include "tests/support/SeamedUsers.h"
#include <oleacc.h>
#include <thread>

namespace
{
const std::wstring NotInstalled = L"・このＰＣにはカルトリアＷ３がインストールされていません。";
const std::wstring Done = L"レジストリ参照位置変更に成功しました。",
                   Failed = L"レジストリ参照位置変更に失敗しました。";
const std::wstring Changing = L"\r\n\r\n<< レジストリ変更中 >>";
// IAccessible's id, written out: the one of mingw-w64's import library is not what Wine's oleacc takes.
constexpr IID AccessibleIid{0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The tool's window, with a lookup a test can make fail, recording message boxes (title|text|type).
struct cForm : MainForm
{
    cForm() : MainForm(::GetModuleHandleW(nullptr)) {}
    bool Fail = false;
    std::vector<std::wstring> Boxes;
    void ShowMessage(const std::wstring& text, const std::wstring& title, UINT type) override
    {
        Boxes.push_back(title + L"|" + text + L"|" + std::to_wstring(type));
    }
    HCURSOR Pointer = nullptr; // at the last lookup: during a repair, the one shown while regsvr32 runs
    std::wstring GetRegisteredPath(const std::wstring& id) override
    {
        Pointer = ::GetCursor();
        return Fail ? throw cAppError(53, L"説明", L"Test") : MainForm::GetRegisteredPath(id);
    }
    DWORD BoundMs = cRegsvr32::DefaultTimeoutMs;
    std::unique_ptr<cRegsvr32> MakeRegsvr32(HWND owner) override
    {
        return std::make_unique<cRegsvr32>(owner, BoundMs);
    }
    // Every user's reading takes this long, as hive loads on a shared PC do.
    DWORD SlowUsersMs = 0;
    std::unique_ptr<cUserRegistrations> MakeUserRegistrations() const override
    {
        auto users = std::make_unique<cSeamedUsers>();
        users->SlowMs = SlowUsersMs;
        return SlowUsersMs ? std::move(users) : MainForm::MakeUserRegistrations();
    }
    bool NoProgramFiles = false;
    std::wstring GetSpecialFolder(long folder) override
    {
        return NoProgramFiles && folder == cSpecialFolder::CSIDL_PROGRAM_FILES_
                   ? L""
                   : MainForm::GetSpecialFolder(folder);
    }
};
} // namespace

// The tool's real window, hidden, on a PC the test sets up.
class MainFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_UNLESS_THROWAWAY_MACHINE();
        m_form.emplace();
    }
    void Open() { ASSERT_TRUE(m_form->Create(SW_HIDE, false)); }
    // The log with each entry's stamp of this test's time left out.
    std::wstring Log() const { return WithoutStamps(cTestPc::Log(), m_since); }
    std::wstring Report() const { return WindowText(m_form->Text1()); }
    std::wstring Last(const std::wstring& from) const { return Report().substr(Report().rfind(from)); }
    std::wstring ReportAndReset() const
    {
        return Report() + (::IsWindowEnabled(m_form->Command2()) ? L"|on" : L"|off");
    }
    static void Press(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }
    const SYSTEMTIME m_since = LocalNow();
    cTestPc m_pc;
    std::optional<cForm> m_form;
};

TEST_F(MainFormTest, StartUpShowsTheWindowAndLogsBannerFoldersAndReportAndCloseLogsTheEnd)
{
    Open();
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール Ver.2（カルトリアＷ３）",
              WindowText(m_form->Hwnd()));
    EXPECT_EQ(
        L"Zelvioで使用するシステムファイルのレジストリ参照位置を再設定します。\r\nZelvioを起動している場合は"
        L"終了してください。\r\n再設定は管理者権限のあるユーザーで行ってください。",
        WindowText(m_form->Label1()));
    EXPECT_EQ(NotInstalled + L"|off", ReportAndReset());
    // As a screen reader reads them: the buttons by their captions, the report box by a name of its own.
    std::wstring names;
    const cComApartment com(COINIT_APARTMENTTHREADED); // as the tool's thread is
    for (HWND control :
         {m_form->Text1(), m_form->Label1(), m_form->Command1(), m_form->Command2(), m_form->Check1()})
    {
        IAccessible* object = nullptr;
        BSTR name = nullptr;
        if (SUCCEEDED(::AccessibleObjectFromWindow(control, OBJID_CLIENT, AccessibleIid,
                                                   reinterpret_cast<void**>(&object))))
            object->get_accName(VARIANT{{{VT_I4, 0, 0, 0, {CHILDID_SELF}}}}, &name), object->Release();
        names += (name ? name : L"") + std::wstring(L"|");
        ::SysFreeString(name);
    }
    EXPECT_EQ(L"チェック結果|" + WindowText(m_form->Label1()) + L"|チェック|再設定|強制設定|", names);
    ::SendMessageW(m_form->Hwnd(), WM_CLOSE, 0, 0);
    const auto folder = [](int csidl) { return ShellFolder(csidl) + L"\\\r\n【INFO】"; };
    EXPECT_EQ(L"【INFO】-- Start --\r\n【INFO】Application-Path : " + TestFolder() +
                  L"\r\n【INFO】DeskTop-Path : " + folder(CSIDL_DESKTOPDIRECTORY) + L"System-Path : " +
                  folder(CSIDL_SYSTEM) + L"Program Files-Path : " + folder(CSIDL_PROGRAM_FILES) +
                  NotInstalled + L"\r\n【INFO】-- End --\r\n",
              Log());
    // A desktop named with a character code page 932 lacks gets the same log; its path line shows "?".
    const std::wstring usual = Log(), line = L"DeskTop-Path : " + ShellFolder(CSIDL_DESKTOPDIRECTORY);
    const cTempFolder temp;
    const cAtEnd moved = DesktopAt(temp / L"𠮷田\\Desktop");
    m_form.emplace();
    Open();
    ::SendMessageW(m_form->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(usual.substr(0, usual.find(line)) +
                  strconv::ToWide(Sjis(L"DeskTop-Path : " + temp / L"𠮷田\\Desktop"), 932) +
                  usual.substr(usual.find(line) + line.size()),
              Log());
}

TEST_F(MainFormTest, LaysOutFromTwipsAtTheScreensDpiOrTheOneGiven)
{
    for (const int dpi : {0, 144})
    {
        m_form.emplace();
        ASSERT_TRUE(m_form->Create(SW_HIDE, false, dpi));
        const double scale = (dpi ? dpi : cScreenDC().Dpi()) / 96.0;
        RECT client{};
        ::GetClientRect(m_form->Hwnd(), &client);
        EXPECT_NEAR(473 * scale, client.right, 1);
        EXPECT_NEAR(313 * scale, client.bottom, 1);
        // In tab order: class and place at 96 DPI (left, top, right, bottom).
        // clang-format off
        const std::pair<std::wstring, RECT> controls[] = {{L"Edit", {16, 124, 455, 297}}, {L"Static", {18, 16, 361, 117}},
            {L"Button", {374, 12, 457, 49}}, {L"Button", {374, 56, 457, 93}}, {L"Button", {376, 100, 453, 118}}};
        // clang-format on
        HWND child = ::GetWindow(m_form->Hwnd(), GW_CHILD);
        for (const auto& [cls, at96] : controls)
        {
            wchar_t name[16] = {};
            ::GetClassNameW(child, name, 16);
            RECT r{};
            ::GetWindowRect(child, &r);
            ::MapWindowPoints(nullptr, m_form->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
            LOGFONTW font{};
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font,
                         &font);
            EXPECT_EQ(cls + L"|メイリオ|400|128", Joined(std::wstring(name), std::wstring(font.lfFaceName),
                                                         font.lfWeight, font.lfCharSet));
            EXPECT_NEAR(-12 * scale, font.lfHeight, 0.5) << name;
            const LONG got[] = {r.left, r.top, r.right, r.bottom},
                       want[] = {at96.left, at96.top, at96.right, at96.bottom};
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR(want[i] * scale, got[i], 1)
                    << name << " edge " << i << " at " << scale * 96 << " DPI";
            child = ::GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_TRUE(::GetWindowLongW(m_form->Text1(), GWL_STYLE) & ES_READONLY);
    }
}

TEST_F(MainFormTest, ReportsStackTheForceBoxSwitchesResetAndAMissingEditionClearsTheBox)
{
    cTestPc::InstallBoth(L"old\\");
    Open();
    const std::wstring first = Report();
    EXPECT_EQ(L"　「再設定」ボタンをクリックしてください。", Last(L"　"));
    Press(m_form->Command1());
    EXPECT_EQ(first + L"\r\n" + first + L"|on", ReportAndReset());
    const std::wstring entry = L"【INFO】" + first + L"\r\n";
    EXPECT_NE(Log().find(entry), Log().rfind(entry)) << "each report is logged whole";
    // Ticking enables 「再設定」 and logs nothing; unticking checks again without touching the box.
    const std::wstring before = Log();
    Press(m_form->Check1());
    EXPECT_EQ(before, Log());
    cTestPc::InstallBoth(L"common\\");
    Press(m_form->Check1());
    EXPECT_EQ(first + L"\r\n" + first + L"|off", ReportAndReset());
    EXPECT_EQ(L"　再設定の必要はありません\r\n", Log().substr(Log().rfind(L"　")));
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA");
    Press(m_form->Command1());
    EXPECT_EQ(NotInstalled + L"|off", ReportAndReset());
    EXPECT_EQ(L"【INFO】" + NotInstalled + L"\r\n", Log().substr(Log().rfind(L"【INFO】")));
    Press(m_form->Check1());
    EXPECT_EQ(NotInstalled + L"|on", ReportAndReset()) << "forced even without the edition";
    Press(m_form->Command2());
    EXPECT_EQ(NotInstalled + Changing + L"|" + WindowText(m_form->Hwnd()) + L"|" + Done + L"|64",
              Report() + L"|" + m_form->Boxes.at(0));
}

// Nothing to register, even forced: a folder where a file belongs, or no Program Files folder at all.
TEST_F(MainFormTest, AFolderWhereAFileBelongsOrNoProgramFilesFolderGivesNothingToRegister)
{
    cTestPc::InstallBoth(L"old\\");
    cTestPc::Register(LookupLibrary.ClassId, cTestPc::ProductFolder() + L"common\\lexgrid4b.dll");
    ASSERT_TRUE(fs::remove(cTestPc::ExpectedControl()) && fs::create_directory(cTestPc::ExpectedControl()));
    for (const bool programFiles : {true, false})
    {
        m_form.emplace();
        m_form->NoProgramFiles = !programFiles;
        Open();
        EXPECT_EQ(L"・このＰＣでは再設定の必要はありません。|off",
                  Last(L"・このＰＣ") + ReportAndReset().substr(Report().size()));
        Press(m_form->Check1());
        Press(m_form->Command2());
        EXPECT_EQ(Changing + (programFiles ? L"\r\n・lexgrid4b.dll → " + Done : L"") + L"|" +
                      cTestPc::ProductFolder() + L"old\\plotwing2.ocx",
                  Last(Changing) + L"|" + cTestPc::Registered(MapControl.ClassId));
    }
    // The window stays open after its repair: another program gets the lock at once.
    cRepairLock::eState other = cRepairLock::eState::Unavailable;
    std::thread([&other] { other = cRepairLock(nullptr, 0).State(); }).join();
    EXPECT_EQ(cRepairLock::eState::Held, other) << "the lock outlived the repair";
    // A failure inside either procedure ends it in its warning; nothing more is shown.
    const std::wstring shown = Report();
    m_form->Fail = true;
    Press(m_form->Command1());
    Press(m_form->Command2());
    EXPECT_EQ(shown + L"|1", Report() + L"|" + std::to_wstring(m_form->Boxes.size()));
    for (const std::wstring procedure : {L"CheckComponent", L"ChangeRegistry"})
        EXPECT_NE(std::wstring::npos,
                  Log().find(L"【WARN】" + procedure +
                             L"\r\n【Err.Number】53\r\n【Err.Description】説明\r\n【Err.Source】Test\r\n"));
}

// Each failed registration says why. While regsvr32 hangs the pointer is the wait cursor and the thread reads
// its queue as a modal loop does; a close sent then (as Task Manager's End task does) comes after the
// outcome.
TEST_F(MainFormTest, FailedRegistrationsGiveTheirReasonsAndAHangingOneOnlyDefersAClose)
{
    cTestPc::InstallBoth(L"old\\");
    // The control's expected file is a server of the other class id; the lookup's never ends registering.
    cTestPc::Place(L"fixture_lookup.dll", cTestPc::ExpectedControl());
    cTestPc::Place(L"fixture_hang.dll", cTestPc::ProductFolder() + L"common\\lexgrid4b.dll");
    Open();
    const std::wstring before = Log(), shown = Report();
    const HWND window = m_form->Hwnd(), box = m_form->Text1();
    DWORD_PTR selected = 0;
    bool closedEarly = true;
    LRESULT forced = BST_CHECKED;
    std::thread user([&] {
        ::Sleep(5000); // into the lookup's wait
        ::PostMessageW(box, EM_SETSEL, 0, 3);
        // Keys and clicks posted to the controls meanwhile are dropped: none moves the selection, presses
        // 「チェック」 (a check would log) or ticks 「強制設定」.
        for (const auto& [control, key] : {std::pair{box, VK_END}, {m_form->Check1(), VK_SPACE}})
            ::PostMessageW(control, WM_KEYDOWN, key, 1), ::PostMessageW(control, WM_KEYUP, key, 0xC0000001);
        for (const HWND control : {box, m_form->Command1()})
            ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2)),
                ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        ::Sleep(300);
        ::SendMessageTimeoutW(m_form->Check1(), BM_GETCHECK, 0, 0, SMTO_BLOCK, 3000,
                              reinterpret_cast<DWORD_PTR*>(&forced));
        ::SendMessageTimeoutW(box, EM_GETSEL, 0, 0, SMTO_BLOCK, 3000, &selected);
        ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_BLOCK, 3000, nullptr);
        closedEarly = !::IsWindow(window);
    });
    m_form->Command2_Click();
    user.join();
    EXPECT_EQ(static_cast<DWORD_PTR>(MAKELONG(0, 3)), selected)
        << "the queue was not read, or input reached it";
    EXPECT_EQ(BST_UNCHECKED, forced);
    EXPECT_TRUE(!closedEarly && !::IsWindow(window)) << "closed in the middle, or the close was lost";
    EXPECT_TRUE(m_form->Pointer == ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)) &&
                ::GetCursor() != m_form->Pointer)
        << "the wait cursor while regsvr32 runs, and then not";
    // The two lookups, the section, the check after it for the result kept (not shown: the lookup now at the
    // control's file), and the end; no message box.
    const std::wstring lookups = L"【INFO】CLSID : " + std::wstring(MapControl.ClassId) + L" : " +
                                 cTestPc::ProductFolder() + L"old\\plotwing2.ocx\r\n【INFO】CLSID : " +
                                 LookupLibrary.ClassId + L" : " +
                                 cPathForm::Short(cTestPc::ExpectedControl()) + L"\r\n";
    std::wstring now = shown;
    now.replace(now.find(L"old\\lexgrid4b.dll"), 17, L"common\\plotwing2.ocx");
    EXPECT_EQ(lookups + L"【INFO】" + shown + Changing + L"\r\n・plotwing2.ocx → " + Failed +
                  L"\r\nregsvr32.exe は正常に終了しましたが、参照位置が変わっていません（現在の参照位置：" +
                  cTestPc::ProductFolder() + L"old\\plotwing2.ocx）\r\n・lexgrid4b.dll → " + Failed +
                  L"\r\nregsvr32.exe が30秒以内に終了しませんでした\r\n" + lookups + L"【INFO】" + now +
                  L"\r\n【INFO】-- End --\r\n|0",
              Log().substr(before.size()) + L"|" + std::to_wstring(m_form->Boxes.size()));
}

// Every user is read off the window's thread: the window answers meanwhile, takes no input, and a close sent
// then comes after the report is in the box and the log.
TEST_F(MainFormTest, EveryUserIsReadWhileTheWindowAnswersAndACloseMeanwhileComesAfterTheReport)
{
    cTestPc::InstallBoth(L"old\\");
    Open();
    const std::wstring shown = Report(), before = Log();
    m_form->SlowUsersMs = 2500;
    const HWND window = m_form->Hwnd();
    int answered = 0;
    bool closedEarly = true;
    std::thread user([&] {
        ::Sleep(300);
        for (int i = 0; i < 10; ++i, ::Sleep(100))
            answered += ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 500, nullptr) != 0;
        ::PostMessageW(m_form->Command1(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        ::PostMessageW(m_form->Command1(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_BLOCK, 3000, nullptr);
        closedEarly = !::IsWindow(window);
    });
    m_form->Command1_Click();
    user.join();
    EXPECT_EQ(L"10|0|0", Joined(answered, closedEarly, ::IsWindow(window)))
        << "answered within 500 ms each time, closed once the report was in, not before";
    EXPECT_EQ(L"【INFO】" + shown + L"\r\n【INFO】-- End --\r\n",
              Log().substr(Log().rfind(L"【INFO】" + shown)))
        << "one check, logged whole from the window's thread, and no second one from the click";
}

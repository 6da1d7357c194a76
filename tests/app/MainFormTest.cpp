#include "app/MainForm.h"
#include "app/cComponent.h"
#include "sys/cAppError.h"
#include "sys/cPathForm.h"
#include "sys/cScreenDC.h"
#include "tests/support/TestPc.h"

namespace
{
const std::wstring NotInstalled = L"・このＰＣにはカルトリアＷ３がインストールされていません。";
const std::wstring Done = L"レジストリ参照位置変更に成功しました。",
                   Failed = L"レジストリ参照位置変更に失敗しました。";
const std::wstring Changing = L"\r\n\r\n<< レジストリ変更中 >>";

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
    std::wstring GetRegisteredPath(const std::wstring& id) override
    {
        return Fail ? throw cAppError(53, L"説明", L"Test") : MainForm::GetRegisteredPath(id);
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
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール Ver.2（カルトリアＷ３）|チェック|再設定|強制設定",
              WindowText(m_form->Hwnd()) + L"|" + WindowText(m_form->Command1()) + L"|" +
                  WindowText(m_form->Command2()) + L"|" + WindowText(m_form->Check1()));
    EXPECT_EQ(
        L"Zelvioで使用するシステムファイルのレジストリ参照位置を再設定します。\r\nZelvioを起動している場合は"
        L"終了してください。\r\n再設定は管理者権限のあるユーザーで行ってください。",
        WindowText(m_form->Label1()));
    EXPECT_EQ(NotInstalled + L"|off", ReportAndReset());
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
    const cDesktopAt moved(temp / L"𠮷田\\Desktop");
    fs::remove(cTestPc::LogPath());
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
        const std::pair<std::wstring, RECT> controls[] = {{L"Edit", {16, 124, 455, 297}},
                                                          {L"Static", {18, 16, 361, 117}},
                                                          {L"Button", {374, 12, 457, 49}},
                                                          {L"Button", {374, 56, 457, 93}},
                                                          {L"Button", {376, 100, 453, 118}}};
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
            EXPECT_EQ(cls + L"|メイリオ|400|128", name + (L"|" + std::wstring(font.lfFaceName)) + L"|" +
                                                      std::to_wstring(font.lfWeight) + L"|" +
                                                      std::to_wstring(font.lfCharSet));
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

TEST_F(MainFormTest, AFolderWhereAComponentsFileBelongsIsMissingAndNeverRegistered)
{
    cTestPc::InstallBoth(L"old\\");
    cTestPc::Register(LookupLibrary.ClassId, cTestPc::ProductFolder() + L"common\\lexgrid4b.dll");
    ASSERT_TRUE(fs::remove(cTestPc::ExpectedControl()) && fs::create_directory(cTestPc::ExpectedControl()));
    Open();
    EXPECT_EQ(L"・このＰＣでは再設定の必要はありません。|off",
              Last(L"・このＰＣ") + ReportAndReset().substr(Report().size()));
    Press(m_form->Check1());
    Press(m_form->Command2());
    EXPECT_EQ(Changing + L"\r\n・lexgrid4b.dll → " + Done, Last(Changing)) << "forced, the folder is skipped";
}

TEST_F(MainFormTest, WithoutAProgramFilesFolderNothingIsExpectedAndNothingRegisteredEvenForced)
{
    cTestPc::InstallBoth(L"old\\");
    m_form->NoProgramFiles = true;
    Open();
    EXPECT_EQ(L"・このＰＣでは再設定の必要はありません。", Last(L"・このＰＣ"));
    Press(m_form->Check1());
    Press(m_form->Command2());
    EXPECT_EQ(Changing + L"|" + cTestPc::ProductFolder() + L"old\\plotwing2.ocx",
              Last(Changing) + L"|" + cTestPc::Registered(MapControl.ClassId));
}

TEST_F(MainFormTest, RepairRegistersBothAtTheirShortFormsAndTheNextCheckFindsThePcSetUp)
{
    cTestPc::InstallBoth(L"old\\");
    Open();
    const std::wstring before = Report();
    Press(m_form->Command2());
    EXPECT_EQ(before + Changing + L"\r\n・plotwing2.ocx → " + Done + L"\r\n・lexgrid4b.dll → " + Done,
              Report());
    EXPECT_EQ(std::vector<std::wstring>{WindowText(m_form->Hwnd()) + L"|" + Done + L"|64"}, m_form->Boxes)
        << "MB_OK with the information icon";
    EXPECT_EQ(L"【INFO】" + Report() + L"\r\n", Log().substr(Log().rfind(L"【INFO】-")));
    EXPECT_EQ(cPathForm::Short(cTestPc::ExpectedControl()) + L"|" +
                  cPathForm::Short(cTestPc::ProductFolder() + L"common\\lexgrid4b.dll"),
              cTestPc::Registered(MapControl.ClassId) + L"|" + cTestPc::Registered(LookupLibrary.ClassId));
    Press(m_form->Command1());
    EXPECT_EQ(L"　再設定の必要はありません", Last(L"　"));
    // Forced, the correct registrations are made again.
    Press(m_form->Check1());
    Press(m_form->Command2());
    EXPECT_EQ(Changing + L"\r\n・plotwing2.ocx → " + Done + L"\r\n・lexgrid4b.dll → " + Done, Last(Changing));
}

TEST_F(MainFormTest, FailedRegistrationsGiveTheirReasonsAndTheBoxSaysSo)
{
    cTestPc::InstallBoth(L"old\\");
    // The control's expected file is a server of the other class id; the lookup's never ends registering.
    cTestPc::Place(L"fixture_lookup.dll", cTestPc::ExpectedControl());
    cTestPc::Place(L"fixture_hang.dll", cTestPc::ProductFolder() + L"common\\lexgrid4b.dll");
    Open();
    const std::wstring before = Log();
    Press(m_form->Command2());
    EXPECT_EQ(Changing + L"\r\n・plotwing2.ocx → " + Failed +
                  L"\r\nregsvr32.exe は正常に終了しましたが、参照位置が" +
                  L"変わっていません（現在の参照位置：" + cTestPc::ProductFolder() +
                  L"old\\plotwing2.ocx）\r\n・" + L"lexgrid4b.dll → " + Failed +
                  L"\r\nregsvr32.exe が30秒以内に終了しませんでした",
              Last(Changing));
    EXPECT_TRUE(::IsWindowEnabled(m_form->Hwnd())) << "left closed to input after the wait";
    EXPECT_EQ(std::vector<std::wstring>{WindowText(m_form->Hwnd()) + L"|" + Failed + L"|16"}, m_form->Boxes)
        << "MB_OK with the error icon";
    // The two lookups and the section, nothing of the readings after regsvr32.
    EXPECT_EQ(L"【INFO】CLSID : " + std::wstring(MapControl.ClassId) + L" : " + cTestPc::ProductFolder() +
                  L"old\\plotwing2.ocx\r\n【INFO】CLSID : " + LookupLibrary.ClassId + L" : " +
                  cPathForm::Short(cTestPc::ExpectedControl()) + L"\r\n【INFO】" + Report() + L"\r\n",
              Log().substr(before.size()));
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

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

// The tool's window, whose registry lookup a test can make fail to see the procedures end in their warnings,
// and whose message boxes are recorded (title|text|type) instead of waiting for a click.
struct cForm : MainForm
{
    cForm() : MainForm(::GetModuleHandleW(nullptr)) {}
    bool Fail = false;
    std::vector<std::wstring> Boxes;
    void ShowMessage(const std::wstring& text, const std::wstring& title, UINT type) override
    {
        Boxes.push_back(title + L"|" + text + L"|" + std::to_wstring(type));
    }
    std::wstring GetRegisteredPath(const std::wstring& classId) override
    {
        return Fail ? throw cAppError(53, L"ファイルが見つかりません。", L"Test")
                    : MainForm::GetRegisteredPath(classId);
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
    void Close() { ::SendMessageW(m_form->Hwnd(), WM_CLOSE, 0, 0); }
    std::wstring Report() const { return WindowText(m_form->Text1()); }
    std::wstring Last(const std::wstring& from) const { return Report().substr(Report().rfind(from)); }
    bool ResetEnabled() const { return ::IsWindowEnabled(m_form->Command2()) != FALSE; }
    static void Press(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }
    // The log's lines, each entry without its "yyyy/mm/dd hh:nn:ss" stamp.
    static std::vector<std::wstring> LogLines()
    {
        std::vector<std::wstring> lines;
        std::wistringstream log(cTestPc::Log());
        for (std::wstring line; std::getline(log, line);)
        {
            const size_t start = line.size() > 19 && line[4] == L'/' ? 19 : 0;
            lines.push_back(line.substr(start, line.size() - 1 - start)); // without its CR
        }
        return lines;
    }
    // W3 installed and both files in place, each registered at an older copy or where it belongs.
    static void InstallBoth(const std::wstring& registeredIn)
    {
        cTestPc::InstallW3();
        for (const auto& [fixture, c] :
             {std::pair{L"fixture_control.dll", MapControl}, {L"fixture_lookup.dll", LookupLibrary}})
            for (const std::wstring folder : {L"common\\", registeredIn.c_str()})
            {
                cTestPc::Place(fixture, cTestPc::ProductFolder() + folder + c.Name);
                cTestPc::Register(c.ClassId, cTestPc::ProductFolder() + folder + c.Name);
            }
    }

    cTestPc m_pc;
    std::optional<cForm> m_form;
};

TEST_F(MainFormTest, StartUpShowsTheWindowAndLogsBannerFoldersAndReportAndCloseLogsTheEnd)
{
    Open();
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール Ver.2（カルトリアＷ３）|チェック|再設定|強制設定",
              WindowText(m_form->Hwnd()) + L"|" + WindowText(m_form->Command1()) + L"|" +
                  WindowText(m_form->Command2()) + L"|" + WindowText(m_form->Check1()));
    EXPECT_EQ(L"Zelvioで使用するシステムファイルのレジストリ参照位置を再設定します。\r\nZelvioを起動している"
              L"場合は終了"
              L"してください。\r\n再設定は管理者権限のあるユーザーで行ってください。",
              WindowText(m_form->Label1()));
    EXPECT_EQ(NotInstalled + L"|disabled", Report() + (ResetEnabled() ? L"|enabled" : L"|disabled"));
    Close();
    const auto folder = [](int csidl) { return ShellFolder(csidl) + L"\\"; };
    EXPECT_EQ(
        (std::vector<std::wstring>{L"【INFO】-- Start --", L"【INFO】Application-Path : " + TestFolder(),
                                   L"【INFO】DeskTop-Path : " + folder(CSIDL_DESKTOPDIRECTORY),
                                   L"【INFO】System-Path : " + folder(CSIDL_SYSTEM),
                                   L"【INFO】Program Files-Path : " + folder(CSIDL_PROGRAM_FILES),
                                   L"【INFO】" + NotInstalled, L"【INFO】-- End --"}),
        LogLines());
}

// At the screen's DPI: 96 here, and 144 in a child run of this program, as a process reads it once.
TEST_F(MainFormTest, LaysOutFromTwipsAtTheScreensDpi)
{
    Open();
    const double scale = cScreenDC().Dpi() / 96.0;
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
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(cls + L"|メイリオ|400|128", name + (L"|" + std::wstring(font.lfFaceName)) + L"|" +
                                                  std::to_wstring(font.lfWeight) + L"|" +
                                                  std::to_wstring(font.lfCharSet));
        EXPECT_NEAR(-12 * scale, font.lfHeight, 0.5) << name;
        for (const auto& [got, want] : {std::pair{r.left, at96.left},
                                        {r.top, at96.top},
                                        {r.right, at96.right},
                                        {r.bottom, at96.bottom}})
            EXPECT_NEAR(want * scale, got, 1) << name;
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_TRUE(::GetWindowLongW(m_form->Text1(), GWL_STYLE) & ES_READONLY);
    if (scale != 1)
        return;
    const cSavedValue logPixels(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    const DWORD dpi144 = 144;
    ASSERT_TRUE(logPixels.Set(REG_DWORD, &dpi144, sizeof dpi144));
    EXPECT_EQ(0, RunProgram(L"\"" + TestFolder() +
                            L"p2f_tests.exe\" --gtest_filter=MainFormTest.LaysOutFromTwipsAtTheScreensDpi"))
        << "the layout at 144 DPI is off: run this test with LogPixels 144 to see which figure";
}

TEST_F(MainFormTest, ReportsStackTheForceBoxSwitchesResetAndAMissingEditionClearsTheBox)
{
    InstallBoth(L"old\\");
    Open();
    const std::wstring first = Report();
    EXPECT_EQ(L"　「再設定」ボタンをクリックしてください。", Last(L"　"));
    EXPECT_TRUE(ResetEnabled());
    Press(m_form->Command1());
    EXPECT_EQ(first + L"\r\n" + first, Report());
    const std::wstring entry = L"【INFO】" + first + L"\r\n";
    EXPECT_NE(cTestPc::Log().find(entry), cTestPc::Log().rfind(entry)) << "each report is logged whole";
    // Ticking enables 「再設定」 and logs nothing; unticking checks again without touching the box.
    const std::vector<std::wstring> before = LogLines();
    Press(m_form->Check1());
    EXPECT_TRUE(ResetEnabled());
    EXPECT_EQ(before, LogLines());
    InstallBoth(L"common\\");
    Press(m_form->Check1());
    EXPECT_EQ(first + L"\r\n" + first + L"|disabled",
              Report() + (ResetEnabled() ? L"|enabled" : L"|disabled"));
    EXPECT_EQ(L"　再設定の必要はありません", LogLines().back());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA");
    Press(m_form->Command1());
    EXPECT_EQ(NotInstalled + L"|disabled", Report() + (ResetEnabled() ? L"|enabled" : L"|disabled"));
    EXPECT_EQ(L"【INFO】" + NotInstalled, LogLines().back());
    Press(m_form->Check1());
    EXPECT_TRUE(ResetEnabled()) << "forced even without the edition";
}

TEST_F(MainFormTest, RepairRegistersBothAtTheirShortFormsAndTheNextCheckFindsThePcSetUp)
{
    InstallBoth(L"old\\");
    Open();
    const std::wstring before = Report();
    Press(m_form->Command2());
    EXPECT_EQ(before + Changing + L"\r\n・plotwing2.ocx → " + Done + L"\r\n・lexgrid4b.dll → " + Done,
              Report());
    EXPECT_EQ(std::vector<std::wstring>{WindowText(m_form->Hwnd()) + L"|" + Done + L"|64"}, m_form->Boxes)
        << "MB_OK with the information icon";
    EXPECT_EQ(L"【INFO】" + Report() + L"\r\n", cTestPc::Log().substr(cTestPc::Log().rfind(L"【INFO】-")));
    EXPECT_EQ(cPathForm::Short(cTestPc::ExpectedControl()) + L"|" +
                  cPathForm::Short((cTestPc::ProductFolder() + L"common\\lexgrid4b.dll")),
              cTestPc::Registered(MapControl.ClassId) + L"|" + cTestPc::Registered(LookupLibrary.ClassId));
    Press(m_form->Command1());
    EXPECT_EQ(L"　再設定の必要はありません", Last(L"　"));
    // Forced, the correct registrations are made again and again come out right.
    Press(m_form->Check1());
    Press(m_form->Command2());
    EXPECT_EQ(Changing + L"\r\n・plotwing2.ocx → " + Done + L"\r\n・lexgrid4b.dll → " + Done, Last(Changing));
}

TEST_F(MainFormTest, FailedRegistrationsGiveTheirReasonsAndTheBoxSaysSo)
{
    InstallBoth(L"old\\");
    // The control's file fails to register; the lookup's expected file is a server of the other class id.
    cTestPc::Place(L"fixture_fail.dll", cTestPc::ExpectedControl());
    cTestPc::Place(L"fixture_control.dll", (cTestPc::ProductFolder() + L"common\\lexgrid4b.dll"));
    Open();
    const size_t entries = LogLines().size();
    Press(m_form->Command2());
    EXPECT_EQ(Changing + L"\r\n・plotwing2.ocx → " + Failed +
                  L"\r\nregsvr32.exe がエラーで終了しました（終了コード 5）\r\n・" + L"lexgrid4b.dll → " +
                  Failed + L"\r\nregsvr32.exe は正常に終了しましたが、参照位置が変わっていません" +
                  L"（現在の参照位置：" + cTestPc::ProductFolder() + L"old\\lexgrid4b.dll）",
              Last(Changing));
    EXPECT_EQ(std::vector<std::wstring>{WindowText(m_form->Hwnd()) + L"|" + Failed + L"|16"}, m_form->Boxes)
        << "MB_OK with the error icon";
    // The two lookups and the section: the reading after regsvr32 logs nothing of its own.
    const std::vector<std::wstring> lines = LogLines();
    ASSERT_LT(entries, lines.size());
    EXPECT_EQ(L"【INFO】CLSID : " + std::wstring(MapControl.ClassId) + L" : " + cTestPc::ProductFolder() +
                  L"old\\plotwing2.ocx",
              lines[entries]);
    EXPECT_EQ(3, std::count_if(lines.begin() + static_cast<long>(entries), lines.end(),
                               [](const std::wstring& line) { return line.rfind(L"【", 0) == 0; }));
    EXPECT_EQ(L"【INFO】" + Report() + L"\r\n", cTestPc::Log().substr(cTestPc::Log().rfind(L"【INFO】-")));
}

TEST_F(MainFormTest, HangingRegistrationTimesOutAndTheWindowTakesInputAgain)
{
    cTestPc::InstallW3();
    cTestPc::Place(L"fixture_hang.dll", cTestPc::ExpectedControl());
    Open();
    Press(m_form->Command2());
    EXPECT_EQ(Changing + L"\r\n・plotwing2.ocx → " + Failed +
                  L"\r\nregsvr32.exe が30秒以内に終了しませんでした",
              Last(Changing));
    EXPECT_TRUE(::IsWindowEnabled(m_form->Hwnd()));
}

TEST_F(MainFormTest, FailuresEndTheProceduresInTheirWarningsShowingNothing)
{
    InstallBoth(L"old\\");
    Open();
    const std::wstring before = Report();
    m_form->Fail = true;
    Press(m_form->Command1());
    Press(m_form->Command2());
    EXPECT_EQ(before, Report());
    EXPECT_TRUE(m_form->Boxes.empty());
    for (const std::wstring procedure : {L"CheckComponent", L"ChangeRegistry"})
        EXPECT_NE(std::wstring::npos,
                  cTestPc::Log().find(L"【WARN】" + procedure +
                                      L"\r\n【Err.Number】53\r\n【Err.Description】"
                                      L"ファイルが見つかりません。\r\n【Err.Source】Test\r\n"));
}

TEST_F(MainFormTest, WithoutADesktopNoLogIsWrittenAnywhere)
{
    const cTempFolder temp;
    const std::wstring missing = temp / L"no-desktop",
                       explorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    const cSavedValue user(HKEY_CURRENT_USER, explorer + L"User Shell Folders", L"Desktop");
    const cSavedValue shell(HKEY_CURRENT_USER, explorer + L"Shell Folders", L"Desktop");
    const auto size = static_cast<DWORD>((missing.size() + 1) * sizeof(wchar_t));
    ASSERT_TRUE(user.Set(REG_SZ, missing.c_str(), size) && shell.Set(REG_SZ, missing.c_str(), size));
    Open();
    Close();
    EXPECT_FALSE(fs::exists(missing + L"\\plwg2reg200.log"));
    EXPECT_FALSE(fs::exists(L"\\plwg2reg200.log")) << "an empty desktop put the log in the drive's root";
}

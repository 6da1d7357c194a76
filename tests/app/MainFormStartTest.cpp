#include "tests/app/MainFormTestBase.h"
#include "res/resource.h"
#include <shlobj.h>

namespace
{
std::wstring WithBackslash(const std::wstring& folder)
{
    return folder.empty() || folder.back() != L'\\' ? folder + L"\\" : folder;
}

// The log's lines without their "yyyy/mm/dd hh:nn:ss" stamps (entries only; continuation lines kept).
std::vector<std::wstring> LogMessages()
{
    std::vector<std::wstring> lines;
    for (const std::string& line : SplitCrLf(cTestPc::ReadLog()))
    {
        const std::wstring text = strconv::ToWide(line, 932);
        lines.push_back(text.size() >= 19 && text[4] == L'/' && text[13] == L':' ? text.substr(19) : text);
    }
    return lines;
}
} // namespace

class MainFormStartTest : public MainFormTestBase
{
};

TEST_F(MainFormStartTest, LogOnTheDesktopStartsWithBannerAndFourFoldersAndEndsWithEndBanner)
{
    Open();
    EXPECT_EQ(cTestPc::ExpectedControl(), m_form->ExpectedControlPath());
    EXPECT_EQ(cTestPc::ExpectedLookup(), m_form->ExpectedLookupPath());
    Close();
    // The name comes from the version block: exactly one plwg2reg200.log, no doubled backslash.
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\plwg2reg*.log").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_STREQ(L"plwg2reg200.log", data.cFileName);
    EXPECT_FALSE(::FindNextFileW(find, &data));
    ::FindClose(find);
    const std::vector<std::wstring> lines = LogMessages();
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(L"【INFO】-- Start --", lines[0]);
    EXPECT_EQ(L"【INFO】Application-Path : " + TestProgramFolder(), lines[1]);
    EXPECT_EQ(L"【INFO】DeskTop-Path : " + WithBackslash(ShellFolder(CSIDL_DESKTOPDIRECTORY)), lines[2]);
    EXPECT_EQ(L"【INFO】System-Path : " + WithBackslash(ShellFolder(CSIDL_SYSTEM)), lines[3]);
    EXPECT_EQ(L"【INFO】Program Files-Path : " + WithBackslash(ShellFolder(CSIDL_PROGRAM_FILES)), lines[4]);
    EXPECT_EQ(std::wstring(L"【INFO】") + NotInstalled, lines[5]);
    EXPECT_EQ(L"【INFO】-- End --", lines.back());
}

TEST_F(MainFormStartTest, WindowShowsTitleInstructionsAndCaptions)
{
    Open();
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール Ver.2（カルトリアＷ３）",
              cWindowDriver::Text(m_form->Hwnd()));
    EXPECT_EQ(L"Zelvioで使用するシステムファイルのレジストリ参照位置を再設定します。\r\n"
              L"Zelvioを起動している場合は終了してください。\r\n"
              L"再設定は管理者権限のあるユーザーで行ってください。",
              cWindowDriver::Text(m_form->Label1()));
    EXPECT_EQ(L"チェック", cWindowDriver::Text(m_form->Command1()));
    EXPECT_EQ(L"再設定", cWindowDriver::Text(m_form->Command2()));
    EXPECT_EQ(L"強制設定", cWindowDriver::Text(m_form->Check1()));
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(m_form->Check1(), BM_GETCHECK, 0, 0));
    // Typing into the report would be logged and kept: the box is read-only.
    EXPECT_TRUE(::GetWindowLongW(m_form->Text1(), GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(::GetWindowLongW(m_form->Text1(), GWL_STYLE) & WS_VSCROLL);
}

TEST_F(MainFormStartTest, ControlsFollowTabOrderWithTheirClassesPlacesAndFontAt96Dpi)
{
    Open();
    RECT client{};
    ::GetClientRect(m_form->Hwnd(), &client);
    EXPECT_EQ(473, client.right);
    EXPECT_EQ(313, client.bottom);

    struct Expected
    {
        int Id;
        const wchar_t* Class;
        RECT Rect;
    };
    const Expected expected[] = {{IDC_TEXT1, L"Edit", {16, 124, 16 + 439, 124 + 173}},
                                 {IDC_LABEL1, L"Static", {18, 16, 18 + 343, 16 + 101}},
                                 {IDC_COMMAND1, L"Button", {374, 12, 374 + 83, 12 + 37}},
                                 {IDC_COMMAND2, L"Button", {374, 56, 374 + 83, 56 + 37}},
                                 {IDC_CHECK1, L"Button", {376, 100, 376 + 77, 100 + 18}}};
    HWND child = ::GetWindow(m_form->Hwnd(), GW_CHILD);
    for (const Expected& e : expected)
    {
        SCOPED_TRACE(e.Id);
        ASSERT_NE(nullptr, child);
        EXPECT_EQ(e.Id, ::GetDlgCtrlID(child));
        wchar_t cls[32] = {};
        ::GetClassNameW(child, cls, 32);
        EXPECT_EQ(0, ::lstrcmpiW(e.Class, cls));
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, m_form->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(e.Rect.left, r.left);
        EXPECT_EQ(e.Rect.top, r.top);
        EXPECT_EQ(e.Rect.right, r.right);
        EXPECT_EQ(e.Rect.bottom, r.bottom);
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(L"メイリオ", font.lfFaceName);
        EXPECT_EQ(-12, font.lfHeight);
        EXPECT_EQ(FW_NORMAL, font.lfWeight);
        EXPECT_EQ(SHIFTJIS_CHARSET, font.lfCharSet);
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(BS_AUTOCHECKBOX, ::GetWindowLongW(m_form->Check1(), GWL_STYLE) & BS_TYPEMASK);
}

// The shipped executable, started as a user would, on the same PC.
TEST_F(MainFormStartTest, ShippedToolStartsReportsAndLogsItsOwnFolder)
{
    std::wstring command = L"\"" + ToolPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process));
    HWND window = cWindowDriver::FindToolWindow(process.dwProcessId, 20000);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(NotInstalled, cWindowDriver::Text(::GetDlgItem(window, IDC_TEXT1)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, IDC_COMMAND2)));
    EXPECT_TRUE(cWindowDriver::Close(window, 20000));
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);

    const std::vector<std::wstring> lines = LogMessages();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(L"【INFO】Application-Path : " + TestProgramFolder(), lines[1]);
    EXPECT_EQ(L"【INFO】-- End --", lines.back());
}

TEST_F(MainFormStartTest, VersionBlockNamesTheToolInJapanese)
{
    const std::wstring exe = ToolPath();
    DWORD ignored = 0;
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    auto text = [&block](const wchar_t* name) {
        void* data = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
        return ::VerQueryValueW(block.data(), path.c_str(), &data, &length)
                   ? std::wstring(static_cast<wchar_t*>(data))
                   : std::wstring(L"(none)");
    };
    EXPECT_EQ(L"2.00", text(L"FileVersion"));
    EXPECT_EQ(L"2.00", text(L"ProductVersion"));
    EXPECT_EQ(L"plotwing2fix", text(L"InternalName"));
    EXPECT_EQ(L"plotwing2fix.exe", text(L"OriginalFilename"));
    EXPECT_EQ(L"地図コンポーネントレジストリ再設定ツール（カルトリアＷ３）", text(L"ProductName"));
    void* data = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", &data, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
    EXPECT_EQ(MAKELONG(0, 2), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &data, &length));
    EXPECT_EQ(MAKELONG(0x0411, 1200), *static_cast<const DWORD*>(data));
}

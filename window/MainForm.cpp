#include "window/MainForm.h"
#include "repair/cResultJson.h"
#include "res/resource.h"
#include "security/cRunner.h"
#include "sys/cScreenDC.h"
#include "sys/StrConv.h"
#include "sys/WindowText.h"
#include <utility>

namespace
{
// Positions and sizes in twips: left, top, width, height.
struct TwipRect
{
    int Left, Top, Width, Height;
};
constexpr int ClientWidthTwips = 7095;
constexpr int ClientHeightTwips = 4695;
constexpr TwipRect Text1Rect{240, 1860, 6585, 2595};
constexpr TwipRect Label1Rect{270, 240, 5145, 1515};
constexpr TwipRect Command1Rect{5610, 180, 1245, 555};
constexpr TwipRect Command2Rect{5610, 840, 1245, 555};
constexpr TwipRect Check1Rect{5640, 1500, 1155, 270};

// The pointer shown while a re-registration runs.
HCURSOR WaitCursor()
{
    return ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)); // IDC_WAIT
}

constexpr DWORD FrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Posted by the check at start-up: its result is kept once the window is shown.
constexpr UINT KeepStartUpResult = WM_APP + 1;

} // namespace

MainForm::MainForm(HINSTANCE instance) : m_instance(instance) {}

MainForm::~MainForm()
{
    if (m_hwnd)
    {
        // The window must not call back into a destroyed object.
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hwnd);
    }
}

bool MainForm::Create(int showCommand, bool quitOnClose, int dpi)
{
    m_quitOnClose = quitOnClose;
    m_dpi = dpi > 0 ? dpi : cScreenDC().Dpi();
    const int iconBig = ::GetSystemMetrics(SM_CXICON);
    const int iconSmall = ::GetSystemMetrics(SM_CXSMICON);
    m_bigIcon.Reset(static_cast<HICON>(
        ::LoadImageW(m_instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, iconBig, iconBig, LR_DEFAULTCOLOR)));
    m_smallIcon.Reset(static_cast<HICON>(::LoadImageW(m_instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                                      iconSmall, iconSmall, LR_DEFAULTCOLOR)));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MainForm::WindowProc;
    wc.hInstance = m_instance;
    wc.hIcon = m_bigIcon.Get();
    wc.hIconSm = m_smallIcon.Get();
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = ClassName;
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!::GetClassInfoExW(m_instance, ClassName, &existing) && !::RegisterClassExW(&wc))
        return false;

    RECT frame{0, 0, Scale(ClientWidthTwips), Scale(ClientHeightTwips)};
    ::AdjustWindowRectEx(&frame, FrameStyle, FALSE, 0);
    if (!::CreateWindowExW(0, ClassName, Caption, FrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, m_instance,
                           this))
        return false;
    ::ShowWindow(m_hwnd, showCommand);
    ::UpdateWindow(m_hwnd);
    return true;
}

int MainForm::Scale(int twips) const
{
    return ::MulDiv(twips, m_dpi, 1440);
}

LRESULT CALLBACK MainForm::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
    {
        auto* self = static_cast<MainForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainForm*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    // Nothing may unwind into user32: i686 GCC uses DWARF unwinding, which cannot cross its frames.
    try
    {
        return self->HandleMessage(msg, wParam, lParam);
    }
    catch (const cAppError& e)
    {
        self->ReportError(e);
    }
    catch (const std::exception& e)
    {
        self->ReportError(cAppError(-1, strconv::ToWide(e.what(), CP_UTF8), L"MainForm"));
    }
    catch (...)
    {
        self->ReportError(cAppError(-1, L"unknown failure", L"MainForm"));
    }
    return msg == WM_CREATE ? -1 : 0;
}

LRESULT MainForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        // Task Manager's End task or a user's click while regsvr32 runs: the outcome is logged first.
        if (m_busy)
            m_closePending = true;
        else
            Close();
        return 0;
    case WM_QUERYENDSESSION:
        m_closePending = m_closePending || m_busy;
        return !m_busy;
    case WM_ENDSESSION:
        // The session ends without a WM_CLOSE: the end banner still goes to the log.
        if (wParam)
            Form_Unload();
        return 0;
    case WM_SETCURSOR:
        if (!m_busy)
            return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
        ::SetCursor(WaitCursor());
        return TRUE;
    case KeepStartUpResult:
        KeepCheck();
        return 0;
    case WM_DESTROY:
        if (m_quitOnClose)
            ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = std::exchange(m_hwnd, nullptr);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    default:
        return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

bool MainForm::OnCreate()
{
    CreateControls();
    // The window is still hidden here: it is first shown with the report already filled in.
    Form_Load();
    return true;
}

void MainForm::OnCommand(int id, int code)
{
    // While busy the window is disabled, but a click can still be posted to a button.
    if (code != BN_CLICKED || m_busy)
        return;
    switch (id)
    {
    case IDC_COMMAND1:
        Command1_Click();
        break;
    case IDC_COMMAND2:
        Command2_Click();
        break;
    case IDC_CHECK1:
        Check1_Click();
        break;
    default:
        break;
    }
}

void MainForm::ReportError(const cAppError& error)
{
    // Failures that reach a handler are logged once, here; the window goes on.
    Logger().WarnOut(L"MainForm", &error);
}

void MainForm::CreateControls()
{
    m_font.Reset(::CreateFontW(-::MulDiv(9, m_dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                               SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, L"メイリオ"));
    auto make = [this](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, const TwipRect& r,
                       int id) {
        HWND control = ::CreateWindowExW(
            exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, Scale(r.Left), Scale(r.Top), Scale(r.Width),
            Scale(r.Height), m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
        return control;
    };
    // Created in tab order. The report box is read-only: its text is read back and logged.
    m_text1 = make(WS_EX_CLIENTEDGE, L"EDIT", L"",
                   WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL,
                   Text1Rect, IDC_TEXT1);
    m_label1 = make(0, L"STATIC", L"", SS_LEFT, Label1Rect, IDC_LABEL1);
    m_command1 = make(0, L"BUTTON", L"チェック", WS_TABSTOP | BS_PUSHBUTTON, Command1Rect, IDC_COMMAND1);
    m_command2 = make(0, L"BUTTON", L"再設定", WS_TABSTOP | BS_PUSHBUTTON, Command2Rect, IDC_COMMAND2);
    m_check1 = make(0, L"BUTTON", L"強制設定", WS_TABSTOP | BS_AUTOCHECKBOX, Check1Rect, IDC_CHECK1);
    m_reportBox.Attach(m_text1);
    ::SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);
    // Reports stack up over a session; lift the edit control's default 32K limit.
    ::SendMessageW(m_text1, EM_SETLIMITTEXT, 0, 0);
}

void MainForm::Form_Load()
{
    Start();
    ::SetWindowTextW(m_label1, L"Zelvioで使用するシステムファイルのレジストリ参照位置を再設定します。\r\n"
                               L"Zelvioを起動している場合は終了してください。\r\n"
                               L"再設定は管理者権限のあるユーザーで行ってください。");
    Command1_Click();
    m_loaded = true;
}

void MainForm::Command1_Click()
{
    CheckComponent(true);
}

void MainForm::Command2_Click()
{
    ChangeRegistry(true);
}

void MainForm::Check1_Click()
{
    if (ForceTicked())
    {
        ::EnableWindow(m_command2, TRUE);
        return;
    }
    CheckComponent(false);
}

void MainForm::Form_Unload()
{
    Finish();
}

bool MainForm::ForceTicked() const
{
    return ::SendMessageW(m_check1, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

template <class Work>
auto MainForm::WhileBusy(Work work)
{
    m_busy = true;
    const HCURSOR previous = ::SetCursor(WaitCursor());
    auto result = work();
    ::SetCursor(previous);
    m_busy = false;
    return result;
}

void MainForm::CheckComponent(bool ShowReport)
{
    BeginCommand();
    // At start-up the window is not shown yet: the check runs before it is, as it always did. Later every
    // user is read while the window answers, as during a repair.
    const cCheckOutcome outcome = m_loaded ? WhileBusy([&] { return Check(m_reportBox, ShowReport, m_hwnd); })
                                           : Check(m_reportBox, ShowReport);
    if (!outcome.Failure)
        ::EnableWindow(m_command2, outcome.ResetEnabled);
    m_lastCheck = outcome;
    // Keeping it takes a few milliseconds more: at start-up the report is shown first.
    if (m_loaded)
        KeepCheck();
    else
        ::PostMessageW(m_hwnd, KeepStartUpResult, 0, 0);
    if (m_closePending)
        Close();
}

void MainForm::KeepCheck()
{
    KeepResult(cResultJson::Of({cRunResult::eCommand::WindowCheck, m_lastCheck, std::nullopt, std::nullopt,
                                m_lastCheck.Failure ? L"" : m_lastCheck.Report + L"\r\n"}),
               cRunner::IsElevated());
}

void MainForm::ShowMessage(const std::wstring& text, const std::wstring& title, UINT type)
{
    ::MessageBoxW(m_hwnd, text.c_str(), title.c_str(), type);
}

void MainForm::ChangeRegistry(bool ShowReport)
{
    const std::wstring before = m_reportBox.Text();
    const bool keeps = cRunner::IsElevated();
    cRunResult run{cRunResult::eCommand::WindowRepair, m_lastCheck, std::nullopt, std::nullopt, {}};
    const cRepairOutcome outcome = WhileBusy([&] {
        cRepairOutcome repaired = Repair(m_reportBox, ShowReport, ForceTicked(), m_hwnd);
        // The result kept says what the PC is like after it, as the console program's repair does; this
        // check's report goes to the log, not to the box.
        if (keeps)
            run.After = Check(m_reportBox, false, m_hwnd);
        return repaired;
    });
    run.Repair = outcome;
    const std::wstring section = outcome.Report ? outcome.Report->Text().substr(before.size()) : L"";
    run.Report = m_lastCheck.Report + section + L"\r\n" +
                 (run.After && !run.After->Failure ? run.After->Report + L"\r\n" : L"");
    KeepResult(cResultJson::Of(run), keeps);
    // A close asked for meanwhile comes now, after the outcome is in the box and the log; a message box
    // would only hold it up.
    if (m_closePending)
        return Close();
    if (outcome.Report)
        ShowMessage(outcome.Report->BoxText(), WindowText(m_hwnd), MB_OK | outcome.Report->BoxIcon());
}

void MainForm::Close()
{
    Form_Unload();
    ::DestroyWindow(m_hwnd);
}

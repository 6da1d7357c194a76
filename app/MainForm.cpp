#include "app/MainForm.h"
#include "app/cCheckReport.h"
#include "app/cComponent.h"
#include "app/cComponentLookup.h"
#include "app/cRegsvr32.h"
#include "app/cRepairReport.h"
#include "app/cStartup.h"
#include "catalogue/cCartoriaMapsRegister.h"
#include "log/mDebug.h"
#include "res/resource.h"
#include "sys/cApplication.h"
#include "sys/cPathForm.h"
#include "sys/cScreenDC.h"
#include "sys/mShlwVB.h"
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

constexpr DWORD FrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

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
        Form_Unload();
        ::DestroyWindow(m_hwnd);
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
    if (code != BN_CLICKED)
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

cLogger& MainForm::Logger()
{
    if (!m_logger)
        m_logger = std::make_unique<cLogger>();
    return *m_logger;
}

cSpecialFolder& MainForm::SpecialFolder()
{
    if (!m_specialFolder)
        m_specialFolder = std::make_unique<cSpecialFolder>();
    return *m_specialFolder;
}

cFileSystemObject& MainForm::FileSystem()
{
    if (!m_fileSystem)
        m_fileSystem = std::make_unique<cFileSystemObject>();
    return *m_fileSystem;
}

void MainForm::Form_Load()
{
    const std::wstring logPath =
        cStartup::LogPath(SpecialFolder().GetSpecialFolder(cSpecialFolder::CSIDL_DESKTOP_),
                          cApplication::Major(), cApplication::Minor(), cApplication::Revision());
    Logger().OutputPath(logPath);
    Logger().AllowOutput(!logPath.empty());
    Logger().AllowConsole(true);
    if (mDebug::IsDebugMode())
    {
        Logger().OutputLevel(0);
        Logger().DebugOut(L"-- Debug Start --");
    }
    else
    {
        Logger().OutputLevel(1);
        Logger().InfoOut(L"-- Start --");
    }
    Logger().InfoOut(L"Application-Path : " + mShlwVB::AddBackslash(cApplication::Path()));
    LogFolder(L"DeskTop-Path : ", cSpecialFolder::CSIDL_DESKTOP_);
    LogFolder(L"System-Path : ", cSpecialFolder::CSIDL_SYSTEM_);
    LogFolder(L"Program Files-Path : ", cSpecialFolder::CSIDL_PROGRAM_FILES_);

    const std::wstring programFiles = SpecialFolder().GetSpecialFolder(cSpecialFolder::CSIDL_PROGRAM_FILES_);
    m_expectedControlPath = cStartup::ExpectedPath(programFiles, MapControl.Name);
    m_expectedLookupPath = cStartup::ExpectedPath(programFiles, LookupLibrary.Name);

    ::SetWindowTextW(m_label1, L"Zelvioで使用するシステムファイルのレジストリ参照位置を再設定します。\r\n"
                               L"Zelvioを起動している場合は終了してください。\r\n"
                               L"再設定は管理者権限のあるユーザーで行ってください。");
    Command1_Click();
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
    Logger().InfoOut(mDebug::IsDebugMode() ? L"-- Debug End --" : L"-- End --");
}

bool MainForm::ForceTicked() const
{
    return ::SendMessageW(m_check1, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainForm::LogFolder(const wchar_t* label, long folder)
{
    Logger().InfoOut(label + mShlwVB::AddBackslash(SpecialFolder().GetSpecialFolder(folder)));
}

void MainForm::CheckComponent(bool ShowReport)
{
    try
    {
        const cCartoriaMapsRegister catalogue;
        if (!catalogue.IsInstall(catalogue.REG_CARTORIA_W3()))
        {
            if (ShowReport)
                m_reportBox.Replace(cCheckReport::NotInstalled);
            Logger().InfoOut(m_reportBox.Text());
            ::EnableWindow(m_command2, FALSE);
            return;
        }
        const std::wstring controlPath = GetRegisteredPath(MapControl.ClassId);
        const std::wstring lookupPath = GetRegisteredPath(LookupLibrary.ClassId);
        const cCheckReport::Verdict verdict =
            cCheckReport::VerdictOf(static_cast<ePathState>(ComparePath(controlPath, m_expectedControlPath)),
                                    static_cast<ePathState>(ComparePath(lookupPath, m_expectedLookupPath)));
        const std::wstring report = cCheckReport::Report(controlPath, lookupPath, verdict);
        ::EnableWindow(m_command2, verdict.ResetEnabled);
        if (ShowReport)
            m_reportBox.Append(report);
        Logger().InfoOut(report);
    }
    catch (...)
    {
        LogFailure(L"CheckComponent");
    }
}

void MainForm::LogFailure(const wchar_t* procedure)
{
    // Called inside a catch block: the failure being handled is rethrown here to read it.
    try
    {
        throw;
    }
    catch (const cAppError& e)
    {
        Logger().WarnOut(procedure, &e);
    }
    catch (const std::exception& e)
    {
        const cAppError error(-1, strconv::ToWide(e.what(), CP_UTF8), procedure);
        Logger().WarnOut(procedure, &error);
    }
    catch (...)
    {
        const cAppError error(-1, L"unknown failure", procedure);
        Logger().WarnOut(procedure, &error);
    }
}

void MainForm::ShowMessage(const std::wstring& text, const std::wstring& title, UINT type)
{
    ::MessageBoxW(m_hwnd, text.c_str(), title.c_str(), type);
}

std::wstring MainForm::GetRegisteredPath(const std::wstring& classId)
{
    const std::wstring text = cComponentLookup::RegisteredText(classId);
    Logger().InfoOut(L"CLSID : " + classId + L" : " + text);
    return cComponentLookup::LongForm(text);
}

short MainForm::ComparePath(const std::wstring& registeredPath, const std::wstring& expectedPath)
{
    return static_cast<short>(cCheckReport::StateOf(registeredPath, expectedPath,
                                                    [&] { return FileSystem().FileExists(expectedPath); }));
}

std::wstring MainForm::GetLongPath(const std::wstring& path)
{
    return cPathForm::Long(path);
}

std::wstring MainForm::GetShortPath(const std::wstring& path)
{
    return cPathForm::Short(path);
}

void MainForm::ChangeRegistry(bool ShowReport)
{
    try
    {
        cRepairReport section(m_reportBox.Text());
        const cCartoriaMapsRegister catalogue;
        if (catalogue.IsInstall(catalogue.REG_CARTORIA_W3()))
        {
            cRegsvr32 regsvr32(m_hwnd);
            const bool forced = ForceTicked();
            const struct
            {
                const cComponent& Component;
                const std::wstring& Expected;
            } components[] = {{MapControl, m_expectedControlPath}, {LookupLibrary, m_expectedLookupPath}};
            for (const auto& [component, expected] : components)
            {
                const auto state =
                    static_cast<ePathState>(ComparePath(GetRegisteredPath(component.ClassId), expected));
                if (cRepairReport::Choose(state, FileSystem().FileExists(expected), forced) ==
                    eRegistrationChoice::Register)
                    section.Add(component.Name, regsvr32.Register(expected, component.ClassId));
            }
        }
        if (ShowReport)
            m_reportBox.Replace(section.Text());
        Logger().InfoOut(section.Text());
        ShowMessage(section.BoxText(), WindowText(m_hwnd), MB_OK | section.BoxIcon());
    }
    catch (...)
    {
        LogFailure(L"ChangeRegistry");
    }
}

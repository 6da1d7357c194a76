#include "app/MainForm.h"
#include "catalogue/cCartoriaMapsRegister.h"
#include "log/mDebug.h"
#include "res/resource.h"
#include "sys/cApplication.h"
#include "sys/cRegistry.h"
#include "sys/cShellExecuteEx.h"
#include "sys/mShlwVB.h"
#include "sys/StrConv.h"
#include "sys/TextCompare.h"
#include <utility>

namespace
{
const wchar_t* const CrLf = L"\r\n";
const wchar_t* const ChangeSucceeded = L"レジストリ参照位置変更に成功しました。";
const wchar_t* const ChangeFailed = L"レジストリ参照位置変更に失敗しました。";

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

std::wstring WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring PathForm(DWORD(WINAPI* convert)(LPCSTR, LPSTR, DWORD), const std::wstring& path)
{
    const std::string ansiPath = strconv::ToAnsi(path);
    std::string buffer(256, '\0');
    DWORD n = convert(ansiPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    // A result larger than the buffer is the size it needs, not a length: convert again with that size.
    if (n > buffer.size())
    {
        buffer.assign(n, '\0');
        n = convert(ansiPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n >= buffer.size())
            n = 0;
    }
    return strconv::ToWide(std::string_view(buffer.data(), n));
}
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

bool MainForm::Create(int showCommand, bool quitOnClose)
{
    m_quitOnClose = quitOnClose;
    {
        HDC screen = ::GetDC(nullptr);
        m_dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ::ReleaseDC(nullptr, screen);
        if (m_dpi <= 0)
            m_dpi = 96;
    }
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
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.Get()));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
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
    const std::wstring desktop = SpecialFolder().GetSpecialFolder(cSpecialFolder::CSIDL_DESKTOP_);
    Logger().OutputPath(mShlwVB::AddBackslash(desktop) + L"plwg2reg" +
                        std::to_wstring(cApplication::Major()) + std::to_wstring(cApplication::Minor()) +
                        std::to_wstring(cApplication::Revision()) + L".log");
    // Without a desktop the path would name the drive's root: write nothing rather than there.
    Logger().AllowOutput(!desktop.empty());
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
    Logger().InfoOut(L"DeskTop-Path : " +
                     mShlwVB::AddBackslash(SpecialFolder().GetSpecialFolder(cSpecialFolder::CSIDL_DESKTOP_)));
    Logger().InfoOut(L"System-Path : " +
                     mShlwVB::AddBackslash(SpecialFolder().GetSpecialFolder(cSpecialFolder::CSIDL_SYSTEM_)));
    Logger().InfoOut(L"Program Files-Path : " + mShlwVB::AddBackslash(SpecialFolder().GetSpecialFolder(
                                                    cSpecialFolder::CSIDL_PROGRAM_FILES_)));

    const std::wstring folder =
        mShlwVB::AddBackslash(SpecialFolder().GetSpecialFolder(cSpecialFolder::CSIDL_PROGRAM_FILES_)) +
        L"kovamap\\common\\";
    m_expectedControlPath = folder + ControlName;
    m_expectedLookupPath = folder + LookupName;

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
    if (::SendMessageW(m_check1, BM_GETCHECK, 0, 0) == BST_CHECKED)
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

std::wstring MainForm::ReportBoxText() const
{
    return WindowText(m_text1);
}

void MainForm::AppendToReportBox(const std::wstring& text)
{
    const int length = ::GetWindowTextLengthW(m_text1);
    ::SendMessageW(m_text1, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    const std::wstring inserted = (length > 0 ? std::wstring(CrLf) : std::wstring()) + text;
    ::SendMessageW(m_text1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(inserted.c_str()));
    ::SendMessageW(m_text1, EM_SCROLLCARET, 0, 0);
}

void MainForm::SetReportBoxText(const std::wstring& text)
{
    ::SetWindowTextW(m_text1, text.c_str());
    const int length = ::GetWindowTextLengthW(m_text1);
    ::SendMessageW(m_text1, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    ::SendMessageW(m_text1, EM_SCROLLCARET, 0, 0);
}

void MainForm::CheckComponent(bool ShowReport)
{
    try
    {
        std::wstring report = std::wstring(74, L'-') + CrLf + L"<< チェックレポート >>";
        const cCartoriaMapsRegister catalogue;
        if (catalogue.IsInstall(catalogue.REG_CARTORIA_W3()))
        {
            const std::wstring controlPath = GetRegisteredPath(ControlClassId);
            report += CrLf + std::wstring(L"・") + ControlName + L" → " + controlPath;
            const std::wstring lookupPath = GetRegisteredPath(LookupClassId);
            report += CrLf + std::wstring(L"・") + LookupName + L" → " + lookupPath;
            const short controlState = ComparePath(controlPath, m_expectedControlPath);
            const short lookupState = ComparePath(lookupPath, m_expectedLookupPath);
            report += std::wstring(CrLf) + CrLf + L"<< チェック判定 >>";
            const bool repairable = controlState == 1 || lookupState == 1;
            if (controlState == 0 && lookupState == 0)
                report += CrLf + std::wstring(L"・このＰＣは既に設定済みです。") + CrLf +
                          L"　再設定の必要はありません";
            else if (repairable)
                report += CrLf + std::wstring(L"・このＰＣは再設定する必要があります。") + CrLf +
                          L"　「再設定」ボタンをクリックしてください。";
            else
                report += CrLf + std::wstring(L"・このＰＣでは再設定の必要はありません。");
            ::EnableWindow(m_command2, repairable);
            if (ShowReport)
                AppendToReportBox(report);
            Logger().InfoOut(report);
        }
        else
        {
            if (ShowReport)
                SetReportBoxText(L"・このＰＣにはカルトリアＷ３がインストールされていません。");
            Logger().InfoOut(ReportBoxText());
            ::EnableWindow(m_command2, FALSE);
        }
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

std::wstring MainForm::GetRegisteredPath(const std::wstring& classId)
{
    std::wstring text;
    {
        cRegistry registry;
        registry.RegKey(cRegistry::ClassesRoot);
        registry.SubKey(L"CLSID\\" + classId + L"\\InprocServer32");
        text = registry.GetString();
    }
    Logger().InfoOut(L"CLSID : " + classId + L" : " + text);
    // HKEY_CLASSES_ROOT includes the user's own classes, which unelevated programs can write: an elevated
    // tool must not reach out to a network path named there. Such a path is never the expected local one.
    if (text.size() >= 2 && (text[0] == L'\\' || text[0] == L'/') && (text[1] == L'\\' || text[1] == L'/'))
        return {};
    return GetLongPath(text);
}

short MainForm::ComparePath(const std::wstring& registeredPath, const std::wstring& expectedPath)
{
    if (!registeredPath.empty() && textcmp::Equal(registeredPath, expectedPath))
        return 0;
    return FileSystem().FileExists(expectedPath) ? 1 : -1;
}

std::wstring MainForm::GetLongPath(const std::wstring& path)
{
    return PathForm(&::GetLongPathNameA, path);
}

std::wstring MainForm::GetShortPath(const std::wstring& path)
{
    return PathForm(&::GetShortPathNameA, path);
}

void MainForm::ChangeRegistry(bool ShowReport)
{
    try
    {
        std::wstring composed = ReportBoxText() + CrLf + CrLf + L"<< レジストリ変更中 >>";
        bool allSucceeded = true;
        const cCartoriaMapsRegister catalogue;
        if (catalogue.IsInstall(catalogue.REG_CARTORIA_W3()))
        {
            cShellExecuteEx launcher;
            const struct
            {
                const wchar_t* Name;
                const wchar_t* ClassId;
                const std::wstring& Expected;
            } components[] = {{ControlName, ControlClassId, m_expectedControlPath},
                              {LookupName, LookupClassId, m_expectedLookupPath}};
            for (const auto& component : components)
            {
                const short state = ComparePath(GetRegisteredPath(component.ClassId), component.Expected);
                const bool forced = ::SendMessageW(m_check1, BM_GETCHECK, 0, 0) == BST_CHECKED;
                const bool present = FileSystem().FileExists(component.Expected);
                if (!((present && forced) || state == 1))
                    continue;
                std::wstring reason;
                const bool failed = RegisterComponent(launcher, component.Expected, reason);
                composed += CrLf + std::wstring(L"・") + component.Name + L" → ";
                composed +=
                    failed ? ChangeFailed + std::wstring(CrLf) + reason : std::wstring(ChangeSucceeded);
                allSucceeded = allSucceeded && !failed;
            }
        }
        if (ShowReport)
            SetReportBoxText(composed);
        Logger().InfoOut(composed);
        ::MessageBoxW(m_hwnd, allSucceeded ? ChangeSucceeded : ChangeFailed, WindowText(m_hwnd).c_str(),
                      MB_OK | (allSucceeded ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    catch (...)
    {
        LogFailure(L"ChangeRegistry");
    }
}

std::wstring MainForm::Regsvr32Parameter(const std::wstring& expectedPath)
{
    // Without short names the 8.3 form is empty or keeps its blanks; quoting then keeps the path whole.
    const std::wstring shortPath = GetShortPath(expectedPath);
    const bool quote = shortPath.empty() || shortPath.find(L' ') != std::wstring::npos;
    return L" /s " + (quote ? L"\"" + expectedPath + L"\"" : shortPath);
}

bool MainForm::RegisterComponent(cShellExecuteEx& launcher, const std::wstring& expectedPath,
                                 std::wstring& reason)
{
    // By full path: an elevated program must not run a regsvr32.exe planted in its own or the current folder.
    // For a 32-bit process on 64-bit Windows the redirected system folder holds the 32-bit regsvr32.
    std::wstring system(MAX_PATH, L'\0');
    const UINT length = ::GetSystemDirectoryW(system.data(), MAX_PATH);
    system.resize(length < MAX_PATH ? length : 0);
    const std::wstring program = mShlwVB::AddBackslash(system) + L"regsvr32.exe";
    if (launcher.Execute(m_hwnd, 2, program, Regsvr32Parameter(expectedPath), 1, 1100))
    {
        reason = launcher.ErrorMessage();
        return true;
    }
    HANDLE process = launcher.ProcessHandle();
    if (!process)
        return false;
    if (!WaitForProcess(process, RegistrationTimeoutMs))
    {
        reason = L"regsvr32.exe が30秒以内に終了しませんでした";
        return true;
    }
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process, &exitCode))
        exitCode = ::GetLastError();
    if (exitCode == 0)
        return false;
    reason = L"regsvr32.exe がエラーで終了しました（終了コード " + std::to_wstring(exitCode) + L"）";
    return true;
}

bool MainForm::WaitForProcess(HANDLE process, DWORD timeoutMs)
{
    // Disabled, the window takes no input, so no handler can run again meanwhile; it still paints.
    const BOOL wasDisabled = ::EnableWindow(m_hwnd, FALSE);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool ended = false;
    for (;;)
    {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD wait = ::MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_PAINT | QS_SENDMESSAGE);
        if (wait == WAIT_OBJECT_0)
        {
            ended = true;
            break;
        }
        if (wait != WAIT_OBJECT_0 + 1)
            break;
        // Only paint messages are taken from the queue; input stays where a disabled window ignores it.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
            ::DispatchMessageW(&msg);
    }
    if (!wasDisabled)
        ::EnableWindow(m_hwnd, TRUE);
    return ended;
}

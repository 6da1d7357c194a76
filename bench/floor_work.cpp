// The same-work floor: what the tool's start-up cannot avoid, written straight in Win32. The tool's
// manifest (visual styles, DPI awareness), COM, the three special folders, the registry and ini reads
// and the file tests of one check with the expected files' headers and every user's own registrations (read
// on a thread of their own within a bound, as nothing else can bound a hive load), nine
// log entries each opened, appended and closed, and the window with its five controls and font, first shown
// with the report filled in. Built with P2F_FLOOR_CONSOLE it is the console program's floor: the same work
// without the window, the report written to standard output and the result kept as the console program keeps
// it (bench/ResultFloor.h).
//
// Words on the command line add one thing the tool does beyond this, to measure what each costs:
//   icon     load the icon in both sizes for the window class
//   version  find the exe's own version resource, as the tool reads its numbers and title
//   icc      load comctl32 and initialise its standard classes
//   links    open the log for its attributes too and refuse links, as the tool's logger does
//   twice    read the special folders and the edition's ini path as often as the tool does
#include "res/resource.h"
#include "bench/ImageFloor.h"
#include "bench/ResultFloor.h"
#include "bench/UsersFloor.h"
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <memory>
#include <type_traits>

namespace
{
template <auto Close>
struct Closer
{
    template <class H>
    void operator()(H h) const noexcept
    {
        Close(h);
    }
};
template <class H, auto Close>
using Owned = std::unique_ptr<std::remove_pointer_t<H>, Closer<Close>>;
using KeyHandle = Owned<HKEY, &::RegCloseKey>;
using FileHandle = Owned<HANDLE, &::CloseHandle>;
using FontHandle = Owned<HFONT, &::DeleteObject>;
using IconHandle = Owned<HICON, &::DestroyIcon>;

struct ComScope
{
    HRESULT Result;
    ~ComScope()
    {
        if (SUCCEEDED(Result))
            ::CoUninitialize();
    }
};

// A fixed buffer to compose texts in; what does not fit is cut.
template <class Char, int Size>
struct Text
{
    Char Data[Size] = {};
    int Length = 0;
    Text& operator+=(const Char* more)
    {
        while (*more && Length < Size - 1)
            Data[Length++] = *more++;
        Data[Length] = 0;
        return *this;
    }
};
using WText = Text<wchar_t, 4096>;
using AText = Text<char, MAX_PATH + 32>;

struct Options
{
    bool Icon = false, Version = false, Icc = false, Links = false, Twice = false;
};
Options g_options;

bool HasWord(const wchar_t* line, const wchar_t* word)
{
    const int length = ::lstrlenW(word);
    for (const wchar_t* at = line; *at; ++at)
        if ((at == line || at[-1] == L' ') &&
            ::CompareStringOrdinal(at, length, word, length, FALSE) == CSTR_EQUAL &&
            (at[length] == 0 || at[length] == L' '))
            return true;
    return false;
}

[[maybe_unused]] Options ReadOptions()
{
    // The first word is the program itself, perhaps in quotes: skip it.
    const wchar_t* line = ::GetCommandLineW();
    const wchar_t* args = line;
    if (*args == L'"')
        for (++args; *args && *args != L'"'; ++args)
        {
        }
    while (*args && *args != L' ')
        ++args;
    Options o;
    o.Icon = HasWord(args, L"icon");
    o.Version = HasWord(args, L"version");
    o.Icc = HasWord(args, L"icc");
    o.Links = HasWord(args, L"links");
    o.Twice = HasWord(args, L"twice");
    return o;
}

// LOAD_LIBRARY_SEARCH_SYSTEM32, which the Windows 7 headers lack.
constexpr DWORD SearchSystem32 = 0x00000800;

template <class Function>
Function Proc(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

WText Wide(const char* ansi)
{
    WText wide;
    wide.Length = ::MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide.Data, 4096) - 1;
    if (wide.Length < 0)
        wide.Length = 0;
    return wide;
}

void AddBackslash(AText& path)
{
    if (path.Length == 0 || path.Data[path.Length - 1] != '\\')
        path += "\\";
}

AText SpecialFolder(int csidl)
{
    AText folder;
    ::SHGetSpecialFolderPathA(nullptr, folder.Data, csidl, FALSE);
    folder.Length = ::lstrlenA(folder.Data);
    return folder;
}

AText RegText(HKEY root, const char* subKey, const char* name, REGSAM view = 0)
{
    AText text;
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
        return text;
    const KeyHandle key(opened);
    DWORD type = REG_SZ, size = sizeof text.Data - 1;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.Data), &size) ==
        ERROR_SUCCESS)
        text.Length = ::lstrlenA(text.Data);
    return text;
}

AText IniText(const char* file, const char* section, const char* name)
{
    AText text;
    text.Length =
        static_cast<int>(::GetPrivateProfileStringA(section, name, "", text.Data, sizeof text.Data, file));
    return text;
}

DWORD Attributes(const char* path)
{
    return *path ? ::GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
}

bool IsFile(const char* path)
{
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const char* path)
{
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// One entry: stamp, level tag and text in the ANSI code page with CR LF, the file opened and closed.
void Log(const wchar_t* path, const wchar_t* message)
{
    if (!*path)
        return;
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t stamp[32];
    ::wsprintfW(stamp, L"%04u/%02u/%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
    WText entry;
    entry += stamp;
    entry += L"【INFO】";
    entry += message;
    entry += L"\r\n";
    char bytes[3 * 4096];
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, entry.Data, entry.Length, bytes, sizeof bytes, nullptr, nullptr);
    const DWORD access = FILE_APPEND_DATA | (g_options.Links ? FILE_READ_ATTRIBUTES : 0);
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (g_options.Links ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE opened = ::CreateFileW(path, access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, flags, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return;
    const FileHandle file(opened);
    if (g_options.Links)
    {
        FILE_STANDARD_INFO standard{};
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!::GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard) ||
            !::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
            standard.NumberOfLinks > 1 ||
            (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
            return;
    }
    DWORD written = 0;
    ::WriteFile(file.get(), bytes, static_cast<DWORD>(size), &written, nullptr);
}

void LogFolder(const wchar_t* log, const wchar_t* label, const AText& folder)
{
    WText line;
    line += label;
    line += Wide(folder.Data).Data;
    Log(log, line.Data);
}

void ReadVersionBlock()
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found =
        ::FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16)); // RT_VERSION
    HGLOBAL loaded = found ? ::LoadResource(self, found) : nullptr;
    if (loaded)
        ::LockResource(loaded);
}

[[maybe_unused]] void InitStandardControls()
{
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    // Loaded, not imported, so that the floor itself depends on the manifest alone; kept loaded
    // for the process, as an import would be.
    HMODULE comctl = ::LoadLibraryExW(L"comctl32.dll", nullptr, SearchSystem32);
    const auto init = comctl ? Proc<InitFn>(comctl, "InitCommonControlsEx") : nullptr;
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    if (init)
        init(&controls);
}

[[maybe_unused]] constexpr const wchar_t* ClassName = L"P2fFloorWork";
[[maybe_unused]] constexpr DWORD FrameStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The work itself, the same for the window and the console floor.
struct Work
{
    wchar_t LogPath[MAX_PATH] = {};
    AText StartWork();
    void CheckWork(const AText& programFiles, WText& report, bool& repairable);
};

struct Window : Work
{
    int Dpi = 96;
    FontHandle Font;
    IconHandle BigIcon, SmallIcon;

    int Scale(int twips) const { return ::MulDiv(twips, Dpi, 1440); }

    HWND Control(HWND parent, DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int left,
                 int top, int width, int height, int id) const
    {
        HWND control = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, Scale(left),
                                         Scale(top), Scale(width), Scale(height), parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font.get()), FALSE);
        return control;
    }

    void Create(HWND hwnd);
    void Check(HWND hwnd, const AText& programFiles);
};

void Window::Create(HWND hwnd)
{
    Font.reset(::CreateFontW(-::MulDiv(9, Dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"メイリオ"));
    HWND text = Control(hwnd, WS_EX_CLIENTEDGE, L"EDIT", L"",
                        WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL,
                        240, 1860, 6585, 2595, IDC_TEXT1);
    HWND label = Control(hwnd, 0, L"STATIC", L"", SS_LEFT, 270, 240, 5145, 1515, IDC_LABEL1);
    Control(hwnd, 0, L"BUTTON", L"チェック", WS_TABSTOP | BS_PUSHBUTTON, 5610, 180, 1245, 555, IDC_COMMAND1);
    Control(hwnd, 0, L"BUTTON", L"再設定", WS_TABSTOP | BS_PUSHBUTTON, 5610, 840, 1245, 555, IDC_COMMAND2);
    Control(hwnd, 0, L"BUTTON", L"強制設定", WS_TABSTOP | BS_AUTOCHECKBOX, 5640, 1500, 1155, 270, IDC_CHECK1);
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font.get()), FALSE);
    ::SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
    const AText programFiles = StartWork();
    ::SetWindowTextW(label, L"Zelvioで使用するシステムファイルのレジストリ参照位置を再設定します。\r\n"
                            L"Zelvioを起動している場合は終了してください。\r\n"
                            L"再設定は管理者権限のあるユーザーで行ってください。");
    Check(hwnd, programFiles);
}

// The log's start and the folders it names; the Program Files folder with its backslash.
AText Work::StartWork()
{
    AText desktop = SpecialFolder(CSIDL_DESKTOP);
    if (desktop.Length > 0)
    {
        AddBackslash(desktop);
        ::lstrcpynW(LogPath, Wide(desktop.Data).Data, MAX_PATH - 20);
        ::lstrcatW(LogPath, L"p2f_floor_work.log");
    }
    Log(LogPath, L"-- Start --");
    wchar_t exe[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    for (DWORD i = length; i > 0; --i)
        if (exe[i - 1] == L'\\')
        {
            exe[i] = 0;
            break;
        }
    WText line;
    line += L"Application-Path : ";
    line += exe;
    Log(LogPath, line.Data);
    if (g_options.Twice)
    {
        desktop = SpecialFolder(CSIDL_DESKTOP);
        AddBackslash(desktop);
    }
    LogFolder(LogPath, L"DeskTop-Path : ", desktop);
    AText system = SpecialFolder(CSIDL_SYSTEM);
    AddBackslash(system);
    LogFolder(LogPath, L"System-Path : ", system);
    AText programFiles = SpecialFolder(CSIDL_PROGRAM_FILES);
    AddBackslash(programFiles);
    LogFolder(LogPath, L"Program Files-Path : ", programFiles);
    if (g_options.Twice)
    {
        programFiles = SpecialFolder(CSIDL_PROGRAM_FILES);
        AddBackslash(programFiles);
    }
    return programFiles;
}

void Window::Check(HWND hwnd, const AText& programFiles)
{
    WText report;
    bool repairable = false;
    CheckWork(programFiles, report, repairable);
    ::EnableWindow(::GetDlgItem(hwnd, IDC_COMMAND2), repairable);
    ::SetDlgItemTextW(hwnd, IDC_TEXT1, report.Data);
}

DWORD WINAPI ReadUsersThread(void*)
{
    ReadUsersStraight({L"{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}", L"{2A9F6C13-8E47-4b5d-A6F0-31D8C2E7B940}"});
    return 0;
}

// One check: the editions' settings, where COM finds the two components and every user's own keys, the
// verdict and the report.
void Work::CheckWork(const AText& programFiles, WText& report, bool& repairable)
{
    // W3 is the edition the check is about; the catalogue loads W2's settings as well.
    struct Edition
    {
        const char* Key;
        bool Checked;
    };
    bool installed = false;
    for (const Edition edition :
         {Edition{"SOFTWARE\\KOVA\\CARTORIAW3", true}, Edition{"SOFTWARE\\KOVA\\CARTORIAW2", false}})
    {
        const AText ini = RegText(HKEY_LOCAL_MACHINE, edition.Key, "inifile");
        if (!IsFile(ini.Data))
            continue;
        installed = installed || edition.Checked;
        AText full;
        ::GetFullPathNameA(ini.Data, sizeof full.Data, full.Data, nullptr);
        IniText(full.Data, "Plotwing", "MapPackage");
        AText search = IniText(full.Data, "SearchCtrl", "SearchIni");
        if (!IsFolder(search.Data))
            continue;
        AddBackslash(search);
        search += "search.ini";
        IniText(search.Data, "SEARCHDATA", "CHOMOKUDAT");
        IniText(search.Data, "SEARCHDATA", "PINPOINTDAT");
        const AText normalize = IniText(search.Data, "SEARCHDATA", "NORMARIZE");
        IsFile(normalize.Data);
    }
    if (g_options.Twice)
        IsFile(RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\KOVA\\CARTORIAW3", "inifile").Data);
    if (!installed)
    {
        report += L"・このＰＣにはカルトリアＷ３がインストールされていません。";
        Log(LogPath, report.Data);
        return;
    }

    struct Component
    {
        const char* File;
        const char* ClassId;
    } const components[] = {
        {"plotwing2.ocx", "{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}"},
        {"lexgrid4b.dll", "{2A9F6C13-8E47-4b5d-A6F0-31D8C2E7B940}"},
    };
    for (int i = 0; i < 74; ++i)
        report += L"-";
    report += L"\r\n<< チェックレポート >>";
    int states[2] = {};
    for (int i = 0; i < 2; ++i)
    {
        const Component& c = components[i];
        // The machine's registration, in the view of the build.
        AText classKey;
        classKey += "SOFTWARE\\Classes\\CLSID\\";
        classKey += c.ClassId;
        classKey += "\\InprocServer32";
        const AText registered = RegText(HKEY_LOCAL_MACHINE, classKey.Data, nullptr,
                                         sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
        const WText registeredWide = Wide(registered.Data);
        WText line;
        line += L"CLSID : ";
        line += Wide(c.ClassId).Data;
        line += L" : ";
        line += registeredWide.Data;
        Log(LogPath, line.Data);
        // Only a path on a local drive is looked up: its drive's type first.
        char root[4] = {registered.Data[0], ':', '\\', 0};
        ::GetDriveTypeA(root);
        AText longPath;
        longPath.Length =
            static_cast<int>(::GetLongPathNameA(registered.Data, longPath.Data, sizeof longPath.Data));
        if (longPath.Length >= static_cast<int>(sizeof longPath.Data))
            longPath = AText();
        const WText longWide = Wide(longPath.Data);
        report += L"\r\n・";
        report += Wide(c.File).Data;
        report += L" → ";
        report += longWide.Data;

        AText expected = programFiles;
        expected += "kovamap\\common\\";
        expected += c.File;
        const WText expectedWide = Wide(expected.Data);
        const bool same =
            longWide.Length > 0 &&
            ::CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE,
                             longWide.Data, longWide.Length, expectedWide.Data,
                             expectedWide.Length) == CSTR_EQUAL;
        states[i] = same ? 0 : IsFile(expected.Data) ? 1 : -1;
        if (states[i] >= 0)
            ReadImageStraight(expectedWide.Data);
    }
    // Every user read on a thread of its own, waited for within a bound: a hive load cannot be cut short.
    const HANDLE reader = ::CreateThread(nullptr, 0, &ReadUsersThread, nullptr, 0, nullptr);
    if (reader)
    {
        ::WaitForSingleObject(reader, 120000);
        ::CloseHandle(reader);
    }
    report += L"\r\n\r\n<< チェック判定 >>";
    repairable = states[0] == 1 || states[1] == 1;
    if (states[0] == 0 && states[1] == 0)
        report += L"\r\n・このＰＣは既に設定済みです。\r\n　再設定の必要はありません";
    else if (repairable)
        report += L"\r\n・このＰＣは再設定する必要があります。\r\n　「再設定」ボタンをクリックしてください。";
    else
        report += L"\r\n・このＰＣでは再設定の必要はありません。";
    Log(LogPath, report.Data);
}

[[maybe_unused]] LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE)
        ::SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    // Some messages come before WM_NCCREATE, when the window has no state yet.
    auto* window = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg)
    {
    case WM_CREATE:
        window->Create(hwnd);
        return 0;
    case WM_CLOSE:
        Log(window->LogPath, L"-- End --");
        ::DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// As the tool: DLLs loaded on demand come from the system folder only, the function looked up.
void RestrictDllSearch()
{
    using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (const auto set =
            Proc<SetDirectoriesFn>(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))
        set(SearchSystem32);
    ::SetDllDirectoryW(L"");
}
} // namespace

#ifdef P2F_FLOOR_CONSOLE
int wmain()
{
    RestrictDllSearch();
    const ComScope com{::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)};
    ReadVersionBlock();
    Work work;
    WText report;
    bool repairable = false;
    work.CheckWork(work.StartWork(), report, repairable);
    report += L"\r\n";
    char bytes[3 * 4096];
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, report.Data, report.Length, bytes, sizeof bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, static_cast<DWORD>(size), &written, nullptr);
    // The console program keeps its result for collectors.
    KeepResultStraight(600);
    Log(work.LogPath, L"-- End --");
    return repairable ? 1 : 0;
}
#else
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    g_options = ReadOptions();
    RestrictDllSearch();
    const ComScope com{::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)};
    if (g_options.Icc)
        InitStandardControls();
    if (g_options.Version)
        ReadVersionBlock();

    Window window;
    {
        HDC screen = ::GetDC(nullptr);
        if (screen)
        {
            window.Dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
            ::ReleaseDC(nullptr, screen);
        }
        if (window.Dpi <= 0)
            window.Dpi = 96;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = ClassName;
    if (g_options.Icon)
    {
        const int big = ::GetSystemMetrics(SM_CXICON), small = ::GetSystemMetrics(SM_CXSMICON);
        window.BigIcon.reset(static_cast<HICON>(
            ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, big, big, LR_DEFAULTCOLOR)));
        window.SmallIcon.reset(static_cast<HICON>(
            ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, small, small, LR_DEFAULTCOLOR)));
        wc.hIcon = window.BigIcon.get();
        wc.hIconSm = window.SmallIcon.get();
    }
    if (!::RegisterClassExW(&wc))
        return 1;
    RECT frame{0, 0, window.Scale(7095), window.Scale(4695)};
    ::AdjustWindowRectEx(&frame, FrameStyle, FALSE, 0);
    HWND hwnd =
        ::CreateWindowExW(0, ClassName, L"地図コンポーネントレジストリ再設定ツール Ver.2（カルトリアＷ３）",
                          FrameStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, nullptr, instance, &window);
    if (!hwnd)
        return 1;
    ::ShowWindow(hwnd, showCommand);
    ::UpdateWindow(hwnd);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        if (::IsDialogMessageW(hwnd, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
#endif

#include "app/MainForm.h"
#include "sys/cComApartment.h"
#include <windows.h>
#include <commctrl.h>

namespace
{
// The tool runs elevated and may be started from a downloads folder: DLLs loaded on demand
// must come from the system folder only. Looked up at run time, as Windows 7 without its
// loader update lacks the function.
void RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto* raw = kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (raw)
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(raw))(0x00000800);
    ::SetDllDirectoryW(L"");
}
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    RestrictDllSearch();
    // The shell functions the tool calls need COM on the window's thread.
    const cComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    MainForm form(instance);
    if (!form.Create(showCommand))
        return 1;
    MSG msg{};
    BOOL got = FALSE;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0)
    {
        // Tab and the arrow keys move between the controls, as in a dialog.
        if (form.Hwnd() && ::IsDialogMessageW(form.Hwnd(), &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    // WM_QUIT carries the exit code; a failed GetMessageW (-1) ends the tool as a failure.
    return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

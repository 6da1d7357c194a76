#include "app/MainForm.h"
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

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
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    int exitCode = 1;
    {
        MainForm form(instance);
        if (form.Create(showCommand))
        {
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
            {
                // Tab and the arrow keys move between the controls, as in a dialog.
                if (form.Hwnd() && ::IsDialogMessageW(form.Hwnd(), &msg))
                    continue;
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            exitCode = static_cast<int>(msg.wParam);
        }
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return exitCode;
}

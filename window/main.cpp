#include "window/MainForm.h"
#include "sys/cComApartment.h"
#include "sys/DllSearch.h"
#include <windows.h>
#include <commctrl.h>

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

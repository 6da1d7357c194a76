// The floor the tool's start-up is measured against: one window with one edit box, nothing else.
#include <windows.h>

namespace
{
LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_CREATE:
        ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"floor", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 16, 124,
                          439, 173, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(1001)), nullptr,
                          nullptr);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &FloorProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = L"P2fFloor";
    ::RegisterClassExW(&wc);
    HWND hwnd = ::CreateWindowExW(0, L"P2fFloor", L"floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  480, 340, nullptr, nullptr, instance, nullptr);
    ::ShowWindow(hwnd, showCommand);
    ::UpdateWindow(hwnd);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

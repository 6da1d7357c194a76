// Reads and presses the tool's window from outside, one step per run, for the demo.
//   p2fdriver report | check | force | reset (waits for the message box) | ok (closes it) | close
//   p2fdriver rect: the screen area of the window, and on a second line that of its message box when one is
//   open, each as WIDTHxHEIGHT+LEFT+TOP (an ImageMagick crop geometry)
//   p2fdriver place: moves the open message box below the window's lower right corner, for a picture
// Output is UTF-8.
#include "res/resource.h"
#include "sys/StrConv.h"
#include "demo/cWindowDriver.h"
#include <windows.h>
#include <optional>
#include <string>

namespace
{
void Print(const std::wstring& text)
{
    const std::string bytes = strconv::ToAnsi(text + L"\n", CP_UTF8);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                nullptr);
}

int Fail(const std::wstring& why)
{
    Print(L"p2fdriver: " + why);
    return 1;
}

// A window's screen area as WIDTHxHEIGHT+LEFT+TOP, clipped to the screen, or none when it is off it.
std::optional<std::wstring> Geometry(HWND window)
{
    RECT area{};
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (!::GetWindowRect(window, &area) || !::IntersectRect(&area, &area, &screen))
        return std::nullopt;
    return std::to_wstring(area.right - area.left) + L"x" + std::to_wstring(area.bottom - area.top) + L"+" +
           std::to_wstring(area.left) + L"+" + std::to_wstring(area.top);
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring step = argc > 1 ? argv[1] : L"";
    HWND window = cWindowDriver::FindToolWindow(0, 20000);
    if (!window)
        return Fail(L"the tool's window did not appear");
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (step == L"report")
    {
        Print(cWindowDriver::Text(::GetDlgItem(window, IDC_TEXT1)));
        return 0;
    }
    if (step == L"check")
        return cWindowDriver::Click(::GetDlgItem(window, IDC_COMMAND1), 30000) ? 0 : Fail(L"no answer");
    if (step == L"force")
        return cWindowDriver::Click(::GetDlgItem(window, IDC_CHECK1), 30000) ? 0 : Fail(L"no answer");
    if (step == L"reset")
    {
        if (!::IsWindowEnabled(::GetDlgItem(window, IDC_COMMAND2)))
            return Fail(L"再設定 is disabled");
        cWindowDriver::PostClick(::GetDlgItem(window, IDC_COMMAND2));
        const auto box = cWindowDriver::FindMessageBox(pid, 120000);
        if (!box.Box)
            return Fail(L"no message box");
        Print(L"[" + box.Title + L"] " + box.Text);
        return 0;
    }
    if (step == L"ok")
    {
        const auto box = cWindowDriver::FindMessageBox(pid, 5000);
        if (!box.Box)
            return Fail(L"no message box");
        cWindowDriver::CloseMessageBox(box.Box);
        for (int i = 0; i < 200 && ::IsWindow(box.Box); ++i)
            ::Sleep(50);
        return ::IsWindow(box.Box) ? Fail(L"the message box stayed open") : 0;
    }
    if (step == L"close")
        return cWindowDriver::Close(window, 20000) ? 0 : Fail(L"the tool did not end");
    if (step == L"rect")
    {
        const std::optional<std::wstring> area = Geometry(window);
        if (!area)
            return Fail(L"the window is not on the screen");
        Print(*area);
        const auto box = cWindowDriver::FindMessageBox(pid, 0);
        if (const std::optional<std::wstring> boxArea = box.Box ? Geometry(box.Box) : std::nullopt)
            Print(*boxArea);
        return 0;
    }
    if (step == L"place")
    {
        // Below the window and a little to its right, where it hides none of the report.
        const auto box = cWindowDriver::FindMessageBox(pid, 5000);
        RECT area{}, boxArea{};
        if (!box.Box || !::GetWindowRect(window, &area) || !::GetWindowRect(box.Box, &boxArea))
            return Fail(L"no message box");
        const int left = area.right + 40 - (boxArea.right - boxArea.left);
        const int top = area.bottom - 12;
        return ::SetWindowPos(box.Box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
                   ? 0
                   : Fail(L"the message box did not move");
    }
    return Fail(L"unknown step: " + step);
}

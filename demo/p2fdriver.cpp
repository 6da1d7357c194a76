// Reads and presses the tool's window from outside, one step per run, for the demo.
//   p2fdriver report | check | force | reset (waits for the message box) | ok (closes it) | close
// Output is UTF-8.
#include "res/resource.h"
#include "sys/StrConv.h"
#include "demo/cWindowDriver.h"
#include <windows.h>
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
    return Fail(L"unknown step: " + step);
}

#include "demo/cWindowDriver.h"
#include "res/resource.h"
#include <vector>

namespace
{
struct Search
{
    DWORD Pid;
    const wchar_t* ClassName;
    HWND Found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (std::wstring(cls) == search->ClassName && ::IsWindowVisible(hwnd) &&
        (search->Pid == 0 || pid == search->Pid))
    {
        search->Found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(DWORD pid, const wchar_t* className, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;)
    {
        Search search{pid, className, nullptr};
        ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.Found || ::GetTickCount64() >= deadline)
            return search.Found;
        ::Sleep(50);
    }
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM lParam)
{
    auto* texts = reinterpret_cast<std::vector<std::wstring>*>(lParam);
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    if (::lstrcmpiW(cls, L"Static") == 0)
    {
        const std::wstring text = cWindowDriver::Text(hwnd);
        if (!text.empty())
            texts->push_back(text);
    }
    return TRUE;
}
} // namespace

HWND cWindowDriver::FindToolWindow(DWORD pid, DWORD timeoutMs)
{
    return FindTopLevel(pid, L"Plotwing2RegisterFix", timeoutMs);
}

cWindowDriver::MessageBoxInfo cWindowDriver::FindMessageBox(DWORD pid, DWORD timeoutMs)
{
    MessageBoxInfo info;
    info.Box = FindTopLevel(pid, L"#32770", timeoutMs);
    if (!info.Box)
        return info;
    info.Title = Text(info.Box);
    // The message text is the box's static control with id 0xFFFF; any non-empty static will do otherwise.
    if (HWND message = ::GetDlgItem(info.Box, 0xFFFF))
        info.Text = Text(message);
    if (info.Text.empty())
    {
        std::vector<std::wstring> texts;
        ::EnumChildWindows(info.Box, &CollectStatic, reinterpret_cast<LPARAM>(&texts));
        if (!texts.empty())
            info.Text = texts.front();
    }
    return info;
}

std::wstring cWindowDriver::Text(HWND window)
{
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, 5000, &copied))
        return {};
    text.resize(copied);
    return text;
}

bool cWindowDriver::Click(HWND button, DWORD timeoutMs)
{
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

void cWindowDriver::PostClick(HWND button)
{
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

void cWindowDriver::CloseMessageBox(HWND box)
{
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

bool cWindowDriver::Close(HWND window, DWORD timeoutMs)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (!process)
        return false;
    const bool ended = ::WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

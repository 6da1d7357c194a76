#include "tests/support/cMessageBoxCatcher.h"
#include <stdexcept>

namespace
{
cMessageBoxCatcher* g_current = nullptr;
// Control ids of the Windows message box: the icon and the message text. Wine gives the icon id 1088,
// so the icon is also looked for among the static controls.
constexpr int IconId = 20;
constexpr int TextId = 0xFFFF;

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool IsStatic(HWND window)
{
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    return ::lstrcmpiW(className, L"Static") == 0;
}

bool IsIconStatic(HWND window)
{
    return (::GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// The first static child for which `wanted` holds, for dialogs that lay the box out with other ids.
template <class Predicate>
HWND FindStatic(HWND box, Predicate wanted)
{
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (IsStatic(child) && wanted(child))
            return child;
    return nullptr;
}

UINT IconStyle(HICON icon)
{
    if (!icon)
        return 0;
    // The box shows the shared system icons, so the handles are the very ones LoadIconW returns.
    const struct
    {
        const wchar_t* id;
        UINT style;
    } known[] = {{IDI_ASTERISK, MB_ICONINFORMATION},
                 {IDI_HAND, MB_ICONERROR},
                 {IDI_EXCLAMATION, MB_ICONWARNING},
                 {IDI_QUESTION, MB_ICONQUESTION}};
    for (const auto& entry : known)
        if (::LoadIconW(nullptr, entry.id) == icon)
            return entry.style;
    return 0;
}
} // namespace

cMessageBoxCatcher::cMessageBoxCatcher()
{
    if (g_current)
        throw std::logic_error("only one cMessageBoxCatcher may live at a time");
    m_hook = ::SetWindowsHookExW(WH_CBT, &CbtProc, nullptr, ::GetCurrentThreadId());
    if (!m_hook)
        throw std::runtime_error("SetWindowsHookExW(WH_CBT) failed");
    g_current = this;
}

cMessageBoxCatcher::~cMessageBoxCatcher()
{
    ::UnhookWindowsHookEx(m_hook);
    g_current = nullptr;
}

LRESULT CALLBACK cMessageBoxCatcher::CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_current)
    {
        const HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        ::GetClassNameW(window, className, 16);
        // Nothing may unwind through user32's frames.
        if (::lstrcmpW(className, L"#32770") == 0 && g_current->m_caught != window)
        {
            try
            {
                g_current->Catch(window);
            }
            catch (...)
            {
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void cMessageBoxCatcher::Catch(HWND box)
{
    m_caught = box;
    Box caught{WindowText(box), {}, 0};

    HWND text = ::GetDlgItem(box, TextId);
    if (!text || !IsStatic(text))
        text = FindStatic(
            box, [](HWND child) { return !IsIconStatic(child) && ::GetWindowTextLengthW(child) > 0; });
    if (text)
        caught.Text = WindowText(text);

    HWND icon = ::GetDlgItem(box, IconId);
    if (!icon || !IsStatic(icon))
        icon = FindStatic(box, IsIconStatic);
    if (icon)
        caught.Icon = IconStyle(reinterpret_cast<HICON>(::SendMessageW(icon, STM_GETICON, 0, 0)));

    m_boxes.push_back(std::move(caught));
    // Posted, not sent: the box's message loop has not started yet while it is being activated.
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

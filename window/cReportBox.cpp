#include "window/cReportBox.h"
#include "window/cNamedAccessible.h"
#include "sys/WindowText.h"
#include <commctrl.h>

void cReportBox::Attach(HWND edit)
{
    m_edit = edit;
    ::SetWindowSubclass(edit, &SubclassProc, 1, 0);
}

LRESULT CALLBACK cReportBox::SubclassProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR)
{
    switch (msg)
    {
    case WM_GETDLGCODE:
        // A multi-line edit asks for every key: Tab would never leave it, and Esc would reach it, which then
        // sends WM_CLOSE to its parent. The arrows, paging and selection keys stay its own.
        return ::DefSubclassProc(edit, msg, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    case WM_GETOBJECT:
        if (static_cast<LONG>(lParam) == OBJID_CLIENT)
            if (const LRESULT answer = cNamedAccessible::Answer(edit, wParam, AccessibleName))
                return answer;
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(edit, &SubclassProc, 1);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(edit, msg, wParam, lParam);
}

std::wstring cReportBox::Text() const
{
    return WindowText(m_edit);
}

void cReportBox::Append(const std::wstring& text)
{
    ScrollToEnd();
    const std::wstring inserted = (::GetWindowTextLengthW(m_edit) > 0 ? L"\r\n" : L"") + text;
    ::SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(inserted.c_str()));
    ScrollToEnd();
}

void cReportBox::Replace(const std::wstring& text)
{
    ::SetWindowTextW(m_edit, text.c_str());
    ScrollToEnd();
}

// The caret goes to the end too, so that text added later lands there.
void cReportBox::ScrollToEnd() const
{
    const int length = ::GetWindowTextLengthW(m_edit);
    ::SendMessageW(m_edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    ::SendMessageW(m_edit, EM_SCROLLCARET, 0, 0);
}

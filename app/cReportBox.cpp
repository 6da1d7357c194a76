#include "app/cReportBox.h"
#include "sys/WindowText.h"

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

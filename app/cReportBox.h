#pragma once
#include <windows.h>
#include <string>

// The window's report box: reports stack up in it, and the newest is always scrolled into view.
class cReportBox
{
public:
    void Attach(HWND edit) noexcept { m_edit = edit; }
    std::wstring Text() const;
    // Adds `text` at the end, on a line of its own when the box is not empty.
    void Append(const std::wstring& text) const;
    // Replaces the whole text.
    void Replace(const std::wstring& text) const;

private:
    void ScrollToEnd() const;

    HWND m_edit = nullptr;
};

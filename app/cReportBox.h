#pragma once
#include "app/cReportText.h"
#include <windows.h>

// The window's report box: reports stack up in it, and the newest is always scrolled into view.
class cReportBox : public cReportText
{
public:
    void Attach(HWND edit) noexcept { m_edit = edit; }
    std::wstring Text() const override;
    void Append(const std::wstring& text) override;
    void Replace(const std::wstring& text) override;

private:
    void ScrollToEnd() const;

    HWND m_edit = nullptr;
};

#pragma once
#include "repair/cReportText.h"
#include <windows.h>

// The window's report box: reports stack up in it, and the newest is always scrolled into view. For
// keyboard users Tab leaves it and Esc in it closes nothing; screen readers read it by its name.
class cReportBox : public cReportText
{
public:
    static constexpr const wchar_t* AccessibleName = L"チェック結果";

    cReportBox() = default;
    cReportBox(const cReportBox&) = delete;
    cReportBox& operator=(const cReportBox&) = delete;

    void Attach(HWND edit);
    std::wstring Text() const override;
    void Append(const std::wstring& text) override;
    void Replace(const std::wstring& text) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void ScrollToEnd() const;

    HWND m_edit = nullptr;
};

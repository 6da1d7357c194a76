#pragma once
#include "repair/cReportText.h"

// Reports kept as text, for a front end without a window.
class cReportBuffer : public cReportText
{
public:
    std::wstring Text() const override { return m_text; }
    void Append(const std::wstring& text) override { m_text += (m_text.empty() ? L"" : L"\r\n") + text; }
    void Replace(const std::wstring& text) override { m_text = text; }

private:
    std::wstring m_text;
};

#pragma once
#include <string>

// Where a front end keeps its reports: the window's report box, or the console program's own text.
// Reports stack up; a new one goes on a line of its own below the last.
class cReportText
{
public:
    virtual ~cReportText() = default;
    virtual std::wstring Text() const = 0;
    // Adds `text` at the end, on a line of its own when there is text already.
    virtual void Append(const std::wstring& text) = 0;
    virtual void Replace(const std::wstring& text) = 0;
};

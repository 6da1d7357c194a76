#pragma once
#include <windows.h>
#include <string>
#include <vector>

// While it lives, catches every message box this thread shows: records it and presses OK, so a test never
// blocks. Only one catcher may live at a time.
class cMessageBoxCatcher
{
public:
    // Icon: MB_ICONINFORMATION, MB_ICONERROR (== MB_ICONSTOP), MB_ICONWARNING, MB_ICONQUESTION or 0.
    struct Box
    {
        std::wstring Title;
        std::wstring Text;
        UINT Icon;
    };
    cMessageBoxCatcher();
    ~cMessageBoxCatcher();
    cMessageBoxCatcher(const cMessageBoxCatcher&) = delete;
    cMessageBoxCatcher& operator=(const cMessageBoxCatcher&) = delete;
    const std::vector<Box>& Boxes() const noexcept { return m_boxes; }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    void Catch(HWND box);

    HHOOK m_hook = nullptr;
    // A box is activated again whenever the focus comes back to it; it is recorded once.
    HWND m_caught = nullptr;
    std::vector<Box> m_boxes;
};

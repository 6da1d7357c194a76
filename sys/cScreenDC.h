#pragma once
#include <windows.h>

// The screen's device context for as long as the object lives.
class cScreenDC
{
public:
    cScreenDC() noexcept : m_dc(::GetDC(nullptr)) {}
    ~cScreenDC()
    {
        if (m_dc)
            ::ReleaseDC(nullptr, m_dc);
    }
    cScreenDC(const cScreenDC&) = delete;
    cScreenDC& operator=(const cScreenDC&) = delete;

    // Dots per inch of the screen's height; 96 when the screen cannot be asked.
    int Dpi() const noexcept
    {
        const int dpi = m_dc ? ::GetDeviceCaps(m_dc, LOGPIXELSY) : 0;
        return dpi > 0 ? dpi : 96;
    }

private:
    HDC m_dc;
};

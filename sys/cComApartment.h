#pragma once
#include <objbase.h>

// COM on this thread for as long as the object lives; left again only when this object entered it.
class cComApartment
{
public:
    explicit cComApartment(DWORD model) noexcept : m_entered(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
    ~cComApartment()
    {
        if (m_entered)
            ::CoUninitialize();
    }
    cComApartment(const cComApartment&) = delete;
    cComApartment& operator=(const cComApartment&) = delete;

private:
    bool m_entered;
};

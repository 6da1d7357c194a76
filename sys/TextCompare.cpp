#include "sys/TextCompare.h"
#include <windows.h>

namespace textcmp
{
bool Equal(std::wstring_view a, std::wstring_view b)
{
    return a == b ||
           ::CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE,
                            a.data(), static_cast<int>(a.size()), b.data(),
                            static_cast<int>(b.size())) == CSTR_EQUAL;
}
} // namespace textcmp

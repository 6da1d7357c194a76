#include "sys/cVariant.h"
#include "sys/cAppError.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>

std::wstring cVariant::ToText() const
{
    if (IsText())
        return std::get<std::wstring>(m_value);
    if (!IsNumber())
        return {};
    const double number = std::get<double>(m_value);
    char buffer[64];
    if (std::trunc(number) == number && std::fabs(number) < 1e15)
        std::snprintf(buffer, sizeof buffer, "%.0f", number);
    else
        std::snprintf(buffer, sizeof buffer, "%.15g", number);
    // The exponent is written "1E+15", as the text form of a floating-point value shows it.
    std::wstring text;
    for (const char* p = buffer; *p; ++p)
        text.push_back(*p == 'e' ? L'E' : static_cast<wchar_t>(*p));
    return text;
}

long cVariant::ToLong(const std::wstring& source) const
{
    return RoundToLong(LeadingNumber(ToText()), source);
}

double cVariant::LeadingNumber(const std::wstring& text)
{
    // Blanks and tabs before the number are skipped, as a leading numeric part allows.
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    std::string ascii;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        ascii.push_back(static_cast<char>(text[i++]));
    bool digits = false;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
    {
        ascii.push_back(static_cast<char>(text[i++]));
        digits = true;
    }
    if (i < text.size() && text[i] == L'.')
    {
        ascii.push_back('.');
        ++i;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
        {
            ascii.push_back(static_cast<char>(text[i++]));
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E' || text[i] == L'd' || text[i] == L'D'))
    {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-'))
            exponent.push_back(static_cast<char>(text[j++]));
        bool expDigits = false;
        while (j < text.size() && text[j] >= L'0' && text[j] <= L'9')
        {
            exponent.push_back(static_cast<char>(text[j++]));
            expDigits = true;
        }
        if (expDigits)
            ascii += exponent;
    }
    return std::strtod(ascii.c_str(), nullptr);
}

long cVariant::RoundToLong(double value, const std::wstring& source)
{
    // nearbyint uses the default rounding mode: to nearest, halves to even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        throw cAppError::Standard(errnum::Overflow, source);
    return static_cast<long>(rounded);
}

#pragma once
#include <string>
#include <variant>

// A loosely typed fallback value: empty, a number or a text.
class cVariant
{
public:
    cVariant() = default;
    cVariant(int number) : m_value(static_cast<double>(number)) {}
    cVariant(long number) : m_value(static_cast<double>(number)) {}
    cVariant(double number) : m_value(number) {}
    cVariant(std::wstring text) : m_value(std::move(text)) {}
    cVariant(const wchar_t* text) : m_value(std::wstring(text ? text : L"")) {}

    bool IsEmpty() const noexcept { return std::holds_alternative<std::monostate>(m_value); }
    bool IsNumber() const noexcept { return std::holds_alternative<double>(m_value); }
    bool IsText() const noexcept { return std::holds_alternative<std::wstring>(m_value); }

    // Empty gives "", a whole number its digits, a text itself.
    std::wstring ToText() const;
    // The leading numeric part of ToText(), halves to even; throws cAppError 6 outside 32 bits.
    long ToLong(const std::wstring& source) const;

    // The leading numeric part of a text (0 when it begins with no number).
    static double LeadingNumber(const std::wstring& text);
    // Halves to even; throws cAppError 6 (overflow) outside the signed 32-bit range.
    static long RoundToLong(double value, const std::wstring& source);

private:
    std::variant<std::monostate, double, std::wstring> m_value;
};

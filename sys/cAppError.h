#pragma once
#include <exception>
#include <string>

// The one run-time error type: a number, a description and the source that raised it.
class cAppError : public std::exception
{
public:
    cAppError(long number, std::wstring description, std::wstring source);
    // An error of one of the numbers in errnum, with its standard description.
    static cAppError Standard(long number, std::wstring source);
    long Number() const noexcept { return m_number; }
    const std::wstring& Description() const noexcept { return m_description; }
    const std::wstring& Source() const noexcept { return m_source; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    long m_number;
    std::wstring m_description;
    std::wstring m_source;
    std::string m_what;
};

// Error numbers the tool raises on purpose.
namespace errnum
{
constexpr long InvalidCall = 5;    // an argument out of range
constexpr long Overflow = 6;       // a number outside the 32-bit range
constexpr long SubscriptRange = 9; // a list position or key that no record has
constexpr long CannotPerform = 17; // a profile operation with a name missing
constexpr long BadFileName = 52;   // a file that is not open
constexpr long FileExists = 58;    // a folder or file of that name is already there
constexpr long PermissionDenied = 70;
constexpr long PathNotFound = 76;
constexpr long DuplicateKey = 457; // a list key given twice
} // namespace errnum

// The system's text for a Win32 error code, without the trailing line break.
std::wstring SystemMessage(unsigned long code);

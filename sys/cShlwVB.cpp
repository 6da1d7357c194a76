#include <windows.h>
#include "sys/cShlwVB.h"
#include "sys/cAppError.h"
#include "sys/cApplication.h"
#include "sys/cFileSystemObject.h"
#include "sys/TextCompare.h"
#include <cmath>
#include <algorithm>

namespace
{
// Rounds numerator / denominator (denominator > 0, numerator >= 0) to a whole number, halves away from zero.
unsigned long long RoundHalfAway(unsigned long long numerator, unsigned long long denominator)
{
    const unsigned long long whole = numerator / denominator;
    const unsigned long long rest = numerator % denominator;
    return rest >= denominator - rest ? whole + 1 : whole;
}

// Digits grouped in threes with ",", the Japanese locale's group separator.
std::wstring Grouped(unsigned long long value)
{
    std::wstring digits = std::to_wstring(value);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, L',');
    return digits;
}

// The whole number of `units` (a fixed-point count with four decimals) after format "###,##0".
std::wstring FormatWhole(long long units)
{
    // The magnitude goes through unsigned arithmetic so that the most negative value has one too.
    const bool negative = units < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(units) : static_cast<unsigned long long>(units);
    const unsigned long long whole = RoundHalfAway(magnitude, 10000);
    return (negative && whole > 0 ? L"-" : L"") + Grouped(whole);
}

// A non-negative numerator / denominator after format "###,##0.##": two decimals, halves away from zero,
// trailing zero decimals dropped but the decimal separator kept ("1.").
std::wstring FormatTwoDecimals(unsigned long long numerator, unsigned long long denominator)
{
    // numerator * 100 could overflow; the remainder times 100 cannot, as denominator < 2^56.
    const unsigned long long whole = numerator / denominator;
    const unsigned long long hundredths =
        whole * 100 + RoundHalfAway(numerator % denominator * 100, denominator);
    std::wstring text = Grouped(hundredths / 100) + L".";
    const unsigned long long decimals = hundredths % 100;
    if (decimals % 10 != 0)
        text += std::to_wstring(decimals / 10) + std::to_wstring(decimals % 10);
    else if (decimals != 0)
        text += std::to_wstring(decimals / 10);
    return text;
}

} // namespace

size_t cShlwVB::TextFind(const std::wstring& text, const std::wstring& what, bool last)
{
    if (what.empty())
        return 0;
    if (what.size() > text.size())
        return std::wstring::npos;
    const size_t positions = text.size() - what.size() + 1;
    for (size_t n = 0; n < positions; ++n)
    {
        const size_t at = last ? positions - 1 - n : n;
        size_t matched = 0;
        while (matched < what.size() && textcmp::Equal({&text[at + matched], 1}, {&what[matched], 1}))
            ++matched;
        if (matched == what.size())
            return at;
    }
    return std::wstring::npos;
}

std::wstring cShlwVB::VBAddBackslash(const std::wstring& strPathName) const
{
    if (!strPathName.empty() && strPathName.back() == L'\\')
        return strPathName;
    return strPathName + L"\\";
}

std::wstring cShlwVB::VBRemoveBackslash(const std::wstring& strPathName) const
{
    if (!strPathName.empty() && strPathName.back() == L'\\')
        return strPathName.substr(0, strPathName.size() - 1);
    return strPathName;
}

std::wstring cShlwVB::VBFindPathName(const std::wstring& strFileName, bool blnOption) const
{
    // The presence test is exact, the position test is not: a full-width "＼" after the last "\" wins.
    if (strFileName.find(L'\\') == std::wstring::npos)
        return strFileName;
    const size_t at = TextFind(strFileName, L"\\", true);
    return strFileName.substr(0, blnOption ? at + 1 : at);
}

std::wstring cShlwVB::VBFindFileName(const std::wstring& strFileName) const
{
    const size_t folderLength =
        strFileName.find(L'\\') == std::wstring::npos ? 0 : VBFindPathName(strFileName, true).size();
    const long long count = static_cast<long long>(strFileName.size()) -
                            static_cast<long long>(folderLength) -
                            static_cast<long long>(VBFindExtension(strFileName, true).size());
    // Without a "." after the folder part the extension runs into the folder name or is the whole text:
    // the name is then everything after the folder part.
    if (strFileName.find(L'.') == std::wstring::npos || count < 0)
        return strFileName.substr(folderLength);
    return strFileName.substr(folderLength, static_cast<size_t>(count));
}

std::wstring cShlwVB::VBFindExtension(const std::wstring& strFileName, bool blnOption) const
{
    if (strFileName.find(L'.') == std::wstring::npos)
        return strFileName;
    const size_t at = TextFind(strFileName, L".", true);
    return strFileName.substr(blnOption ? at : at + 1);
}

std::wstring cShlwVB::VBRemoveExtension(const std::wstring& strFileName) const
{
    const size_t at = TextFind(strFileName, L".", true);
    return at == std::wstring::npos ? strFileName : strFileName.substr(0, at);
}

std::wstring cShlwVB::VBRenameExtension(const std::wstring& strFileName, const std::wstring& strExt) const
{
    return VBRemoveExtension(strFileName) + L"." + strExt;
}

std::wstring cShlwVB::VBStripPath(const std::wstring& strPathName) const
{
    if (strPathName.find(L'\\') == std::wstring::npos)
        return strPathName;
    return strPathName.substr(VBFindPathName(strPathName, true).size());
}

std::wstring cShlwVB::VBFindFolderName(const std::wstring& strPathName) const
{
    const std::wstring path = VBRemoveBackslash(strPathName);
    const size_t at = path.find_last_of(L'\\');
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

bool cShlwVB::VBIsUNC(const std::wstring& strPathName) const
{
    return strPathName.size() >= 2 && strPathName[0] == L'\\' && strPathName[1] == L'\\';
}

bool cShlwVB::VBIsURL(const std::wstring& strURL) const
{
    return strURL.size() > 1 && strURL.find(L"://") != std::wstring::npos;
}

std::wstring cShlwVB::VBFormatKBSize(long long curByteSize) const
{
    static constexpr const wchar_t* units[] = {L" KB", L" MB", L" GB", L" TB"};
    const double bytes = static_cast<double>(curByteSize) / 10000.0;
    for (int power = 4; power >= 1; --power)
    {
        // The unit is chosen on the double quotient rounded halves-to-even, so exactly half a unit falls
        // through; the shown digits come from the exact fixed-point value.
        if (std::nearbyint(bytes / std::pow(1024.0, power)) >= 1.0)
            return FormatTwoDecimals(static_cast<unsigned long long>(curByteSize), 10000ULL << (10 * power)) +
                   units[power - 1];
    }
    return FormatWhole(curByteSize) + L" ﾊﾞｲﾄ";
}

std::wstring cShlwVB::VBFromTimeInterval(long lngMiliSecond) const
{
    // Whole seconds, halves to the even neighbour; the sign is kept apart so the rounding is symmetric.
    const long long milliseconds = lngMiliSecond;
    const long long magnitude = milliseconds < 0 ? -milliseconds : milliseconds;
    long long seconds = magnitude / 1000;
    const long long rest = magnitude % 1000;
    if (rest > 500 || (rest == 500 && seconds % 2 == 1))
        ++seconds;
    if (milliseconds < 0)
        seconds = -seconds;

    if (milliseconds <= 60000)
        return std::to_wstring(seconds) + L"秒";
    const long long minutes = seconds / 60;
    if (minutes > 60)
    {
        std::wstring text = std::to_wstring(minutes / 60) + L"時間";
        if (minutes % 60 > 0)
            text += std::to_wstring(minutes % 60) + L"分";
        return text;
    }
    std::wstring text = std::to_wstring(minutes) + L"分";
    if (seconds % 60 > 0)
        text += std::to_wstring(seconds % 60) + L"秒";
    return text;
}

std::wstring cShlwVB::VBStrStr(const std::wstring& strFirst, const std::wstring& strSrch,
                               bool blnOption) const
{
    if (strFirst.empty())
        return {};
    const size_t at = blnOption ? strFirst.find(strSrch) : TextFind(strFirst, strSrch, false);
    return at == std::wstring::npos ? std::wstring() : strFirst.substr(at);
}

bool cShlwVB::VBMakeSureDirectoryPathExists(const std::wstring& strPathName) const
{
    const cFileSystemObject fso;
    try
    {
        std::wstring path = VBAddBackslash(strPathName);
        std::wstring drive = fso.GetDriveName(path);
        const auto rooted = [&] {
            return !drive.empty() && drive.size() < path.size() && path[drive.size()] == L'\\';
        };
        // A relative or drive-relative path would be built from the wrong folder (or lose its first
        // character): it is made absolute against the current folder first.
        if (!strPathName.empty() && !rooted())
        {
            path = VBAddBackslash(fso.GetAbsolutePathName(strPathName));
            drive = fso.GetDriveName(path);
            // Still no drive and root: "\\server" without a share names no folder that could be created.
            if (!rooted())
                throw cAppError::Standard(errnum::PathNotFound, L"cShlwVB");
        }

        const std::wstring rest = path.substr(std::min(drive.size() + 1, path.size()));
        std::wstring current = drive + L"\\";
        // Every part ends at a "\"; the empty text after the final one is not a folder.
        for (size_t start = 0, end; (end = rest.find(L'\\', start)) != std::wstring::npos; start = end + 1)
        {
            current = VBAddBackslash(current + rest.substr(start, end - start));
            if (!fso.FolderExists(current))
                fso.CreateFolder(current);
        }
        return false;
    }
    catch (const cAppError& error)
    {
        const std::wstring text = std::to_wstring(error.Number()) + L"\r\n" + error.Description();
        ::MessageBoxW(nullptr, text.c_str(), cApplication::Title().c_str(), MB_OK | MB_ICONSTOP);
        return true;
    }
}

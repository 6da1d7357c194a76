#include "sys/cShlwVB.h"

std::wstring cShlwVB::VBAddBackslash(const std::wstring& strPathName) const
{
    if (!strPathName.empty() && strPathName.back() == L'\\')
        return strPathName;
    return strPathName + L"\\";
}

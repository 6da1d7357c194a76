#include "sys/mShlwVB.h"
#include "sys/cShlwVB.h"

namespace mShlwVB
{
std::wstring AddBackslash(const std::wstring& strPathName)
{
    return cShlwVB().VBAddBackslash(strPathName);
}
} // namespace mShlwVB

#include "sys/cAccount.h"
#include <windows.h>
#include <sddl.h>

namespace
{
struct cSid
{
    explicit cSid(const std::wstring& text)
    {
        if (!::ConvertStringSidToSidW(text.c_str(), &Sid))
            Sid = nullptr;
    }
    ~cSid()
    {
        if (Sid)
            ::LocalFree(Sid);
    }
    cSid(const cSid&) = delete;
    cSid& operator=(const cSid&) = delete;
    PSID Sid = nullptr;
};
} // namespace

bool cAccount::IsSid(const std::wstring& sid)
{
    return cSid(sid).Sid != nullptr;
}

std::wstring cAccount::NameOf(const std::wstring& sid)
{
    const cSid binary(sid);
    if (!binary.Sid)
        return {};
    wchar_t name[256] = {}, domain[256] = {};
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, binary.Sid, name, &nameLength, domain, &domainLength, &use))
        return {};
    return domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

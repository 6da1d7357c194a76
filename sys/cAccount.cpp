#include "sys/cAccount.h"
#include "sys/cOwned.h"
#include <sddl.h>

namespace
{
// The SID in its binary form, owned; none when the text is no SID.
cLocalMemory Binary(const std::wstring& text)
{
    cLocalMemory sid;
    ::ConvertStringSidToSidW(text.c_str(), sid.Put());
    return sid;
}
} // namespace

bool cAccount::IsSid(const std::wstring& sid)
{
    return Binary(sid).IsValid();
}

std::wstring cAccount::NameOf(const std::wstring& sid)
{
    const cLocalMemory binary = Binary(sid);
    if (!binary)
        return {};
    wchar_t name[256] = {}, domain[256] = {};
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, binary.Get(), name, &nameLength, domain, &domainLength, &use))
        return {};
    return domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

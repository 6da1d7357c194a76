#include "security/cAccount.h"
#include "sys/cOwned.h"
#include <sddl.h>
#include <algorithm>

namespace
{
// The SID in its binary form, owned; none when the text is no SID in its canonical form. The conversion also
// takes SDDL aliases ("BA") and hexadecimal or zero-padded numbers: only a text it writes back the same is
// one.
cLocalMemory Binary(const std::wstring& text)
{
    cLocalMemory sid;
    if (!text.starts_with(L"S-1-") || !::ConvertStringSidToSidW(text.c_str(), sid.Put()))
        return cLocalMemory();
    return text == cAccount::TextOf(sid.Get()) ? std::move(sid) : cLocalMemory();
}

size_t Parts(const std::wstring& sid)
{
    return static_cast<size_t>(std::count(sid.begin(), sid.end(), L'-')) + 1;
}
} // namespace

cAccount::eKind cAccount::KindOf(const std::wstring& sid)
{
    if (!Binary(sid))
        return eKind::NotSid;
    if (sid == L"S-1-5-18" || sid == L"S-1-5-19" || sid == L"S-1-5-20")
        return eKind::System;
    // A domain's three numbers and the account's own: S, 1, the authority, its first number and four more.
    if ((sid.starts_with(L"S-1-5-21-") || sid.starts_with(L"S-1-12-1-")) && Parts(sid) == 8)
        return eKind::User;
    return eKind::OtherSid;
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

std::wstring cAccount::TextOf(PSID sid)
{
    wchar_t* text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text))
        return {};
    const cLocalMemory owned(text);
    return text;
}

#include "registry/cKey.h"
#include "sys/ProcAddress.h"
#include "sys/StrConv.h"
#include <algorithm>
#include <cstring>

LONG cKey::Open(HKEY parent, const std::wstring& path, REGSAM access)
{
    return ::RegOpenKeyExW(parent, path.c_str(), 0, access, m_key.Put());
}

LONG cKey::OpenNoLink(HKEY parent, const std::wstring& path, REGSAM access)
{
    cKey at;
    HKEY from = parent;
    for (size_t start = 0;;)
    {
        const size_t end = path.find(L'\\', start);
        const std::wstring name = path.substr(start, end == std::wstring::npos ? end : end - start);
        const bool last = end == std::wstring::npos;
        cKey next;
        LONG status = ::RegOpenKeyExW(from, name.c_str(), REG_OPTION_OPEN_LINK,
                                      (last ? access : KEY_READ | (access & KEY_WOW64_RES)) | KEY_QUERY_VALUE,
                                      next.m_key.Put());
        if (status != ERROR_SUCCESS)
            return status;
        // A link key holds its target as the value SymbolicLinkValue of the type REG_LINK.
        DWORD type = REG_NONE;
        status = ::RegQueryValueExW(next.Get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
        if ((status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && type == REG_LINK)
            return IsLink;
        at = std::move(next);
        from = at.Get();
        if (last)
            break;
        start = end + 1;
    }
    m_key = std::move(at.m_key);
    return ERROR_SUCCESS;
}

cKey::cValue cKey::Read(const std::wstring& name) const
{
    cValue value;
    if (!IsOpen())
        return value;
    // A path fits the first buffer: one call to the registry; a longer value says how much it needs, and
    // another writer may change it meanwhile, so a few tries before it counts as unreadable.
    DWORD type = REG_NONE, size = (MAX_PATH + 1) * sizeof(wchar_t);
    for (int tries = 0; tries < 4; ++tries)
    {
        if (size > MaxDataBytes)
            return ValueOf(type, nullptr, size);
        std::vector<BYTE> buffer(size + sizeof(wchar_t));
        DWORD got = size;
        value.Status = ::RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &type, buffer.data(), &got);
        if (value.Status == ERROR_MORE_DATA)
        {
            size = got;
            continue;
        }
        if (value.Status != ERROR_SUCCESS)
            break;
        return ValueOf(type, buffer.data(), std::min(got, size));
    }
    value.Kind = value.Status == ERROR_FILE_NOT_FOUND ? eValue::Missing : eValue::Unreadable;
    return value;
}

cKey::cValue cKey::ValueOf(DWORD type, const BYTE* data, size_t size)
{
    cValue value{eValue::TooLong, type, {}, ERROR_SUCCESS};
    if (size > MaxDataBytes)
        return value;
    // An odd byte count ends in half a character; the text ends at the first NUL or at the data's end.
    value.Text.resize(size / sizeof(wchar_t));
    if (size > 1)
        std::memcpy(value.Text.data(), data, value.Text.size() * sizeof(wchar_t));
    value.Text.resize(std::min(value.Text.size(), value.Text.find(L'\0')));
    value.Kind = type == REG_SZ || type == REG_EXPAND_SZ ? eValue::Text : eValue::OtherType;
    return value;
}

cKey::eAnsiSize cKey::AnsiSize(const std::wstring& name, DWORD bytes) const
{
    // The code-page function converts every text value whole before it measures, as the tool's ANSI reading
    // always did; a buffer of the limit's size tells whether it fits.
    std::string buffer(bytes, '\0');
    DWORD type = REG_NONE, size = bytes;
    const LONG status = ::RegQueryValueExA(m_key.Get(), strconv::ToAnsi(name).c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &size);
    return status == ERROR_SUCCESS     ? eAnsiSize::Fits
           : status == ERROR_MORE_DATA ? eAnsiSize::Exceeds
                                       : eAnsiSize::Unknown;
}

LONG cKey::Values(std::vector<cRawValue>& values, size_t limit) const
{
    DWORD count = 0, longestName = 0, longestData = 0;
    LONG status = ::RegQueryInfoKeyW(m_key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     &count, &longestName, &longestData, nullptr, nullptr);
    for (DWORD i = 0; status == ERROR_SUCCESS && i < count && values.size() < limit; ++i)
    {
        std::wstring name(longestName + 1, L'\0');
        std::vector<BYTE> data(longestData);
        DWORD nameLength = longestName + 1, type = REG_NONE, size = longestData;
        status =
            ::RegEnumValueW(m_key.Get(), i, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA)
            return status; // changed while read: the caller must not trust half a key
        if (status != ERROR_SUCCESS)
            break;
        name.resize(nameLength);
        data.resize(size);
        values.push_back({std::move(name), type, std::move(data)});
    }
    return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

LONG cKey::SubKeys(std::vector<std::wstring>& names, size_t limit) const
{
    LONG status = ERROR_SUCCESS;
    for (DWORD i = 0; names.size() < limit; ++i)
    {
        wchar_t name[256] = {}; // a key name has at most 255 characters
        DWORD length = 256;
        status = ::RegEnumKeyExW(m_key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

LONG cKey::DeleteSelf()
{
    return DeleteSelf(0);
}

LONG cKey::DeleteSelf(size_t depth)
{
    // RegDeleteKeyExW and RegDeleteTreeW take names, and a subkey by name may be a link they follow; the
    // native call takes the handle itself, and each subkey is opened itself. ntdll is in every process.
    constexpr size_t MaxDepth = 32;
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto deleteKey = ProcOf<LONG(NTAPI*)(HANDLE)>(ntdll, "NtDeleteKey");
    const auto toError = ProcOf<ULONG(NTAPI*)(LONG)>(ntdll, "RtlNtStatusToDosError");
    if (!deleteKey || !toError)
        return ERROR_PROC_NOT_FOUND;
    if (depth > MaxDepth)
        return ERROR_CANTWRITE;
    // The first subkey each time: a deleted one drops out, one that cannot be deleted ends it.
    for (;;)
    {
        wchar_t name[256] = {}; // a key name has at most 255 characters
        DWORD length = 256;
        LONG status = ::RegEnumKeyExW(m_key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        cKey child;
        if (status == ERROR_SUCCESS)
            status = ::RegOpenKeyExW(m_key.Get(), name, REG_OPTION_OPEN_LINK,
                                     DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                                     child.m_key.Put());
        if (status == ERROR_SUCCESS)
            status = child.DeleteSelf(depth + 1);
        if (status != ERROR_SUCCESS)
            return status;
    }
    const LONG native = deleteKey(m_key.Get());
    if (native < 0)
        return static_cast<LONG>(toError(native));
    m_key.Reset();
    return ERROR_SUCCESS;
}

#pragma once
#include "sys/cOwned.h"
#include <string>
#include <vector>

// One open registry key, read and written through the UTF-16 functions: what other users wrote there reaches
// the tool as written, never through a code page. Failures come back as the registry's status.
class cKey
{
public:
    // The longest path Windows takes; a longer value names no file.
    static constexpr size_t MaxTextChars = 32767;
    enum class eValue
    {
        Missing,    // no such value (or key)
        Text,       // REG_SZ or REG_EXPAND_SZ, within MaxTextChars
        OtherType,  // a value of another type: its bytes are still given as text
        TooLong,    // longer than MaxTextChars: no text is given
        Unreadable, // the value could not be read (access denied, for one)
    };
    struct cValue
    {
        eValue Kind = eValue::Missing;
        DWORD Type = REG_NONE;
        std::wstring Text; // up to the first NUL
        LONG Status = ERROR_FILE_NOT_FOUND;
    };
    struct cRawValue
    {
        std::wstring Name;
        DWORD Type;
        std::vector<BYTE> Data;
    };

    cKey() = default;
    // Takes over a key opened elsewhere (a private hive, for one).
    explicit cKey(HKEY owned) : m_key(owned) {}
    // Status of a key on the way that is a registry link, which the tool neither follows nor changes.
    static constexpr LONG IsLink = ERROR_CANT_RESOLVE_FILENAME;

    // Opens `path` below `parent` (a root or an open key); the registry's status.
    LONG Open(HKEY parent, const std::wstring& path, REGSAM access);
    // The same, one name at a time, each opened itself rather than what it links to: IsLink when one of them
    // is a link (a user can make one in their own classes, and Windows follows it even into the machine's).
    LONG OpenNoLink(HKEY parent, const std::wstring& path, REGSAM access);
    HKEY Get() const noexcept { return m_key.Get(); }
    bool IsOpen() const noexcept { return m_key.IsValid(); }

    // A value by name (empty: the key's default value).
    cValue Read(const std::wstring& name = {}) const;
    // The most data read as text: MaxTextChars, their NUL and half a character; more is TooLong unread.
    static constexpr size_t MaxDataBytes = (MaxTextChars + 1) * sizeof(wchar_t) + 1;
    // A value of `type` whose data is `size` bytes at `data` (not looked at beyond MaxDataBytes).
    static cValue ValueOf(DWORD type, const BYTE* data, size_t size);
    // Whether the value's data, measured as the code-page functions measure it (all of it, in the system's
    // code page, anything after a NUL included), fits in `bytes`.
    enum class eAnsiSize
    {
        Fits,
        Exceeds,
        Unknown, // missing, or not to be read
    };
    eAnsiSize AnsiSize(const std::wstring& name, DWORD bytes) const;
    // Every value of the key and the names of its subkeys, at most `limit` of each; the status of the
    // listing.
    LONG Values(std::vector<cRawValue>& values, size_t limit) const;
    LONG SubKeys(std::vector<std::wstring>& names, size_t limit) const;
    // Removes this very key, opened with DELETE and the rights to list it, with its values and subkeys (a
    // link among them as the link itself): what was opened and checked goes, never what another key of that
    // name has become meanwhile, nor what a link points to. The registry's status.
    LONG DeleteSelf();

private:
    LONG DeleteSelf(size_t depth);

    cRegKey m_key;
};

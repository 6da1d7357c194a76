#include "registry/cHiveMount.h"
#include "registry/cKey.h"
#include "sys/cOwned.h"
#include "security/cRunner.h"
#include "security/cThreadPrivileges.h"
#include <atomic>
#include <mutex>
#include <set>
#include <cwchar>

namespace
{
// Loading and unloading a hive take both privileges (RegLoadKeyW's and RegUnLoadKeyW's documentation).
const std::initializer_list<const wchar_t*> HivePrivileges = {SE_BACKUP_NAME, SE_RESTORE_NAME};

std::atomic<unsigned> s_mounts{0};

// The names this run has loaded and not yet unloaded, for a console's close handler on another thread.
std::mutex s_loadedLock;
std::set<std::wstring> s_loaded;
} // namespace

cHiveMount& cHiveMount::operator=(cHiveMount&& other) noexcept
{
    if (this != &other)
    {
        Unload();
        m_name = std::exchange(other.m_name, {});
    }
    return *this;
}

LONG cHiveMount::Load(const std::wstring& file)
{
    Unload();
    if (cThreadPrivileges::Spoiled())
        return ERROR_PRIVILEGE_NOT_HELD;
    const std::wstring name = NameOf(::GetCurrentProcessId(), cRunner::StartTime(), ++s_mounts);
    const cThreadPrivileges privileges(HivePrivileges);
    if (privileges.Status() != ERROR_SUCCESS)
        return privileges.Status() == ERROR_NOT_ALL_ASSIGNED ? ERROR_PRIVILEGE_NOT_HELD
                                                             : static_cast<LONG>(privileges.Status());
    const std::lock_guard<std::mutex> guard(s_loadedLock);
    const LONG status = ::RegLoadKeyW(HKEY_USERS, name.c_str(), file.c_str());
    if (status == ERROR_SUCCESS)
        m_name = name, s_loaded.insert(name);
    return status;
}

LONG cHiveMount::Unload()
{
    if (m_name.empty())
        return ERROR_SUCCESS;
    const LONG status = UnloadName(m_name, UnloadWaitsMs);
    if (status == ERROR_SUCCESS)
    {
        const std::lock_guard<std::mutex> guard(s_loadedLock);
        s_loaded.erase(m_name);
        m_name.clear();
    }
    return status;
}

size_t cHiveMount::UnloadAllOnce()
{
    const std::lock_guard<std::mutex> guard(s_loadedLock);
    for (auto name = s_loaded.begin(); name != s_loaded.end();)
        name = UnloadName(*name, {}) == ERROR_SUCCESS ? s_loaded.erase(name) : std::next(name);
    return s_loaded.size();
}

unsigned cHiveMount::Loads() noexcept
{
    return s_mounts;
}

std::function<LONG(const std::wstring&)>& cHiveMount::UnloadOnce()
{
    static std::function<LONG(const std::wstring&)> once = [](const std::wstring& name) {
        return ::RegUnLoadKeyW(HKEY_USERS, name.c_str());
    };
    return once;
}

std::function<void(DWORD)>& cHiveMount::Wait()
{
    static std::function<void(DWORD)> wait = [](DWORD ms) { ::Sleep(ms); };
    return wait;
}

LONG cHiveMount::Retried(const std::function<LONG()>& unloadOnce, std::span<const DWORD> waitsMs,
                         const std::function<void(DWORD)>& wait)
{
    LONG status = unloadOnce();
    for (size_t i = 0; i < waitsMs.size(); ++i)
    {
        // Gone already: someone unloaded it meanwhile.
        if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        wait(waitsMs[i]);
        status = unloadOnce();
    }
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG cHiveMount::UnloadName(const std::wstring& name, std::span<const DWORD> waitsMs)
{
    const cThreadPrivileges privileges(HivePrivileges);
    return Retried([&name] { return UnloadOnce()(name); }, waitsMs, Wait());
}

std::wstring cHiveMount::NameOf(DWORD processId, ULONGLONG started, unsigned n)
{
    wchar_t name[64] = {};
    std::swprintf(name, 64, L"%ls%lu-%016llX-%u", Prefix, static_cast<unsigned long>(processId), started, n);
    return name;
}

std::optional<cHiveMount::cOwner> cHiveMount::OwnerOf(const std::wstring& name)
{
    if (!name.starts_with(Prefix))
        return std::nullopt;
    // Only the form NameOf writes: decimal id, 16 hex digits, decimal count.
    const std::wstring rest = name.substr(std::wcslen(Prefix));
    const size_t first = rest.find(L'-'),
                 second = first == std::wstring::npos ? first : rest.find(L'-', first + 1);
    if (first == std::wstring::npos || second == std::wstring::npos || first == 0 || first > 10 ||
        second - first - 1 != 16 || second + 1 == rest.size() || rest.size() - second - 1 > 10)
        return std::nullopt;
    const auto all = [&](size_t from, size_t to, auto is) {
        for (size_t i = from; i < to; ++i)
            if (!is(rest[i]))
                return false;
        return true;
    };
    const auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    const auto hex = [&](wchar_t c) { return digit(c) || (c >= L'A' && c <= L'F'); };
    if (!all(0, first, digit) || !all(first + 1, second, hex) || !all(second + 1, rest.size(), digit))
        return std::nullopt;
    const unsigned long long id = std::wcstoull(rest.substr(0, first).c_str(), nullptr, 10);
    if (id > 0xFFFFFFFFull)
        return std::nullopt;
    return cOwner{static_cast<DWORD>(id), std::wcstoull(rest.substr(first + 1, 16).c_str(), nullptr, 16)};
}

cHiveMount::eRun cHiveMount::RunOf(DWORD openStatus, DWORD exitCode, ULONGLONG started, const cOwner& owner)
{
    // No process of that id at all; or one that has ended but is still held by someone; or a later one that
    // was given the same id.
    if (openStatus == ERROR_INVALID_PARAMETER)
        return eRun::Ended;
    if (openStatus != ERROR_SUCCESS)
        return eRun::Alive;
    return exitCode != STILL_ACTIVE || started != owner.Started ? eRun::Ended : eRun::Alive;
}

std::vector<cHiveMount::cLeftover> cHiveMount::ClearLeftovers()
{
    std::vector<cLeftover> left;
    cKey users;
    std::vector<std::wstring> names;
    users.Open(HKEY_USERS, L"", KEY_ENUMERATE_SUB_KEYS);
    users.SubKeys(names, 100000);
    for (const std::wstring& name : names)
    {
        const std::optional<cOwner> owner = OwnerOf(name);
        if (!owner)
            continue;
        const cHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner->ProcessId));
        DWORD exitCode = STILL_ACTIVE;
        const DWORD opened = process ? ERROR_SUCCESS : ::GetLastError();
        if (process)
            ::GetExitCodeProcess(process.Get(), &exitCode);
        if (RunOf(opened, exitCode, process ? cRunner::StartTime(process.Get()) : 0, *owner) == eRun::Alive)
            continue;
        const LONG status = UnloadName(name, LeftoverWaitsMs);
        if (status != ERROR_SUCCESS)
            left.push_back({name, status});
    }
    return left;
}

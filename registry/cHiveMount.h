#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A user's classes file loaded under HKEY_USERS, with a name of the tool's own, where Windows will not load
// it for the tool alone. Unloaded as soon as its reading is done. One that a run could not unload (a crash, a
// kill) stays until it is unloaded or Windows restarts: a later run unloads it once its run has ended.
class cHiveMount
{
public:
    static constexpr const wchar_t* Prefix = L"plotwing2fix-";
    // A key another program holds open keeps the file loaded: tried again this many times, 100 ms apart.
    static constexpr int UnloadTries = 5;

    cHiveMount() = default;
    ~cHiveMount() { Unload(); }
    cHiveMount(cHiveMount&& other) noexcept : m_name(std::exchange(other.m_name, {})) {}
    cHiveMount& operator=(cHiveMount&& other) noexcept;
    cHiveMount(const cHiveMount&) = delete;
    cHiveMount& operator=(const cHiveMount&) = delete;

    // Loads `file` under a new name of this run's, with the backup and restore privileges enabled on this
    // thread alone; the registry's status (ERROR_PRIVILEGE_NOT_HELD for an unelevated run).
    LONG Load(const std::wstring& file);
    // The name under HKEY_USERS; empty while nothing is loaded.
    const std::wstring& Name() const noexcept { return m_name; }
    // The registry's status of the last try; ERROR_SUCCESS also when nothing was loaded.
    LONG Unload();

    // plotwing2fix-<process id>-<its start time, 16 hex digits>-<n>: the run that made it, and never a name
    // of Windows' own (<sid>_Classes).
    static std::wstring NameOf(DWORD processId, ULONGLONG started, unsigned n);
    struct cOwner
    {
        DWORD ProcessId;
        ULONGLONG Started;
    };
    static std::optional<cOwner> OwnerOf(const std::wstring& name);
    enum class eRun
    {
        Alive, // or not to be told: left alone
        Ended,
    };
    // From OpenProcess's status on the owner's id and, when it opened, the process's exit code and start
    // time.
    static eRun RunOf(DWORD openStatus, DWORD exitCode, ULONGLONG started, const cOwner& owner);
    struct cLeftover
    {
        std::wstring Name;
        LONG Status;
    };
    // Unloads the mounts of runs that have ended; those that could not be unloaded.
    static std::vector<cLeftover> ClearLeftovers();

private:
    static LONG UnloadName(const std::wstring& name);

    std::wstring m_name;
};

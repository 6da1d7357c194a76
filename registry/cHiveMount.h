#pragma once
#include <windows.h>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

// A signed-out user's classes file loaded under HKEY_USERS, with a name of the tool's own, only so that a
// repair can remove a key from it. Unloaded as soon as that is done. One that a run could not unload (a kill,
// a sign-out, a shut-down) stays until it is unloaded or Windows restarts: a later run unloads it once its
// run has ended.
class cHiveMount
{
public:
    static constexpr const wchar_t* Prefix = L"plotwing2fix-";
    // A key another program holds open keeps the file loaded, and an antivirus scan of a file just loaded
    // takes a while: the tool's own mount is tried again after each of these waits (about 30 s in all).
    static constexpr DWORD UnloadWaitsMs[] = {100, 200, 400, 800, 1600, 3200, 6400, 6400, 6400, 6400};
    // A leftover of an ended run is tried at each check: briefly, so that no check waits on it.
    static constexpr DWORD LeftoverWaitsMs[] = {100, 100, 100, 100};

    cHiveMount() = default;
    // Takes over a mount of this run's made elsewhere, to unload.
    explicit cHiveMount(std::wstring loaded) : m_name(std::move(loaded)) {}
    ~cHiveMount() { Unload(); }
    cHiveMount(cHiveMount&& other) noexcept : m_name(std::exchange(other.m_name, {})) {}
    cHiveMount& operator=(cHiveMount&& other) noexcept;
    cHiveMount(const cHiveMount&) = delete;
    cHiveMount& operator=(const cHiveMount&) = delete;

    // Loads `file` under a new name of this run's, with the backup and restore privileges enabled on this
    // thread alone; the registry's status (ERROR_PRIVILEGE_NOT_HELD for an unelevated run, or when a thread
    // of this run kept its privileges once: no further load then).
    LONG Load(const std::wstring& file);
    // The name under HKEY_USERS; empty while nothing is loaded.
    const std::wstring& Name() const noexcept { return m_name; }
    // The registry's status of the last try; ERROR_SUCCESS also when nothing was loaded.
    LONG Unload();
    // One try at every mount this run holds, from any thread (a console being closed): those left loaded.
    static size_t UnloadAllOnce();
    // How many hives this process has loaded: a check loads none.
    static unsigned Loads() noexcept;

    // `unloadOnce` tried, and tried again after each of `waitsMs` (through `wait`) until it succeeds or the
    // hive is gone: its last status.
    static LONG Retried(const std::function<LONG()>& unloadOnce, std::span<const DWORD> waitsMs,
                        const std::function<void(DWORD)>& wait);
    // How the tool waits between tries, and one try at unloading a name: a test makes the wait return at once
    // and the unload fail as an antivirus would make it.
    static std::function<void(DWORD)>& Wait();
    static std::function<LONG(const std::wstring& name)>& UnloadOnce();

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
    static LONG UnloadName(const std::wstring& name, std::span<const DWORD> waitsMs);

    std::wstring m_name;
};

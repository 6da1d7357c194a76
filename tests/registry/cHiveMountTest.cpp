#include "registry/cHiveMount.h"
#include "security/cRunner.h"
#include "security/cThreadPrivileges.h"
#include "registry/cUserClasses.h"
#include "tests/support/TestPc.h"
#include <numeric>

namespace
{
// Whether the thread's token (else the process's) has the restore privilege enabled.
bool RestoreEnabled(bool thread)
{
    cHandle token;
    PRIVILEGE_SET asked{1, PRIVILEGE_SET_ALL_NECESSARY, {{{0, 0}, 0}}};
    BOOL held = FALSE;
    return (thread ? ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.Put())
                   : ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) &&
           ::LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &asked.Privilege[0].Luid) &&
           ::PrivilegeCheck(token.Get(), &asked, &held) && held;
}

const auto Mounted = [](const std::wstring& name) { return cKey().Open(HKEY_USERS, name, KEY_READ) == 0; };
} // namespace

TEST(cHiveMountTest, NamesTellTheRunThatMadeThemAndOnlyAnEndedRunsAreItsToClear)
{
    const cHiveMount::cOwner owner{4242, 0x01DD866E40BE657Cull};
    EXPECT_EQ(L"plotwing2fix-4242-01DD866E40BE657C-7", cHiveMount::NameOf(owner.ProcessId, owner.Started, 7));
    const auto parsed = cHiveMount::OwnerOf(L"plotwing2fix-4242-01DD866E40BE657C-7");
    EXPECT_TRUE(parsed && parsed->ProcessId == 4242 && parsed->Started == owner.Started);
    // clang-format off
    for (const wchar_t* name : {L"S-1-5-21-1-2-3-1001_Classes", L"plotwing2fix-", L"plotwing2fix-4242-1-7", L".DEFAULT",
             L"plotwing2fix-x-01DD866E40BE657C-7", L"plotwing2fix-4242-01DD866E40BE657C-", L"plotwing2fix-4242-01dd866e40be657c-7",
             L"plotwing2fix-99999999999-01DD866E40BE657C-7", L"plotwing2fix-4242-01DD866E40BE657C-7-8"})
        // clang-format on
        EXPECT_FALSE(cHiveMount::OwnerOf(name)) << name;
    using R = cHiveMount::eRun;
    // clang-format off
    const std::tuple<DWORD, DWORD, ULONGLONG, R> rows[] = {{ERROR_SUCCESS, STILL_ACTIVE, owner.Started, R::Alive},
        {ERROR_SUCCESS, 0, owner.Started, R::Ended},                // ended, its handle still held somewhere
        {ERROR_SUCCESS, STILL_ACTIVE, owner.Started + 1, R::Ended}, // another run under the same id
        {ERROR_INVALID_PARAMETER, 0, 0, R::Ended}, {ERROR_ACCESS_DENIED, 0, 0, R::Alive}}; // none; not to be looked at
    // clang-format on
    for (const auto& [opened, exitCode, started, run] : rows)
        EXPECT_EQ(run, cHiveMount::RunOf(opened, exitCode, started, owner)) << opened << " " << exitCode;
    // The tool's own mount is tried again for about 30 s, backing off; a leftover of an ended run briefly.
    std::vector<DWORD> waited;
    const auto wait = [&](DWORD ms) { waited.push_back(ms); };
    // clang-format off
    const std::tuple<std::vector<LONG>, std::span<const DWORD>, LONG, size_t> tries[] = {
        {{ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_SUCCESS}, cHiveMount::UnloadWaitsMs, ERROR_SUCCESS, 3},
        {{ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}, cHiveMount::UnloadWaitsMs, ERROR_SUCCESS, 2}, // someone else unloaded it
        {{}, cHiveMount::UnloadWaitsMs, ERROR_ACCESS_DENIED, 11}, {{}, cHiveMount::LeftoverWaitsMs, ERROR_ACCESS_DENIED, 5},
        {{}, {}, ERROR_ACCESS_DENIED, 1}}; // a console being closed: one try
    // clang-format on
    { // this run's own mount, as Unload tries it: ten waits more
        const auto real =
            std::exchange(cHiveMount::UnloadOnce(), [](const std::wstring&) { return LONG{5}; });
        const auto sleep = std::exchange(cHiveMount::Wait(), wait);
        cHiveMount mount(L"plotwing2fix-x");
        EXPECT_EQ(5, mount.Unload());
        cHiveMount::UnloadOnce() = real, cHiveMount::Wait() = sleep;
    }
    EXPECT_EQ(10u, std::exchange(waited, {}).size());
    for (const auto& [answers, waits, status, count] : tries)
    {
        size_t asked = 0;
        waited.clear();
        const auto once = [&, &answers = answers] {
            return asked < answers.size() ? answers[asked++] : (++asked, ERROR_ACCESS_DENIED);
        };
        EXPECT_EQ(Joined(status, count), Joined(cHiveMount::Retried(once, waits, wait), asked));
        const DWORD total = std::accumulate(waited.begin(), waited.end(), DWORD{0});
        EXPECT_TRUE(waited.size() == count - 1 && (count != 11 || (total >= 28000 && total <= 35000)))
            << total;
    }
}

// A repair's removal alone loads a signed-out user's file: under a name of the tool's own, with the
// privileges on the loading thread only, every folder on the way held so that none can be renamed while it is
// loaded, never beside a hive Windows has loaded for that user; what a run that ended left loaded is cleared
// first, a live run's left alone. Wine loads only its own text format, so the file here is one.
TEST(cHiveMountTest, AFileLoadedForAChangeIsMountedHeldAndUnloadedWithThePrivilegesOnTheThreadOnly)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    if (!IsWine())
        GTEST_SKIP() << "the classes files here are in Wine's registry format";
    const cTempFolder temp;
    WriteBytes(cUserClasses::FilePath(temp / L"u"), // in Wine's own text format
               "WINE REGISTRY Version 2\n\n[CLSID\\\\{A}\\\\InprocServer32] "
               "1796663598\n@=\"C:\\\\x\\\\plotwing2.ocx\"\n");
    ASSERT_FALSE(RestoreEnabled(false));
    const std::wstring windows = temp / L"u\\AppData\\Local\\Microsoft\\Windows";
    std::wstring name;
    {
        cUserClasses classes = cUserClasses::LoadForChange(L"S-1-5-21-1-2-3-1001", temp / L"u");
        ASSERT_EQ(cUserClasses::eSource::FromFile, classes.Source) << classes.Status;
        name = classes.Mount.Name();
        EXPECT_EQ(0u, name.find(L"plotwing2fix-" + std::to_wstring(::GetCurrentProcessId()) + L"-"));
        cKey server;
        server.Open(classes.Root.Get(), L"CLSID\\{A}\\InprocServer32", KEY_READ);
        EXPECT_EQ(L"C:\\x\\plotwing2.ocx|1", Joined(server.Read().Text, Mounted(name)));
        EXPECT_FALSE(RestoreEnabled(false) || RestoreEnabled(true)) << "the privileges went with the load";
        for (const std::wstring& folder : {temp / L"u", temp / L"u\\AppData", windows})
            EXPECT_FALSE(::MoveFileW(folder.c_str(), (folder + L"-moved").c_str())) << folder;
        EXPECT_EQ(ERROR_SUCCESS, classes.Close());
        EXPECT_FALSE(Mounted(name));
        EXPECT_TRUE(::MoveFileW(windows.c_str(), (windows + L"-moved").c_str()) &&
                    ::MoveFileW((windows + L"-moved").c_str(), windows.c_str()))
            << "released with the unload";
    }
    cHandle none;
    EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, none.Put()))
        << "still impersonating";
    // Left by runs: one that ended (an odd process id is never a real one) and this one; and a user's main
    // hive, loaded as a sign-in or another program loads it.
    const std::wstring ended = cHiveMount::NameOf(0x7FFFFFFF, 1, 1),
                       alive = cHiveMount::NameOf(::GetCurrentProcessId(), cRunner::StartTime(), 99),
                       signingIn = L"S-1-5-21-1-2-3-1002";
    {
        const cThreadPrivileges privileges({SE_BACKUP_NAME, SE_RESTORE_NAME});
        for (const std::wstring& mount : {ended, alive, signingIn})
            ::RegLoadKeyW(HKEY_USERS, mount.c_str(), cUserClasses::FilePath(temp / L"u").c_str());
    }
    const cAtEnd unload{[&] {
        const cThreadPrivileges privileges({SE_BACKUP_NAME, SE_RESTORE_NAME});
        for (const std::wstring& mount : {ended, alive, signingIn})
            ::RegUnLoadKeyW(HKEY_USERS, mount.c_str());
    }};
    ASSERT_TRUE(Mounted(ended) && Mounted(alive) && Mounted(signingIn));
    const unsigned loads = cHiveMount::Loads();
    EXPECT_EQ(L"1|0",
              Joined(cUserClasses::LoadForChange(signingIn, temp / L"u").Status == cUserClasses::SigningIn,
                     cHiveMount::Loads() - loads));
    EXPECT_TRUE(cHiveMount::ClearLeftovers().empty());
    EXPECT_EQ(L"0|1", std::to_wstring(Mounted(ended)) + L"|" + std::to_wstring(Mounted(alive)));
}

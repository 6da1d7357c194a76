#include "repair/cRepairLock.h"
#include "tests/support/TestPc.h"
#include <aclapi.h>
#include <sddl.h>
#include <thread>

// One rule for the window and the console program, a SYSTEM run and an administrator's: a mutex they cannot
// trust, open or have is no lock, and only a held one lets a repair start.
TEST(cRepairLockTest, OneRuleForEveryCallerAndAMutexOnlySystemAndAdministratorsMayOpen)
{
    using O = cRepairLock::eOpened;
    using S = cRepairLock::eState;
    const std::tuple<O, bool, std::optional<S>> rows[] = {
        {O::Created, true, std::nullopt},         {O::Opened, true, std::nullopt},
        {O::Created, false, S::Untrusted},        {O::Opened, false, S::Untrusted},
        {O::AccessDenied, true, S::AccessDenied}, {O::WrongKind, true, S::WrongKind},
        {O::Failed, true, S::Unavailable}};
    for (const auto& [opened, trusted, refusal] : rows)
        EXPECT_EQ(refusal, cRepairLock::Refusal(opened, trusted)) << static_cast<int>(opened) << trusted;
    using W = cModalWait::eWait;
    EXPECT_EQ((std::vector<S>{S::Held, S::Held, S::Busy, S::Unavailable}),
              (std::vector<S>{cRepairLock::AfterWait(W::Signalled), cRepairLock::AfterWait(W::Abandoned),
                              cRepairLock::AfterWait(W::TimedOut), cRepairLock::AfterWait(W::Failed)}));
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cRepairLock lock(nullptr, 0);
    ASSERT_EQ(S::Held, lock.State());
    const cHandle mutex(::OpenMutexW(READ_CONTROL, FALSE, cRepairLock::Name));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    wchar_t* sddl = nullptr;
    ::GetSecurityInfo(mutex.Get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      nullptr, nullptr, nullptr, nullptr, &descriptor);
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &sddl, nullptr);
    EXPECT_EQ(L"O:BAD:P(A;;0x120001;;;SY)(A;;0x120001;;;BA)", std::wstring(sddl ? sddl : L"(none)"));
    ::LocalFree(sddl), ::LocalFree(descriptor);
}

namespace
{
// The access a handle was given, as the kernel keeps it (NtQueryObject's basic information).
ACCESS_MASK Granted(HANDLE handle)
{
    ULONG basic[24] = {}, length = 0;
    const auto query = reinterpret_cast<LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG)>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    return query && query(handle, 0, basic, sizeof basic, &length) == 0 ? basic[1] : 0;
}

// The lock's steps one at a time: what it opens, and whom it trusts.
struct cProbeLock : cRepairLock
{
    cProbeLock() : cRepairLock(nullptr) {}
    using cRepairLock::IsOwnerTrusted;
    ACCESS_MASK Asked = 0;
    eOpened Open(cHandle& mutex) override
    {
        const eOpened opened = cRepairLock::Open(mutex);
        Asked = Granted(mutex.Get());
        return opened;
    }
    void Take() { Acquire(nullptr, 0); }
};

HANDLE MutexOwnedBy(const wchar_t* owner, const wchar_t* name = nullptr)
{
    cLocalMemory descriptor(nullptr);
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        (L"O:" + std::wstring(owner) + L"D:P(A;;GA;;;WD)").c_str(), SDDL_REVISION_1, descriptor.Put(),
        nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    return ::CreateMutexExW(&attributes, name, 0, MUTEX_ALL_ACCESS);
}
} // namespace

// The rule's own steps: a lock whose owner reads back as anyone else is not trusted; it is opened with the
// rule's three rights only (Windows refuses administrators more, its DACL granting no more); and a repair
// already waiting when the holder finishes gets it at once, while the holder's thread lives on.
TEST(cRepairLockTest, OnlyATrustedOwnersLockWithTheRulesRightsAndAWaiterGetsItTheMomentItIsReleased)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    {
        cProbeLock probe;
        EXPECT_EQ(L"1|1|0|0", Joined(probe.IsOwnerTrusted(cHandle(MutexOwnedBy(L"SY")).Get()),
                                     probe.IsOwnerTrusted(cHandle(MutexOwnedBy(L"BA")).Get()),
                                     probe.IsOwnerTrusted(cHandle(MutexOwnedBy(L"BU")).Get()),
                                     probe.IsOwnerTrusted(cHandle(MutexOwnedBy(L"WD")).Get())));
        // There already, as another repair left it: opened, not made.
        const cHandle existing(MutexOwnedBy(L"BA", cRepairLock::Name));
        probe.Take();
        EXPECT_TRUE(probe.State() == cRepairLock::eState::Held && probe.Asked == cRepairLock::Access &&
                    cRepairLock::Access == (SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL))
            << std::hex << probe.Asked;
    }
    const cHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        held(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        quit(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        {
            const cRepairLock lock(nullptr, 5000);
            ::SetEvent(held.Get());
            ::WaitForSingleObject(release.Get(), 10000);
        }
        ::WaitForSingleObject(quit.Get(), 20000); // the holder's thread lives on, as a window's does
    });
    const cAtEnd join{[&] { ::SetEvent(release.Get()), ::SetEvent(quit.Get()), holder.join(); }};
    ::WaitForSingleObject(held.Get(), 10000);
    std::thread releaser([&] { ::Sleep(300), ::SetEvent(release.Get()); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(L"1|1", Joined(cRepairLock(nullptr, 8000).State() == cRepairLock::eState::Held,
                             std::chrono::steady_clock::now() - start < std::chrono::seconds(2)))
        << "a repair waiting when the holder finished gets the lock at once";
    releaser.join();
}

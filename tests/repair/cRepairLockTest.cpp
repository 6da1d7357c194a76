#include "repair/cRepairLock.h"
#include "tests/support/TestPc.h"
#include <aclapi.h>
#include <sddl.h>

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

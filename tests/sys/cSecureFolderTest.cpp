#include "sys/cSecureFolder.h"
#include "tests/support/TestPc.h"
#include <sddl.h>

// Wine keeps no security on files: the descriptor itself must let SYSTEM and administrators alone write.
TEST(cSecureFolderTest, OnlySystemAndAdministratorsWriteInAFolderItMakesAndOnlyTheyOrTheRunnerOwnOneItTrusts)
{
    for (const std::wstring user : {L"", L"S-1-5-21-1-2-3-1001"})
    {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            cSecureFolder::Security(user).c_str(), SDDL_REVISION_1, &sd, nullptr));
        const std::unique_ptr<void, decltype(&::LocalFree)> owned(sd, &::LocalFree);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        PACL dacl = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        ::GetSecurityDescriptorControl(sd, &control, &revision);
        ::GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
        std::wstring writers;
        for (DWORD i = 0; dacl && i < dacl->AceCount; ++i)
        {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ::GetAce(dacl, i, reinterpret_cast<void**>(&ace));
            wchar_t* sid = nullptr;
            ::ConvertSidToStringSidW(&ace->SidStart, &sid);
            if (ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE))
                writers += sid + std::wstring(L" ");
            ::LocalFree(sid);
        }
        EXPECT_EQ(L"S-1-5-18 S-1-5-32-544 " + (user.empty() ? L"" : user + L" "), writers);
        EXPECT_TRUE(control & SE_DACL_PROTECTED);
    }
    const wchar_t* const texts[] = {L"S-1-5-18", L"S-1-5-32-544", L"S-1-5-21-1-2-3-1001", L"S-1-5-32-545"};
    PSID sids[4] = {};
    for (int i = 0; i < 4; ++i)
        ::ConvertStringSidToSidW(texts[i], &sids[i]);
    // SYSTEM, Administrators and the runner itself; not another user, the Users group, or no owner at all.
    const auto trusted = [&](PSID owner, PSID self) {
        return cSecureFolder::IsTrustedOwner(owner, self) ? L'1' : L'0';
    };
    const std::wstring answers{trusted(sids[0], nullptr), trusted(sids[1], sids[2]),
                               trusted(sids[2], sids[2]), trusted(sids[2], nullptr),
                               trusted(sids[3], sids[2]), trusted(nullptr, sids[2])};
    EXPECT_EQ(L"111000", answers);
    for (PSID sid : sids)
        ::LocalFree(sid);
}

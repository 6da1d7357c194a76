#include "repair/cBackup.h"
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

// Every folder from a trusted root down is checked: one a user owns anywhere on the way is refused for the
// tool's own folders (a log path the runner chose may be the runner's), a link anywhere on the way always.
TEST(cSecureFolderTest, EveryFolderOnTheWayIsTrustedAndHeldAndOneSwappedAfterTheCheckIsNeverWrittenThrough)
{
    using O = cSecureFolder::eOwner;
    using R = cSecureFolder::eOutcome;
    const std::tuple<bool, O, bool, R> rows[] = {{false, O::System, false, R::Ready},
                                                 {false, O::Administrators, false, R::Ready},
                                                 {false, O::TrustedInstaller, false, R::Ready},
                                                 {false, O::RootOwner, false, R::Ready},
                                                 {false, O::Runner, false, R::Untrusted},
                                                 {false, O::Runner, true, R::Ready},
                                                 {false, O::Other, true, R::Untrusted},
                                                 {false, O::None, true, R::Untrusted},
                                                 {true, O::System, true, R::Link},
                                                 {true, O::Runner, true, R::Link}};
    for (const auto& [link, owner, runner, outcome] : rows)
        EXPECT_EQ(outcome, cSecureFolder::StepOf(link, owner, runner))
            << link << " " << static_cast<int>(owner) << " " << runner;
    const wchar_t* const texts[] = {L"S-1-5-18",
                                    L"S-1-5-32-544",
                                    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                    L"S-1-5-21-1-2-3-500",
                                    L"S-1-5-21-1-2-3-1001",
                                    L"S-1-5-32-545"};
    std::vector<cLocalMemory> sids;
    for (const wchar_t* text : texts)
        ::ConvertStringSidToSidW(text, sids.emplace_back(nullptr).Put());
    const auto owner = [&](size_t i, PSID runner, PSID root) {
        return static_cast<int>(cSecureFolder::OwnerOf(sids[i].Get(), runner, root));
    };
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 5, 6}),
              (std::vector<int>{owner(0, sids[4].Get(), sids[3].Get()), owner(1, nullptr, nullptr),
                                owner(2, nullptr, nullptr), owner(3, sids[4].Get(), sids[3].Get()),
                                owner(4, sids[4].Get(), sids[3].Get()), owner(4, nullptr, sids[3].Get()),
                                owner(5, sids[4].Get(), sids[3].Get()),
                                static_cast<int>(cSecureFolder::OwnerOf(nullptr, nullptr, nullptr))}));
    // Under Wine every file is the runner's, who owns the volume's root too: the chain is trusted, and what
    // Wine does not stop (a held folder renamed) is still seen before anything is written.
    const cTempFolder temp;
    const cSecureFolder::cHeld held = cSecureFolder::Ensure(temp / L"plotwing2fix\\backup", false);
    ASSERT_EQ(R::Created, held.Result.Outcome) << held.Result.Error << " at " << held.Result.At;
    EXPECT_EQ(R::Created, held.Verify().Outcome);
    cBackup backup(temp / L"", LocalNow());
    EXPECT_EQ(cBackup::eSaved::Saved, backup.Reserve(L"x").Outcome);
    // Windows refuses to rename a held folder; where the rename happens, the swap is seen.
    if (!::MoveFileW((temp / L"plotwing2fix").c_str(), (temp / L"moved").c_str()))
        EXPECT_TRUE(::GetLastError() == ERROR_SHARING_VIOLATION || ::GetLastError() == ERROR_ACCESS_DENIED);
    else
    {
        fs::create_directories(temp / L"plotwing2fix\\backup");
        EXPECT_EQ(temp / L"plotwing2fix", held.Verify().At);
        const cBackup::cSaved swapped = backup.Reserve(L"y");
        EXPECT_EQ(L"確認したあとでバックアップフォルダーの途中のフォルダーが置き換えられました：" +
                      temp / L"plotwing2fix",
                  swapped.Reason);
    }
    // A link on the way (scripts/test makes one: a Unix symbolic link, which Wine shows as a reparse point).
    if (const DWORD link = ::GetFileAttributesW(L"C:\\p2f-linked-folder");
        link != INVALID_FILE_ATTRIBUTES && (link & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        const cSecureFolder::cHeld through =
            cSecureFolder::Ensure(L"C:\\p2f-linked-folder\\p2f\\backup", true);
        EXPECT_TRUE(through.Result.Outcome == R::Link && through.Result.At == L"C:\\p2f-linked-folder");
        EXPECT_FALSE(fs::exists(ShellFolder(CSIDL_WINDOWS) + L"\\temp\\p2f")) << "nothing made through it";
    }
}

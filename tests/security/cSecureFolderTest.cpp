#include "repair/cBackup.h"
#include "security/cSecureFolder.h"
#include "tests/support/TestPc.h"
#include <sddl.h>

// Wine keeps no security on files: the descriptor itself must let SYSTEM and administrators alone write
// (users read: 0x1200a9), inheritance from the parent cut off; an unelevated runner keeps all rights of its
// own.
TEST(cSecureFolderTest, OnlySystemAndAdministratorsWriteInAFolderItMakes)
{
    const std::wstring rights = L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    EXPECT_EQ(L"O:BAD:PAI" + rights + L"|D:PAI" + rights + L"(A;OICI;FA;;;S-1-5-21-1-2-3-1001)",
              cSecureFolder::Security(L"") + L"|" + cSecureFolder::Security(L"S-1-5-21-1-2-3-1001"));
}

// Every folder from a trusted root down is checked: one a user owns anywhere on the way is refused for the
// tool's own folders (a log path the runner chose may be the runner's), a link anywhere on the way always.
TEST(cSecureFolderTest, EveryFolderOnTheWayIsTrustedAndHeldAndOneSwappedAfterTheCheckIsNeverWrittenThrough)
{
    using O = cSecureFolder::eOwner;
    using R = cSecureFolder::eOutcome;
    // clang-format off
    const std::tuple<bool, O, bool, R> rows[] = {{false, O::System, false, R::Ready},
        {false, O::Administrators, false, R::Ready}, {false, O::TrustedInstaller, false, R::Ready},
        {false, O::RootOwner, false, R::Ready}, {false, O::Runner, false, R::Untrusted}, {false, O::Runner, true, R::Ready},
        {false, O::Other, true, R::Untrusted}, {false, O::None, true, R::Untrusted}, {true, O::System, true, R::Link},
        {true, O::Runner, true, R::Link}};
    // clang-format on
    for (const auto& [link, owner, runner, outcome] : rows)
        EXPECT_EQ(outcome, cSecureFolder::StepOf(link, owner, runner))
            << link << " " << static_cast<int>(owner) << " " << runner;
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

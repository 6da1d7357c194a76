#include "repair/cBackup.h"
#include "security/cSecureFolder.h"
#include "security/cRunner.h"
#include "sys/cAppError.h"
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
    // Held for real: neither the folder nor one on its way can be renamed or moved while held.
    for (const wchar_t* folder : {L"plotwing2fix", L"plotwing2fix\\backup"})
    {
        const BOOL moved = ::MoveFileW((temp / folder).c_str(), (temp / L"moved").c_str());
        EXPECT_EQ(Joined(0, ERROR_SHARING_VIOLATION), Joined(moved, ::GetLastError())) << folder;
    }
    // A folder on the way to the backups that the runner owns is refused; a log path the runner chose may be
    // theirs. (Wine owns every file as the runner: the owners are stood in for.)
    cSecureFolder::Seams().Owner = [](const std::wstring& f) {
        return f.size() > 3 ? cRunner::Sid() : L"S-1-5-18";
    };
    const cAtEnd unseamed{[] { cSecureFolder::Seams() = {}; }};
    EXPECT_EQ(L"1|0", Joined(Has(cBackup(temp / L"r\\", LocalNow()).Reserve(L"x").Reason, L"所有者"),
                             cSecureFolder::Ensure(temp / L"r", true).Result.Outcome == R::Untrusted));
    // A folder on the way that cannot be held is refused, never written into unheld.
    fs::create_directories(temp / L"locked");
    const cHandle locked(::CreateFileW((temp / L"locked").c_str(), FILE_LIST_DIRECTORY, 0, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    EXPECT_EQ(R::Unheld, cSecureFolder::Ensure(temp / L"locked\\x", true).Result.Outcome);
    // Only a reparse point that names another place is a link; a cloud file's placeholder is the folder
    // itself.
    constexpr DWORD Point = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    // clang-format off
    const std::tuple<DWORD, DWORD, bool> tags[] = {{Point, IO_REPARSE_TAG_MOUNT_POINT, true}, {Point, IO_REPARSE_TAG_SYMLINK, true},
        {Point, 0, true}, {Point, 0x9000001Au /* a cloud file's */, false}, {FILE_ATTRIBUTE_DIRECTORY, IO_REPARSE_TAG_SYMLINK, false}};
    // clang-format on
    for (const auto& [attributes, tag, link] : tags)
        EXPECT_EQ(link, cSecureFolder::LinkOf(attributes, tag)) << std::hex << tag;
    // Each way the folder check ends: only a ready folder takes a backup, every refusal says why and where.
    // clang-format off
    const std::pair<R, std::wstring> refusals[] = {{R::Ready, L""}, {R::Created, L""},
        {R::Link, L"バックアップフォルダーの途中にリンクがあります：C:\\x"},
        {R::Untrusted, L"バックアップフォルダーまたはその途中のフォルダーの所有者が SYSTEM、Administrators、TrustedInstaller のどれでもありません：C:\\x"},
        {R::Swapped, L"確認したあとでバックアップフォルダーの途中のフォルダーが置き換えられました：C:\\x"},
        {R::Unheld, L"バックアップフォルダーの途中のフォルダーを、名前の変更や移動から保護できません（" + SystemMessage(ERROR_SHARING_VIOLATION) + L"）：C:\\x"},
        {R::Failed, SystemMessage(ERROR_SHARING_VIOLATION) + L"：C:\\x"}};
    // clang-format on
    for (const auto& [outcome, reason] : refusals)
        EXPECT_EQ(reason, cBackup::RefusalOf({outcome, L"C:\\x", ERROR_SHARING_VIOLATION}));
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

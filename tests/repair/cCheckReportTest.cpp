#include "repair/cCheckReport.h"
#include "repair/cStartup.h"
#include "tests/support/TestPc.h"

namespace
{
constexpr auto C = ePathState::Correct, R = ePathState::Repairable, M = ePathState::Missing;
const std::wstring AlreadySet = L"・このＰＣは既に設定済みです。\r\n　再設定の必要はありません";
const std::wstring MustReset =
    L"・このＰＣは再設定する必要があります。\r\n　「再設定」ボタンをクリックしてください。";
const std::wstring NoNeed = L"・このＰＣでは再設定の必要はありません。";
} // namespace

TEST(cCheckReportTest, PathStateComparesAsTextAndAsksForTheFileOnlyWhenThePathsDiffer)
{
    const std::wstring expected = L"C:\\Program Files\\kovamap\\common\\plotwing2.ocx";
    // clang-format off
    const std::tuple<std::wstring, bool, ePathState> rows[] = {{expected, false, C},
        {L"c:\\PROGRAM FILES\\KOVAMAP\\COMMON\\PLOTWING2.OCX", false, C}, {L"", true, R},
        {L"Ｃ:\\Program Files\\kovamap\\common\\ｐｌｏｔｗｉｎｇ２.ocx", false, C},
        {L"C:\\old\\plotwing2.ocx", true, R}, {L"C:\\old\\plotwing2.ocx", false, M}};
    // clang-format on
    for (const auto& [registered, exists, state] : rows)
        EXPECT_EQ(state, cCheckReport::StateOf(registered, expected, [e = exists] { return e; }))
            << testing::PrintToString(registered);
}

TEST(cCheckReportTest, VerdictEnablesResetOnlyWhenAComponentCanBeRepaired)
{
    const std::tuple<ePathState, ePathState, const std::wstring&, bool> rows[] = {
        {C, C, AlreadySet, false}, {R, C, MustReset, true}, {C, R, MustReset, true}, {R, M, MustReset, true},
        {M, R, MustReset, true},   {M, C, NoNeed, false},   {C, M, NoNeed, false},   {M, M, NoNeed, false}};
    for (const auto& [control, lookup, lines, enabled] : rows)
    {
        const auto verdict = cCheckReport::VerdictOf(control, lookup);
        EXPECT_EQ(lines + (enabled ? L" enabled" : L" disabled"),
                  verdict.Lines + (verdict.ResetEnabled ? L" enabled" : L" disabled"))
            << static_cast<int>(control) << " " << static_cast<int>(lookup);
    }
    // Everything read is right but a user could not be read: lines of its own that never say "set up"; any
    // other verdict stays as it is.
    cUserReading read;
    read.Read = true;
    const cUserScan all{{read}, {}, {}, 0}, capped{{read}, {}, {}, 1};
    EXPECT_EQ(L"1|0", Joined(cCheckReport::EveryUserSeen(all), cCheckReport::EveryUserSeen(capped)));
    const auto unverified = cCheckReport::VerdictOf(C, C, false);
    EXPECT_EQ(
        Joined(static_cast<int>(eVerdict::Unverified), 0, 1, 0),
        Joined(static_cast<int>(unverified.Kind), unverified.ResetEnabled,
               unverified.Lines.starts_with(L"・このＰＣが設定済みかどうかは確認できていません（未確認）。"),
               Has(unverified.Lines, L"設定済みです")));
    for (const auto& [control, kind] : {std::pair{R, eVerdict::RepairNeeded}, {M, eVerdict::CannotRepair}})
        EXPECT_EQ(Joined(static_cast<int>(kind), cCheckReport::VerdictOf(control, C).Lines, control == R),
                  Joined(static_cast<int>(cCheckReport::VerdictOf(control, C, false).Kind),
                         cCheckReport::VerdictOf(control, C, false).Lines,
                         cCheckReport::VerdictOf(control, C, false).ResetEnabled));
    EXPECT_EQ(std::wstring(74, L'-') +
                  L"\r\n<< チェックレポート >>\r\n・plotwing2.ocx → C:\\a.ocx\r\n・lexgrid4b.dll → " +
                  L"\r\n\r\n<< チェック判定 >>\r\n" + NoNeed,
              cCheckReport::Report(L"C:\\a.ocx", L"", cCheckReport::VerdictOf(C, M)));
}

TEST(cStartupTest, LogGoesOnTheDesktopNamedByTheVersionAndNowhereWithoutOne)
{
    EXPECT_EQ(L"C:\\U\\Desktop\\plwg2reg200.log", cStartup::LogPath(L"C:\\U\\Desktop", 2, 0, 0));
    EXPECT_EQ(L"C:\\plwg2reg2103.log", cStartup::LogPath(L"C:\\", 2, 10, 3));
    EXPECT_EQ(L"", cStartup::LogPath(L"", 2, 0, 0)) << "the drive's root";
    EXPECT_EQ(L"C:\\PF\\kovamap\\common\\a.ocx|",
              cStartup::ExpectedPath(L"C:\\PF", L"a.ocx") + L"|" + cStartup::ExpectedPath(L"", L"a.ocx"))
        << "no Program Files: nothing under the drive's root";
}

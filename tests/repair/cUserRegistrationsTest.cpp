#include "repair/cCheckReport.h"
#include "sys/cAppError.h"
#include "registry/cRegFile.h"
#include "tests/support/SeamedUsers.h"

const auto Sid = [](int n) { return L"S-1-5-21-1-2-3-" + std::to_wstring(n); };

TEST(cUserRegistrationsTest, OnlyAKeyNamingTheExpectedFileDoesNotShadowAndOnlyRealUsersAreRead)
{
    using V = cKey::eValue;
    // clang-format off
    const std::tuple<V, std::wstring, eUserState> rows[] = {{V::Text, L"C:\\PF\\x.ocx", eUserState::Correct},
        {V::Text, L"c:\\pf\\X.OCX", eUserState::Correct}, {V::Text, L"C:\\old\\x.ocx", eUserState::Shadows},
        {V::Text, L"", eUserState::Shadows}, {V::OtherType, L"C:\\PF\\x.ocx", eUserState::Shadows},
        {V::Missing, L"", eUserState::Shadows}, {V::TooLong, L"", eUserState::Shadows}};
    // clang-format on
    for (const auto& [kind, longPath, state] : rows)
        EXPECT_EQ(state, cUserRegistrations::StateOf(kind, longPath, L"C:\\PF\\x.ocx")) << longPath;
    // The class key as one unit: a key the tool may not open is never taken for no key.
    constexpr LONG Ok = ERROR_SUCCESS, No = ERROR_FILE_NOT_FOUND, Denied = ERROR_ACCESS_DENIED;
    // clang-format off
    const std::tuple<LONG, LONG, LONG, eUserKey> keys[] = {{No, Ok, Ok, eUserKey::Missing}, {Denied, Ok, Ok, eUserKey::Unreadable},
        {Ok, Ok, Ok, eUserKey::TreatAs}, {Ok, Denied, Ok, eUserKey::Unreadable}, {Ok, No, No, eUserKey::NoServer},
        {Ok, No, Denied, eUserKey::Unreadable}, {Ok, No, Ok, eUserKey::Server}, {ERROR_INVALID_HANDLE, Ok, Ok, eUserKey::Unreadable}};
    // clang-format on
    for (const auto& [classKey, treatAs, server, key] : keys)
        EXPECT_EQ(key, cUserRegistrations::KeyOf(classKey, treatAs, server)) << classKey << treatAs << server;
    // Where a 32-bit program's per-user class ids are: below Wow6432Node on 64-bit Windows only.
    EXPECT_EQ(L"Wow6432Node\\CLSID\\{A}|CLSID\\{A}", cUserRegistrations::ClassKeyPath(L"{A}", true) + L"|" +
                                                         cUserRegistrations::ClassKeyPath(L"{A}", false));
    EXPECT_EQ(ePathState::Repairable, cCheckReport::EffectiveState(ePathState::Correct, true));
    for (const ePathState state : {ePathState::Correct, ePathState::Repairable, ePathState::Missing})
        EXPECT_EQ(state, cCheckReport::EffectiveState(state, false));
    EXPECT_EQ(ePathState::Missing, cCheckReport::EffectiveState(ePathState::Missing, true));
    // Real users are accounts of a machine, a domain or the cloud, in the form Windows writes; everything
    // else in the profile list is passed over by name.
    // clang-format off
    const std::tuple<std::wstring, DWORD, std::wstring> entries[] = {{L"S-1-5-21-1-2-3-1001", 0x100, L""},
        {L"S-1-12-1-1-2-3-4", 0, L""}, {L"S-1-5-21-1-2-3-1001.bak", 0, L"backup-entry"},
        {L"S-1-5-21-1-2-3-1001.BAK", 0, L"backup-entry"}, {L"S-1-5-21-1-2-3-1001", 0x804, L"temporary-profile"},
        {L"S-1-5-18", 0, L"system-account"}, {L"S-1-5-19", 0, L"system-account"}, {L"S-1-5-20", 0, L"system-account"},
        {L"S-1-5-80-1-2-3-4-5", 0, L"not-a-user-account"}, {L"S-1-5-21-1-2-3", 0, L"not-a-user-account"},
        {L"S-1-5-21-1-2-3-4-5", 0, L"not-a-user-account"}, {L"BA", 0, L"not-a-sid"}, {L"SY", 0, L"not-a-sid"},
        {L"s-1-5-21-1-2-3-1001", 0, L"not-a-sid"}, {L"S-1-5-21-01-2-3-1001", 0, L"not-a-sid"},
        {L"S-1-0x5-21-1-2-3-1001", 0, L"not-a-sid"}, {L"S-1-5-21-1-2-3-1001 ", 0, L"not-a-sid"}, {L"", 0, L"not-a-sid"}};
    // clang-format on
    for (const auto& [sid, state, skipped] : entries)
    {
        const wchar_t* got = cUserRegistrations::SkipOf({sid, L"C:\\Users\\u", state});
        EXPECT_EQ(skipped, got ? got : L"") << sid;
    }
}

// Every user is checked whatever is wrong with the others; nothing that is not a local path is opened, and a
// user who cannot be read says so, never "fine".
TEST(cUserRegistrationsTest, EveryUserIsReadOrSaysWhyAndOnlyAProvenShadowIsRemovedWholeAfterItIsSaved)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTempFolder temp;
    const std::wstring expected = temp / L"lexgrid4b.dll", local = temp / L"u";
    ASSERT_TRUE(WriteBytes(expected, "x"));
    ::SetEnvironmentVariableW(L"P2F_TEST_FOLDER", (temp / L"").c_str());
    cSeamedUsers users;
    // clang-format off
    users.List = {{Sid(1001), local}, {Sid(1002), local}, {Sid(1003), local}, {Sid(1004), L""}, {Sid(1005), L"\\\\server\\share\\u"},
        {Sid(1007), local}, {Sid(1008), local}, {Sid(1009), local}, {Sid(1010), local}, {Sid(1011), L"C:u"}, {L"S-1-5-18", local}};
    users.SignedIn = {{Sid(1001), true}, {Sid(1002), false}, {Sid(1007), true}, {Sid(1008), true}, {L"S-1-5-18", true}};
    // clang-format on
    users.FileStatus = {{Sid(1003), ERROR_SHARING_VIOLATION}, {Sid(1010), cUserClasses::LinkOnTheWay}};
    users.Set(Sid(1001), MapControl, REG_SZ, L"");
    users.Set(Sid(1002), MapControl, REG_DWORD, L"ab");
    users.Set(Sid(1002), LookupLibrary, REG_EXPAND_SZ,
              L"%P2F_TEST_FOLDER%lexgrid4b.dll"); // as COM expands it
    users.Set(Sid(1007), MapControl, REG_SZ, L"\\??\\UNC\\host\\share\\x.ocx");
    users.Set(Sid(1007), LookupLibrary, REG_SZ, expected);
    users.SetKey(Sid(1007), LookupLibrary, L"\\TreatAs"); // right server, but COM goes elsewhere first
    users.Set(Sid(1008), MapControl, REG_SZ, std::wstring(40000, L'x'));
    users.SetKey(Sid(1008), LookupLibrary, L""); // a half-removed registration: no InprocServer32
    users.Set(L"S-1-5-18", MapControl, REG_SZ, L"C:\\passed\\over.ocx");
    const cUserRegistrations::cExpected control{&MapControl, temp / L"plotwing2.ocx"},
        lookup{&LookupLibrary, expected};
    const cUserScan scan = users.Read({control, lookup});
    const std::vector<cUserReading>& read = scan.Users;
    ASSERT_EQ(10u, read.size());
    EXPECT_EQ(L"1|S-1-5-18|system-account",
              Joined(scan.Skipped.size(), scan.Skipped[0].Sid, std::wstring(scan.Skipped[0].Reason)));
    EXPECT_EQ((std::vector<std::wstring>{local, local, local, local}), users.Folders)
        << "1002, 1003, 1009, 1010";
    const cCheckReport::UserLines lines = cCheckReport::LinesOf(read);
    const auto shadows = [](const std::vector<std::pair<std::wstring, std::wstring>>& rows) {
        std::vector<std::wstring> texts;
        for (const auto& [who, found] : rows)
            texts.push_back(L"　ユーザー別の登録が優先されています（" + who + L"）→ " + found);
        return texts;
    };
    EXPECT_EQ(shadows({{L"PC\\佐藤", L"（空の値）"},
                       {Sid(1002), L"（文字列ではない値）"},
                       {Sid(1007), L"\\??\\UNC\\host\\share\\x.ocx"},
                       {Sid(1008), L"（長すぎる値）"}}),
              lines.Control);
    EXPECT_EQ(
        shadows({{Sid(1007), L"（TreatAs のあるキー）"}, {Sid(1008), L"（InprocServer32 のないキー）"}}),
        lines.Lookup)
        << "1002's own key names the expected file, expanded";
    const std::wstring signIn =
        L"このユーザーにサインインしてもらい、サインインしている間にもう一度確認してください";
    std::vector<std::wstring> notRead{},
        advice{L"・上記のユーザーのユーザー別の登録は確認できなかったため、判定に含まれていません。"};
    // clang-format off
    for (const auto& [sid, why, what] : {std::tuple<std::wstring, std::wstring, std::wstring>
        {Sid(1003), L"UsrClass.dat を開けませんでした：" + SystemMessage(ERROR_SHARING_VIOLATION), L"ＰＣを再起動してから、もう一度確認してください"},
        {Sid(1004), L"プロファイルのフォルダーが登録されていません", L"プロファイル一覧の項目に不備があります。使われていないプロファイルなら削除してください"},
        {Sid(1005), L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：\\\\server\\share\\u", signIn},
        {Sid(1010), L"UsrClass.dat までのパスにリンクがあるため、読みませんでした", L"プロファイルのフォルダーにあるリンクを確かめてください"},
        {Sid(1011), L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：C:u", signIn}})
        notRead.push_back(L"・" + sid + L" のユーザー別の登録を確認できませんでした（" + why + L"）"),
            advice.push_back(L"　" + sid + L"：" + what);
    // clang-format on
    EXPECT_EQ(notRead, lines.NotRead);
    EXPECT_EQ(advice, lines.Advice);
    EXPECT_TRUE(read[7].Read && !read[7].Loaded && read[7].Components.size() == 2)
        << "no classes file: no classes";
    // Without administrator rights only what is loaded and open to the runner is read.
    users.Elevated = false;
    users.Runner = Sid(1002);
    const cUserScan unelevated = users.Read({control, lookup});
    EXPECT_EQ(L"1|" + Sid(1009) + L"|管理者として実行していないため、読み取れません|" + Sid(1002),
              std::to_wstring(unelevated.Users[0].Read) + L"|" + unelevated.Users[7].Sid + L"|" +
                  unelevated.Users[7].Reason + L"|" + unelevated.Users[1].Sid)
        << "the runner's own file is still read";
    users.Elevated = true;
    users.Runner = L"S-1-5-18";
    const cUserScan asSystem = users.Read({control, lookup});
    EXPECT_TRUE(asSystem.Skipped.empty() && asSystem.Users[10].Sid == L"S-1-5-18" &&
                asSystem.Users[10].Shadows(MapControl))
        << "the runner's classes are read whoever runs the tool";
    users.Runner.clear();
    // Removal: saved first, then the whole class key removed; a key that no longer shadows, or one that
    // cannot be saved, stays.
    const std::wstring backup = temp / L"b.reg";
    using R = cUserRegistrations::eRemoval;
    EXPECT_EQ(R::Failed, users.Remove(read[0], control, temp / L"no\\folder.reg").Outcome);
    EXPECT_EQ(R::Removed, users.Remove(read[0], control, backup).Outcome);
    EXPECT_EQ(R::Removed, users.Remove(read[1], control, temp / L"b2.reg").Outcome)
        << "signed out: in the file";
    users.Set(Sid(1007), MapControl, REG_SZ, control.Path); // now right: left alone
    WriteBytes(control.Path, "x");
    EXPECT_EQ(R::NotShadowed, users.Remove(read[5], control, temp / L"b3.reg").Outcome);
    EXPECT_EQ(R::NotShadowed, users.Remove(read[1], lookup, temp / L"b4.reg").Outcome);
    EXPECT_EQ(R::Removed, users.Remove(read[6], lookup, temp / L"b5.reg").Outcome)
        << "a key without a server";
    const std::vector<cUserReading> after = users.Read({control, lookup}).Users;
    const auto state = [&](size_t user, size_t c) {
        return static_cast<int>(after[user].Components[c].State);
    };
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0, 1}),
              (std::vector<int>{state(0, 0), state(1, 0), state(1, 1), state(5, 0), state(6, 1),
                                static_cast<int>(cCheckReport::LinesOf(after).Control.size())}))
        << "1001, 1002 and 1008's key removed, 1002's lookup and 1007 left; 1008's control shadow remains";
    EXPECT_FALSE(fs::exists(temp / L"b3.reg") || fs::exists(temp / L"b4.reg"))
        << "nothing saved, nothing removed";
    // A classes file that stays loaded is said, with its name.
    users.UnloadStatus = {{Sid(1002), ERROR_ACCESS_DENIED}};
    const cUserScan stuck = users.Read({control, lookup});
    ASSERT_EQ(1u, stuck.Unloads.size());
    EXPECT_EQ(L"・HKEY_USERS\\" + Sid(1002) + L"_Classes の読み込みを解除できませんでした（" +
                  SystemMessage(ERROR_ACCESS_DENIED) + L"）。ＰＣを再起動してください",
              cCheckReport::UnloadLine(stuck.Unloads[0]));
}

TEST(cRegFileTest, ValuesAsTheRegistryEditorExportsThem)
{
    const auto bytes = [](std::wstring_view text) {
        const auto* b = reinterpret_cast<const BYTE*>(text.data());
        return std::vector<BYTE>(b, b + text.size() * 2);
    };
    // clang-format off
    const std::tuple<std::wstring, DWORD, std::vector<BYTE>, std::wstring> rows[] = {
        {L"", REG_SZ, bytes(std::wstring(L"C:\\地図\\\"x\".ocx", 14)), L"@=\"C:\\\\地図\\\\\\\"x\\\".ocx\""},
        {L"Threading\"Model", REG_SZ, bytes(std::wstring(L"Both", 5)), L"\"Threading\\\"Model\"=\"Both\""},
        {L"", REG_SZ, bytes(std::wstring(L"a\r\nb", 5)), L"@=hex(1):61,00,0d,00,0a,00,62,00,00,00"},
        {L"", REG_SZ, bytes(L"ab"), L"@=hex(1):61,00,62,00"}, // no NUL: kept as it is
        {L"", REG_EXPAND_SZ, bytes(std::wstring(L"%A%", 4)), L"@=hex(2):25,00,41,00,25,00,00,00"},
                {L"n", REG_DWORD, {0x2a, 0, 0, 0x80}, L"\"n\"=dword:8000002a"}, {L"n", REG_DWORD, {1, 2}, L"\"n\"=hex(4):01,02"},
        {L"", REG_BINARY, {}, L"@=hex:"}, {L"", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, L"@=hex(b):01,02,03,04,05,06,07,08"}};
    // clang-format on
    for (const auto& [name, type, data, line] : rows)
        EXPECT_EQ(line, cRegFile::ValueLine(name, type, data)) << line;
    const std::wstring wrapped = cRegFile::ValueLine(L"", REG_BINARY, std::vector<BYTE>(60, 0xab));
    EXPECT_EQ(L"@=hex:ab,ab", wrapped.substr(0, 11));
    EXPECT_EQ(60, std::count(wrapped.begin(), wrapped.end(), L'b'));
    for (size_t from = 0, to; (to = wrapped.find(L"\r\n", from)) != std::wstring::npos; from = to + 2)
        EXPECT_TRUE(to - from <= 80 && wrapped[to - 1] == L'\\' && wrapped.substr(to + 2, 2) == L"  ")
            << wrapped;
}

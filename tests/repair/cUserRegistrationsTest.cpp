#include "repair/cCheckReport.h"
#include "sys/cAppError.h"
#include "registry/cRegFile.h"
#include "security/cRunner.h"
#include "tests/support/SeamedUsers.h"

const auto Sid = [](int n) { return L"S-1-5-21-1-2-3-" + std::to_wstring(n); };

TEST(cUserRegistrationsTest, OnlyAKeyNamingTheExpectedFileDoesNotShadowAndOnlyRealUsersAreRead)
{
    using V = cKey::eValue;
    // The class key as one unit: a key the tool may not open is never taken for no key.
    constexpr LONG Ok = ERROR_SUCCESS, No = ERROR_FILE_NOT_FOUND, Denied = ERROR_ACCESS_DENIED;
    // clang-format off
    const std::tuple<V, std::wstring, eUserState> rows[] = {{V::Text, L"C:\\PF\\x.ocx", eUserState::Correct}, {V::Text, L"c:\\pf\\X.OCX", eUserState::Correct},
        {V::Text, L"C:\\old\\x.ocx", eUserState::Shadows}, {V::Text, L"", eUserState::Shadows}, {V::OtherType, L"C:\\PF\\x.ocx", eUserState::Shadows},
        {V::Missing, L"", eUserState::Shadows}, {V::TooLong, L"", eUserState::Shadows}};
    const std::tuple<LONG, LONG, LONG, eUserKey> keys[] = {{No, Ok, Ok, eUserKey::Missing}, {Denied, Ok, Ok, eUserKey::Unreadable},
        {Ok, Ok, Ok, eUserKey::TreatAs}, {Ok, Denied, Ok, eUserKey::Unreadable}, {Ok, No, No, eUserKey::NoServer},
        {Ok, No, Denied, eUserKey::Unreadable}, {Ok, No, Ok, eUserKey::Server}, {ERROR_INVALID_HANDLE, Ok, Ok, eUserKey::Unreadable},
        {cKey::IsLink, Ok, Ok, eUserKey::Link}, {Ok, cKey::IsLink, Ok, eUserKey::Link}, {Ok, No, cKey::IsLink, eUserKey::Link}};
    // clang-format on
    for (const auto& [kind, longPath, state] : rows)
        EXPECT_EQ(state, cUserRegistrations::StateOf(kind, longPath, L"C:\\PF\\x.ocx")) << longPath;
    for (const auto& [classKey, treatAs, server, key] : keys)
        EXPECT_EQ(key, cUserRegistrations::KeyOf(classKey, treatAs, server)) << classKey << treatAs << server;
    // Where a 32-bit program's per-user class ids are: below Wow6432Node on 64-bit Windows only, which only
    // IsWow64Process's answer tells (its success alone says nothing).
    EXPECT_EQ(L"Wow6432Node\\CLSID\\{A}|CLSID\\{A}", cUserRegistrations::ClassKeyPath(L"{A}", true) + L"|" +
                                                         cUserRegistrations::ClassKeyPath(L"{A}", false));
    EXPECT_EQ(L"1|0|0|0",
              Joined(cUserRegistrations::Wow64Of(TRUE, TRUE), cUserRegistrations::Wow64Of(TRUE, FALSE),
                     cUserRegistrations::Wow64Of(FALSE, TRUE), cUserRegistrations::Wow64Of(FALSE, FALSE)));
    // Real users are accounts of a machine, a domain or the cloud, in the form Windows writes; everything
    // else in the profile list is passed over by name.
    // clang-format off
    const std::tuple<std::wstring, DWORD, std::wstring> entries[] = {{L"S-1-5-21-1-2-3-1001", 0x100, L""}, {L"S-1-12-1-1-2-3-4", 0, L""},
        {L"S-1-5-21-1-2-3-1001.bak", 0, L"backup-entry"}, {L"S-1-5-21-1-2-3-1001.BAK", 0, L"backup-entry"}, {L"S-1-5-18", 0, L"system-account"},
        {L"S-1-5-21-1-2-3-1001", 0x804, L"temporary-profile"}, {L"S-1-5-19", 0, L"system-account"}, {L"S-1-5-20", 0, L"system-account"},
        {L"S-1-5-80-1-2-3-4-5", 0, L"not-a-user-account"}, {L"S-1-5-21-1-2-3", 0, L"not-a-user-account"}, {L"BA", 0, L"not-a-sid"},
        {L"S-1-5-21-1-2-3-4-5", 0, L"not-a-user-account"}, {L"SY", 0, L"not-a-sid"}, {L"s-1-5-21-1-2-3-1001", 0, L"not-a-sid"}, {L"", 0, L"not-a-sid"},
        {L"S-1-5-21-01-2-3-1001", 0, L"not-a-sid"}, {L"S-1-0x5-21-1-2-3-1001", 0, L"not-a-sid"}, {L"S-1-5-21-1-2-3-1001 ", 0, L"not-a-sid"}};
    // clang-format on
    for (const auto& [sid, state, skipped] : entries)
    {
        const wchar_t* got = cUserRegistrations::SkipOf({sid, L"C:\\Users\\u", state});
        EXPECT_EQ(skipped, got ? got : L"") << sid;
    }
}

namespace
{
// A profile folder holding `hive` (a classes file of the fixtures, in Windows' format) as its UsrClass.dat.
std::wstring Profile(const cTempFolder& temp, const std::wstring& name, const std::wstring& hive)
{
    WriteBytes(temp / name + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
               ReadBytes(TestFolder() + L"fixtures\\hives\\" + hive));
    return temp / name;
}
} // namespace

// Every user is read or says why, whatever is wrong with the others: the signed-in where Windows keeps their
// classes, the signed-out from their file as data. No reading loads a hive or writes a user's file, whatever
// way it ends.
TEST(cUserRegistrationsTest, EveryUserIsReadAsDataOrSaysWhyAndNoReadingLoadsAHiveOrWritesAFile)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder temp;
    const std::wstring lookup = cTestPc::ProductFolder() + L"common\\lexgrid4b.dll"; // as the file names it
    ASSERT_TRUE(WriteBytes(lookup, "x"));
    cSeamedUsers users;
    const std::wstring classes = Profile(temp, L"c", L"classes.dat");
    // clang-format off
    users.List.Profiles = {{Sid(1001), temp / L"s"}, {Sid(1002), classes}, {Sid(1003), temp / L"busy"}, {Sid(1004), L""},
        {Sid(1005), L"\\\\server\\share\\u"}, {Sid(1006), temp / L"none"}, {Sid(1007), Profile(temp, L"d", L"dirty.dat")},
        {Sid(1008), Profile(temp, L"2", L"checksum.dat")}, {Sid(1009), classes, 0, ERROR_ACCESS_DENIED},
        {Sid(1010), temp / L"linked"}, {Sid(1011), temp / L"denied"}, {L"S-1-5-18", classes}};
    users.Opened = {{temp / L"denied", cClassesFile::eOpen::AccessDenied}, {temp / L"busy", cClassesFile::eOpen::InUse},
        {temp / L"linked", cClassesFile::eOpen::Redirected}};
    // clang-format on
    users.SignedIn = {Sid(1001)};
    users.MainHives = {Sid(1003)};
    users.Leftovers = {{L"plotwing2fix-1-0000000000000001-1", ERROR_ACCESS_DENIED}};
    users.Set(Sid(1001), MapControl, REG_SZ, L"");
    const std::string before = ReadBytes(classes + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat");
    const unsigned loads = cHiveMount::Loads();
    const cUserRegistrations::cExpected control{&MapControl, cTestPc::ExpectedControl()},
        library{&LookupLibrary, lookup};
    const cUserScan scan = users.Read({control, library});
    const std::vector<cUserReading>& read = scan.Users;
    ASSERT_EQ(11u, read.size());
    EXPECT_EQ(L"0|0|" + std::to_wstring(loads) + L"|1",
              Joined(users.Loads.size(), scan.Skipped.size() - 1, cHiveMount::Loads(),
                     before == ReadBytes(classes + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat")));
    EXPECT_EQ(L"1|HKEY_USERS\\plotwing2fix-1-0000000000000001-1|0",
              Joined(scan.Unloads.size(), scan.Unloads[0].Name, scan.Unloads[0].ThisRun))
        << "left by a run that ended, never this run's";
    const cCheckReport::UserLines lines = cCheckReport::LinesOf(read);
    EXPECT_EQ((std::vector<std::wstring>{L"　ユーザー別の登録が優先されています（PC\\佐藤）→ （空の値）",
                                         L"　ユーザー別の登録が優先されています（" + Sid(1002) +
                                             L"）→ （InprocServer32 のないキー）"}),
              lines.Control);
    EXPECT_EQ(L"1|1|0|1|1", Joined(lines.Lookup.empty(), read[1].Read, read[1].Loaded, read[5].Read,
                                   read[5].Components.size() == 2))
        << "1002's own file names the expected library, expanded as COM does; no file: no classes of their "
           "own";
    using N = eNotRead;
    // clang-format off
    const std::tuple<size_t, N, std::wstring> unread[] = {
        {2, N::InUse, L"UsrClass.dat を開けませんでした：" + SystemMessage(ERROR_SHARING_VIOLATION) + L"（サインイン中か、ほかのプログラムがこのユーザーのレジストリを読み込んでいます）"},
        {3, N::NoFolder, L"プロファイルのフォルダーが登録されていません"},
        {4, N::NotLocal, L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：\\\\server\\share\\u"},
        {6, N::Unsaved, cHiveFile::ReasonOf(cHiveFile::eFault::UnsavedChanges)}, {7, N::Damaged, cHiveFile::ReasonOf(cHiveFile::eFault::Checksum)},
        {8, N::NoEntry, L"プロファイル一覧の項目を開けませんでした：" + SystemMessage(ERROR_ACCESS_DENIED)},
        {9, N::Link, L"UsrClass.dat がプロファイルのフォルダーにある通常のファイルではないため、読みませんでした"}, {10, N::Denied, L""}};
    // clang-format on
    for (const auto& [i, why, reason] : unread)
        EXPECT_EQ(Joined(0, static_cast<int>(why), 1),
                  Joined(read[i].Read, static_cast<int>(read[i].Why), Has(read[i].Reason, reason)))
            << read[i].Sid << " " << read[i].Reason;
    EXPECT_EQ(L"　" + Sid(1003) + L"：ＰＣを再起動してから、もう一度確認してください", lines.Advice[1]);
    // Without administrator rights no one else's file is opened; the runner is read through their own HKCU.
    users.Elevated = false, users.Runner = Sid(1002);
    users.Set(Sid(1002), LookupLibrary, REG_SZ, L"C:\\old\\lexgrid4b.dll");
    const std::vector<cUserReading> unelevated = users.Read({control, library}).Users;
    EXPECT_EQ(L"1|1|管理者として実行していないため、読み取れません",
              Joined(unelevated[1].Runner, unelevated[1].Shadows(LookupLibrary), unelevated[5].Reason));
    // No profile list: nothing is known, the check fails; one past the bound: its rest is named.
    users.List.Unlisted = 3;
    EXPECT_EQ(3u, users.Read({control}).Unlisted);
    users.List.Status = ERROR_ACCESS_DENIED;
    EXPECT_THROW(users.Read({control}), cAppError);
}

// A removal judges the key again, saves it under the name Windows loads the user's classes by, and removes
// the key it opened: a user's file is loaded for that alone, never beside a hive Windows has loaded, and a
// link is neither followed nor removed. The runner's key goes whatever it names: regsvr32 writes into it.
TEST(cUserRegistrationsTest, AKeyIsRemovedOnlyAsCheckedAfterItIsSavedAndAUsersFileIsLoadedForThatAlone)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTempFolder temp;
    const std::wstring expected = temp / L"plotwing2.ocx";
    ASSERT_TRUE(WriteBytes(expected, "x"));
    const cUserRegistrations::cExpected control{&MapControl, expected};
    cSeamedUsers users;
    users.Runner = Sid(1000);
    users.SignedIn = {Sid(1001)};
    users.Set(Sid(1000), MapControl, REG_SZ, expected); // right, and still in regsvr32's way
    for (const int n : {1001, 1002, 1003})
        users.Set(Sid(n), MapControl, REG_SZ, L"C:\\old\\plotwing2.ocx");
    users.MainHives = {Sid(1003)};
    users.UnloadStatus = {{Sid(1002), ERROR_ACCESS_DENIED}};
    // 1004's class key is a link to another key: COM would follow it; the tool neither reads nor removes
    // through it.
    users.Set(L"target", MapControl, REG_SZ, L"C:\\old\\plotwing2.ocx");
    const std::wstring linkPath = users.Keys + Sid(1004) + L"\\CLSID\\" + MapControl.ClassId;
    const cAtEnd unlinked{[&] { // the link itself: what deletes a tree by name would follow it
        HKEY link = nullptr;
        ::RegOpenKeyExW(HKEY_CURRENT_USER, linkPath.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &link);
        cKey(link).DeleteSelf();
    }};
    {
        cRegKey link;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, linkPath.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_WRITE,
                          nullptr, link.Put(), nullptr);
        const std::wstring target = L"\\Registry\\User\\" + cRunner::Sid() + L"\\" + users.Keys +
                                    L"target\\CLSID\\" + MapControl.ClassId;
        ::RegSetValueExW(link.Get(), L"SymbolicLinkValue", 0, REG_LINK,
                         reinterpret_cast<const BYTE*>(target.data()), static_cast<DWORD>(target.size() * 2));
    }
    using R = cUserRegistrations::eRemoval;
    const auto remove = [&](size_t i, const std::wstring& file) {
        cUserReading user;
        user.Sid = Sid(1000 + static_cast<int>(i)), user.Folder = temp / user.Sid;
        return users.Remove(user, control, temp / file, i == 0);
    };
    EXPECT_EQ(R::Failed, remove(0, L"no\\folder.reg").Outcome) << "nothing removed unsaved";
    const cUserRegistrations::cRemoval runner = remove(0, L"0.reg"), signedIn = remove(1, L"1.reg"),
                                       loaded = remove(2, L"2.reg"), signingIn = remove(3, L"3.reg"),
                                       linked = remove(4, L"4.reg");
    EXPECT_EQ(L"0|0|0|2|2|1|リンクになっているキーのため、削除しませんでした",
              Joined(static_cast<int>(runner.Outcome), static_cast<int>(signedIn.Outcome),
                     static_cast<int>(loaded.Outcome), static_cast<int>(signingIn.Outcome),
                     static_cast<int>(linked.Outcome), Has(signingIn.Reason, L"サインイン中"),
                     linked.Reason));
    EXPECT_EQ((std::vector<std::wstring>{Sid(1002), Sid(1003), Sid(1004)}), users.Loads)
        << "loaded for a change alone";
    // Every backup names the user's classes as Windows loads them, however the tool reached them.
    for (const int n : {0, 1, 2})
    {
        const std::string bytes = ReadBytes(temp / (std::to_wstring(n) + L".reg"));
        EXPECT_TRUE(Has(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2),
                        L"[HKEY_USERS\\" + Sid(1000 + n) + L"_Classes\\CLSID\\" + MapControl.ClassId + L"]"))
            << n;
    }
    // A file that stays loaded is named as the tool loaded it, never as the user's hive.
    EXPECT_EQ(0u, loaded.Unload.value_or(cUnloadFailure{}).Name.find(L"HKEY_USERS\\plotwing2fix-"));
    // Removed: the runner's and the signed-in user's; kept: the one signing in, the link's target.
    std::wstring kept;
    for (const std::wstring& who : {Sid(1000), Sid(1001), Sid(1003), std::wstring(L"target")})
        kept += cKey().Open(HKEY_CURRENT_USER, users.Keys + who + L"\\CLSID\\" + MapControl.ClassId, KEY_READ)
                    ? L"0"
                    : L"1";
    EXPECT_EQ(L"0011", kept);
    EXPECT_EQ(R::NotShadowed, remove(0, L"5.reg").Outcome) << "the runner's key is gone already";
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

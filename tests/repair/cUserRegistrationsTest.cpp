#include "repair/cCheckReport.h"
#include "sys/cAppError.h"
#include "sys/cRegFile.h"
#include "tests/support/SeamedUsers.h"

namespace
{
std::wstring Sid(int n)
{
    return L"S-1-5-21-1-2-3-" + std::to_wstring(n);
}
} // namespace

TEST(cUserRegistrationsTest, OnlyAKeyNamingTheExpectedFileDoesNotShadowAndThe32BitViewIsWow6432Node)
{
    using V = cKey::eValue;
    const std::tuple<V, std::wstring, eUserState> rows[] = {
        {V::Text, L"C:\\PF\\x.ocx", eUserState::Correct},
        {V::Text, L"c:\\pf\\X.OCX", eUserState::Correct},
        {V::Text, L"C:\\old\\x.ocx", eUserState::Shadows},
        {V::Text, L"", eUserState::Shadows},
        {V::OtherType, L"C:\\PF\\x.ocx", eUserState::Shadows},
        {V::Missing, L"", eUserState::Shadows},
        {V::TooLong, L"", eUserState::Shadows}};
    for (const auto& [kind, longPath, state] : rows)
        EXPECT_EQ(state, cUserRegistrations::StateOf(kind, longPath, L"C:\\PF\\x.ocx")) << longPath;
    EXPECT_EQ(L"Wow6432Node\\CLSID\\{A}\\InprocServer32|CLSID\\{A}\\InprocServer32",
              cUserRegistrations::ClassKeyPath(L"{A}", true) + L"|" +
                  cUserRegistrations::ClassKeyPath(L"{A}", false));
    EXPECT_EQ(ePathState::Repairable, cCheckReport::EffectiveState(ePathState::Correct, true));
    for (const ePathState state : {ePathState::Correct, ePathState::Repairable, ePathState::Missing})
        EXPECT_EQ(state, cCheckReport::EffectiveState(state, false));
    EXPECT_EQ(ePathState::Missing, cCheckReport::EffectiveState(ePathState::Missing, true));
}

// Every profile is checked whatever is wrong with the others; nothing that is not a local path is opened, and
// a profile that cannot be read says so, never "fine".
TEST(cUserRegistrationsTest, EveryProfileIsReadOrSaysWhyAndOnlyAProvenShadowIsRemovedAfterItIsSaved)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTempFolder temp;
    const std::wstring expected = temp / L"lexgrid4b.dll", local = temp / L"u";
    ASSERT_TRUE(WriteBytes(expected, "x"));
    cSeamedUsers users;
    users.List = {{Sid(1001), local},
                  {Sid(1002), local},
                  {Sid(1003), local},
                  {Sid(1004), L""},
                  {Sid(1005), L"\\\\server\\share\\u"},
                  {Sid(1006) + L".bak", local},
                  {Sid(1007), local},
                  {Sid(1008), local},
                  {Sid(1009), local},
                  {Sid(1010), local},
                  {Sid(1011), L"C:u"}};
    users.SignedIn = {{Sid(1001), true}, {Sid(1002), false}, {Sid(1007), true}, {Sid(1008), true}};
    users.FileStatus = {{Sid(1003), ERROR_SHARING_VIOLATION}, {Sid(1010), cUserClasses::LinkOnTheWay}};
    users.Set(Sid(1001), MapControl, REG_SZ, L"");
    users.Set(Sid(1002), MapControl, REG_DWORD, L"ab");
    users.Set(Sid(1002), LookupLibrary, REG_SZ, expected);
    users.Set(Sid(1007), MapControl, REG_SZ, L"\\??\\UNC\\host\\share\\x.ocx");
    users.Set(Sid(1008), MapControl, REG_SZ, std::wstring(40000, L'x'));
    const cUserRegistrations::cExpected control{&MapControl, temp / L"plotwing2.ocx"},
        lookup{&LookupLibrary, expected};
    const std::vector<cUserReading> read = users.Read({control, lookup});
    ASSERT_EQ(users.List.size(), read.size());
    EXPECT_EQ((std::vector<std::wstring>{local, local, local, local}), users.Folders)
        << "1002, 1003, 1009, 1010";
    const cCheckReport::UserLines lines = cCheckReport::LinesOf(read);
    const std::wstring shadow = L"　ユーザー別の登録が優先されています（",
                       notRead = L" のユーザー別の登録を確認できませんでした（";
    EXPECT_EQ((std::vector<std::wstring>{shadow + L"PC\\佐藤）→ （空の値）",
                                         shadow + Sid(1002) + L"）→ （文字列ではない値）",
                                         shadow + Sid(1007) + L"）→ \\??\\UNC\\host\\share\\x.ocx",
                                         shadow + Sid(1008) + L"）→ （長すぎる値）"}),
              lines.Control);
    EXPECT_TRUE(lines.Lookup.empty()) << "1002's own key names the expected file";
    const std::wstring sharing =
        L"UsrClass.dat を開けませんでした：" + SystemMessage(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(
        (std::vector<std::wstring>{
            L"・" + Sid(1003) + notRead + sharing + L"）",
            L"・" + Sid(1004) + notRead + L"プロファイルのフォルダーが登録されていません）",
            L"・" + Sid(1005) + notRead +
                L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：\\\\server\\share\\u）",
            L"・" + Sid(1006) + L".bak" + notRead + L"プロファイル一覧の項目名がSIDではありません）",
            L"・" + Sid(1010) + notRead + L"UsrClass.dat までのパスにリンクがあるため、読みませんでした）",
            L"・" + Sid(1011) + notRead +
                L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：C:u）"}),
        lines.NotRead);
    EXPECT_TRUE(read[8].Read && !read[8].Loaded && read[8].Components.size() == 2)
        << "no classes file: no classes";
    EXPECT_EQ(std::wstring(74, L'-') + L"\r\n<< チェックレポート >>\r\n・plotwing2.ocx → a\r\n" +
                  lines.Control[0] + L"\r\n・lexgrid4b.dll → b\r\n" + lines.NotRead[0] +
                  L"\r\n\r\n<< チェック判定 >>\r\nv",
              cCheckReport::Report(L"a", L"b", {eVerdict::RepairNeeded, L"v", true},
                                   {{lines.Control[0]}, {}, {lines.NotRead[0]}}));
    // Removal: saved first, then removed; a key that no longer shadows, or one that cannot be saved, stays.
    const std::wstring backup = temp / L"b.reg";
    using R = cUserRegistrations::eRemoval;
    EXPECT_EQ(R::Failed, users.Remove(read[0], control, temp / L"no\\folder.reg").Outcome);
    EXPECT_EQ(R::Removed, users.Remove(read[0], control, backup).Outcome);
    EXPECT_EQ(R::Removed, users.Remove(read[1], control, temp / L"b2.reg").Outcome)
        << "signed out: in the file";
    users.Set(Sid(1007), MapControl, REG_SZ, control.Path); // now right: left alone
    WriteBytes(control.Path, "x");
    EXPECT_EQ(R::NotShadowed, users.Remove(read[6], control, temp / L"b3.reg").Outcome);
    EXPECT_EQ(R::NotShadowed, users.Remove(read[1], lookup, temp / L"b4.reg").Outcome);
    const std::vector<cUserReading> after = users.Read({control, lookup});
    const std::string bytes = ReadBytes(backup);
    EXPECT_EQ(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\" + Sid(1001) +
                  L"_Classes\\CLSID\\" + MapControl.ClassId + L"\\InprocServer32]\r\n@=\"\"\r\n\r\n",
              std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    const auto state = [&](size_t user, size_t c) {
        return static_cast<int>(after[user].Components[c].State);
    };
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 1}),
              (std::vector<int>{state(0, 0), state(1, 0), state(1, 1), state(6, 0),
                                static_cast<int>(cCheckReport::LinesOf(after).Control.size())}))
        << "1001 and 1002 removed, 1002's lookup and 1007 left; 1008's shadow remains";
    EXPECT_FALSE(fs::exists(temp / L"b3.reg") || fs::exists(temp / L"b4.reg"))
        << "nothing saved, nothing removed";
}

TEST(cRegFileTest, ValuesAsTheRegistryEditorExportsThem)
{
    const auto bytes = [](std::wstring_view text) {
        const auto* b = reinterpret_cast<const BYTE*>(text.data());
        return std::vector<BYTE>(b, b + text.size() * 2);
    };
    const std::tuple<std::wstring, DWORD, std::vector<BYTE>, std::wstring> rows[] = {
        {L"", REG_SZ, bytes(std::wstring(L"C:\\地図\\\"x\".ocx", 14)), L"@=\"C:\\\\地図\\\\\\\"x\\\".ocx\""},
        {L"Threading\"Model", REG_SZ, bytes(std::wstring(L"Both", 5)), L"\"Threading\\\"Model\"=\"Both\""},
        {L"", REG_SZ, bytes(std::wstring(L"a\r\nb", 5)), L"@=hex(1):61,00,0d,00,0a,00,62,00,00,00"},
        {L"", REG_SZ, bytes(L"ab"), L"@=hex(1):61,00,62,00"}, // no NUL: kept as it is
        {L"", REG_EXPAND_SZ, bytes(std::wstring(L"%A%", 4)), L"@=hex(2):25,00,41,00,25,00,00,00"},
        {L"n", REG_DWORD, {0x2a, 0, 0, 0x80}, L"\"n\"=dword:8000002a"},
        {L"n", REG_DWORD, {1, 2}, L"\"n\"=hex(4):01,02"},
        {L"", REG_BINARY, {}, L"@=hex:"},
        {L"", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, L"@=hex(b):01,02,03,04,05,06,07,08"}};
    for (const auto& [name, type, data, line] : rows)
        EXPECT_EQ(line, cRegFile::ValueLine(name, type, data)) << line;
    const std::wstring wrapped = cRegFile::ValueLine(L"", REG_BINARY, std::vector<BYTE>(60, 0xab));
    EXPECT_EQ(L"@=hex:ab,ab", wrapped.substr(0, 11));
    EXPECT_EQ(60, std::count(wrapped.begin(), wrapped.end(), L'b'));
    for (size_t from = 0, to; (to = wrapped.find(L"\r\n", from)) != std::wstring::npos; from = to + 2)
        EXPECT_TRUE(to - from <= 80 && wrapped[to - 1] == L'\\' && wrapped.substr(to + 2, 2) == L"  ")
            << wrapped;
}

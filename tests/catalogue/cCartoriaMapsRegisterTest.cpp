#include "catalogue/cCartoriaMapsRegister.h"
#include "sys/StrConv.h"
#include "sys/cAppError.h"
#include "tests/support/TestSupport.h"
#include "tests/support/cTestPc.h"
#include <gtest/gtest.h>

namespace
{
const std::wstring W3 = L"2|CARTORIAW3|カルトリアＷ３|";

struct cOpenCatalogue : cCartoriaMapsRegister
{
    using cCartoriaMapsRegister::LoadItem;
};
std::wstring Fields(const cCartoriaMapItem& item)
{
    return std::to_wstring(item.Index()) + L"|" + item.Code() + L"|" + item.Title() + L"|" + item.Package() +
           L"|" + item.Address() + L"|" + item.PinPoint() + L"|" + item.Normalize();
}
std::string CrLf(std::initializer_list<std::wstring> lines)
{
    std::string bytes;
    for (const auto& line : lines)
        bytes += Sjis(line) + "\r\n";
    return bytes;
}

class cCartoriaMapsRegisterTest : public ::testing::Test
{
protected:
    // "ソ" and "表" end in the byte 0x5C, a backslash in code page 932.
    static std::wstring W3Ini() { return cTestPc::ProductFolder() + L"地図ソ\\カルトリア表.ini"; }
    static std::wstring SearchFolder() { return cTestPc::ProductFolder() + L"検索ソ\\"; }
    void Put(const std::wstring& path, const std::string& bytes)
    {
        MakeFolders(path.substr(0, path.find_last_of(L'\\')));
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        // Profile functions cache the file; flush after rewriting it behind their back.
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, strconv::ToAnsi(path).c_str());
    }
    cTestPc m_pc;
};

TEST_F(cCartoriaMapsRegisterTest, ListsSvW3W2AndChecksEachInstallAfresh)
{
    cOpenCatalogue catalogue; // before any edition is installed
    std::wstring seen;
    for (const auto& item : catalogue)
        seen += Fields(*item) + L"\n";
    EXPECT_EQ(L"1|CARTORIASV|カルトリアＳＶ||||\n" + W3 + L"|||\n3|CARTORIAW2|カルトリアＷ２||||\n", seen);
    EXPECT_EQ(catalogue.Item(2), catalogue.Item(L"CARTORIAW3"));
    EXPECT_EQ(catalogue.Item(2), catalogue.Item(L"cartoriaw3"));
    EXPECT_THROW(catalogue.Item(0L), cAppError);
    EXPECT_THROW(catalogue.Item(4L), cAppError);
    EXPECT_THROW(catalogue.Item(L"X"), cAppError);
    Put(W3Ini(), CrLf({L"[Plotwing]", L"MapPackage=MAP", L"VecPackage=VECTOR"}));
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", W3Ini());
    EXPECT_TRUE(catalogue.IsInstall(L"CARTORIAW3"));
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIAW2")) << "W2 is not registered on this PC";
    EXPECT_FALSE(catalogue.IsInstall(L""));
    // SV ids in any case read the first SV place; an empty one falls through to the second (Wine folds "\\").
    cTestPc::RegisterEdition(L"SOFTWARE\\Kova_Mapping_K.K.\\CARTORIASV", W3Ini());
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\\\CARTORIASV", L"C:\\missing.ini");
    EXPECT_TRUE(catalogue.IsInstall(L"cartoriasv"));
    catalogue.LoadItem(*catalogue.Item(1));
    EXPECT_EQ(L"VECTOR", catalogue.Item(1)->Package());
    cTestPc::RegisterEdition(L"SOFTWARE\\Kova_Mapping_K.K.\\CARTORIASV", L"");
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\\\CARTORIASV", W3Ini());
    EXPECT_TRUE(catalogue.IsInstall(L"cartoriasv"));
    ASSERT_TRUE(::DeleteFileW(W3Ini().c_str()));
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIAW3")) << "answers are not cached";
    // "x..x\..\" stretches an existing file's path; the value is read into 1024 bytes with its NUL.
    const std::wstring folder = cTestPc::ProductFolder(),
                       pad = folder + std::wstring(1013 - folder.size(), L'x');
    Put(folder + L"w3.ini", "");
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", pad + L"\\..\\w3.ini");
    EXPECT_TRUE(catalogue.IsInstall(L"CARTORIAW3")) << "1023 bytes";
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", pad + L"x\\..\\w3.ini");
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIAW3")) << "1024 bytes";
}

TEST_F(cCartoriaMapsRegisterTest, W3RecordTakesWhatItsFilesHold)
{
    wchar_t drive = L'Z';
    while (drive > L'A' && ::GetDriveTypeW((std::wstring(1, drive) + L":\\").c_str()) != DRIVE_NO_ROOT_DIR)
        --drive;
    const std::wstring search = SearchFolder(), folder = search.substr(0, search.size() - 1);
    Put(search + L"正規表\\辞書.dat", "x");
    const std::string head = CrLf({L"[Plotwing]", L"MapPackage=関東版", L"[SearchCtrl]"});
    auto ini = [&](const std::wstring& at) { return head + Sjis(L"SearchIni=" + at + L"\r\n"); };
    const std::string data = CrLf({L"[SEARCHDATA]", L"CHOMOKUDAT=Ｄ:\\住所\\丁目.dat", L"PINPOINTDAT=ピン",
                                   L"NORMARIZE=" + search + L"正規表\\辞書.dat"});
    const std::wstring all = L"関東版|Ｄ:\\住所\\丁目.dat|ピン|" + search + L"正規表\\";
    const wchar_t utf16[] = L"\xFEFF[Plotwing]\r\nMapPackage=関東\r\n";
    const std::string garbage = ReadFileBytes(FixturePath(L"fixture_control.dll"));
    const std::tuple<std::string, std::string, std::wstring> cases[] = {
        {ini(search), data, all},
        {ini(folder), data, all},
        // Stops after the package: no search folder; it is missing, a file, on a missing drive; no section.
        {head, data, L"関東版|||"},
        {ini(search + L"nowhere"), data, L"関東版|||"},
        {ini(W3Ini()), data, L"関東版|||"},
        {ini(std::wstring(1, drive) + L":\\search"), data, L"関東版|||"},
        {ini(search), CrLf({L"[SEARCH]", L"CHOMOKUDAT=x"}), L"関東版|||"},
        // Normalize keeps a missing file or a folder as read.
        {ini(search), CrLf({L"[SEARCHDATA]", L"NORMARIZE=" + search + L"x"}), L"関東版|||" + search + L"x"},
        {ini(search), CrLf({L"[SEARCHDATA]", L"NORMARIZE=" + folder}), L"関東版|||" + folder},
        // Values are cut at 1023 bytes: 511 whole "地" fit.
        {ini(search),
         CrLf({L"[SEARCHDATA]", L"CHOMOKUDAT=" + std::wstring(600, L'地'),
               L"PINPOINTDAT=" + std::wstring(1100, L'p')}),
         L"関東版|" + std::wstring(511, L'地') + L"|" + std::wstring(1023, L'p') + L"|"},
        // Odd files raise nothing.
        {"", "", L"|||"},
        {garbage, garbage, L"|||"},
        {std::string(reinterpret_cast<const char*>(utf16), sizeof utf16 - 2), "", L"関東|||"},
        {"[Pad]\r\nKey=" + std::string(1 << 20, 'x') + "\r\n" + ini(search), data, all},
    };
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", W3Ini());
    for (size_t row = 0; row < std::size(cases); ++row)
    {
        const auto& [iniBytes, searchBytes, expected] = cases[row];
        Put(W3Ini(), iniBytes);
        Put(search + L"search.ini", searchBytes);
        EXPECT_EQ(W3 + expected, Fields(*cCartoriaMapsRegister().Item(2))) << "row " << row;
    }
}
} // namespace

TEST_F(cCartoriaMapsRegisterTest, RelativeIniPathIsReadFromTheFileThatWasTested)
{
    // The profile functions alone would look for a bare name in the Windows folder.
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring decoy = std::wstring(windows) + L"\\p2f-relative.ini";
    const std::wstring local = cTestPc::ProductFolder() + L"p2f-relative.ini";
    Put(decoy, CrLf({L"[Plotwing]", L"MapPackage=WINDOWS"}));
    Put(local, CrLf({L"[Plotwing]", L"MapPackage=TESTED", L"[SearchCtrl]", L"SearchIni=search"}));
    Put(cTestPc::ProductFolder() + L"search\\search.ini", CrLf({L"[SEARCHDATA]", L"CHOMOKUDAT=HERE"}));
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", L"p2f-relative.ini");
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(cTestPc::ProductFolder().c_str()));
    const cCartoriaMapsRegister catalogue;
    ::SetCurrentDirectoryW(previous);
    ::DeleteFileW(decoy.c_str());
    EXPECT_EQ(L"TESTED", catalogue.Item(2)->Package());
    EXPECT_EQ(L"HERE", catalogue.Item(2)->Address());
}

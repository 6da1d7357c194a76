#include "catalogue/cCartoriaMapsRegister.h"
#include "sys/StrConv.h"
#include "sys/cAppError.h"
#include "sys/cOwned.h"
#include "tests/support/TestSupport.h"
#include "tests/support/cTestPc.h"
#include <gtest/gtest.h>
#include <initializer_list>
#include <tuple>

namespace
{
const wchar_t* const SvFirstPlace = L"SOFTWARE\\Kova_Mapping_K.K.\\CARTORIASV";
const wchar_t* const SvSecondPlace = L"SOFTWARE\\KOVA\\\\CARTORIASV";

// Reaches the members the catalogue keeps to itself.
class cOpenCatalogue : public cCartoriaMapsRegister
{
public:
    using cCartoriaMapsRegister::GetIniFilePath;
    using cCartoriaMapsRegister::LoadItem;
};

// Index, Code, Title, Package, Address, PinPoint, Normalize.
std::vector<std::wstring> Fields(const cCartoriaMapItem& item)
{
    std::vector<std::wstring> fields{std::to_wstring(item.Index()), item.Code(), item.Title()};
    fields.insert(fields.end(), {item.Package(), item.Address(), item.PinPoint(), item.Normalize()});
    return fields;
}

std::vector<std::wstring> Bare(long index)
{
    static const wchar_t* const codes[] = {L"CARTORIASV", L"CARTORIAW3", L"CARTORIAW2"};
    static const wchar_t* const titles[] = {L"カルトリアＳＶ", L"カルトリアＷ３", L"カルトリアＷ２"};
    return {std::to_wstring(index), codes[index - 1], titles[index - 1], L"", L"", L"", L""};
}

std::vector<std::wstring> W3(const std::wstring& package, const std::wstring& address = L"",
                             const std::wstring& pinPoint = L"", const std::wstring& normalize = L"")
{
    return {L"2", L"CARTORIAW3", L"カルトリアＷ３", package, address, pinPoint, normalize};
}

// The product's ini files are code page 932 text with CR LF.
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
    static std::wstring SearchFolder() { return cTestPc::ProductFolder() + L"search\\"; }
    static std::wstring W3Ini() { return cTestPc::ProductFolder() + L"cartoriaw3.ini"; }

    void Put(const std::wstring& path, const std::string& bytes)
    {
        MakeFolders(path.substr(0, path.find_last_of(L'\\')));
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        // Profile functions cache the file; flush after rewriting it behind their back.
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, strconv::ToAnsi(path).c_str());
    }
    void ForgetEditions()
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA");
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kova_Mapping_K.K.");
    }
    // W3 with its search folder; search.ini gets a complete section and norm\normal.dat exists.
    void InstallCompleteW3(const std::wstring& searchIniLine)
    {
        cTestPc::InstallW3(CrLf({L"[Plotwing]", L"MapPackage=KANTO2024", L"[SearchCtrl]", searchIniLine}));
        Put(SearchFolder() + L"search.ini",
            CrLf({L"[SEARCHDATA]", L"CHOMOKUDAT=D:\\data\\chomoku.dat", L"PINPOINTDAT=D:\\data\\pinpoint.dat",
                  L"NORMARIZE=" + SearchFolder() + L"norm\\normal.dat"}));
        Put(SearchFolder() + L"norm\\normal.dat", "x");
    }
    std::vector<std::wstring> CompleteW3() const
    {
        return W3(L"KANTO2024", L"D:\\data\\chomoku.dat", L"D:\\data\\pinpoint.dat",
                  SearchFolder() + L"norm\\");
    }

    cTestPc m_pc;
};

// --- installation check ---

TEST_F(cCartoriaMapsRegisterTest, IsInstallNeedsTheRegisteredFileToExist)
{
    cTestPc::InstallW3();
    cOpenCatalogue catalogue;
    EXPECT_TRUE(catalogue.IsInstall(catalogue.REG_CARTORIA_W3()));
    EXPECT_TRUE(catalogue.IsInstall(L"cartoriaw3")) << "the registry ignores the case of the key name";
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIAW2")) << "W2 is not registered on this PC";
    EXPECT_FALSE(catalogue.IsInstall(L""));
    // An empty id reads "SOFTWARE\KOVA\" as it is; Wine's registry ignores the trailing backslash.
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA", W3Ini());
    EXPECT_TRUE(catalogue.IsInstall(L""));
    cTestPc::RegisterEdition(SvFirstPlace, W3Ini());
    EXPECT_TRUE(catalogue.IsInstall(L"cartoriasv"));

    ASSERT_TRUE(::DeleteFileW(W3Ini().c_str()));
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIAW3")) << "answers are not cached";
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIASV"));
    EXPECT_EQ(W3Ini(), catalogue.GetIniFilePath(L"CARTORIAW3")) << "the registration is still there";

    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", cTestPc::ProductFolder());
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIAW3")) << "a folder is not an ini file";
}

TEST_F(cCartoriaMapsRegisterTest, SvIdTakesBothSvPlacesWhateverItsCase)
{
    // Wine's registry folds a run of backslashes into one: the second place, seeded and read with its two
    // backslashes, is the key "SOFTWARE\KOVA\CARTORIASV" here. So these cases check which place is read
    // and when, but cannot tell the doubled spelling from a single backslash.
    // Id, first place, second place (null: not registered there), the path read.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        {L"CARTORIASV", L"C:\\first.ini", L"C:\\second.ini", L"C:\\first.ini"},
        // Another id would read "SOFTWARE\KOVA\cartoriasv", which is the second place under Wine.
        {L"cartoriasv", L"C:\\first.ini", L"C:\\second.ini", L"C:\\first.ini"},
        {L"CartoriaSv", L"", L"C:\\second.ini", L"C:\\second.ini"},
        {L"cartoriasv", nullptr, L" C:\\second.ini ", L" C:\\second.ini "},
        {L"CARTORIASV", nullptr, nullptr, L""},
    };
    for (const auto& [code, first, second, expected] : cases)
    {
        SCOPED_TRACE(strconv::ToAnsi(code, CP_UTF8) + (first ? " first" : "") + (second ? " second" : ""));
        ForgetEditions();
        if (first)
            cTestPc::RegisterEdition(SvFirstPlace, first);
        if (second)
        {
            cTestPc::RegisterEdition(SvSecondPlace, second);
            cRegKey folded;
            ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA\\CARTORIASV", 0,
                                                     KEY_READ, folded.Put()));
        }
        EXPECT_EQ(expected, cOpenCatalogue().GetIniFilePath(code));
    }
}

TEST_F(cCartoriaMapsRegisterTest, RegisteredPathOver1023BytesCountsAsNotRegistered)
{
    // The value is read into 1024 bytes, its NUL included. ".\" steps make an existing file's path that long.
    for (const size_t length : {1023u, 1024u})
    {
        SCOPED_TRACE(length);
        const std::wstring name =
            (cTestPc::ProductFolder().size() + 6) % 2 == length % 2 ? L"w3.ini" : L"w3x.ini";
        std::wstring path = cTestPc::ProductFolder();
        while (path.size() + name.size() < length)
            path += L".\\";
        path += name;
        ASSERT_EQ(length, path.size());
        Put(cTestPc::ProductFolder() + name, "[Plotwing]\r\n");
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path.c_str()));
        cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", path);
        EXPECT_EQ(length == 1023, cOpenCatalogue().IsInstall(L"CARTORIAW3"));
    }
}

// --- the list ---

TEST_F(cCartoriaMapsRegisterTest, WithoutInstalledEditionsRecordsHoldOnlyTheirNames)
{
    // Registered but not installed: the ini file is missing, or the path names a folder.
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", W3Ini());
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW2", cTestPc::ProductFolder());
    MakeFolders(cTestPc::ProductFolder());
    const cCartoriaMapsRegister catalogue;
    ASSERT_EQ(3, catalogue.Count());
    for (long i = 1; i <= 3; ++i)
        EXPECT_EQ(Bare(i), Fields(*catalogue.Item(i)));
}

TEST_F(cCartoriaMapsRegisterTest, CompleteW3FillsItsRecordOnly)
{
    InstallCompleteW3(L"SearchIni=" + SearchFolder());
    // SV is registered with complete files too, but not loaded when the list is built.
    cTestPc::RegisterEdition(SvFirstPlace, W3Ini());
    const cCartoriaMapsRegister catalogue;
    ASSERT_EQ(3, catalogue.Count());
    EXPECT_EQ(Bare(1), Fields(*catalogue.Item(1)));
    EXPECT_EQ(CompleteW3(), Fields(*catalogue.Item(2)));
    EXPECT_EQ(Bare(3), Fields(*catalogue.Item(3)));
}

TEST_F(cCartoriaMapsRegisterTest, LoadingAnSvRecordReadsVecPackage)
{
    cTestPc::InstallW3(CrLf({L"[Plotwing]", L"MapPackage=MAP", L"VecPackage=VECTOR"}));
    cTestPc::RegisterEdition(SvFirstPlace, W3Ini());
    cOpenCatalogue catalogue;
    EXPECT_EQ(L"", catalogue.Item(1)->Package());
    catalogue.LoadItem(*catalogue.Item(1));
    EXPECT_EQ(L"VECTOR", catalogue.Item(1)->Package());
    EXPECT_EQ(L"MAP", catalogue.Item(2)->Package());
    cCartoriaMapItem lower;
    lower.Code(L"cartoriasv");
    catalogue.LoadItem(lower);
    EXPECT_EQ(L"VECTOR", lower.Package());
}

TEST_F(cCartoriaMapsRegisterTest, SearchSettingsStopEarlyOrLeadToTheSameSearchIni)
{
    std::wstring drive;
    for (wchar_t letter = L'Z'; letter >= L'A' && drive.empty(); --letter)
        if (::GetDriveTypeW((std::wstring(1, letter) + L":\\").c_str()) == DRIVE_NO_ROOT_DIR)
            drive = std::wstring(1, letter) + L":";
    ASSERT_FALSE(drive.empty()) << "every drive letter is in use";
    const std::wstring folder = SearchFolder().substr(0, SearchFolder().size() - 1);
    const std::pair<std::wstring, bool> cases[] = {
        {L"NotSearchIni=" + SearchFolder(), false},
        {L"SearchIni=", false},
        {L"SearchIni=" + cTestPc::ProductFolder() + L"nowhere", false},
        {L"SearchIni=" + W3Ini(), false},
        {L"SearchIni=" + drive + L"\\search", false},
        {L"SearchIni=" + folder, true},
        {L"SearchIni=" + SearchFolder(), true},
    };
    for (const auto& [line, complete] : cases)
    {
        SCOPED_TRACE(strconv::ToAnsi(line, CP_UTF8));
        InstallCompleteW3(line);
        EXPECT_EQ(complete ? CompleteW3() : W3(L"KANTO2024"), Fields(*cCartoriaMapsRegister().Item(2)));
    }
    Put(SearchFolder() + L"search.ini", CrLf({L"[SEARCH]", L"CHOMOKUDAT=D:\\data\\chomoku.dat"}));
    EXPECT_EQ(W3(L"KANTO2024"), Fields(*cCartoriaMapsRegister().Item(2))) << "search.ini without its section";
}

TEST_F(cCartoriaMapsRegisterTest, NormalizeKeepsOnlyTheFolderOfAnExistingFile)
{
    const std::wstring folder = SearchFolder().substr(0, SearchFolder().size() - 1);
    const std::pair<std::wstring, std::wstring> cases[] = {
        {SearchFolder() + L"norm\\normal.dat", SearchFolder() + L"norm\\"},
        {SearchFolder() + L"norm\\missing.dat", SearchFolder() + L"norm\\missing.dat"},
        {folder, folder},
        {L"normal.dat", L"normal.dat"},
    };
    for (const auto& [value, expected] : cases)
    {
        SCOPED_TRACE(strconv::ToAnsi(value, CP_UTF8));
        InstallCompleteW3(L"SearchIni=" + SearchFolder());
        Put(SearchFolder() + L"search.ini", CrLf({L"[SEARCHDATA]", L"NORMARIZE=" + value}));
        EXPECT_EQ(expected, cCartoriaMapsRegister().Item(2)->Normalize());
    }
}

TEST_F(cCartoriaMapsRegisterTest, JapaneseValuesSurviveTheAnsiReads)
{
    // "ソ" and "表" end in the byte 0x5C, a backslash in code page 932.
    const std::wstring base = cTestPc::ProductFolder() + L"地図ソ\\";
    const std::wstring ini = base + L"カルトリア表.ini";
    const std::wstring search = base + L"検索ソ";
    Put(ini, CrLf({L"[Plotwing]", L"MapPackage=関東版２０２４", L"[SearchCtrl]", L"SearchIni=" + search}));
    Put(search + L"\\search.ini",
        CrLf({L"[SEARCHDATA]", L"CHOMOKUDAT=Ｄ:\\住所\\丁目.dat", L"PINPOINTDAT=ピンポイント",
              L"NORMARIZE=" + search + L"\\正規表\\辞書.dat"}));
    Put(search + L"\\正規表\\辞書.dat", "x");
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", ini);
    const cCartoriaMapsRegister catalogue;
    EXPECT_EQ(W3(L"関東版２０２４", L"Ｄ:\\住所\\丁目.dat", L"ピンポイント", search + L"\\正規表\\"),
              Fields(*catalogue.Item(2)));
}

TEST_F(cCartoriaMapsRegisterTest, ValuesAreCutAt1023Bytes)
{
    const std::wstring longPath = SearchFolder() + std::wstring(1100, L'n');
    cTestPc::InstallW3(CrLf({L"[Plotwing]", L"MapPackage=" + std::wstring(1500, L'P'), L"[SearchCtrl]",
                             L"SearchIni=" + SearchFolder()}));
    Put(SearchFolder() + L"search.ini",
        CrLf({L"[SEARCHDATA]", L"CHOMOKUDAT=" + std::wstring(600, L'地'),
              L"PINPOINTDAT=" + std::wstring(1023, L'B'), L"NORMARIZE=" + longPath}));
    // 600 "地" are 1200 bytes: 511 whole characters fit in 1023.
    EXPECT_EQ(W3(std::wstring(1023, L'P'), std::wstring(511, L'地'), std::wstring(1023, L'B'),
                 longPath.substr(0, 1023)),
              Fields(*cCartoriaMapsRegister().Item(2)));
}

TEST_F(cCartoriaMapsRegisterTest, OddFileContentsRaiseNothing)
{
    // The edition ini file doubles as search.ini, so each kind of content goes through both reads.
    const std::wstring text =
        L"[Plotwing]\r\nMapPackage=関東\r\n[SearchCtrl]\r\nSearchIni=" + SearchFolder() +
        L"\r\n[SEARCHDATA]\r\nCHOMOKUDAT=丁目\r\nPINPOINTDAT=ピン\r\nNORMARIZE=正規\r\n";
    std::string garbage; // every byte value, NUL and lone lead bytes among them
    for (unsigned i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 7919u + 13u) & 0xFFu));
    std::string bigPadding = "[Pad]\r\n";
    while (bigPadding.size() <= 1024 * 1024)
        bigPadding += "Key=0123456789012345678901234567890123456789\r\n";
    const std::string utf16(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"empty", "", false},
        {"garbage", garbage, false},
        {"garbage first", garbage + "\r\n\r\n" + Sjis(text), true},
        {"UTF-16 with BOM", "\xFF\xFE" + utf16, true},
        {"over 1 MB", bigPadding + Sjis(text), true},
    };
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", W3Ini());
    for (const auto& [name, bytes, read] : cases)
    {
        SCOPED_TRACE(name);
        Put(W3Ini(), bytes);
        Put(SearchFolder() + L"search.ini", bytes);
        // An exception fails the test as well.
        EXPECT_EQ(read ? W3(L"関東", L"丁目", L"ピン", L"正規") : W3(L""),
                  Fields(*cCartoriaMapsRegister().Item(2)));
    }
}

// --- reaching the records ---

TEST_F(cCartoriaMapsRegisterTest, ItemFindsRecordsByPositionOrKey)
{
    const cCartoriaMapsRegister catalogue;
    const auto w3 = catalogue.Item(2);
    EXPECT_EQ(L"CARTORIAW3", w3->Code());
    EXPECT_EQ(w3, catalogue.Item(L"CARTORIAW3"));
    EXPECT_EQ(w3, catalogue.Item(L"cartoriaw3"));
    EXPECT_EQ(L"CARTORIASV", catalogue.Item(L"CartoriaSV")->Code());

    auto number = [&](auto key) {
        try
        {
            catalogue.Item(key);
        }
        catch (const cAppError& e)
        {
            return e.Number();
        }
        return 0L;
    };
    EXPECT_EQ(errnum::SubscriptRange, number(0L));
    EXPECT_EQ(errnum::SubscriptRange, number(4L));
    EXPECT_EQ(errnum::SubscriptRange, number(-1L));
    EXPECT_EQ(errnum::InvalidCall, number(std::wstring(L"X")));
    EXPECT_EQ(errnum::InvalidCall, number(std::wstring(L"")));
    EXPECT_EQ(errnum::InvalidCall, number(std::wstring(L"CARTORIAW3 ")));
}

TEST_F(cCartoriaMapsRegisterTest, EnumerationRunsSvW3W2)
{
    const cCartoriaMapsRegister catalogue;
    std::vector<std::wstring> seen;
    for (const auto& item : catalogue)
        seen.push_back(std::to_wstring(item->Index()) + L" " + item->Code());
    EXPECT_EQ((std::vector<std::wstring>{L"1 CARTORIASV", L"2 CARTORIAW3", L"3 CARTORIAW2"}), seen);
    EXPECT_EQ(catalogue.Item(3), catalogue.NewEnum().at(2));
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

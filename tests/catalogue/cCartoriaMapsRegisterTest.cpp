#include "catalogue/cCartoriaMapsRegister.h"
#include "tests/support/TestPc.h"

namespace
{
std::wstring Fields(const cCartoriaMapItem& item)
{
    return std::to_wstring(item.Index()) + L"|" + item.Code() + L"|" + item.Title() + L"|" + item.Package() +
           L"|" + item.Address() + L"|" + item.PinPoint() + L"|" + item.Normalize();
}

class cCartoriaMapsRegisterTest : public ::testing::Test
{
protected:
    void SetUp() override { SKIP_UNLESS_THROWAWAY_MACHINE(); }
    cTestPc m_pc;
    // "ソ" and "表" end in the byte 0x5C, a backslash in code page 932.
    const std::wstring m_ini = cTestPc::ProductFolder() + L"地図ソ\\カルトリア表.ini";
    const std::wstring m_search = cTestPc::ProductFolder() + L"検索ソ\\";
};
} // namespace

TEST_F(cCartoriaMapsRegisterTest, AsksTheRegistryAndTheDiskAfreshWhetherAnEditionIsInstalled)
{
    const cCartoriaMapsRegister catalogue;
    cTestPc::InstallW3(m_ini);
    EXPECT_TRUE(catalogue.IsInstall(L"CARTORIAW3") && !catalogue.IsInstall(L"CARTORIAW2"));
    // SV ids in any case read the first SV place; an empty one falls through to the second.
    cTestPc::RegisterEdition(L"SOFTWARE\\Kova_Mapping_K.K.\\CARTORIASV", L"");
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\\\CARTORIASV", m_ini);
    EXPECT_TRUE(catalogue.IsInstall(L"cartoriasv"));
    cTestPc::RegisterEdition(L"SOFTWARE\\Kova_Mapping_K.K.\\CARTORIASV", L"C:\\missing.ini");
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIASV"));
    fs::remove(m_ini);
    EXPECT_FALSE(catalogue.IsInstall(L"CARTORIAW3"));
}

TEST_F(cCartoriaMapsRegisterTest, W3RecordTakesWhatItsFilesHold)
{
    const std::wstring dictionary = m_search + L"正規表\\辞書.dat";
    ASSERT_TRUE(WriteBytes(dictionary, "x"));
    const auto ini = [](const std::wstring& search) {
        return L"[Plotwing]\r\nMapPackage=関東版\r\n[SearchCtrl]\r\nSearchIni=" + search + L"\r\n";
    };
    const std::wstring data =
        L"[SEARCHDATA]\r\nCHOMOKUDAT=Ｄ:\\住所.dat\r\nPINPOINTDAT=ピン\r\nNORMARIZE=" + dictionary;
    const std::tuple<std::wstring, std::wstring, std::wstring> rows[] = {
        {ini(m_search.substr(0, m_search.size() - 1)), data,
         L"関東版|Ｄ:\\住所.dat|ピン|" + m_search + L"正規表\\"},
        {ini(m_search + L"nowhere"), data, L"関東版|||"}, // no search folder: the record ends at the package
        {ini(m_search), L"[SEARCHDATA]\r\nNORMARIZE=" + m_search + L"x", L"関東版|||" + m_search + L"x"}};
    for (const auto& [iniText, searchText, expected] : rows)
    {
        cTestPc::WriteIni(m_search + L"search.ini", Sjis(searchText + L"\r\n"));
        cTestPc::InstallW3(m_ini, Sjis(iniText));
        EXPECT_EQ(L"2|CARTORIAW3|カルトリアＷ３|" + expected, Fields(*cCartoriaMapsRegister().Item(2)))
            << iniText;
    }
    // A relative ini path names the file the existence test found, not one in the Windows folder.
    cTestPc::InstallW3(cTestPc::ProductFolder() + L"rel.ini", "[Plotwing]\r\nMapPackage=TESTED\r\n");
    cTestPc::RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", L"rel.ini");
    const fs::path previous = fs::current_path();
    fs::current_path(cTestPc::ProductFolder());
    const cCartoriaMapsRegister catalogue;
    fs::current_path(previous);
    EXPECT_EQ(L"TESTED", catalogue.Item(2)->Package());
}

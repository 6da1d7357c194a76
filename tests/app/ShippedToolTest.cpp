#include "tests/support/TestPc.h"

// Administrators start the tool, elevated, from wherever they saved it: often a downloads folder into which
// a web page can drop files.
TEST(ShippedToolTest, AVersionDllPlantedBesideTheToolNeverRunsAndTheToolWorksAsUsual)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder downloads;
    for (const wchar_t* name :
         {L"fixtures\\version.dll", L"fixtures\\imports_version.exe", L"plotwing2fix.exe"})
        ASSERT_TRUE(fs::copy_file(TestFolder() + name, downloads / fs::path(name).filename().wstring()));
    const std::wstring marker = downloads / L"version.dll.ran";
    // Windows looks for a DLL that is not one of its known DLLs in the program's folder first. A program
    // that imports version.dll shows that it does so here (Wine: with WINEDLLOVERRIDES=version=n,b).
    EXPECT_EQ(1, RunProgram(L"\"" + downloads / L"imports_version.exe\""));
    ASSERT_TRUE(fs::remove(marker)) << "version.dll is not taken from the program's folder here: run with "
                                       "WINEDLLOVERRIDES=version=n,b";
    // Closed as a user would, once its window is there.
    EXPECT_EQ(0, RunProgram(L"\"" + downloads / L"plotwing2fix.exe\"", [](DWORD) {
                  HWND window = nullptr;
                  for (int i = 0; !window && i < 400; ++i, ::Sleep(50))
                      window = ::FindWindowW(L"Plotwing2RegisterFix", nullptr);
                  ::PostMessageW(window, WM_CLOSE, 0, 0);
              }));
    EXPECT_FALSE(fs::exists(marker)) << "the planted version.dll ran";
    // Its log keeps the name from the tool's own version block.
    EXPECT_NE(std::wstring::npos, cTestPc::Log().find(L"【INFO】Application-Path : " + downloads / L"\r\n"));
    EXPECT_EQ(L"【INFO】-- End --\r\n",
              cTestPc::Log().substr(std::max<size_t>(cTestPc::Log().size(), 17) - 17));
}

#include "tests/support/TestPc.h"
#include <thread>

// Administrators start the tool, elevated, from where they saved it: often a downloads folder.
TEST(ShippedToolTest, AVersionDllPlantedBesideTheToolNeverRunsAndTheToolWorksAsUsual)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder downloads;
    for (const wchar_t* name : {L"fixtures\\version.dll", L"fixtures\\imports_version.exe",
                                L"plotwing2fix.exe", L"plotwing2fix-cli.exe"})
        ASSERT_TRUE(fs::copy_file(TestFolder() + name, downloads / fs::path(name).filename().wstring()));
    const std::wstring marker = downloads / L"version.dll.ran";
    // Windows looks beside the program first for a DLL off its known-DLL list, as a program importing it
    // shows.
    EXPECT_EQ(1, _wsystem((downloads / L"imports_version.exe").c_str()));
    ASSERT_TRUE(fs::remove(marker)) << "version.dll is not taken from the program's folder here: run with "
                                       "WINEDLLOVERRIDES=version=n,b";
    // Closed as a user would, once its window is there.
    std::thread user([] {
        HWND window = nullptr;
        for (int i = 0; !window && i < 400; ++i, ::Sleep(50))
            window = ::FindWindowW(L"Plotwing2RegisterFix", nullptr);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(0, _wsystem((downloads / L"plotwing2fix.exe").c_str()));
    user.join();
    EXPECT_EQ(3, _wsystem((downloads / L"plotwing2fix-cli.exe check >nul").c_str())) << "not installed";
    EXPECT_FALSE(fs::exists(marker)) << "the planted version.dll ran";
    // Its log keeps the name from the tool's own version block.
    EXPECT_EQ(L"【INFO】-- End --\r\n",
              cTestPc::Log().substr(std::max<size_t>(cTestPc::Log().size(), 17) - 17));
}

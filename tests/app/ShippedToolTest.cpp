#include "tests/support/TestPc.h"

namespace
{
BOOL CALLBACK FindToolWindow(HWND hwnd, LPARAM lParam)
{
    auto* found = reinterpret_cast<std::pair<DWORD, HWND>*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    if (pid == found->first && ::IsWindowVisible(hwnd) && std::wstring(cls) == L"Plotwing2RegisterFix")
        found->second = hwnd;
    return found->second ? FALSE : TRUE;
}

// Waits for the tool's window and asks it to close, as a user would.
void CloseTheWindow(DWORD pid)
{
    std::pair<DWORD, HWND> found{pid, nullptr};
    for (int i = 0; !found.second && i < 400; ++i, ::Sleep(50))
        ::EnumWindows(&FindToolWindow, reinterpret_cast<LPARAM>(&found));
    ::PostMessageW(found.second, WM_CLOSE, 0, 0);
}
} // namespace

// Administrators start the tool, elevated, from wherever they saved it, often a downloads folder into
// which a web page can drop files.
TEST(ShippedToolTest, AVersionDllPlantedBesideTheToolNeverRunsAndTheToolWorksAsUsual)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    const cTempFolder downloads;
    for (const auto& [from, name] :
         {std::pair{TestFolder() + L"fixtures\\version.dll", L"version.dll"},
          {TestFolder() + L"fixtures\\imports_version.exe", L"imports_version.exe"},
          {TestFolder() + L"plotwing2fix.exe", L"plotwing2fix.exe"}})
        ASSERT_TRUE(::CopyFileW(from.c_str(), (downloads / name).c_str(), FALSE)) << name;
    const std::wstring marker = downloads / L"version.dll.ran";
    // Windows looks for a DLL that is not one of its known DLLs in the program's folder first. A program
    // that imports version.dll shows that it does so here (Wine: with WINEDLLOVERRIDES=version=n,b).
    EXPECT_EQ(1, RunProgram(L"\"" + downloads / L"imports_version.exe\""));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(marker.c_str()))
        << "version.dll is not taken from the program's folder here: run with WINEDLLOVERRIDES=version=n,b";
    ASSERT_TRUE(::DeleteFileW(marker.c_str()));

    EXPECT_EQ(0, RunProgram(L"\"" + downloads / L"plotwing2fix.exe\"", &CloseTheWindow));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(marker.c_str())) << "the planted version.dll ran";
    // Its log keeps the name from the tool's own version block.
    const std::wstring log = cTestPc::Log();
    EXPECT_NE(std::wstring::npos, log.find(L"【INFO】Application-Path : " + downloads / L"\r\n"));
    EXPECT_NE(std::wstring::npos,
              log.find(L"【INFO】・このＰＣにはカルトリアＷ３がインストールされていません。\r\n"));
    EXPECT_EQ(L"【INFO】-- End --\r\n", log.substr(log.size() - std::min<size_t>(log.size(), 17)));
}

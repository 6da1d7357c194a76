#include "sys/DllSearch.h"
#include "tests/support/TestPc.h"
#include <thread>

namespace
{
// Presses the keys in turn and lets them go in reverse, as a keyboard user does; then the control of the
// tool's window `thread` that has the focus.
int Press(DWORD thread, std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (const WORD key : keys)
        inputs.insert(inputs.begin() + static_cast<long>(inputs.size() / 2),
                      {{INPUT_KEYBOARD, {.ki = {key, 0, 0, 0, 0}}},
                       {INPUT_KEYBOARD, {.ki = {key, 0, KEYEVENTF_KEYUP, 0, 0}}}});
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    ::Sleep(300);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(thread, &info);
    return ::GetDlgCtrlID(info.hwndFocus);
}
} // namespace

// Administrators start the tool, elevated, from where they saved it: often a downloads folder. Some use only
// the keyboard: Tab and Shift+Tab go round the four controls, and Esc in the report box leaves the tool open.
// A DLL the tool loads by name later is never one planted beside it either.
TEST(ShippedToolTest, AVersionDllPlantedBesideTheToolNeverRunsAndTheToolWorksAsUsualAlsoFromTheKeyboard)
{
    SKIP_UNLESS_THROWAWAY_MACHINE();
    const cTestPc pc;
    cTestPc::InstallBoth(L"old\\"); // 「再設定」 enabled
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
    std::thread user([] {
        HWND window = nullptr;
        for (int i = 0; !window && i < 400; ++i, ::Sleep(50))
            window = ::FindWindowW(L"Plotwing2RegisterFix", nullptr);
        ::SetForegroundWindow(window);
        const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
        // Shown and given its first focus before the first key: a loaded machine may take a while.
        GUITHREADINFO shown{sizeof shown, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
        for (int i = 0; i < 200 && (!::GetGUIThreadInfo(thread, &shown) || !shown.hwndFocus); ++i)
            ::Sleep(50);
        std::vector<int> order;
        for (const bool back : {false, false, false, false, false, true, true, true, true})
            order.push_back(back ? Press(thread, {VK_SHIFT, VK_TAB}) : Press(thread, {VK_TAB}));
        EXPECT_EQ((std::vector<int>{1001, 1003, 1004, 1005, 1001, 1005, 1004, 1003, 1001}), order);
        Press(thread, {VK_ESCAPE});
        EXPECT_TRUE(::IsWindow(window)) << "Esc in the report box closed the tool";
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(0, _wsystem((downloads / L"plotwing2fix.exe").c_str()));
    user.join();
    EXPECT_EQ(1, _wsystem((downloads / L"plotwing2fix-cli.exe check >nul").c_str())) << "re-setting needed";
    EXPECT_FALSE(fs::exists(marker)) << "the planted version.dll ran";
    // Its log keeps the name from the tool's own version block.
    EXPECT_EQ(L"【INFO】-- End --\r\n",
              cTestPc::Log().substr(std::max<size_t>(cTestPc::Log().size(), 17) - 17));
    // After start-up a DLL loaded by name comes from the system folder alone, never from beside the tool.
    const std::wstring planted = TestFolder() + L"p2f-planted.dll";
    ASSERT_TRUE(::CopyFileW((TestFolder() + L"fixtures\\version.dll").c_str(), planted.c_str(), FALSE));
    const cAtEnd removed{[&] { fs::remove(planted); }};
    RestrictDllSearch();
    const HMODULE loaded = ::LoadLibraryW(L"p2f-planted.dll");
    EXPECT_EQ(nullptr, loaded), ::FreeLibrary(loaded);
}

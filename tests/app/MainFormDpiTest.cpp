#include "tests/app/MainFormTestBase.h"
#include "res/resource.h"
#include "tests/support/cSavedValue.h"
#include <cstdlib>
#include <optional>

// A process reads the screen's DPI once, at start: the layout at 144 DPI is checked in a child
// run of this test program, started after the prefix's LogPixels was set to 144.
class MainFormDpiTest : public MainFormTestBase
{
};

// Runs only as the child of LaysOutFromTwipsAt144Dpi.
TEST_F(MainFormDpiTest, ChildLayoutIsOneAndAHalfTimesThe96DpiFigures)
{
    if (!std::getenv("P2F_DPI_CHILD"))
        GTEST_SKIP() << "runs as the child of LaysOutFromTwipsAt144Dpi";
    Open();
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    ASSERT_EQ(144, dpi);

    RECT client{};
    ::GetClientRect(m_form->Hwnd(), &client);
    EXPECT_NEAR(473 * 1.5, client.right, 1);
    EXPECT_NEAR(313 * 1.5, client.bottom, 1);
    const struct
    {
        HWND Control;
        RECT At96;
    } controls[] = {{m_form->Text1(), {16, 124, 455, 297}},
                    {m_form->Label1(), {18, 16, 361, 117}},
                    {m_form->Command1(), {374, 12, 457, 49}},
                    {m_form->Command2(), {374, 56, 457, 93}},
                    {m_form->Check1(), {376, 100, 453, 118}}};
    for (const auto& c : controls)
    {
        RECT r{};
        ::GetWindowRect(c.Control, &r);
        ::MapWindowPoints(nullptr, m_form->Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_NEAR(c.At96.left * 1.5, r.left, 1);
        EXPECT_NEAR(c.At96.top * 1.5, r.top, 1);
        EXPECT_NEAR(c.At96.right * 1.5, r.right, 1);
        EXPECT_NEAR(c.At96.bottom * 1.5, r.bottom, 1);
    }
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(m_form->Text1(), WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    EXPECT_EQ(-18, font.lfHeight);
    // Tells the parent that the checks really ran here.
    WriteFileBytes(strconv::ToWide(std::getenv("P2F_DPI_CHILD")), "ran");
}

TEST_F(MainFormDpiTest, LaysOutFromTwipsAt144Dpi)
{
    if (std::getenv("P2F_DPI_CHILD"))
        GTEST_SKIP() << "the child run checks the layout itself";
    std::optional<cSavedValue> logPixels(std::in_place, L"Control Panel\\Desktop", L"LogPixels");
    ASSERT_TRUE(logPixels->SetDword(144));

    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) +
                           L"\" --gtest_filter=MainFormDpiTest.ChildLayoutIsOneAndAHalfTimesThe96DpiFigures";
    cTempFolder folder;
    const std::wstring marker = folder / L"child-ran";
    ::SetEnvironmentVariableW(L"P2F_DPI_CHILD", marker.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::SetEnvironmentVariableW(L"P2F_DPI_CHILD", nullptr);
    DWORD exitCode = 1;
    if (started)
    {
        ::WaitForSingleObject(process.hProcess, 60000);
        ::GetExitCodeProcess(process.hProcess, &exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    logPixels.reset();
    ASSERT_TRUE(started);
    EXPECT_EQ(0u, exitCode) << "the layout at 144 DPI is off; run the child test alone to see which figure";
    EXPECT_EQ("ran", ReadFileBytes(marker));
}

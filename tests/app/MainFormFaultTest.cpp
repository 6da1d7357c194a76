#include "tests/app/MainFormTestBase.h"
#include "tests/support/cMessageBoxCatcher.h"
#include "tests/support/cSavedValue.h"
#include <psapi.h>

// Faults of the PC the tool must survive: the window keeps working and nothing is lost or misplaced.
class MainFormFaultTest : public MainFormTestBase
{
protected:
    // Points the user's desktop at `folder` until the test ends.
    void MoveDesktop(const std::wstring& folder)
    {
        m_user.emplace(cSavedValue::UserShellFolders, L"Desktop");
        m_resolved.emplace(cSavedValue::ShellFolders, L"Desktop");
        ASSERT_TRUE(m_user->Set(folder));
        ASSERT_TRUE(m_resolved->Set(folder));
    }
    void TearDown() override
    {
        MainFormTestBase::TearDown();
        m_resolved.reset();
        m_user.reset();
    }
    std::optional<cSavedValue> m_user;
    std::optional<cSavedValue> m_resolved;
    cTempFolder m_temp;
};

TEST_F(MainFormFaultTest, MissingDesktopWritesNoLogAnywhereAndTheWindowWorks)
{
    const std::wstring missing = m_temp / L"no-desktop";
    MoveDesktop(missing);
    Open();
    EXPECT_EQ(NotInstalled, Report());
    Press(m_form->Command1());
    EXPECT_EQ(NotInstalled, Report());
    Close();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((missing + L"\\plwg2reg200.log").c_str()));
    // An empty desktop would have put the log in the drive's root.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(L"\\plwg2reg200.log"));
}

TEST_F(MainFormFaultTest, LogPathLongerThanMaxPathWritesNothingAndTheWindowWorks)
{
    std::wstring deep = m_temp.Path();
    while (deep.size() < 240)
        deep += L"d123456789\\";
    MakeFolders(deep);
    deep.pop_back();
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(deep.c_str()));
    ASSERT_GT(deep.size() + 16, static_cast<size_t>(MAX_PATH));
    MoveDesktop(deep);
    InstallComponents();
    Open();
    EXPECT_EQ(ExpectedReport(L"", L"", MustResetVerdict), Report());
    Close();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              ::GetFileAttributesW((L"\\\\?\\" + deep + L"\\plwg2reg200.log").c_str()));
}

TEST_F(MainFormFaultTest, LogHeldOpenLosesItsEntriesUntilReleased)
{
    Open();
    Close();
    const std::string before = cTestPc::ReadLog();
    HANDLE held =
        ::CreateFileW(cTestPc::LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Open();
    EXPECT_EQ(NotInstalled, Report());
    ::CloseHandle(held);
    Press(m_form->Command1());
    const std::string after = cTestPc::ReadLog();
    // Only the check after the release reached the file.
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(before, after.substr(0, before.size()));
    EXPECT_EQ(std::string::npos, after.find(Sjis(L"-- Start --"), before.size()));
    EXPECT_NE(std::string::npos, after.find(Sjis(NotInstalled), before.size()));
}

TEST_F(MainFormFaultTest, NetworkPathRegistrationIsNeitherResolvedNorTrusted)
{
    InstallComponents();
    const std::wstring remote = L"\\\\nohost.invalid\\share\\plotwing2.ocx";
    cTestPc::SetRegistration(cTestPc::ControlClsid, remote);
    cTestPc::SetRegistration(cTestPc::LookupClsid, cTestPc::ExpectedLookup());
    Open();
    EXPECT_EQ(ExpectedReport(L"", cTestPc::ExpectedLookup(), MustResetVerdict), Report());
    EXPECT_NE(std::wstring::npos,
              Log().find(L"CLSID : " + std::wstring(cTestPc::ControlClsid) + L" : " + remote));
}

TEST_F(MainFormFaultTest, MissingRegsvr32FailsTheLaunchWithTheLaunchersMessage)
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring regsvr32 = std::wstring(system) + L"\\regsvr32.exe";
    const std::wstring aside = regsvr32 + L".aside";
    ASSERT_TRUE(::MoveFileExW(regsvr32.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    InstallComponents();
    cMessageBoxCatcher boxes;
    Open();
    Press(m_form->Command2());
    const std::wstring report = Report();
    ::MoveFileExW(aside.c_str(), regsvr32.c_str(), MOVEFILE_REPLACE_EXISTING);
    EXPECT_NE(std::wstring::npos, report.find(L"・plotwing2.ocx → レジストリ参照位置変更に失敗しました。\r\n"
                                              L"ファイルが見つかりません\r\n・lexgrid4b.dll → "));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes.Boxes()[0].Icon);
}

TEST_F(MainFormFaultTest, ThousandChecksLeakNoHandlesGdiObjectsOrMemory)
{
    InstallComponents();
    Open();
    // Wine reports no handle count; a fresh handle's value shows leaks instead, as free slots are reused
    // lowest first.
    auto measure = [] {
        HANDLE probe = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ::CloseHandle(probe);
        HFONT font = ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial");
        ::DeleteObject(font);
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory);
        return std::tuple{reinterpret_cast<UINT_PTR>(probe),
                          ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
                          reinterpret_cast<UINT_PTR>(font) & 0xFFFF, memory.PrivateUsage};
    };
    // Warm up first: the first checks load and cache what later ones reuse.
    for (int i = 0; i < 20; ++i)
        m_form->CheckComponent(false);
    const auto [handle, gdi, gdiSlot, memory] = measure();
    for (int i = 0; i < 1000; ++i)
        m_form->CheckComponent(false);
    const auto [handleAfter, gdiAfter, gdiSlotAfter, memoryAfter] = measure();
    EXPECT_LE(handleAfter, handle + 4 * 8);
    EXPECT_LE(gdiAfter, gdi);
    EXPECT_LE(gdiSlotAfter, gdiSlot + 8);
    EXPECT_LT(memoryAfter, memory + 1024 * 1024);
}

#include "tests/app/MainFormTestBase.h"
#include "tests/support/cMessageBoxCatcher.h"
#include "app/cRegsvr32.h"
#include <tlhelp32.h>

namespace
{
const wchar_t* const Success = L"レジストリ参照位置変更に成功しました。";
const wchar_t* const Failure = L"レジストリ参照位置変更に失敗しました。";

// Ends every regsvr32 a hanging fixture left behind, so the prefix stays clean for the next test.
void EndStrayRegsvr32()
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
    {
        if (::lstrcmpiW(entry.szExeFile, L"regsvr32.exe") != 0)
            continue;
        if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID))
        {
            ::TerminateProcess(process, 1);
            ::WaitForSingleObject(process, 5000);
            ::CloseHandle(process);
        }
    }
    ::CloseHandle(snapshot);
}

std::wstring RegisteredText(const wchar_t* clsid)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    ::RegGetValueW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32").c_str(),
                   nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}
} // namespace

class MainFormRepairTest : public MainFormTestBase
{
protected:
    void TearDown() override
    {
        MainFormTestBase::TearDown();
        EndStrayRegsvr32();
    }
    // Both components registered at an older copy, as on a PC the tool is meant for.
    static void RegisterElsewhere()
    {
        for (const auto& [fixture, name, clsid] :
             {std::tuple{L"fixture_control.dll", L"plotwing2.ocx", cTestPc::ControlClsid},
              std::tuple{L"fixture_lookup.dll", L"lexgrid4b.dll", cTestPc::LookupClsid}})
        {
            const std::wstring old = cTestPc::ProductFolder() + L"old\\" + name;
            cTestPc::PlaceFile(fixture, old);
            cTestPc::SetRegistration(clsid, old);
        }
    }
    // Presses "再設定" and returns the section it added below `before`.
    std::wstring PressReset(const std::wstring& before)
    {
        Press(m_form->Command2());
        const std::wstring report = Report();
        EXPECT_EQ(before, report.substr(0, before.size()));
        return report.substr(std::min(before.size(), report.size()));
    }
    cMessageBoxCatcher m_boxes;
};

TEST_F(MainFormRepairTest, RepairRegistersBothAndTheNextCheckFindsThePcSetUp)
{
    InstallComponents();
    RegisterElsewhere();
    Open();
    ASSERT_TRUE(ResetEnabled());
    const std::wstring before = Report();
    EXPECT_EQ(std::wstring(L"\r\n\r\n<< レジストリ変更中 >>\r\n・plotwing2.ocx → ") + Success +
                  L"\r\n・lexgrid4b.dll → " + Success,
              PressReset(before));
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(MainForm::Caption, m_boxes.Boxes()[0].Title);
    EXPECT_EQ(Success, m_boxes.Boxes()[0].Text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), m_boxes.Boxes()[0].Icon);
    // regsvr32 itself wrote the paths: the short form it was given, never a path with blanks.
    EXPECT_EQ(MainForm::GetShortPath(cTestPc::ExpectedControl()), RegisteredText(cTestPc::ControlClsid));
    EXPECT_EQ(MainForm::GetShortPath(cTestPc::ExpectedLookup()), RegisteredText(cTestPc::LookupClsid));
    EXPECT_TRUE(ResetEnabled());

    Press(m_form->Command1());
    EXPECT_NE(std::wstring::npos, Report().rfind(ExpectedReport(cTestPc::ExpectedControl(),
                                                                cTestPc::ExpectedLookup(), SetUpVerdict)));
    EXPECT_FALSE(ResetEnabled());
}

TEST_F(MainFormRepairTest, NothingIsStartedWhenBothAreCorrectAndForceIsOff)
{
    InstallComponents();
    cTestPc::SetRegistration(cTestPc::ControlClsid, cTestPc::ExpectedControl());
    cTestPc::SetRegistration(cTestPc::LookupClsid, cTestPc::ExpectedLookup());
    Open();
    EXPECT_EQ(L"\r\n\r\n<< レジストリ変更中 >>", PressReset(Report()));
    // Untouched: regsvr32 would have written the short form.
    EXPECT_EQ(cTestPc::ExpectedControl(), RegisteredText(cTestPc::ControlClsid));
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(Success, m_boxes.Boxes()[0].Text);
}

TEST_F(MainFormRepairTest, ForceReregistersEveryPresentFileAndSkipsAMissingOne)
{
    cTestPc::InstallW3();
    cTestPc::PlaceFile(L"fixture_lookup.dll", cTestPc::ExpectedLookup());
    cTestPc::SetRegistration(cTestPc::LookupClsid, cTestPc::ExpectedLookup());
    Open();
    Press(m_form->Check1());
    EXPECT_EQ(std::wstring(L"\r\n\r\n<< レジストリ変更中 >>\r\n・lexgrid4b.dll → ") + Success,
              PressReset(Report()));
    EXPECT_EQ(MainForm::GetShortPath(cTestPc::ExpectedLookup()), RegisteredText(cTestPc::LookupClsid));
    EXPECT_EQ(L"", RegisteredText(cTestPc::ControlClsid));
}

TEST_F(MainFormRepairTest, FailingOrCrashingRegistrationReportsRegsvr32sExitCode)
{
    // Wine's regsvr32 ends with 5 when DllRegisterServer fails; a crash ends it with the exception code.
    for (const auto& [fixture, code] :
         {std::pair{L"fixture_fail.dll", L"5"}, std::pair{L"fixture_crash.dll", L""}})
    {
        SCOPED_TRACE(fixture);
        cTestPc::InstallW3();
        cTestPc::PlaceFile(fixture, cTestPc::ExpectedControl());
        Open();
        const std::wstring section = PressReset(Report());
        const std::wstring line = std::wstring(L"\r\n\r\n<< レジストリ変更中 >>\r\n・plotwing2.ocx → ") +
                                  Failure + L"\r\nregsvr32.exe がエラーで終了しました（終了コード " + code;
        EXPECT_EQ(line, section.substr(0, line.size()));
        EXPECT_EQ(L"）", section.substr(section.size() - 1));
        EXPECT_EQ(std::wstring::npos, section.find(L"終了コード 0）"));
        EXPECT_NE(std::wstring::npos, Log().find(L"【INFO】" + Report() + L"\r\n"));
        Close();
    }
    ASSERT_EQ(2u, m_boxes.Boxes().size());
    EXPECT_EQ(Failure, m_boxes.Boxes()[1].Text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), m_boxes.Boxes()[1].Icon);
}

TEST_F(MainFormRepairTest, HangingRegistrationTimesOutAndTheWindowAnswersAgain)
{
    cTestPc::InstallW3();
    cTestPc::PlaceFile(L"fixture_hang.dll", cTestPc::ExpectedControl());
    Open();
    const std::wstring section = PressReset(Report());
    EXPECT_EQ(std::wstring(L"\r\n\r\n<< レジストリ変更中 >>\r\n・plotwing2.ocx → ") + Failure +
                  L"\r\nregsvr32.exe が30秒以内に終了しませんでした",
              section);
    EXPECT_TRUE(::IsWindowEnabled(m_form->Hwnd()));
    Press(m_form->Command1());
    EXPECT_NE(std::wstring::npos, Report().rfind(MustResetVerdict));
}

TEST_F(MainFormRepairTest, PlantedRegsvr32BesideTheToolIsNeverStarted)
{
    InstallComponents();
    RegisterElsewhere();
    // A program that is no regsvr32 and ends with a non-zero code, in the tool's and the current folder.
    const std::wstring planted[] = {TestProgramFolder() + L"regsvr32.exe", L"regsvr32.exe"};
    for (const auto& path : planted)
        ASSERT_TRUE(::CopyFileW((TestProgramFolder() + L"p2fdriver.exe").c_str(), path.c_str(), FALSE));
    Open();
    const std::wstring section = PressReset(Report());
    for (const auto& path : planted)
        ::DeleteFileW(path.c_str());
    EXPECT_EQ(std::wstring::npos, section.find(Failure));
    EXPECT_EQ(MainForm::GetShortPath(cTestPc::ExpectedControl()), RegisteredText(cTestPc::ControlClsid));
}

TEST_F(MainFormRepairTest, WithoutTheEditionOnlyTheSectionTitleIsAdded)
{
    cTestPc::PlaceFile(L"fixture_control.dll", cTestPc::ExpectedControl());
    Open();
    Press(m_form->Check1());
    EXPECT_EQ(L"\r\n\r\n<< レジストリ変更中 >>", PressReset(NotInstalled));
    EXPECT_EQ(L"", RegisteredText(cTestPc::ControlClsid));
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(Success, m_boxes.Boxes()[0].Text);
}

TEST(MainFormRegsvr32ParameterTest, ShortFormWithoutBlanksOrTheWholePathQuoted)
{
    cTestPc pc;
    cTestPc::PlaceFile(L"fixture_control.dll", cTestPc::ExpectedControl());
    const std::wstring shortPath = MainForm::GetShortPath(cTestPc::ExpectedControl());
    ASSERT_EQ(std::wstring::npos, shortPath.find(L' '));
    EXPECT_EQ(L" /s " + shortPath, cRegsvr32::Parameter(cTestPc::ExpectedControl()));
    // No short form to be had: the path keeps its blanks inside quotes.
    EXPECT_EQ(L" /s \"C:\\no such folder\\x.ocx\"", cRegsvr32::Parameter(L"C:\\no such folder\\x.ocx"));
}

#include "tests/app/MainFormTestBase.h"
#include "sys/cAppError.h"

class MainFormCheckTest : public MainFormTestBase
{
protected:
    static std::wstring Elsewhere(const wchar_t* name) { return cTestPc::ProductFolder() + L"old\\" + name; }
    static std::wstring Short(const std::wstring& path) { return MainForm::GetShortPath(path); }
};

TEST_F(MainFormCheckTest, NotInstalledReplacesEveryEarlierReportLooksUpNothingAndDisablesReset)
{
    InstallComponents();
    Open();
    ASSERT_NE(std::wstring::npos, Report().find(L"<< チェックレポート >>"));
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA");
    ::DeleteFileW(cTestPc::LogPath().c_str());
    Press(m_form->Command1());
    EXPECT_EQ(NotInstalled, Report());
    EXPECT_FALSE(ResetEnabled());
    EXPECT_EQ(std::wstring(L"【INFO】") + NotInstalled + L"\r\n", Log().substr(19));
}

struct VerdictCase
{
    const char* Name;
    bool ControlFile, ControlRegistered, LookupFile, LookupRegistered;
    const wchar_t* Verdict;
    bool ResetEnabled;
};

class MainFormVerdictTest : public MainFormCheckTest, public ::testing::WithParamInterface<VerdictCase>
{
};

// Registered "true" points at the expected file; otherwise at another existing copy.
TEST_P(MainFormVerdictTest, VerdictFollowsBothPathStates)
{
    const VerdictCase& c = GetParam();
    cTestPc::InstallW3();
    const std::wstring oldControl = Elsewhere(L"plotwing2.ocx");
    const std::wstring oldLookup = Elsewhere(L"lexgrid4b.dll");
    cTestPc::PlaceFile(L"fixture_control.dll", oldControl);
    cTestPc::PlaceFile(L"fixture_lookup.dll", oldLookup);
    if (c.ControlFile)
        cTestPc::PlaceFile(L"fixture_control.dll", cTestPc::ExpectedControl());
    if (c.LookupFile)
        cTestPc::PlaceFile(L"fixture_lookup.dll", cTestPc::ExpectedLookup());
    cTestPc::SetRegistration(cTestPc::ControlClsid,
                             c.ControlRegistered ? cTestPc::ExpectedControl() : oldControl);
    cTestPc::SetRegistration(cTestPc::LookupClsid,
                             c.LookupRegistered ? cTestPc::ExpectedLookup() : oldLookup);

    Open();
    const std::wstring control = c.ControlRegistered ? cTestPc::ExpectedControl() : oldControl;
    const std::wstring lookup = c.LookupRegistered ? cTestPc::ExpectedLookup() : oldLookup;
    EXPECT_EQ(ExpectedReport(control, lookup, c.Verdict), Report());
    EXPECT_EQ(c.ResetEnabled, ResetEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MainFormVerdictTest,
    ::testing::Values(
        VerdictCase{"BothCorrect", true, true, true, true, MainFormTestBase::SetUpVerdict, false},
        VerdictCase{"ControlRepairable", true, false, true, true, MainFormTestBase::MustResetVerdict, true},
        VerdictCase{"LookupRepairable", true, true, true, false, MainFormTestBase::MustResetVerdict, true},
        VerdictCase{"RepairableWinsOverMissing", true, false, false, false,
                    MainFormTestBase::MustResetVerdict, true},
        VerdictCase{"OnlyMissing", false, false, true, true, MainFormTestBase::NoNeedVerdict, false},
        VerdictCase{"BothMissing", false, false, false, false, MainFormTestBase::NoNeedVerdict, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

TEST_F(MainFormCheckTest, ReportsStackWithOneLineBreakAndEachIsLoggedWhole)
{
    InstallComponents();
    Open();
    const std::wstring first = Report();
    Press(m_form->Command1());
    const std::wstring report = ExpectedReport(L"", L"", MustResetVerdict);
    EXPECT_EQ(report, first);
    EXPECT_EQ(report + L"\r\n" + report, Report());
    const std::wstring log = Log();
    EXPECT_NE(std::wstring::npos, log.find(L"【INFO】" + report + L"\r\n"));
}

TEST_F(MainFormCheckTest, RegistrationInAnotherCaseOrInShortFormCountsAsCorrect)
{
    InstallComponents();
    std::wstring upper = cTestPc::ExpectedControl();
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    cTestPc::SetRegistration(cTestPc::ControlClsid, upper);
    const std::wstring shortLookup = Short(cTestPc::ExpectedLookup());
    ASSERT_FALSE(shortLookup.empty());
    cTestPc::SetRegistration(cTestPc::LookupClsid, shortLookup);
    Open();
    EXPECT_NE(std::wstring::npos, Report().find(SetUpVerdict));
    EXPECT_FALSE(ResetEnabled());
    // The log keeps the registry's own text; the report shows the long form.
    EXPECT_NE(std::wstring::npos,
              Log().find(L"CLSID : " + std::wstring(cTestPc::LookupClsid) + L" : " + shortLookup));
}

TEST_F(MainFormCheckTest, RegisteredFileThatNoLongerExistsShowsEmptyPathButLogsRawText)
{
    InstallComponents();
    const std::wstring gone = Elsewhere(L"gone.ocx");
    cTestPc::SetRegistration(cTestPc::ControlClsid, gone);
    Open();
    EXPECT_NE(std::wstring::npos, Report().find(L"・plotwing2.ocx → \r\n"));
    EXPECT_NE(std::wstring::npos,
              Log().find(L"【INFO】CLSID : " + std::wstring(cTestPc::ControlClsid) + L" : " + gone));
}

// Values found under InprocServer32 on real PCs: each ends in a report and a verdict, never a crash.
struct OddValue
{
    const char* Name;
    DWORD Type;
    std::string Bytes;
};

std::string QuotedWithNul(const std::string& text)
{
    std::string quoted(1, '"');
    quoted += text;
    quoted += '"';
    quoted += '\0';
    return quoted;
}

class MainFormOddValueTest : public MainFormCheckTest, public ::testing::WithParamInterface<OddValue>
{
};

TEST_P(MainFormOddValueTest, CheckEndsWithRepairVerdict)
{
    InstallComponents();
    cTestPc::SetRegistrationBytes(cTestPc::ControlClsid, GetParam().Type, GetParam().Bytes);
    Open();
    EXPECT_EQ(ExpectedReport(L"", L"", MustResetVerdict), Report());
    EXPECT_TRUE(ResetEnabled());
    EXPECT_EQ(std::wstring::npos, Log().find(L"【WARN】"));
}

INSTANTIATE_TEST_SUITE_P(
    Registry, MainFormOddValueTest,
    ::testing::Values(OddValue{"Empty", REG_SZ, std::string("\0", 1)},
                      OddValue{"Expandable", REG_EXPAND_SZ, std::string("%ProgramFiles%\\x.ocx\0", 21)},
                      OddValue{"Binary", REG_BINARY, std::string("\x01\x02\x00\x03", 4)},
                      OddValue{"Dword", REG_DWORD, std::string("\x2A\x00\x00\x00", 4)},
                      OddValue{"Length1023", REG_SZ, std::string(1022, 'a') + '\0'},
                      OddValue{"Length1024NoNul", REG_SZ, std::string(1024, 'b')},
                      OddValue{"Length1025", REG_SZ, std::string(1024, 'c') + '\0'},
                      OddValue{"Length10000", REG_SZ, std::string(10000, 'd')},
                      OddValue{"Japanese", REG_SZ, Sjis(L"C:\\地図\\プロット.ocx") + '\0'},
                      OddValue{"Quoted", REG_SZ, QuotedWithNul(Sjis(cTestPc::ExpectedControl()))},
                      OddValue{"FullWidth", REG_SZ,
                               Sjis(L"Ｃ:\\ＫＯＶＡＭＡＰ\\ｐｌｏｔｗｉｎｇ２.ｏｃｘ") + '\0'}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

TEST_F(MainFormCheckTest, UntickingTheForceBoxChecksWithoutTouchingTheReportBox)
{
    InstallComponents();
    Open();
    const std::wstring before = Report();
    const size_t logSize = cTestPc::ReadLog().size();
    Press(m_form->Check1());
    EXPECT_TRUE(ResetEnabled());
    // Ticking alone enables "再設定" and writes nothing.
    EXPECT_EQ(logSize, cTestPc::ReadLog().size());

    cTestPc::SetRegistration(cTestPc::ControlClsid, cTestPc::ExpectedControl());
    cTestPc::SetRegistration(cTestPc::LookupClsid, cTestPc::ExpectedLookup());
    Press(m_form->Check1());
    EXPECT_EQ(before, Report());
    EXPECT_FALSE(ResetEnabled());
    const std::wstring log = Log();
    EXPECT_NE(std::wstring::npos, log.rfind(SetUpVerdict));
}

TEST_F(MainFormCheckTest, TickingTheForceBoxEnablesResetEvenWithoutTheEdition)
{
    Open();
    ASSERT_FALSE(ResetEnabled());
    Press(m_form->Check1());
    EXPECT_TRUE(ResetEnabled());
    Press(m_form->Check1());
    EXPECT_FALSE(ResetEnabled());
    EXPECT_EQ(NotInstalled, Report());
}

// A lookup that fails on purpose, to see the check end in its warning entry.
class FailingLookupForm : public MainForm
{
public:
    using MainForm::MainForm;
    bool Fail = false;
    std::wstring GetRegisteredPath(const std::wstring& classId) override
    {
        if (Fail)
            throw cAppError(53, L"ファイルが見つかりません。", L"Test");
        return MainForm::GetRegisteredPath(classId);
    }
};

TEST_F(MainFormCheckTest, FailureEndsTheCheckWithItsWarningAndShowsNothing)
{
    InstallComponents();
    Open<FailingLookupForm>();
    const std::wstring before = Report();
    static_cast<FailingLookupForm&>(*m_form).Fail = true;
    Press(m_form->Command1());
    EXPECT_EQ(before, Report());
    const std::string log = cTestPc::ReadLog();
    EXPECT_NE(std::string::npos,
              log.find(Sjis(L"【WARN】CheckComponent\r\n【Err.Number】53\r\n"
                            L"【Err.Description】ファイルが見つかりません。\r\n【Err.Source】Test\r\n")));
}

TEST(MainFormPathFormTest, PathsLongerThanTheFirstBufferComeBackWhole)
{
    // 258 characters: over the first 256-character buffer, within what the A functions accept.
    const cTempFolder temp;
    std::wstring file = temp.Path();
    while (file.size() < 258 - 30)
        file += L"folder0123\\";
    MakeFolders(file);
    file += std::wstring(258 - file.size() - 4, L'p') + L".ocx";
    ASSERT_EQ(258u, file.size());
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    EXPECT_EQ(file, MainForm::GetLongPath(file));
    const std::wstring shortForm = MainForm::GetShortPath(file);
    ASSERT_FALSE(shortForm.empty());
    EXPECT_LT(shortForm.size(), 256u);
    EXPECT_EQ(file, MainForm::GetLongPath(shortForm));
    EXPECT_EQ(L"", MainForm::GetLongPath(file + L"x"));
}

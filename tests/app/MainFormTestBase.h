#pragma once
#include "app/MainForm.h"
#include "sys/StrConv.h"
#include "tests/support/TestSupport.h"
#include "tests/support/cTestPc.h"
#include "tests/support/cWindowDriver.h"
#include <gtest/gtest.h>
#include <memory>

// A PC seeded by the test and the tool's real window on it, created in the test's own thread.
class MainFormTestBase : public ::testing::Test
{
public:
    static constexpr const wchar_t* NotInstalled =
        L"・このＰＣにはカルトリアＷ３がインストールされていません。";
    static constexpr const wchar_t* SetUpVerdict =
        L"・このＰＣは既に設定済みです。\r\n　再設定の必要はありません";
    static constexpr const wchar_t* MustResetVerdict =
        L"・このＰＣは再設定する必要があります。\r\n　「再設定」ボタンをクリックしてください。";
    static constexpr const wchar_t* NoNeedVerdict = L"・このＰＣでは再設定の必要はありません。";

protected:
    template <class Form = MainForm>
    void Open()
    {
        m_form = std::make_unique<Form>(::GetModuleHandleW(nullptr));
        ASSERT_TRUE(m_form->Create(SW_HIDE, false));
    }
    void Close()
    {
        if (m_form && m_form->Hwnd())
            ::SendMessageW(m_form->Hwnd(), WM_CLOSE, 0, 0);
        m_form.reset();
    }
    void TearDown() override { Close(); }

    std::wstring Report() const { return cWindowDriver::Text(m_form->Text1()); }
    bool ResetEnabled() const { return ::IsWindowEnabled(m_form->Command2()) != FALSE; }
    void Press(HWND button) const { ::SendMessageW(button, BM_CLICK, 0, 0); }
    // The log as UTF-16 text, converted from code page 932.
    static std::wstring Log() { return strconv::ToWide(cTestPc::ReadLog(), 932); }

    // Both components' files in place; W3 installed.
    static void InstallComponents()
    {
        cTestPc::InstallW3();
        cTestPc::PlaceFile(L"fixture_control.dll", cTestPc::ExpectedControl());
        cTestPc::PlaceFile(L"fixture_lookup.dll", cTestPc::ExpectedLookup());
    }
    // A report as the check writes it, for two registered paths and a verdict.
    static std::wstring ExpectedReport(const std::wstring& control, const std::wstring& lookup,
                                       const std::wstring& verdict)
    {
        return std::wstring(74, L'-') + L"\r\n<< チェックレポート >>\r\n・plotwing2.ocx → " + control +
               L"\r\n・lexgrid4b.dll → " + lookup + L"\r\n\r\n<< チェック判定 >>\r\n" + verdict;
    }

    cTestPc m_pc;
    std::unique_ptr<MainForm> m_form;
};

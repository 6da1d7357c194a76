#pragma once
#include "repair/cRepairTool.h"
#include "window/cReportBox.h"
#include "sys/cOwned.h"
#include <windows.h>
#include <string>

// The tool's only window: checks where COM finds the two components and re-registers them, through the
// procedures it shares with the console program.
class MainForm : public cRepairTool
{
public:
    static constexpr const wchar_t* ClassName = L"Plotwing2RegisterFix";
    static constexpr const wchar_t* Caption =
        L"地図コンポーネントレジストリ再設定ツール Ver.2（カルトリアＷ３）";

    explicit MainForm(HINSTANCE instance);
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Creates the window, which runs Form_Load before it is first shown, then shows it.
    // `quitOnClose` ends the message loop when the window is destroyed. The layout follows the screen's
    // DPI, or `dpi` when one is given.
    bool Create(int showCommand, bool quitOnClose = true, int dpi = 0);
    HWND Hwnd() const noexcept { return m_hwnd; }
    HWND Text1() const noexcept { return m_text1; }
    HWND Label1() const noexcept { return m_label1; }
    HWND Command1() const noexcept { return m_command1; }
    HWND Command2() const noexcept { return m_command2; }
    HWND Check1() const noexcept { return m_check1; }

    // Event handlers.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Check1_Click();
    void Form_Unload();

    // The check: report, verdict and the state of "再設定". Catches and logs its own failures.
    void CheckComponent(bool ShowReport);
    // The re-registration through regsvr32, then the closing message box. Catches and logs its own failures.
    void ChangeRegistry(bool ShowReport);

protected:
    // Shows a modal message box owned by the window; virtual so that tests can see it without its loop.
    virtual void ShowMessage(const std::wstring& text, const std::wstring& title, UINT type);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnCommand(int id, int code);
    void ReportError(const cAppError& error);
    void CreateControls();
    int Scale(int twips) const;

    // The last check's result, kept on the PC.
    void KeepCheck();
    // Whether 「強制設定」 is ticked.
    bool ForceTicked() const;
    void Close();
    // What `work` gives, done with the window busy: the wait cursor shows, and a close waits for its end.
    template <class Work>
    auto WhileBusy(Work work);

    HINSTANCE m_instance;
    HWND m_hwnd = nullptr;
    HWND m_text1 = nullptr;
    HWND m_label1 = nullptr;
    HWND m_command1 = nullptr;
    HWND m_command2 = nullptr;
    HWND m_check1 = nullptr;
    cReportBox m_reportBox;
    bool m_quitOnClose = true;
    int m_dpi = 96;
    // The check at start-up is over: later checks read every user while the window answers.
    bool m_loaded = false;
    // A re-registration or a check is under way: the pointer shows it, and a request to close waits for its
    // outcome.
    bool m_busy = false;
    bool m_closePending = false;
    // The last check's outcome: the one a re-registration's kept result starts from.
    cCheckOutcome m_lastCheck;
    cOwned<FontTraits> m_font;
    cOwned<IconTraits> m_bigIcon;
    cOwned<IconTraits> m_smallIcon;
};

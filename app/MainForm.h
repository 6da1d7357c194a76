#pragma once
#include "app/cReportBox.h"
#include "log/cLogger.h"
#include "sys/cFileSystemObject.h"
#include "sys/cOwned.h"
#include "sys/FolderLookup.h"
#include <windows.h>
#include <memory>
#include <string>

// The tool's only window: checks where COM finds the two components and re-registers them.
class MainForm
{
public:
    static constexpr const wchar_t* ClassName = L"Plotwing2RegisterFix";
    static constexpr const wchar_t* Caption =
        L"地図コンポーネントレジストリ再設定ツール Ver.2（カルトリアＷ３）";

    explicit MainForm(HINSTANCE instance);
    virtual ~MainForm();
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
    // The re-registration through regsvr32. Catches and logs its own failures.
    void ChangeRegistry(bool ShowReport);
    // The registered server path of a class id in long form, or the empty text. Virtual so that tests
    // can make the procedures that call it fail.
    virtual std::wstring GetRegisteredPath(const std::wstring& classId);
    // 0 correct, 1 repairable (expected file present), -1 expected file missing.
    short ComparePath(const std::wstring& registeredPath, const std::wstring& expectedPath);
    // The long or the 8.3 form of an existing path, or the empty text.
    static std::wstring GetLongPath(const std::wstring& path);
    static std::wstring GetShortPath(const std::wstring& path);

    const std::wstring& ExpectedControlPath() const noexcept { return m_expectedControlPath; }
    const std::wstring& ExpectedLookupPath() const noexcept { return m_expectedLookupPath; }

protected:
    // Shows a modal message box owned by the window; virtual so that tests can see it without its loop.
    virtual void ShowMessage(const std::wstring& text, const std::wstring& title, UINT type);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnCommand(int id, int code);
    void ReportError(const cAppError& error);
    // Logs the failure being handled as the procedure's warning, with its error block.
    void LogFailure(const wchar_t* procedure);
    void CreateControls();
    int Scale(int twips) const;

    cLogger& Logger();
    cSpecialFolder& SpecialFolder();
    cFileSystemObject& FileSystem();
    // Whether 「強制設定」 is ticked.
    bool ForceTicked() const;
    // "Program Files-Path : " and the like: a label and a special folder with its backslash.
    void LogFolder(const wchar_t* label, long folder);

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
    cOwned<FontTraits> m_font;
    cOwned<IconTraits> m_bigIcon;
    cOwned<IconTraits> m_smallIcon;

    std::unique_ptr<cLogger> m_logger;
    std::unique_ptr<cSpecialFolder> m_specialFolder;
    std::unique_ptr<cFileSystemObject> m_fileSystem;
    std::wstring m_expectedControlPath;
    std::wstring m_expectedLookupPath;
};

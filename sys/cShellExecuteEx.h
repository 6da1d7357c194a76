#pragma once
#include "sys/cOwned.h"
#include <windows.h>
#include <string>

// Asks the shell to carry out a verb on a program, document or folder, and turns the shell's
// failure code into a short Japanese message.
class cShellExecuteEx
{
public:
    // The values one launch uses, each the argument or, where the argument equals its default,
    // the property of the same role.
    struct Launch
    {
        HWND hwnd;
        long operation;
        std::wstring verb;
        std::wstring file;
        std::wstring parameters;
        long show;
        long mask;
        std::wstring folder; // the started program's current folder; empty: the caller's
    };

    cShellExecuteEx() = default;
    cShellExecuteEx(const cShellExecuteEx&) = delete;
    cShellExecuteEx& operator=(const cShellExecuteEx&) = delete;
    cShellExecuteEx(cShellExecuteEx&&) noexcept = default;
    cShellExecuteEx& operator=(cShellExecuteEx&&) noexcept = default;

    HWND hWnd() const { return m_hWnd; }
    void hWnd(HWND vData) { m_hWnd = vData; }
    long Operation() const { return m_operation; }
    void Operation(long vData) { m_operation = vData; }
    // The verb for the stored Operation, not for the one the last Execute used.
    std::wstring OperationString() const;
    std::wstring PathFolder() const { return m_pathFolder; }
    void PathFolder(const std::wstring& vData) { m_pathFolder = vData; }
    std::wstring Parameter() const { return m_parameter; }
    void Parameter(const std::wstring& vData) { m_parameter = vData; }
    long ShowCommand() const { return m_showCommand; }
    void ShowCommand(long vData) { m_showCommand = vData; }
    long MaskCommand() const { return m_maskCommand; }
    void MaskCommand(long vData) { m_maskCommand = vData; }
    // The current folder the started program gets; empty (the default): the caller's own.
    std::wstring WorkingFolder() const { return m_workingFolder; }
    void WorkingFolder(const std::wstring& vData) { m_workingFolder = vData; }
    // Empty after a successful Execute, a text of the message table after a failed one.
    const std::wstring& ErrorMessage() const;

    // Returns true when the launch FAILED. Arguments equal to their defaults are taken from the properties.
    bool Execute(HWND vhWnd = nullptr, long vOperation = 2, std::wstring vPathFolder = L"",
                 std::wstring vParameter = L"", long vShowCommand = 1, long vMaskCommand = 1100);

    // The process started by the last successful Execute (null when none); closed at the next Execute
    // and when this object is destroyed.
    HANDLE ProcessHandle() const noexcept;

    Launch EffectiveLaunch(HWND vhWnd, long vOperation, const std::wstring& vPathFolder,
                           const std::wstring& vParameter, long vShowCommand, long vMaskCommand) const;
    // The message for the result code the shell leaves in hInstApp after a failed launch.
    static std::wstring MessageFromCode(INT_PTR code);
    // Whether a refused launch is tried once more without SEE_MASK_INVOKEIDLIST: only when the shell
    // refused the id-list launch itself.
    static bool RetriesWithoutIdList(ULONG mask, INT_PTR code, DWORD lastError);

private:
    static std::wstring VerbFromOperation(long operation);

    HWND m_hWnd = nullptr;
    long m_operation = 2;
    std::wstring m_pathFolder;
    std::wstring m_parameter;
    long m_showCommand = SW_SHOWNORMAL;
    long m_maskCommand = 1100;
    std::wstring m_workingFolder;
    std::wstring m_errorMessage;
    cHandle m_process;
};

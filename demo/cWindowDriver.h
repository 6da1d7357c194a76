#pragma once
#include <windows.h>
#include <string>

// Drives the tool's window from outside its thread or process, as a user would.
class cWindowDriver
{
public:
    struct MessageBoxInfo
    {
        HWND Box = nullptr;
        std::wstring Title;
        std::wstring Text;
    };

    // The visible main window of the tool (of process `pid`, or of any process when 0), or null after the
    // wait.
    static HWND FindToolWindow(DWORD pid, DWORD timeoutMs);
    // A message box (dialog class #32770) shown by process `pid`, or an empty record after the wait.
    static MessageBoxInfo FindMessageBox(DWORD pid, DWORD timeoutMs);
    static std::wstring Text(HWND window);
    // Presses a button and returns once its handler has run (bounded by `timeoutMs`).
    static bool Click(HWND button, DWORD timeoutMs);
    // Presses a button without waiting for its handler (for handlers that end in a message box).
    static void PostClick(HWND button);
    // Presses OK on a message box.
    static void CloseMessageBox(HWND box);
    // Asks the window to close and waits for its process to end.
    static bool Close(HWND window, DWORD timeoutMs);
};

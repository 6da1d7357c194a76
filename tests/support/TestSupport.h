#pragma once
#include <windows.h>
#include <string>
#include <vector>

// "Suite.Name" of the running test, for keys and folders of its own.
std::wstring CurrentTestName();

// A fresh folder under GetTempPathW, removed with everything in it when destroyed.
class cTempFolder
{
public:
    cTempFolder();
    ~cTempFolder();
    cTempFolder(const cTempFolder&) = delete;
    cTempFolder& operator=(const cTempFolder&) = delete;
    // The folder with a trailing backslash.
    const std::wstring& Path() const noexcept { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }

private:
    std::wstring m_path;
};

// Removes a file or a folder tree; missing is fine.
void RemoveTree(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes, or an empty text when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
// Creates every missing folder along the path (test set-up only).
void MakeFolders(const std::wstring& path);

// The folder of the running test program, with a trailing backslash.
std::wstring TestProgramFolder();
// A COM fixture DLL built with the tests ("fixture_control.dll", ...).
std::wstring FixturePath(const std::wstring& name);
// The built tool, from P2F_EXE or beside the test program.
std::wstring ToolPath();

// Shell folders as the W functions report them, without a trailing backslash.
std::wstring ShellFolder(int csidl);

// Splits bytes at CR LF (a final CR LF does not make an empty last line).
std::vector<std::string> SplitCrLf(const std::string& bytes);
// Code page 932 bytes of a text, for byte-exact comparisons.
std::string Sjis(const std::wstring& text);

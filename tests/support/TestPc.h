#pragma once
#include "sys/cOwned.h"
#include "sys/StrConv.h"
#include "sys/WindowText.h"
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

// Tests that change the machine (HKLM, class registrations, Program Files, the desktop and its log,
// LogPixels) run only on a throwaway machine: the Wine prefix that scripts/test makes and marks, or a
// machine whose user says so with P2F_THROWAWAY_MACHINE=1. Anywhere else they are skipped.
enum class eMachine
{
    Throwaway,
    Protected,
};
eMachine MachineKind(bool markerPresent, const wchar_t* throwawayVariable);
eMachine ThisMachine();
#define SKIP_UNLESS_THROWAWAY_MACHINE()                                                                      \
    if (ThisMachine() != eMachine::Throwaway)                                                                \
    GTEST_SKIP() << "changes the machine: runs only in the Wine prefix scripts/test makes, or with "         \
                    "P2F_THROWAWAY_MACHINE=1"

std::string Sjis(const std::wstring& text);
std::string ReadBytes(const fs::path& path);
bool WriteBytes(const fs::path& path, const std::string& bytes); // making its folders
std::wstring ShellFolder(int csidl);
std::wstring TestFolder(); // with its backslash: the built tool and the fixtures lie there
// Runs a command line to its end (at most a minute); `meanwhile` gets the process id once it runs.
// The exit code, or -1 when it could not start or did not end.
long RunProgram(std::wstring command, const std::function<void(DWORD pid)>& meanwhile = {});

// Owners of something the test changed are never copied: the change would be undone twice.
struct cNoCopy
{
    cNoCopy() = default;
    cNoCopy(const cNoCopy&) = delete;
    cNoCopy& operator=(const cNoCopy&) = delete;
};

// A fresh folder of the test's own under the temporary folder, removed with its contents.
class cTempFolder : cNoCopy
{
public:
    cTempFolder() { fs::create_directories(m_path); }
    ~cTempFolder() { fs::remove_all(m_path, m_ignored); }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }

private:
    inline static int s_count = 0;
    std::wstring m_path = fs::temp_directory_path().wstring() + L"p2f-" +
                          std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++s_count) +
                          L"\\";
    std::error_code m_ignored;
};

// One registry value, put back as it was (or removed) when the owner goes, whatever the test did.
class cSavedValue : cNoCopy
{
public:
    cSavedValue(HKEY root, const std::wstring& subKey, const wchar_t* name);
    ~cSavedValue();
    bool Set(DWORD type, const void* data, DWORD size) const
    {
        return ::RegSetValueExW(m_key.Get(), m_name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
               0;
    }

private:
    cRegKey m_key;
    std::wstring m_name;
    DWORD m_type = REG_NONE;
    std::optional<std::vector<BYTE>> m_data;
};

// The PC as the tool sees it: the map product's edition, the component files under Program Files, their
// class registrations and the log on the desktop. Cleared when made and when gone, on a throwaway machine.
class cTestPc : cNoCopy
{
public:
    cTestPc() { Clean(); }
    ~cTestPc() { Clean(); }
    static std::wstring ProductFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + L"\\kovamap\\"; }
    static std::wstring ExpectedControl() { return ProductFolder() + L"common\\plotwing2.ocx"; }
    static std::wstring LogPath() { return ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\plwg2reg200.log"; }
    static std::wstring Log() { return strconv::ToWide(ReadBytes(LogPath()), 932); }
    static void RegisterEdition(const std::wstring& keyPath, const std::wstring& iniPath);
    // Writes an ini file, which the profile functions then read afresh.
    static void WriteIni(const std::wstring& path, const std::string& bytes);
    // Writes edition W3's ini file and registers it.
    static void InstallW3(const std::wstring& ini = ProductFolder() + L"w3.ini",
                          const std::string& bytes = "");
    static void Place(const std::wstring& fixture, const std::wstring& path)
    {
        WriteBytes(path, ReadBytes(TestFolder() + L"fixtures\\" + fixture));
    }
    // The default value of HKCR\CLSID\{clsid}\InprocServer32.
    static void Register(const std::wstring& clsid, const std::wstring& path);
    static std::wstring Registered(const std::wstring& clsid);

private:
    static void Clean();
};

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
#include <type_traits>
#include <vector>

namespace fs = std::filesystem;

// Tests that change the machine (HKLM, class registrations, Program Files, the desktop, its log) run only on
// a throwaway one: the prefix scripts/test marks, or where P2F_THROWAWAY_MACHINE=1 says so.
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
template <class Text>
bool Has(const Text& text, const std::type_identity_t<Text>& part)
{
    return text.find(part) != Text::npos;
}
// Values as one text with "|" between them, so that one comparison shows them all when it fails.
inline std::wstring Piece(const std::wstring& value)
{
    return value;
}
template <class T>
std::wstring Piece(const T& value)
{
    return std::to_wstring(value);
}
template <class First, class... Rest>
std::wstring Joined(const First& first, const Rest&... rest)
{
    std::wstring text = Piece(first);
    ((text += L"|" + Piece(rest)), ...);
    return text;
}
std::string ReadBytes(const fs::path& path);
bool WriteBytes(const fs::path& path, const std::string& bytes); // making its folders
std::wstring ShellFolder(int csidl);
std::wstring TestFolder(); // with its backslash: the built tool and the fixtures lie there
SYSTEMTIME LocalNow();
// `text` with each "yyyy/mm/dd hh:nn:ss" stamp of a second from `since` to now replaced by `mark`: a stamp
// in another form, or of another time, stays and fails the comparison.
std::wstring WithoutStamps(std::wstring text, const SYSTEMTIME& since, const std::wstring& mark = L"");

// Runs `Undo` when it goes, whatever the test did.
struct cAtEnd
{
    cAtEnd(std::function<void()> undo) : Undo(std::move(undo)) {}
    cAtEnd(cAtEnd&& other) noexcept : Undo(std::exchange(other.Undo, nullptr)) {}
    cAtEnd(const cAtEnd&) = delete;
    ~cAtEnd() { Undo ? Undo() : void(); }
    std::function<void()> Undo;
};

// A fresh folder of the test's own under the temporary folder, removed with its contents.
class cTempFolder
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

// Points the user's Desktop folder setting at `folder`, made first, until the owner returned goes.
[[nodiscard]] cAtEnd DesktopAt(const std::wstring& folder);

// Whether the tests run under Wine, whose registry loads its own text format where Windows loads a hive.
bool IsWine();
// A profile-list entry of the machine's, removed with the owner returned.
[[nodiscard]] cAtEnd AddProfile(const std::wstring& sid, const std::wstring& folder, DWORD state = 0);

// The map product's edition, component files, class registrations and log: cleared on a throwaway machine.
class cTestPc
{
public:
    cTestPc() { Clean(); }
    ~cTestPc() { Clean(); }
    static std::wstring ProductFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + L"\\kovamap\\"; }
    static std::wstring ExpectedControl() { return ProductFolder() + L"common\\plotwing2.ocx"; }
    static std::wstring LogPath() { return ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\plwg2reg200.log"; }
    static std::wstring Log() { return strconv::ToWide(ReadBytes(LogPath()), 932); }
    static void RegisterEdition(const std::wstring& keyPath, const std::wstring& iniPath);
    static void WriteIni(const std::wstring& path, const std::string& bytes);
    static void InstallW3(const std::wstring& ini = ProductFolder() + L"w3.ini",
                          const std::string& bytes = "");
    // W3 installed and both files in place, each registered at an older copy or where it belongs.
    static void InstallBoth(const std::wstring& registeredIn);
    static void Place(const std::wstring& fixture, const std::wstring& path)
    {
        WriteBytes(path, ReadBytes(TestFolder() + L"fixtures\\" + fixture));
    }
    // The default value of HKCR\CLSID\{clsid}\InprocServer32 (Registered: else the class key's value `name`).
    static void Register(const std::wstring& clsid, const std::wstring& path);
    static std::wstring Registered(const std::wstring& clsid, const wchar_t* name = nullptr);
    // The running user's own registration, at the physical key this build's COM reads for them (REG_SZ);
    // nullopt for `path` removes it. Its value, or nullopt when the key is gone.
    static void RegisterForUser(const std::wstring& clsid, const std::optional<std::wstring>& path);
    static std::optional<std::wstring> RegisteredForUser(const std::wstring& clsid);
    static std::wstring UserKey(const std::wstring& clsid);
    static std::wstring BackupFolder() { return ShellFolder(CSIDL_COMMON_APPDATA) + L"\\plotwing2fix"; }

private:
    static void Clean();
};

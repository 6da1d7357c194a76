#pragma once
#include <windows.h>
#include <string>

// The state of a PC as the tool sees it: the map product's edition registrations, the component
// files under Program Files and their COM registrations, and the log on the desktop. Removes all of
// it when created (leftovers of a crashed run) and again when destroyed.
class cTestPc
{
public:
    static constexpr const wchar_t* ControlClsid = L"{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}";
    static constexpr const wchar_t* LookupClsid = L"{2A9F6C13-8E47-4b5d-A6F0-31D8C2E7B940}";

    cTestPc();
    ~cTestPc();
    cTestPc(const cTestPc&) = delete;
    cTestPc& operator=(const cTestPc&) = delete;

    // <Program Files>\kovamap\ and <Program Files>\kovamap\common\, as a 32-bit process sees them.
    static std::wstring ProductFolder();
    static std::wstring CommonFolder();
    static std::wstring ExpectedControl() { return CommonFolder() + L"plotwing2.ocx"; }
    static std::wstring ExpectedLookup() { return CommonFolder() + L"lexgrid4b.dll"; }
    // The tool's log on this user's desktop.
    static std::wstring LogPath();
    static std::string ReadLog();

    // Registers an edition's ini path under HKLM\<keyPath> "inifile" (REG_SZ).
    static void RegisterEdition(const std::wstring& keyPath, const std::wstring& iniPath);
    // Installs edition W3: its ini file (with `iniBytes`) and its registration. Returns the ini path.
    static std::wstring InstallW3(const std::string& iniBytes = "[Plotwing]\r\nMapPackage=TEST\r\n");
    // Copies a fixture DLL to a path, creating its folders.
    static void PlaceFile(const std::wstring& fixture, const std::wstring& path);
    // Writes the default value of HKCR\CLSID\<clsid>\InprocServer32 as raw bytes of the given type.
    static void SetRegistrationBytes(const std::wstring& clsid, DWORD type, const std::string& bytes);
    // Writes it as text in code page 932 with its NUL.
    static void SetRegistration(const std::wstring& clsid, const std::wstring& path);
    static void RemoveRegistration(const std::wstring& clsid);

private:
    static void Clean();
};

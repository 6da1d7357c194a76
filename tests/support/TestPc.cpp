#include "tests/support/TestPc.h"
#include "repair/cComponent.h"
#include "repair/cUserRegistrations.h"
#include <cwchar>

eMachine MachineKind(bool markerPresent, const wchar_t* throwawayVariable)
{
    return markerPresent || (throwawayVariable && std::wstring(throwawayVariable) == L"1")
               ? eMachine::Throwaway
               : eMachine::Protected;
}

eMachine ThisMachine()
{
    // scripts/test leaves this file in the Windows folder of the prefix it makes for the tests.
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    return MachineKind(length > 0 && length < MAX_PATH &&
                           fs::exists(windows + std::wstring(L"\\p2f-throwaway-test-pc")),
                       _wgetenv(L"P2F_THROWAWAY_MACHINE"));
}

std::string Sjis(const std::wstring& text)
{
    return strconv::ToAnsi(text, 932);
}

std::string ReadBytes(const fs::path& path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

bool WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    return static_cast<bool>(std::ofstream(path, std::ios::binary) << bytes);
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return path;
}

std::wstring TestFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path().wstring() + L"\\";
}

SYSTEMTIME LocalNow()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now;
}

std::wstring WithoutStamps(std::wstring text, const SYSTEMTIME& since, const std::wstring& mark)
{
    const auto seconds = [](const SYSTEMTIME& time) {
        FILETIME file{};
        ::SystemTimeToFileTime(&time, &file);
        return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32 | file.dwLowDateTime) / 10000000;
    };
    for (ULONGLONG second = seconds(since); second <= seconds(LocalNow()); ++second)
    {
        const ULONGLONG ticks = second * 10000000;
        const FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SYSTEMTIME t{};
        ::FileTimeToSystemTime(&file, &t);
        wchar_t stamp[24] = {};
        std::swprintf(stamp, 24, L"%04u/%02u/%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                      t.wMinute, t.wSecond);
        for (size_t at = text.find(stamp); at != std::wstring::npos; at = text.find(stamp, at + mark.size()))
            text.replace(at, 19, mark);
    }
    return text;
}

cAtEnd DesktopAt(const std::wstring& folder)
{
    const wchar_t* const key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    auto old = std::make_shared<std::pair<DWORD, std::wstring>>(0, std::wstring(MAX_PATH, L'\0'));
    DWORD size = MAX_PATH * 2;
    ::RegGetValueW(HKEY_CURRENT_USER, key, L"Desktop", RRF_RT_ANY | RRF_NOEXPAND, &old->first,
                   old->second.data(), &size);
    old->second.resize(size / 2);
    fs::create_directories(folder);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Desktop", REG_SZ, folder.c_str(),
                      static_cast<DWORD>(folder.size() * 2 + 2));
    return {
        [=] { ::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Desktop", old->first, old->second.data(), size); }};
}

bool IsWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

cAtEnd AddProfile(const std::wstring& sid, const std::wstring& folder, DWORD state)
{
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid;
    cRegKey entry;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                      nullptr, entry.Put(), nullptr);
    ::RegSetValueExW(entry.Get(), L"ProfileImagePath", 0, REG_EXPAND_SZ,
                     reinterpret_cast<const BYTE*>(folder.c_str()),
                     static_cast<DWORD>(folder.size() * 2 + 2));
    ::RegSetValueExW(entry.Get(), L"State", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state),
                     sizeof state);
    return {[key] { ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY, 0); }};
}

void cTestPc::RegisterEdition(const std::wstring& keyPath, const std::wstring& iniPath)
{
    const std::string data = Sjis(iniPath) + '\0';
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, Sjis(keyPath).c_str(), "inifile", REG_SZ, data.data(),
                      static_cast<DWORD>(data.size()));
}

void cTestPc::WriteIni(const std::wstring& path, const std::string& bytes)
{
    WriteBytes(path, bytes);
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, Sjis(path).c_str());
}

void cTestPc::InstallW3(const std::wstring& ini, const std::string& bytes)
{
    WriteIni(ini, bytes);
    RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", ini);
}

void cTestPc::InstallBoth(const std::wstring& registeredIn)
{
    InstallW3();
    for (const auto& [fixture, c] :
         {std::pair{L"fixture_control.dll", MapControl}, {L"fixture_lookup.dll", LookupLibrary}})
        for (const std::wstring folder : {L"common\\", registeredIn.c_str()})
        {
            Place(fixture, ProductFolder() + folder + c.Name);
            Register(c.ClassId, ProductFolder() + folder + c.Name);
        }
}

void cTestPc::Register(const std::wstring& clsid, const std::wstring& path)
{
    const std::string data = Sjis(path) + '\0';
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, ("CLSID\\" + Sjis(clsid) + "\\InprocServer32").c_str(), nullptr,
                      REG_SZ, data.data(), static_cast<DWORD>(data.size()));
}

std::wstring cTestPc::Registered(const std::wstring& clsid, const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    ::RegGetValueW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid + (name ? L"" : L"\\InprocServer32")).c_str(), name,
                   RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

std::wstring cTestPc::UserKey(const std::wstring& clsid)
{
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    return L"Software\\Classes\\" + cUserRegistrations::ClassKeyPath(clsid, wow64) + L"\\InprocServer32";
}

void cTestPc::RegisterForUser(const std::wstring& clsid, const std::optional<std::wstring>& path)
{
    const std::wstring key = UserKey(clsid);
    if (!path)
    {
        // The whole class key: one left without its server still shadows the machine's.
        const std::wstring classKey = key.substr(0, key.rfind(L'\\'));
        cRegKey parent;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, classKey.substr(0, classKey.rfind(L'\\')).c_str(), 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, parent.Put()) == ERROR_SUCCESS)
            ::RegDeleteTreeW(parent.Get(), classKey.substr(classKey.rfind(L'\\') + 1).c_str());
        return;
    }
    cRegKey created;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                      created.Put(), nullptr);
    ::RegSetValueExW(created.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path->c_str()),
                     static_cast<DWORD>(path->size() * 2 + 2));
}

std::optional<std::wstring> cTestPc::RegisteredForUser(const std::wstring& clsid)
{
    cRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, UserKey(clsid).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                        key.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    ::RegGetValueW(key.Get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

void cTestPc::Clean()
{
    if (ThisMachine() != eMachine::Throwaway)
        return;
    // A regsvr32 left hanging by a fixture still holds its file.
    _wsystem((ShellFolder(CSIDL_SYSTEM) + L"\\taskkill.exe /f /im regsvr32.exe >nul 2>&1").c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kova_Mapping_K.K.");
    for (const cComponent& component : {MapControl, LookupLibrary})
    {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + component.ClassId).c_str());
        RegisterForUser(component.ClassId, std::nullopt);
    }
    std::error_code ignored;
    fs::remove_all(ProductFolder(), ignored);
    fs::remove(LogPath(), ignored);
    fs::remove_all(BackupFolder(), ignored);
}

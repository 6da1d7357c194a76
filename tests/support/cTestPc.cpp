#include "tests/support/cTestPc.h"
#include "sys/StrConv.h"
#include "tests/support/TestSupport.h"
#include <shlobj.h>

namespace
{
void WriteValue(HKEY root, const std::wstring& keyPath, const std::string& name, DWORD type,
                const std::string& data)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    ::RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                     reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    ::RegCloseKey(key);
}
} // namespace

cTestPc::cTestPc()
{
    Clean();
}

cTestPc::~cTestPc()
{
    Clean();
}

void cTestPc::Clean()
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kova_Mapping_K.K.");
    RemoveRegistration(ControlClsid);
    RemoveRegistration(LookupClsid);
    RemoveTree(ProductFolder());
    ::DeleteFileW(LogPath().c_str());
}

std::wstring cTestPc::ProductFolder()
{
    return ShellFolder(CSIDL_PROGRAM_FILES) + L"\\kovamap\\";
}

std::wstring cTestPc::CommonFolder()
{
    return ProductFolder() + L"common\\";
}

std::wstring cTestPc::LogPath()
{
    return ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\plwg2reg200.log";
}

std::string cTestPc::ReadLog()
{
    return ReadFileBytes(LogPath());
}

void cTestPc::RegisterEdition(const std::wstring& keyPath, const std::wstring& iniPath)
{
    std::string data = strconv::ToAnsi(iniPath, 932);
    data.push_back('\0');
    WriteValue(HKEY_LOCAL_MACHINE, keyPath, "inifile", REG_SZ, data);
}

std::wstring cTestPc::InstallW3(const std::string& iniBytes)
{
    const std::wstring ini = ProductFolder() + L"cartoriaw3.ini";
    MakeFolders(ProductFolder());
    WriteFileBytes(ini, iniBytes);
    RegisterEdition(L"SOFTWARE\\KOVA\\CARTORIAW3", ini);
    return ini;
}

void cTestPc::PlaceFile(const std::wstring& fixture, const std::wstring& path)
{
    MakeFolders(path.substr(0, path.find_last_of(L'\\') + 1));
    ::CopyFileW(FixturePath(fixture).c_str(), path.c_str(), FALSE);
}

void cTestPc::SetRegistrationBytes(const std::wstring& clsid, DWORD type, const std::string& bytes)
{
    WriteValue(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32", "", type, bytes);
}

void cTestPc::SetRegistration(const std::wstring& clsid, const std::wstring& path)
{
    std::string data = strconv::ToAnsi(path, 932);
    data.push_back('\0');
    SetRegistrationBytes(clsid, REG_SZ, data);
}

void cTestPc::RemoveRegistration(const std::wstring& clsid)
{
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
}

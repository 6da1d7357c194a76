#pragma once
#include "repair/cUserRegistrations.h"
#include "tests/support/TestPc.h"
#include <map>

// Profiles Wine cannot make: signed-out users (their classes a test key), files in use, broken entries.
struct cSeamedUsers : cUserRegistrations
{
    std::wstring Keys = L"Software\\plotwing2fixTests\\" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    std::vector<cProfileList::cProfile> List;
    std::map<std::wstring, bool> SignedIn;     // sid: true signed in, false signed out with a classes file
    std::map<std::wstring, LONG> FileStatus;   // sid: why the classes file cannot be opened (NoFile: none)
    mutable std::vector<std::wstring> Folders; // every folder whose classes file was opened
    ~cSeamedUsers() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Keys.c_str()); }
    // A value under the user's classes, made with its key; nullopt makes the key without a value.
    void Set(const std::wstring& sid, const cComponent& c, DWORD type, const std::wstring& data) const
    {
        ::RegSetKeyValueW(HKEY_CURRENT_USER,
                          (Keys + sid + L"\\" + ClassKeyPath(c.ClassId, false) + L"\\InprocServer32").c_str(),
                          nullptr, type, data.c_str(),
                          static_cast<DWORD>(data.size() * 2 + (type == REG_SZ ? 2 : 0)));
    }
    // A key below the user's class key (empty: the class key alone).
    void SetKey(const std::wstring& sid, const cComponent& c, const std::wstring& below) const
    {
        cRegKey made;
        ::RegCreateKeyExW(HKEY_CURRENT_USER,
                          (Keys + sid + L"\\" + ClassKeyPath(c.ClassId, false) + below).c_str(), 0, nullptr,
                          0, KEY_WRITE, nullptr, made.Put(), nullptr);
    }
    std::map<std::wstring, LONG> UnloadStatus; // sid: the unload of its classes fails so
    LONG Release(cUserClasses& classes) const override
    {
        for (const auto& [sid, status] : UnloadStatus)
            if (classes.RegistryName.find(sid) != std::wstring::npos)
                return classes.Root = cKey(), status;
        return cUserRegistrations::Release(classes);
    }
    std::vector<cHiveMount::cLeftover> ClearLeftovers() const override { return {}; }
    DWORD SlowMs = 0; // the list takes this long, as hive loads on a shared PC do
    std::vector<cProfileList::cProfile> Profiles() const override { return ::Sleep(SlowMs), List; }
    cUserClasses Opened(const std::wstring& sid, REGSAM access, cUserClasses::eSource source) const
    {
        cUserClasses classes;
        classes.Source = source;
        classes.Status = classes.Root.Open(HKEY_CURRENT_USER, Keys + sid, access);
        classes.RegistryName = L"HKEY_USERS\\" + sid + L"_Classes";
        return classes;
    }
    cUserClasses OpenLoaded(const std::wstring& sid, REGSAM access) const override
    {
        return SignedIn.count(sid) && SignedIn.at(sid) ? Opened(sid, access, cUserClasses::eSource::Loaded)
                                                       : cUserClasses();
    }
    cUserClasses OpenFile(const std::wstring& sid, const std::wstring& folder, REGSAM access) const override
    {
        Folders.push_back(folder);
        if (SignedIn.count(sid))
            return Opened(sid, access, cUserClasses::eSource::FromFile);
        cUserClasses failed;
        failed.Status = FileStatus.count(sid) ? FileStatus.at(sid) : ERROR_SUCCESS;
        failed.Source = failed.Status ? cUserClasses::eSource::Failed : cUserClasses::eSource::NoFile;
        return failed;
    }
    std::vector<std::wstring> AccountsOf(const std::vector<std::wstring>& sids) const override
    {
        std::vector<std::wstring> names;
        for (const std::wstring& sid : sids)
            names.push_back(sid.ends_with(L"1001") ? L"PC\\佐藤" : L"");
        return names;
    }
    bool IsWow64() const override { return false; }
    std::wstring Runner; // none: only the list is read
    std::wstring RunnerSid() const override { return Runner; }
    bool Elevated = true;
    bool IsElevated() const override { return Elevated; }
};

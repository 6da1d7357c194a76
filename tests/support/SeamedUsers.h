#pragma once
#include "repair/cUserRegistrations.h"
#include "tests/support/TestPc.h"
#include <map>
#include <set>

// Profiles Wine cannot make: other signed-in users and loaded files (their classes a test key), files Windows
// holds or refuses, broken entries. Signed-out users' files are real ones, read as data.
struct cSeamedUsers : cUserRegistrations
{
    std::wstring Keys = L"Software\\plotwing2fixTests\\" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    cProfileList::cReading List;
    std::set<std::wstring> SignedIn;                    // their classes: the test key
    std::map<std::wstring, cClassesFile::eOpen> Opened; // folder: its classes file opens so
    std::map<std::wstring, LONG> UnloadStatus;          // sid: the unload of what was loaded fails so
    mutable std::vector<std::wstring> Loads;            // every sid whose file was loaded for a change
    ~cSeamedUsers() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Keys.c_str()); }
    // A value under the user's classes, made with its key.
    void Set(const std::wstring& sid, const cComponent& c, DWORD type, const std::wstring& data) const
    {
        ::RegSetKeyValueW(HKEY_CURRENT_USER,
                          (Keys + sid + L"\\" + ClassKeyPath(c.ClassId, false) + L"\\InprocServer32").c_str(),
                          nullptr, type, data.c_str(),
                          static_cast<DWORD>(data.size() * 2 + (type == REG_SZ ? 2 : 0)));
    }
    cUserClasses Live(const std::wstring& sid, REGSAM access, cUserClasses::eSource source) const
    {
        cUserClasses classes;
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, (Keys + sid).c_str(), 0, nullptr, 0, access, nullptr, &key,
                              nullptr) == ERROR_SUCCESS)
            classes.Root = cKey(key), classes.Source = source;
        return classes;
    }
    DWORD SlowMs = 0; // the list takes this long, as a shared PC's many profiles do
    cProfileList::cReading Profiles() const override { return ::Sleep(SlowMs), List; }
    std::wstring Runner; // none: only the list is read
    std::wstring RunnerSid() const override { return Runner; }
    cUserClasses OpenRunner(REGSAM access) const override
    {
        return Live(Runner, access, cUserClasses::eSource::Runner);
    }
    cUserClasses OpenLoaded(const std::wstring& sid, REGSAM access) const override
    {
        cUserClasses none;
        none.Status = ERROR_FILE_NOT_FOUND;
        return SignedIn.count(sid) ? Live(sid, access, cUserClasses::eSource::Loaded) : std::move(none);
    }
    cFileOpen OpenClassesFile(cClassesFile& file, const std::wstring& folder) const override
    {
        if (!Opened.count(folder))
            return cUserRegistrations::OpenClassesFile(file, folder);
        const cClassesFile::eOpen opened = Opened.at(folder);
        return {opened, opened == cClassesFile::eOpen::InUse ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED};
    }
    // Stands in for a loaded file: the test key, under a mount name of this run's.
    cUserClasses LoadForChange(const std::wstring& sid, const std::wstring&) const override
    {
        Loads.push_back(sid);
        cUserClasses classes;
        classes.Status = cUserClasses::SigningIn; // as the real one does beside a hive Windows has loaded
        if (MainHives.count(sid))
            return classes;
        classes = Live(sid, KEY_READ | KEY_WRITE, cUserClasses::eSource::FromFile);
        classes.Mount =
            cHiveMount(cHiveMount::NameOf(::GetCurrentProcessId(), 1, static_cast<unsigned>(Loads.size())));
        MountOf[classes.Mount.Name()] = sid;
        return classes;
    }
    mutable std::map<std::wstring, std::wstring> MountOf;
    LONG Release(cUserClasses& classes) const override
    {
        const auto sid = MountOf.find(classes.Mount.Name());
        if (sid != MountOf.end() && UnloadStatus.count(sid->second))
            return classes.Root = cKey(), UnloadStatus.at(sid->second);
        classes.Mount = cHiveMount(); // nothing was loaded
        return cUserRegistrations::Release(classes);
    }
    std::vector<cHiveMount::cLeftover> Leftovers;
    std::vector<cHiveMount::cLeftover> ClearLeftovers() const override { return Leftovers; }
    std::vector<std::wstring> AccountsOf(const std::vector<std::wstring>& sids) const override
    {
        std::vector<std::wstring> names;
        for (const std::wstring& sid : sids)
            names.push_back(sid.ends_with(L"1001") ? L"PC\\佐藤" : L"");
        return names;
    }
    std::set<std::wstring> MainHives; // sids whose main hive is loaded without their classes
    bool IsLoaded(const std::wstring& name) const override { return MainHives.count(name) > 0; }
    bool IsWow64() const override { return false; }
    bool Elevated = true;
    bool IsElevated() const override { return Elevated; }
};

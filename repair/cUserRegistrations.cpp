#include "repair/cUserRegistrations.h"
#include "repair/cComponentLookup.h"
#include "security/cAccount.h"
#include "sys/cAppError.h"
#include "registry/cRegFile.h"
#include "security/cRunner.h"
#include "sys/Environment.h"

namespace
{
cUserReading Reading(const std::wstring& sid, const std::wstring& account, const std::wstring& folder)
{
    cUserReading user;
    user.Sid = sid;
    user.Account = account;
    user.Folder = folder;
    return user;
}

std::wstring Because(const wchar_t* what, LONG status)
{
    return what + SystemMessage(static_cast<unsigned long>(status));
}

void NotRead(cUserReading& user, eNotRead why, std::wstring reason)
{
    user.Why = why;
    user.Reason = std::move(reason);
}
} // namespace

const cUserComponent* cUserReading::Of(const cComponent& component) const
{
    for (const cUserComponent& one : Components)
        if (one.Component == &component)
            return &one;
    return nullptr;
}

bool cUserReading::Shadows(const cComponent& component) const
{
    const cUserComponent* own = Of(component);
    return own && own->State == eUserState::Shadows;
}

std::wstring cUserRegistrations::ClassKeyPath(const std::wstring& classId, bool wow64)
{
    return (wow64 ? L"Wow6432Node\\CLSID\\" : L"CLSID\\") + classId;
}

eUserState cUserRegistrations::StateOf(cKey::eValue kind, const std::wstring& longPath,
                                       const std::wstring& expected)
{
    // An empty value, a value of another type and a path elsewhere all break the user's map alike.
    return kind == cKey::eValue::Text && cComponentLookup::SamePath(longPath, expected) ? eUserState::Correct
                                                                                        : eUserState::Shadows;
}

eUserKey cUserRegistrations::KeyOf(LONG classKey, LONG treatAs, LONG server)
{
    if (classKey == ERROR_FILE_NOT_FOUND)
        return eUserKey::Missing;
    if (classKey != ERROR_SUCCESS || (treatAs != ERROR_SUCCESS && treatAs != ERROR_FILE_NOT_FOUND))
        return eUserKey::Unreadable;
    if (treatAs == ERROR_SUCCESS)
        return eUserKey::TreatAs;
    if (server == ERROR_FILE_NOT_FOUND)
        return eUserKey::NoServer;
    return server == ERROR_SUCCESS ? eUserKey::Server : eUserKey::Unreadable;
}

const wchar_t* cUserRegistrations::SkipOf(const cProfileList::cProfile& profile)
{
    // Windows keeps a user's profile aside under <sid>.bak while that user is given a temporary one.
    if (profile.Sid.size() > 4 && _wcsicmp(profile.Sid.c_str() + profile.Sid.size() - 4, L".bak") == 0)
        return L"backup-entry";
    switch (cAccount::KindOf(profile.Sid))
    {
    case cAccount::eKind::NotSid:
        return L"not-a-sid";
    case cAccount::eKind::System:
        return L"system-account";
    case cAccount::eKind::OtherSid:
        return L"not-a-user-account";
    case cAccount::eKind::User:
        break;
    }
    return profile.State & cProfileList::TemporaryProfile ? L"temporary-profile" : nullptr;
}

cUserRegistrations::cUserRegistrations(std::shared_ptr<cAccountNames> names)
    : m_names(names ? std::move(names) : std::make_shared<cAccountNames>(&cAccount::NameOf))
{
}

cUserScan cUserRegistrations::Read(const std::vector<cExpected>& expected) const
{
    cUserScan scan;
    // What an earlier run could not unload goes first: a run that ended holds its users' files for nothing.
    for (const cHiveMount::cLeftover& left : ClearLeftovers())
        scan.Unloads.push_back(
            {L"HKEY_USERS\\" + left.Name, SystemMessage(static_cast<unsigned long>(left.Status)), false});
    const bool elevated = IsElevated();
    // The runner's own classes are read whoever runs the tool, SYSTEM too: regsvr32's writes land there as
    // well.
    const std::wstring runner = RunnerSid();
    std::vector<cProfileList::cProfile> users;
    bool runnerListed = false;
    for (const cProfileList::cProfile& profile : Profiles())
    {
        const bool isRunner = !runner.empty() && profile.Sid == runner;
        if (const wchar_t* skip = isRunner ? nullptr : SkipOf(profile))
            scan.Skipped.push_back({profile.Sid, skip});
        else
            users.push_back(profile), runnerListed = runnerListed || isRunner;
    }
    if (!runner.empty() && !runnerListed)
        users.insert(users.begin(), {runner, {}, 0});
    std::vector<std::wstring> sids;
    for (const cProfileList::cProfile& user : users)
        sids.push_back(user.Sid);
    const std::vector<std::wstring> accounts = AccountsOf(sids);
    cDriveTypes drives;
    for (size_t i = 0; i < users.size(); ++i)
        scan.Users.push_back(ReadUser(users[i], i < accounts.size() ? accounts[i] : L"",
                                      users[i].Sid == runner, expected, elevated, scan.Unloads, drives));
    return scan;
}

cUserReading cUserRegistrations::ReadUser(const cProfileList::cProfile& profile, const std::wstring& account,
                                          bool runner, const std::vector<cExpected>& expected, bool elevated,
                                          std::vector<cUnloadFailure>& unloads, cDriveTypes& drives) const
{
    cUserReading user = Reading(profile.Sid, account, profile.Folder);
    cUserClasses classes = Open(user, KEY_READ, elevated || runner, drives);
    if (classes.Source == cUserClasses::eSource::Loaded || classes.Source == cUserClasses::eSource::FromFile)
        for (const cExpected& one : expected)
        {
            cUserComponent component = ReadOne(classes.Root, one, user);
            if (user.Why != eNotRead::None)
                break;
            user.Components.push_back(std::move(component));
        }
    else if (classes.Source == cUserClasses::eSource::NoFile)
        for (const cExpected& one : expected)
            user.Components.push_back(
                {one.Component, eUserState::None, eUserKey::Missing, cKey::eValue::Missing, {}});
    user.Read = user.Why == eNotRead::None;
    if (!user.Read)
        user.Components.clear();
    if (const std::optional<cUnloadFailure> failed = Done(classes))
        unloads.push_back(*failed);
    return user;
}

cUserClasses cUserRegistrations::Open(cUserReading& user, REGSAM access, bool mayLoad,
                                      cDriveTypes& drives) const
{
    cUserClasses classes = OpenLoaded(user.Sid, access);
    user.Loaded = classes.Source == cUserClasses::eSource::Loaded;
    if (user.Loaded)
    {
        user.RegistryName = classes.RegistryName;
        return classes;
    }
    // Signed out: the classes file in the profile's folder, which the profile list names and the tool
    // accepts only as a local path.
    user.RegistryName = L"HKEY_USERS\\" + user.Sid + L"_Classes";
    if (!mayLoad)
        NotRead(user, eNotRead::NotElevated, L"管理者として実行していないため、読み取れません");
    else if (user.Folder.empty())
        NotRead(user, eNotRead::NoFolder, L"プロファイルのフォルダーが登録されていません");
    else if (!drives.IsLocal(user.Folder))
        NotRead(user, eNotRead::NotLocal,
                L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：" + user.Folder);
    if (user.Why != eNotRead::None)
        return classes;
    classes = OpenFile(user.Sid, user.Folder, access);
    if (classes.Source == cUserClasses::eSource::Loaded)
        user.Loaded = true, user.RegistryName = classes.RegistryName;
    if (classes.Source != cUserClasses::eSource::Failed)
        return classes;
    if (classes.Status == cUserClasses::LinkOnTheWay)
        NotRead(user, eNotRead::Link, L"UsrClass.dat までのパスにリンクがあるため、読みませんでした");
    else
        NotRead(user,
                classes.Status == ERROR_SHARING_VIOLATION || classes.Status == ERROR_LOCK_VIOLATION
                    ? eNotRead::InUse
                    : eNotRead::Refused,
                Because(L"UsrClass.dat を開けませんでした：", classes.Status));
    return classes;
}

cUserComponent cUserRegistrations::ReadOne(const cKey& root, const cExpected& expected,
                                           cUserReading& user) const
{
    cUserComponent component{
        expected.Component, eUserState::None, eUserKey::Missing, cKey::eValue::Missing, {}};
    // COM takes the user's class key whenever it exists, as one unit: what it lacks is not taken from the
    // machine's.
    cKey classKey, treatAs, server;
    const LONG classStatus = classKey.Open(root.Get(), ClassKeyPath(expected.Component->ClassId, IsWow64()),
                                           KEY_READ | KEY_WOW64_64KEY);
    const LONG treatStatus = classStatus == ERROR_SUCCESS
                                 ? treatAs.Open(classKey.Get(), L"TreatAs", KEY_QUERY_VALUE | KEY_WOW64_64KEY)
                                 : ERROR_SUCCESS;
    const LONG serverStatus =
        classStatus == ERROR_SUCCESS && treatStatus == ERROR_FILE_NOT_FOUND
            ? server.Open(classKey.Get(), L"InprocServer32", KEY_QUERY_VALUE | KEY_WOW64_64KEY)
            : ERROR_SUCCESS;
    component.Key = KeyOf(classStatus, treatStatus, serverStatus);
    if (component.Key == eUserKey::Missing)
        return component;
    const cKey::cValue value = component.Key == eUserKey::Server ? server.Read() : cKey::cValue{};
    if (component.Key == eUserKey::Unreadable || value.Kind == cKey::eValue::Unreadable)
    {
        // Nothing is proven: the user is "not read", never "fine".
        const LONG status = classStatus != ERROR_SUCCESS ? classStatus
                            : treatStatus != ERROR_SUCCESS && treatStatus != ERROR_FILE_NOT_FOUND
                                ? treatStatus
                            : serverStatus != ERROR_SUCCESS ? serverStatus
                                                            : value.Status;
        NotRead(user, eNotRead::KeyUnreadable, Because(L"登録を読み取れませんでした：", status));
        return component;
    }
    if (component.Key != eUserKey::Server)
    {
        component.State = eUserState::Shadows;
        return component;
    }
    component.Kind = value.Kind;
    component.Registered = value.Kind == cKey::eValue::Text ? value.Text : std::wstring();
    // COM expands an expandable string before it loads the file it names.
    const std::wstring named = value.Type == REG_EXPAND_SZ ? ExpandedText(value.Text) : value.Text;
    component.State =
        StateOf(value.Kind, value.Kind == cKey::eValue::Text ? cComponentLookup::LongForm(named) : L"",
                expected.Path);
    return component;
}

cUserRegistrations::cRemoval cUserRegistrations::Remove(const cUserReading& user, const cExpected& expected,
                                                        const std::wstring& backupPath) const
{
    cUserReading again = Reading(user.Sid, user.Account, user.Folder);
    cDriveTypes drives; // asked anew at the removal
    cUserClasses classes = Open(again, KEY_READ | KEY_WRITE, true, drives);
    const auto removal = [&]() -> cRemoval {
        if (again.Why != eNotRead::None || !classes.Root.IsOpen())
            return {eRemoval::Failed,
                    again.Why == eNotRead::None
                        ? Because(L"ユーザー別の登録を開けませんでした：", classes.Status)
                        : again.Reason,
                    {}};
        // Judged again at the moment of removal: only a key proven to shadow goes.
        const cUserComponent now = ReadOne(classes.Root, expected, again);
        if (again.Why != eNotRead::None)
            return {eRemoval::Failed, again.Reason, {}};
        if (now.State != eUserState::Shadows)
            return {eRemoval::NotShadowed, {}, {}};
        const std::wstring path = ClassKeyPath(expected.Component->ClassId, IsWow64());
        const size_t cut = path.rfind(L'\\');
        cKey parent, key;
        LONG status =
            parent.Open(classes.Root.Get(), path.substr(0, cut), KEY_READ | KEY_WRITE | KEY_WOW64_64KEY);
        if (status == ERROR_SUCCESS)
            status = key.Open(parent.Get(), path.substr(cut + 1), KEY_READ | KEY_WOW64_64KEY);
        cRegFile backup;
        if (status == ERROR_SUCCESS)
            status = backup.AddTree(key, again.RegistryName + L"\\" + path);
        const DWORD saved = status == ERROR_SUCCESS ? backup.SaveAs(backupPath) : static_cast<DWORD>(status);
        if (saved != ERROR_SUCCESS)
            return {
                eRemoval::Failed,
                Because(L"バックアップを保存できないため、削除しませんでした：", static_cast<LONG>(saved)),
                {}};
        key = cKey();
        status = parent.DeleteTree(path.substr(cut + 1), KEY_WOW64_64KEY);
        if (status != ERROR_SUCCESS)
            return {eRemoval::Failed, Because(L"削除できませんでした：", status), {}};
        cKey gone;
        if (gone.Open(parent.Get(), path.substr(cut + 1), KEY_QUERY_VALUE | KEY_WOW64_64KEY) !=
            ERROR_FILE_NOT_FOUND)
            return {eRemoval::Failed, L"削除したはずの登録が残っています", {}};
        return {eRemoval::Removed, {}, {}};
    };
    cRemoval result = removal();
    result.Unload = Done(classes);
    return result;
}

std::optional<cUnloadFailure> cUserRegistrations::Done(cUserClasses& classes) const
{
    const std::wstring name = classes.Mount.Name().empty() ? classes.RegistryName : classes.Mount.Name();
    const LONG status = Release(classes);
    if (status == ERROR_SUCCESS)
        return std::nullopt;
    return cUnloadFailure{name.starts_with(L"HKEY_USERS\\") ? name : L"HKEY_USERS\\" + name,
                          SystemMessage(static_cast<unsigned long>(status)), true};
}

std::vector<cProfileList::cProfile> cUserRegistrations::Profiles() const
{
    return cProfileList::Read();
}

cUserClasses cUserRegistrations::OpenLoaded(const std::wstring& sid, REGSAM access) const
{
    return cUserClasses::OpenLoaded(sid, access);
}

cUserClasses cUserRegistrations::OpenFile(const std::wstring& sid, const std::wstring& folder,
                                          REGSAM access) const
{
    return cUserClasses::OpenFile(sid, folder, access);
}

LONG cUserRegistrations::Release(cUserClasses& classes) const
{
    return classes.Close();
}

std::vector<cHiveMount::cLeftover> cUserRegistrations::ClearLeftovers() const
{
    return cHiveMount::ClearLeftovers();
}

std::vector<std::wstring> cUserRegistrations::AccountsOf(const std::vector<std::wstring>& sids) const
{
    return m_names->NamesOf(sids);
}

std::wstring cUserRegistrations::RunnerSid() const
{
    return cRunner::Sid();
}

bool cUserRegistrations::IsElevated() const
{
    return cRunner::IsElevated();
}

bool cUserRegistrations::IsWow64() const
{
    static const bool wow64 = [] {
        BOOL is = FALSE;
        return ::IsWow64Process(::GetCurrentProcess(), &is) && is;
    }();
    return wow64;
}

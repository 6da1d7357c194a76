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

// A user without classes of their own: the machine's registration holds for them.
void NoClasses(cUserReading& user, const std::vector<cUserRegistrations::cExpected>& expected)
{
    for (const cUserRegistrations::cExpected& one : expected)
        user.Components.push_back(
            {one.Component, eUserState::None, eUserKey::Missing, cKey::eValue::Missing, {}});
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
    if (classKey == cKey::IsLink || treatAs == cKey::IsLink || server == cKey::IsLink)
        return eUserKey::Link;
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
    const cProfileList::cReading list = Profiles();
    // No list, no users known: nothing could say the PC is set up.
    if (list.Status != ERROR_SUCCESS)
        throw cAppError(list.Status, Because(L"プロファイル一覧を読み取れませんでした：", list.Status),
                        L"cUserRegistrations");
    scan.Unlisted = list.Unlisted;
    const bool elevated = IsElevated();
    // The runner's own classes are read whoever runs the tool, SYSTEM too: regsvr32's writes land there as
    // well.
    const std::wstring runner = RunnerSid();
    std::vector<cProfileList::cProfile> users;
    bool runnerListed = false;
    for (const cProfileList::cProfile& profile : list.Profiles)
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
                                      users[i].Sid == runner, expected, elevated, drives));
    return scan;
}

cUserReading cUserRegistrations::ReadUser(const cProfileList::cProfile& profile, const std::wstring& account,
                                          bool runner, const std::vector<cExpected>& expected, bool elevated,
                                          cDriveTypes& drives) const
{
    cUserReading user = Reading(profile.Sid, account, profile.Folder);
    user.Runner = runner;
    user.RegistryName = cUserClasses::RegistryNameOf(user.Sid);
    cUserClasses classes = runner ? OpenRunner(KEY_READ) : OpenLoaded(user.Sid, KEY_READ);
    user.Loaded = classes.Source != cUserClasses::eSource::Failed;
    if (classes.Source == cUserClasses::eSource::NoFile)
        NoClasses(user, expected);
    else if (user.Loaded)
        for (const cExpected& one : expected)
        {
            cUserComponent component =
                Judge(ReadLive(classes.Root, ClassKeyPath(one.Component->ClassId, IsWow64())), one, user);
            if (user.Why != eNotRead::None)
                break;
            user.Components.push_back(std::move(component));
        }
    else if (runner || classes.Status != ERROR_FILE_NOT_FOUND)
        // Loaded, but not to be opened by this run.
        NotRead(user, elevated || runner ? eNotRead::KeyUnreadable : eNotRead::NotElevated,
                Because(L"ユーザー別の登録を開けませんでした：", classes.Status));
    else if (profile.Status != ERROR_SUCCESS)
        NotRead(user, eNotRead::NoEntry,
                Because(L"プロファイル一覧の項目を開けませんでした：", profile.Status));
    else
        ReadFile(user, expected, elevated, drives);
    user.Read = user.Why == eNotRead::None;
    if (!user.Read)
        user.Components.clear();
    return user;
}

eNotRead cUserRegistrations::FolderCheck(cUserReading& user, bool elevated, cDriveTypes& drives) const
{
    // Signed out: the classes file in the profile's folder, which the profile list names and the tool accepts
    // only as a local path.
    if (!elevated)
        NotRead(user, eNotRead::NotElevated, L"管理者として実行していないため、読み取れません");
    else if (user.Folder.empty())
        NotRead(user, eNotRead::NoFolder, L"プロファイルのフォルダーが登録されていません");
    else if (!drives.IsLocal(user.Folder))
        NotRead(user, eNotRead::NotLocal,
                L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：" + user.Folder);
    return user.Why;
}

void cUserRegistrations::ReadFile(cUserReading& user, const std::vector<cExpected>& expected, bool elevated,
                                  cDriveTypes& drives) const
{
    if (FolderCheck(user, elevated, drives) != eNotRead::None)
        return;
    // Held only while it is read: the profile service opens it alone when the user signs in.
    cClassesFile file;
    const cFileOpen opened = OpenClassesFile(file, user.Folder);
    if (opened.Outcome == cClassesFile::eOpen::NoFile)
        return NoClasses(user, expected);
    if (opened.Outcome != cClassesFile::eOpen::Opened)
    {
        const eNotRead why = NotReadOf(opened.Outcome);
        NotRead(
            user, why,
            why == eNotRead::Link
                ? L"UsrClass.dat がプロファイルのフォルダーにある通常のファイルではないため、読みませんでした"
                : Because(L"UsrClass.dat を開けませんでした：", opened.Status));
        // Windows keeps the file while it loads the user's hives: a sign-in under way, or a program that
        // mounted the main hive alone.
        if (why == eNotRead::InUse && IsLoaded(user.Sid))
            user.Reason +=
                L"（サインイン中か、ほかのプログラムがこのユーザーのレジストリを読み込んでいます）";
        return;
    }
    cHiveFile hive(file.Reader(), file.Size());
    const auto fault = [&](cHiveFile::eFault what) {
        NotRead(user, NotReadOf(what), cHiveFile::ReasonOf(what));
    };
    if (const cHiveFile::eFault base = hive.Open(); base != cHiveFile::eFault::None)
        return fault(base);
    for (const cExpected& one : expected)
    {
        const cClassKeyRead read = ReadHive(hive, ClassKeyPath(one.Component->ClassId, IsWow64()));
        if (hive.Fault() != cHiveFile::eFault::None)
            return fault(hive.Fault());
        cUserComponent component = Judge(read, one, user);
        if (user.Why != eNotRead::None)
            return;
        user.Components.push_back(std::move(component));
    }
}

cClassKeyRead cUserRegistrations::ReadLive(const cKey& root, const std::wstring& path)
{
    // COM takes the user's class key whenever it exists, as one unit: what it lacks is not taken from the
    // machine's. A link on the way is reported, never followed.
    cClassKeyRead read;
    cKey classKey, treatAs, server;
    read.ClassKey = classKey.OpenNoLink(root.Get(), path, KEY_READ | KEY_WOW64_64KEY);
    if (read.ClassKey == ERROR_SUCCESS)
        read.TreatAs = treatAs.OpenNoLink(classKey.Get(), L"TreatAs", KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    if (read.ClassKey == ERROR_SUCCESS && read.TreatAs == ERROR_FILE_NOT_FOUND)
        read.Server = server.OpenNoLink(classKey.Get(), L"InprocServer32", KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    if (KeyOf(read.ClassKey, read.TreatAs, read.Server) == eUserKey::Server)
        read.Value = server.Read();
    return read;
}

cClassKeyRead cUserRegistrations::ReadHive(cHiveFile& hive, const std::wstring& path)
{
    cClassKeyRead read;
    cHiveFile::cNode classKey, treatAs, server;
    read.ClassKey = hive.OpenKey(nullptr, path, classKey);
    if (read.ClassKey == ERROR_SUCCESS)
        read.TreatAs = hive.OpenKey(&classKey, L"TreatAs", treatAs);
    if (read.ClassKey == ERROR_SUCCESS && read.TreatAs == ERROR_FILE_NOT_FOUND)
        read.Server = hive.OpenKey(&classKey, L"InprocServer32", server);
    if (KeyOf(read.ClassKey, read.TreatAs, read.Server) == eUserKey::Server)
        read.Value = hive.Read(server);
    return read;
}

eNotRead cUserRegistrations::NotReadOf(cClassesFile::eOpen opened)
{
    switch (opened)
    {
    case cClassesFile::eOpen::Redirected:
        return eNotRead::Link;
    case cClassesFile::eOpen::InUse:
        return eNotRead::InUse;
    case cClassesFile::eOpen::AccessDenied:
        return eNotRead::Denied;
    case cClassesFile::eOpen::Opened:
    case cClassesFile::eOpen::NoFile:
        return eNotRead::None;
    case cClassesFile::eOpen::Failed:
        break;
    }
    return eNotRead::Refused;
}

eNotRead cUserRegistrations::NotReadOf(cHiveFile::eFault fault)
{
    switch (fault)
    {
    case cHiveFile::eFault::None:
        return eNotRead::None;
    case cHiveFile::eFault::Unreadable:
        return eNotRead::Refused;
    case cHiveFile::eFault::UnsavedChanges:
        return eNotRead::Unsaved;
    default:
        break;
    }
    return eNotRead::Damaged;
}

cUserComponent cUserRegistrations::Judge(const cClassKeyRead& read, const cExpected& expected,
                                         cUserReading& user) const
{
    cUserComponent component{
        expected.Component, eUserState::None, eUserKey::Missing, cKey::eValue::Missing, {}};
    component.Key = KeyOf(read.ClassKey, read.TreatAs, read.Server);
    if (component.Key == eUserKey::Missing)
        return component;
    const cKey::cValue& value = read.Value;
    if (component.Key == eUserKey::Unreadable || value.Kind == cKey::eValue::Unreadable)
    {
        // Nothing is proven: the user is "not read", never "fine".
        const LONG status = read.ClassKey != ERROR_SUCCESS ? read.ClassKey
                            : read.TreatAs != ERROR_SUCCESS && read.TreatAs != ERROR_FILE_NOT_FOUND
                                ? read.TreatAs
                            : read.Server != ERROR_SUCCESS ? read.Server
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
                                                        const std::wstring& backupPath, bool runner) const
{
    cUserReading again = Reading(user.Sid, user.Account, user.Folder);
    again.Runner = runner;
    again.RegistryName = cUserClasses::RegistryNameOf(user.Sid);
    cUserClasses classes =
        runner ? OpenRunner(KEY_READ | KEY_WRITE) : OpenLoaded(user.Sid, KEY_READ | KEY_WRITE);
    if (classes.Source == cUserClasses::eSource::Failed && !runner)
    {
        cDriveTypes drives; // asked anew at the removal
        if (FolderCheck(again, IsElevated(), drives) != eNotRead::None)
            return {eRemoval::Failed, again.Reason, {}};
        classes = LoadForChange(user.Sid, user.Folder);
    }
    cRemoval result;
    if (classes.Source == cUserClasses::eSource::NoFile)
        result = {eRemoval::NotShadowed, {}, {}};
    else if (classes.Source == cUserClasses::eSource::Failed)
        result = {
            eRemoval::Failed,
            classes.Status == cUserClasses::SigningIn
                ? L"このユーザーがサインイン中か、ほかのプログラムがこのユーザーのレジストリを読み込んで"
                  L"いるため、変更しませんでした"
            : classes.Status == cUserClasses::LinkOnTheWay
                ? L"UsrClass.dat までのパスにリンクがあるため、変更しませんでした"
                : Because(L"ユーザー別の登録を開けませんでした：", classes.Status),
            {}};
    else
        result = RemoveFrom(classes, again, expected, backupPath, runner);
    result.Unload = Done(classes);
    return result;
}

cUserRegistrations::cRemoval cUserRegistrations::RemoveFrom(cUserClasses& classes, cUserReading& again,
                                                            const cExpected& expected,
                                                            const std::wstring& backupPath, bool runner) const
{
    const std::wstring path = ClassKeyPath(expected.Component->ClassId, IsWow64());
    // Judged again at the moment of removal: only a key proven to shadow goes, and the runner's whatever it
    // names.
    const cUserComponent now = Judge(ReadLive(classes.Root, path), expected, again);
    if (again.Why != eNotRead::None)
        return {eRemoval::Failed, again.Reason, {}};
    if (now.Key == eUserKey::Missing || (!runner && now.State != eUserState::Shadows))
        return {eRemoval::NotShadowed, {}, {}};
    // The key opened and checked is the key saved and removed: a link is never followed, nor removed through.
    cKey key;
    LONG status =
        key.OpenNoLink(classes.Root.Get(), path, KEY_READ | KEY_SET_VALUE | DELETE | KEY_WOW64_64KEY);
    cRegFile backup;
    if (status == ERROR_SUCCESS)
        status = backup.AddTree(key, again.RegistryName + L"\\" + path);
    if (status == cKey::IsLink)
        return {eRemoval::Failed, L"リンクになっているキーのため、削除しませんでした", {}};
    const DWORD saved = status == ERROR_SUCCESS ? backup.SaveAs(backupPath) : static_cast<DWORD>(status);
    if (saved != ERROR_SUCCESS)
        return {eRemoval::Failed,
                Because(L"バックアップを保存できないため、削除しませんでした：", static_cast<LONG>(saved)),
                {}};
    status = key.DeleteSelf();
    if (status != ERROR_SUCCESS)
        return {eRemoval::Failed, Because(L"削除できませんでした：", status), {}};
    cKey gone;
    if (gone.OpenNoLink(classes.Root.Get(), path, KEY_QUERY_VALUE | KEY_WOW64_64KEY) != ERROR_FILE_NOT_FOUND)
        return {eRemoval::Failed, L"削除したはずの登録が残っています", {}};
    return {eRemoval::Removed, {}, {}};
}

std::optional<cUnloadFailure> cUserRegistrations::Done(cUserClasses& classes) const
{
    // Named as the tool loaded it: that name, never the user's, is what an administrator unloads.
    const std::wstring name = L"HKEY_USERS\\" + classes.Mount.Name();
    const LONG status = Release(classes);
    if (status == ERROR_SUCCESS)
        return std::nullopt;
    return cUnloadFailure{name, SystemMessage(static_cast<unsigned long>(status)), true};
}

cProfileList::cReading cUserRegistrations::Profiles() const
{
    return cProfileList::Read();
}

cUserClasses cUserRegistrations::OpenRunner(REGSAM access) const
{
    return cUserClasses::OpenRunner(access);
}

cUserClasses cUserRegistrations::OpenLoaded(const std::wstring& sid, REGSAM access) const
{
    return cUserClasses::OpenLoaded(sid, access);
}

cUserRegistrations::cFileOpen cUserRegistrations::OpenClassesFile(cClassesFile& file,
                                                                  const std::wstring& folder) const
{
    const cClassesFile::eOpen opened = file.Open(folder);
    return {opened, file.Status()};
}

cUserClasses cUserRegistrations::LoadForChange(const std::wstring& sid, const std::wstring& folder) const
{
    return cUserClasses::LoadForChange(sid, folder);
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

bool cUserRegistrations::Wow64Of(BOOL called, BOOL wow64)
{
    return called && wow64;
}

bool cUserRegistrations::IsWow64() const
{
    static const bool wow64 = [] {
        BOOL is = FALSE;
        const BOOL called = ::IsWow64Process(::GetCurrentProcess(), &is);
        return Wow64Of(called, is);
    }();
    return wow64;
}

bool cUserRegistrations::IsLoaded(const std::wstring& name) const
{
    return cUserClasses::IsLoaded(name);
}

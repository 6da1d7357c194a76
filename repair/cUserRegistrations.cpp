#include "repair/cUserRegistrations.h"
#include "repair/cCheckReport.h"
#include "repair/cComponentLookup.h"
#include "sys/cAccount.h"
#include "sys/cAppError.h"
#include "sys/cLocalPath.h"
#include "sys/cRegFile.h"
#include <chrono>

namespace
{
// A domain account's name comes from a domain controller; where none answers, each lookup waits for the
// network's time-out. Past this budget the remaining users are shown by their SIDs.
constexpr auto NameBudget = std::chrono::seconds(10);

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
    return (wow64 ? L"Wow6432Node\\CLSID\\" : L"CLSID\\") + classId + L"\\InprocServer32";
}

eUserState cUserRegistrations::StateOf(cKey::eValue kind, const std::wstring& longPath,
                                       const std::wstring& expected)
{
    // An empty value, a value of another type and a path elsewhere all break the user's map alike.
    return kind == cKey::eValue::Text && cCheckReport::SamePath(longPath, expected) ? eUserState::Correct
                                                                                    : eUserState::Shadows;
}

std::vector<cUserReading> cUserRegistrations::Read(const std::vector<cExpected>& expected) const
{
    std::vector<cUserReading> users;
    const auto start = std::chrono::steady_clock::now();
    for (const cProfileList::cProfile& profile : Profiles())
    {
        cUserReading user = Reading(profile.Sid, {}, profile.Folder);
        if (std::chrono::steady_clock::now() - start < NameBudget)
            user.Account = AccountOf(profile.Sid);
        const cUserClasses classes = Open(user, KEY_READ);
        if (classes.Source == cUserClasses::eSource::Loaded ||
            classes.Source == cUserClasses::eSource::FromFile)
            for (const cExpected& one : expected)
            {
                cUserComponent component = ReadOne(classes.Root, one, user);
                if (!user.Reason.empty())
                    break;
                user.Components.push_back(std::move(component));
            }
        else if (classes.Source == cUserClasses::eSource::NoFile)
            for (const cExpected& one : expected)
                user.Components.push_back({one.Component, eUserState::None, cKey::eValue::Missing, {}});
        user.Read = user.Reason.empty();
        if (!user.Read)
            user.Components.clear();
        users.push_back(std::move(user));
    }
    return users;
}

cUserClasses cUserRegistrations::Open(cUserReading& user, REGSAM access) const
{
    cUserClasses classes;
    if (!cAccount::IsSid(user.Sid))
    {
        user.Reason = L"プロファイル一覧の項目名がSIDではありません";
        return classes;
    }
    classes = OpenLoaded(user.Sid, access);
    user.Loaded = classes.Source == cUserClasses::eSource::Loaded;
    if (user.Loaded)
    {
        user.RegistryName = classes.RegistryName;
        return classes;
    }
    // Signed out: the classes file in the profile's folder, which the profile list names and the tool
    // accepts only as a local path.
    user.RegistryName = L"HKEY_USERS\\" + user.Sid + L"_Classes";
    if (user.Folder.empty())
        user.Reason = L"プロファイルのフォルダーが登録されていません";
    else if (!cLocalPath::IsLocal(user.Folder))
        user.Reason = L"プロファイルのフォルダーがこのＰＣのローカルパスではありません：" + user.Folder;
    if (!user.Reason.empty())
        return classes;
    classes = OpenFile(user.Sid, user.Folder, access);
    if (classes.Source == cUserClasses::eSource::Failed)
        user.Reason = classes.Status == cUserClasses::LinkOnTheWay
                          ? L"UsrClass.dat までのパスにリンクがあるため、読みませんでした"
                          : Because(L"UsrClass.dat を開けませんでした：", classes.Status);
    return classes;
}

cUserComponent cUserRegistrations::ReadOne(const cKey& root, const cExpected& expected,
                                           cUserReading& user) const
{
    cUserComponent component{expected.Component, eUserState::None, cKey::eValue::Missing, {}};
    cKey key;
    const LONG opened = key.Open(root.Get(), ClassKeyPath(expected.Component->ClassId, IsWow64()),
                                 KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    if (opened == ERROR_FILE_NOT_FOUND)
        return component;
    const cKey::cValue value = opened == ERROR_SUCCESS ? key.Read() : cKey::cValue{};
    if (opened != ERROR_SUCCESS || value.Kind == cKey::eValue::Unreadable)
    {
        // Nothing is proven: the user is "not read", never "fine".
        user.Reason =
            Because(L"登録を読み取れませんでした：", opened != ERROR_SUCCESS ? opened : value.Status);
        return component;
    }
    component.Kind = value.Kind;
    component.Registered = value.Kind == cKey::eValue::Text ? value.Text : std::wstring();
    component.State =
        StateOf(value.Kind, value.Kind == cKey::eValue::Text ? cComponentLookup::LongForm(value.Text) : L"",
                expected.Path);
    return component;
}

cUserRegistrations::cRemoval cUserRegistrations::Remove(const cUserReading& user, const cExpected& expected,
                                                        const std::wstring& backupPath) const
{
    cUserReading again = Reading(user.Sid, user.Account, user.Folder);
    const cUserClasses classes = Open(again, KEY_READ | KEY_WRITE);
    if (!again.Reason.empty() || !classes.Root.IsOpen())
        return {eRemoval::Failed, again.Reason.empty()
                                      ? Because(L"ユーザー別の登録を開けませんでした：", classes.Status)
                                      : again.Reason};
    // Judged again at the moment of removal: only a key proven to shadow goes.
    const cUserComponent now = ReadOne(classes.Root, expected, again);
    if (!again.Reason.empty())
        return {eRemoval::Failed, again.Reason};
    if (now.State != eUserState::Shadows)
        return {eRemoval::NotShadowed, {}};
    const std::wstring path = ClassKeyPath(expected.Component->ClassId, IsWow64());
    const std::wstring parentPath = path.substr(0, path.rfind(L'\\'));
    cKey parent, key;
    LONG status = parent.Open(classes.Root.Get(), parentPath, KEY_READ | KEY_WRITE | KEY_WOW64_64KEY);
    if (status == ERROR_SUCCESS)
        status = key.Open(parent.Get(), L"InprocServer32", KEY_READ | KEY_WOW64_64KEY);
    cRegFile backup;
    if (status == ERROR_SUCCESS)
        status = backup.AddTree(key, again.RegistryName + L"\\" + path);
    const DWORD saved = status == ERROR_SUCCESS ? backup.SaveAs(backupPath) : static_cast<DWORD>(status);
    if (saved != ERROR_SUCCESS)
        return {eRemoval::Failed,
                Because(L"バックアップを保存できないため、削除しませんでした：", static_cast<LONG>(saved))};
    key = cKey();
    status = parent.DeleteTree(L"InprocServer32", KEY_WOW64_64KEY);
    if (status != ERROR_SUCCESS)
        return {eRemoval::Failed, Because(L"削除できませんでした：", status)};
    cKey gone;
    if (gone.Open(parent.Get(), L"InprocServer32", KEY_QUERY_VALUE | KEY_WOW64_64KEY) != ERROR_FILE_NOT_FOUND)
        return {eRemoval::Failed, L"削除したはずの登録が残っています"};
    return {eRemoval::Removed, {}};
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

std::wstring cUserRegistrations::AccountOf(const std::wstring& sid) const
{
    return cAccount::NameOf(sid);
}

bool cUserRegistrations::IsWow64() const
{
    static const bool wow64 = [] {
        BOOL is = FALSE;
        return ::IsWow64Process(::GetCurrentProcess(), &is) && is;
    }();
    return wow64;
}

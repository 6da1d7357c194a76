#include "repair/cCheckReport.h"
#include "repair/cComponent.h"
#include "repair/cComponentLookup.h"
#include <algorithm>

ePathState cCheckReport::StateOf(const std::wstring& registeredPath, const std::wstring& expectedPath,
                                 const std::function<bool()>& expectedExists)
{
    if (cComponentLookup::SamePath(registeredPath, expectedPath))
        return ePathState::Correct;
    return expectedExists() ? ePathState::Repairable : ePathState::Missing;
}

cCheckReport::Verdict cCheckReport::VerdictOf(ePathState control, ePathState lookup, bool everyUserRead)
{
    // Unverified has lines of its own: a reader of the first line alone must never take it for "set up".
    if (control == ePathState::Correct && lookup == ePathState::Correct && !everyUserRead)
        return {eVerdict::Unverified,
                L"・このＰＣが設定済みかどうかは確認できていません（未確認）。\r\n"
                L"　確認できた登録はすべて正しく設定されていますが、上に挙げたユーザーまたはファイルを確認で"
                L"きませんでした。\r\n"
                L"　その原因を取り除いてから、もう一度確認してください。",
                false};
    if (control == ePathState::Correct && lookup == ePathState::Correct)
        return {eVerdict::SetUp, L"・このＰＣは既に設定済みです。\r\n　再設定の必要はありません", false};
    // One repairable component is enough: re-registering it helps even when the other file is missing.
    if (control == ePathState::Repairable || lookup == ePathState::Repairable)
        return {eVerdict::RepairNeeded,
                L"・このＰＣは再設定する必要があります。\r\n　「再設定」ボタンをクリックしてください。",
                true};
    return {eVerdict::CannotRepair, L"・このＰＣでは再設定の必要はありません。", false};
}

bool cCheckReport::EveryUserSeen(const cUserScan& users)
{
    return users.Unlisted == 0 && std::all_of(users.Users.begin(), users.Users.end(),
                                              [](const cUserReading& user) { return user.Read; });
}

ePathState cCheckReport::EffectiveState(ePathState state, bool shadowed)
{
    return state == ePathState::Correct && shadowed ? ePathState::Repairable : state;
}

ePathState cCheckReport::LoadableState(ePathState state, cImageCheck::eImage image)
{
    using I = cImageCheck::eImage;
    switch (image)
    {
    case I::NotAnImage:
    case I::Truncated:
    case I::Damaged:
    case I::NotADll:
    case I::WrongMachine:
    case I::SideBySide:
        return ePathState::Unloadable;
    case I::MissingDependency:
        return state == ePathState::Repairable ? ePathState::Unloadable : state;
    case I::Loadable:
    case I::Unreadable:
    case I::NotJudged:
    case I::DependencyNotJudged:
        break;
    }
    // What could not be judged leaves the file as registrable as its registration says.
    return state;
}

cCheckReport::UserLines cCheckReport::LinesOf(const std::vector<cUserReading>& users,
                                              const std::vector<cUnloadFailure>& unloads, size_t unlisted)
{
    UserLines lines;
    for (const cUserReading& user : users)
    {
        if (!user.Read)
        {
            lines.NotRead.push_back(NotReadLine(user.Shown(), user.Reason));
            lines.Advice.push_back(L"　" + Shown(user.Shown()) + L"：" + AdviceOf(user.Why));
        }
        for (const cUserComponent& component : user.Components)
            if (component.State == eUserState::Shadows)
                (component.Component == &MapControl ? lines.Control : lines.Lookup)
                    .push_back(ShadowLine(user.Shown(), component));
    }
    if (unlisted)
    {
        lines.NotRead.push_back(UnlistedLine(unlisted));
        lines.Advice.push_back(
            L"　プロファイル一覧：使われていないプロファイルを削除してから、もう一度確認してください");
    }
    if (!lines.Advice.empty())
        lines.Advice.insert(
            lines.Advice.begin(),
            L"・上記のユーザーのユーザー別の登録は確認できなかったため、判定に含まれていません。");
    for (const cUnloadFailure& failure : unloads)
        lines.Unloads.push_back(UnloadLine(failure));
    return lines;
}

std::wstring cCheckReport::UnlistedLine(size_t unlisted)
{
    return L"・プロファイル一覧の項目が多すぎるため、" + std::to_wstring(unlisted) +
           L" 件のユーザー別の登録を確認できませんでした";
}

std::wstring cCheckReport::Found(const cUserComponent& component)
{
    if (component.Key == eUserKey::NoServer)
        return L"（InprocServer32 のないキー）";
    if (component.Key == eUserKey::TreatAs)
        return L"（TreatAs のあるキー）";
    if (component.Key == eUserKey::Link)
        return L"（リンクになっているキー）";
    return component.Kind == cKey::eValue::OtherType ? L"（文字列ではない値）"
           : component.Kind == cKey::eValue::TooLong ? L"（長すぎる値）"
           : component.Registered.empty()            ? L"（空の値）"
                                                     : Shown(component.Registered);
}

std::wstring cCheckReport::ShadowLine(const std::wstring& who, const cUserComponent& component)
{
    return L"　ユーザー別の登録が優先されています（" + Shown(who) + L"）→ " + Found(component);
}

std::wstring cCheckReport::NotReadLine(const std::wstring& who, const std::wstring& reason)
{
    return L"・" + Shown(who) + L" のユーザー別の登録を確認できませんでした（" + Shown(reason) + L"）";
}

const wchar_t* cCheckReport::AdviceOf(eNotRead why)
{
    switch (why)
    {
    case eNotRead::NotElevated:
        return L"管理者としてもう一度実行してください";
    case eNotRead::NoFolder:
        return L"プロファイル一覧の項目に不備があります。使われていないプロファイルなら削除してください";
    case eNotRead::Link:
        return L"プロファイルのフォルダーにあるリンクを確かめてください";
    case eNotRead::InUse:
        return L"ＰＣを再起動してから、もう一度確認してください";
    case eNotRead::NoEntry:
    case eNotRead::Denied:
        return L"プロファイル一覧の項目と UsrClass.dat のアクセス許可を確認してください";
    case eNotRead::Unsaved:
        return L"このユーザーに一度サインインしてもらい（保存されていない変更を Windows が書き込みます）、"
               L"サインアウトしたあとでもう一度確認してください";
    case eNotRead::KeyUnreadable:
        return L"このユーザーのキーのアクセス許可を確かめてください";
    case eNotRead::None:
    case eNotRead::NotLocal:
    case eNotRead::Refused:
    case eNotRead::Damaged:
        break;
    }
    // Signed in, a user's classes are read where Windows loads them.
    return L"このユーザーにサインインしてもらい、サインインしている間にもう一度確認してください";
}

std::wstring cCheckReport::UnloadLine(const cUnloadFailure& failure)
{
    return failure.ThisRun
               ? L"・" + failure.Name + L" の読み込みを解除できませんでした（" + Shown(failure.Reason) +
                     L"）。ＰＣを再起動してください"
               : L"・以前の実行で読み込まれた " + failure.Name + L" を解除できませんでした（" +
                     Shown(failure.Reason) + L"）。管理者としてもう一度実行するか、ＰＣを再起動してください";
}

std::wstring cCheckReport::Shown(const std::wstring& text)
{
    constexpr size_t Longest = 260;
    std::wstring shown = text.substr(0, Longest);
    for (wchar_t& c : shown)
        if (c < 0x20 || c == 0x7F)
            c = L'?';
    return text.size() > Longest ? shown + L"…" : shown;
}

std::wstring cCheckReport::Report(const std::wstring& controlPath, const std::wstring& lookupPath,
                                  const Verdict& verdict, const UserLines& users)
{
    const auto below = [](const std::vector<std::wstring>& lines) {
        std::wstring text;
        for (const std::wstring& line : lines)
            text += L"\r\n" + line;
        return text;
    };
    return std::wstring(74, L'-') + L"\r\n<< チェックレポート >>\r\n・" + MapControl.Name + L" → " +
           controlPath + below(users.Control) + L"\r\n・" + LookupLibrary.Name + L" → " + lookupPath +
           below(users.Lookup) + below(users.NotRead) + below(users.Unloads) +
           L"\r\n\r\n<< チェック判定 >>\r\n" + verdict.Lines + below(users.Advice);
}

#include "repair/cCheckReport.h"
#include "repair/cComponent.h"
#include "sys/TextCompare.h"

bool cCheckReport::SamePath(const std::wstring& registeredPath, const std::wstring& expectedPath)
{
    return !registeredPath.empty() && textcmp::Equal(registeredPath, expectedPath);
}

ePathState cCheckReport::StateOf(const std::wstring& registeredPath, const std::wstring& expectedPath,
                                 const std::function<bool()>& expectedExists)
{
    if (SamePath(registeredPath, expectedPath))
        return ePathState::Correct;
    return expectedExists() ? ePathState::Repairable : ePathState::Missing;
}

cCheckReport::Verdict cCheckReport::VerdictOf(ePathState control, ePathState lookup)
{
    if (control == ePathState::Correct && lookup == ePathState::Correct)
        return {eVerdict::SetUp, L"・このＰＣは既に設定済みです。\r\n　再設定の必要はありません", false};
    // One repairable component is enough: re-registering it helps even when the other file is missing.
    if (control == ePathState::Repairable || lookup == ePathState::Repairable)
        return {eVerdict::RepairNeeded,
                L"・このＰＣは再設定する必要があります。\r\n　「再設定」ボタンをクリックしてください。",
                true};
    return {eVerdict::CannotRepair, L"・このＰＣでは再設定の必要はありません。", false};
}

ePathState cCheckReport::EffectiveState(ePathState state, bool shadowed)
{
    return state == ePathState::Correct && shadowed ? ePathState::Repairable : state;
}

cCheckReport::UserLines cCheckReport::LinesOf(const std::vector<cUserReading>& users)
{
    UserLines lines;
    for (const cUserReading& user : users)
    {
        if (!user.Read)
            lines.NotRead.push_back(NotReadLine(user.Shown(), user.Reason));
        for (const cUserComponent& component : user.Components)
            if (component.State == eUserState::Shadows)
                (component.Component == &MapControl ? lines.Control : lines.Lookup)
                    .push_back(ShadowLine(user.Shown(), component.Kind, component.Registered));
    }
    return lines;
}

std::wstring cCheckReport::Found(cKey::eValue kind, const std::wstring& text)
{
    return kind == cKey::eValue::OtherType ? L"（文字列ではない値）"
           : kind == cKey::eValue::TooLong ? L"（長すぎる値）"
           : text.empty()                  ? L"（空の値）"
                                           : Shown(text);
}

std::wstring cCheckReport::ShadowLine(const std::wstring& who, cKey::eValue kind, const std::wstring& text)
{
    return L"　ユーザー別の登録が優先されています（" + Shown(who) + L"）→ " + Found(kind, text);
}

std::wstring cCheckReport::NotReadLine(const std::wstring& who, const std::wstring& reason)
{
    return L"・" + Shown(who) + L" のユーザー別の登録を確認できませんでした（" + Shown(reason) + L"）";
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
           below(users.Lookup) + below(users.NotRead) + L"\r\n\r\n<< チェック判定 >>\r\n" + verdict.Lines;
}

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

std::wstring cCheckReport::Report(const std::wstring& controlPath, const std::wstring& lookupPath,
                                  const Verdict& verdict)
{
    return std::wstring(74, L'-') + L"\r\n<< チェックレポート >>\r\n・" + MapControl.Name + L" → " +
           controlPath + L"\r\n・" + LookupLibrary.Name + L" → " + lookupPath +
           L"\r\n\r\n<< チェック判定 >>\r\n" + verdict.Lines;
}

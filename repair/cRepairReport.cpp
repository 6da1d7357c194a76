#include "repair/cRepairReport.h"

namespace
{
const wchar_t* const ChangeSucceeded = L"レジストリ参照位置変更に成功しました。";
const wchar_t* const ChangeFailed = L"レジストリ参照位置変更に失敗しました。";
} // namespace

eRegistrationChoice cRepairReport::Choose(ePathState state, bool expectedPresent, bool forced,
                                          cImageCheck::eImage image)
{
    if (image == cImageCheck::eImage::MissingDependency)
        return expectedPresent && forced ? eRegistrationChoice::Register : eRegistrationChoice::Skip;
    if (cCheckReport::LoadableState(ePathState::Correct, image) == ePathState::Unloadable)
        return eRegistrationChoice::Skip;
    return state == ePathState::Repairable || (expectedPresent && forced) ? eRegistrationChoice::Register
                                                                          : eRegistrationChoice::Skip;
}

cRepairReport::cRepairReport(const std::wstring& reportBoxText)
    : m_text(reportBoxText + L"\r\n\r\n<< レジストリ変更中 >>")
{
}

void cRepairReport::Add(const cComponent& component, const cRegistrationOutcome& outcome)
{
    m_registrations.push_back({&component, outcome, {}, {}});
    m_text += L"\r\n・" + std::wstring(component.Name) + L" → ";
    if (outcome.Result == cRegistrationOutcome::eResult::Succeeded)
    {
        m_text += ChangeSucceeded;
        return;
    }
    m_text += ChangeFailed + (L"\r\n" + outcome.Reason);
    m_anyFailed = true;
}

void cRepairReport::AddRemoval(const cComponent& component, const cUserReading& user,
                               const cUserRegistrations::cRemoval& removal, const std::wstring& backup)
{
    const bool removed = removal.Outcome == cUserRegistrations::eRemoval::Removed;
    m_registrations.push_back(
        {&component,
         removed ? cRegistrationOutcome::Success() : cRegistrationOutcome::Failure(removal.Reason), user.Sid,
         removed ? backup : std::wstring()});
    m_text += L"\r\n・" + std::wstring(component.Name) + L" → ";
    const std::wstring who = L"（" + cCheckReport::Shown(user.Shown()) + L"）";
    if (removed && user.Runner)
    {
        m_text += L"regsvr32 の書き込み先にならないよう、実行中のユーザー" + who +
                  L"のユーザー別の登録を削除しました（バックアップ：" + backup + L"）";
        return;
    }
    if (removed)
    {
        m_text += L"ユーザー別の登録を削除しました" + who + L"\r\n　バックアップ：" + backup;
        return;
    }
    m_text += L"ユーザー別の登録を削除できませんでした" + who + L"\r\n" + removal.Reason;
    m_anyFailed = true;
}

void cRepairReport::AddLine(const std::wstring& line)
{
    m_text += L"\r\n" + line;
    m_anyFailed = true;
}

const wchar_t* cRepairReport::BoxText() const noexcept
{
    return m_anyFailed ? ChangeFailed : ChangeSucceeded;
}

UINT cRepairReport::BoxIcon() const noexcept
{
    return m_anyFailed ? MB_ICONERROR : MB_ICONINFORMATION;
}

#pragma once
#include "repair/cCheckReport.h"
#include "repair/cRegsvr32.h"
#include "repair/cComponent.h"
#include "repair/cUserRegistrations.h"
#include <windows.h>
#include <string>
#include <vector>

enum class eRegistrationChoice
{
    Skip,
    Register,
};

// The re-registration's decisions and texts, without a window: which components to register, the
// section it adds to the report box, and the closing message box.
class cRepairReport
{
public:
    // Why regsvr32 was not run for a component: the runner's own key, which would take its writes, stays.
    static constexpr const wchar_t* RunnerKeyStays =
        L"実行中のユーザーのユーザー別の登録を削除できないため、regsvr32 を実行しませんでした";

    // A component is registered when its registration can be repaired, or when the force box is ticked
    // and its file is there: regsvr32 is never asked to register a missing file, nor one the loader refuses,
    // and one lacking a DLL only when forced; one not judged is registered as its registration says.
    static eRegistrationChoice Choose(ePathState state, bool expectedPresent, bool forced,
                                      cImageCheck::eImage image = cImageCheck::eImage::Loadable);

    // Starts the section below the report box's current text.
    explicit cRepairReport(const std::wstring& reportBoxText);
    void Add(const cComponent& component, const cRegistrationOutcome& outcome);
    // The removal of a user's shadowing registration of `component`, saved first into `backup`; the runner's,
    // whatever it named, in one line.
    void AddRemoval(const cComponent& component, const cUserReading& user,
                    const cUserRegistrations::cRemoval& removal, const std::wstring& backup);

    // A line of its own below the registrations (a classes file left loaded).
    void AddLine(const std::wstring& line);

    struct Registration
    {
        const cComponent* Component;
        cRegistrationOutcome Outcome;
        std::wstring Sid;    // a removal's user; empty for a regsvr32 run
        std::wstring Backup; // where a removal saved what it removed
    };
    const std::vector<Registration>& Registrations() const noexcept { return m_registrations; }
    const std::wstring& Text() const noexcept { return m_text; }
    const wchar_t* BoxText() const noexcept;
    UINT BoxIcon() const noexcept;

private:
    std::wstring m_text;
    std::vector<Registration> m_registrations;
    bool m_anyFailed = false;
};

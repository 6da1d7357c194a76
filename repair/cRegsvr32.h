#pragma once
#include "repair/cModalWait.h"
#include "sys/cShellExecuteEx.h"
#include <windows.h>
#include <optional>
#include <string>

// What one re-registration came to.
struct cRegistrationOutcome
{
    enum class eResult
    {
        Succeeded,
        Failed,
    };
    eResult Result;
    std::wstring Reason; // why it failed, in Japanese; empty on success

    static cRegistrationOutcome Success() { return {eResult::Succeeded, {}}; }
    static cRegistrationOutcome Failure(std::wstring reason) { return {eResult::Failed, std::move(reason)}; }
};

// Re-registers a component's file with the system's regsvr32 and judges by what COM finds afterwards.
class cRegsvr32
{
public:
    static constexpr DWORD DefaultTimeoutMs = 30000;

    // `owner` takes no input but keeps painting while a registration is waited for.
    explicit cRegsvr32(HWND owner, DWORD timeoutMs = DefaultTimeoutMs)
        : m_owner(owner), m_timeoutMs(timeoutMs)
    {
    }
    virtual ~cRegsvr32() = default;
    cRegsvr32(const cRegsvr32&) = delete;
    cRegsvr32& operator=(const cRegsvr32&) = delete;

    // Runs regsvr32 silently on `expectedPath` and waits for it. Succeeds only when it ended with 0 and
    // COM now finds `classId` at `expectedPath`.
    cRegistrationOutcome Register(const std::wstring& expectedPath, const std::wstring& classId);

    // The system folder's regsvr32.exe; empty without a system folder, never a bare name.
    static std::wstring ProgramPath(const std::wstring& systemFolder);
    // " /s " and the 8.3 form, or the path in double quotes when it has no blank-free short form.
    static std::wstring Parameter(const std::wstring& expectedPath);

protected:
    // The steps that meet the operating system, each on its own so that its failure can be brought about.
    virtual std::wstring SystemFolder() const;
    // Nothing when the shell refused the launch (its reason is the launcher's message); otherwise the
    // started process, which the shell may leave without a handle (null).
    virtual std::optional<HANDLE> Start(const std::wstring& program, const std::wstring& parameter);
    virtual cModalWait::eWait Wait(HANDLE process);
    virtual std::optional<DWORD> ExitCode(HANDLE process) const;
    // Where COM finds the class after regsvr32 ended: the registry's text, as the check reads it.
    virtual std::wstring RegisteredText(const std::wstring& classId) const;

    cShellExecuteEx m_launcher;

private:
    HWND m_owner;
    DWORD m_timeoutMs;
};

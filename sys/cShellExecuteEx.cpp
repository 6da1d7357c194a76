#include "sys/cShellExecuteEx.h"
#include "sys/StrConv.h"
#include <shellapi.h>

// The launch record is the 32-bit ANSI layout the shell publishes.
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOA) == 60);

namespace
{
struct ShellResult
{
    bool launched;
    INT_PTR code;
    DWORD lastError;
    cHandle process;
};

ShellResult CallShell(const cShellExecuteEx::Launch& launch, ULONG mask, const std::string& verb,
                      const std::string& file, const std::string& parameters, const std::string& folder)
{
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.hwnd = launch.hwnd;
    info.lpVerb = verb.c_str();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = static_cast<int>(launch.show);
    const bool launched = ::ShellExecuteExA(&info) != FALSE;
    const DWORD lastError = launched ? ERROR_SUCCESS : ::GetLastError();
    return {launched, reinterpret_cast<INT_PTR>(info.hInstApp), lastError, cHandle(info.hProcess)};
}
} // namespace

std::wstring cShellExecuteEx::OperationString() const
{
    return VerbFromOperation(m_operation);
}

const std::wstring& cShellExecuteEx::ErrorMessage() const
{
    return m_errorMessage;
}

HANDLE cShellExecuteEx::ProcessHandle() const noexcept
{
    return m_process.Get();
}

cShellExecuteEx::Launch cShellExecuteEx::EffectiveLaunch(HWND vhWnd, long vOperation,
                                                         const std::wstring& vPathFolder,
                                                         const std::wstring& vParameter, long vShowCommand,
                                                         long vMaskCommand) const
{
    Launch launch{};
    launch.hwnd = vhWnd == nullptr ? m_hWnd : vhWnd;
    launch.operation = vOperation == 2 ? m_operation : vOperation;
    launch.verb = VerbFromOperation(launch.operation);
    launch.file = vPathFolder.empty() ? m_pathFolder : vPathFolder;
    launch.parameters = vParameter.empty() ? m_parameter : vParameter;
    launch.show = vShowCommand == 1 ? m_showCommand : vShowCommand;
    launch.mask = vMaskCommand == 1100 ? m_maskCommand : vMaskCommand;
    launch.folder = m_workingFolder;
    return launch;
}

bool cShellExecuteEx::Execute(HWND vhWnd, long vOperation, std::wstring vPathFolder, std::wstring vParameter,
                              long vShowCommand, long vMaskCommand)
{
    // The handle of an earlier launch goes first, so that a failed launch cannot leave it behind.
    m_process.Reset();

    const Launch launch =
        EffectiveLaunch(vhWnd, vOperation, vPathFolder, vParameter, vShowCommand, vMaskCommand);
    const std::string verb = strconv::ToAnsi(launch.verb);
    const std::string file = strconv::ToAnsi(launch.file);
    const std::string parameters = strconv::ToAnsi(launch.parameters);
    const std::string folder = strconv::ToAnsi(launch.folder);

    const auto mask = static_cast<ULONG>(launch.mask);
    ShellResult result = CallShell(launch, mask, verb, file, parameters, folder);
    if (!result.launched && RetriesWithoutIdList(mask, result.code, result.lastError))
        result = CallShell(launch, mask & ~static_cast<ULONG>(SEE_MASK_INVOKEIDLIST), verb, file, parameters,
                           folder);

    if (!result.launched)
    {
        m_errorMessage = MessageFromCode(result.code);
        return true;
    }
    m_errorMessage.clear();
    m_process = std::move(result.process);
    return false;
}

bool cShellExecuteEx::RetriesWithoutIdList(ULONG mask, INT_PTR code, DWORD lastError)
{
    // Wine carries out SEE_MASK_INVOKEIDLIST with a null lpIDList on an empty file name and refuses it
    // (hInstApp 11, ERROR_INVALID_PARAMETER) where Windows builds the id list from lpFile; the same record
    // without the flag starts the program. Any other refusal, a missing program among them, stands.
    // Both of the flag's bits go: SEE_MASK_IDLIST alone would name the null id list too.
    return (mask & SEE_MASK_INVOKEIDLIST) == SEE_MASK_INVOKEIDLIST && code == ERROR_BAD_FORMAT &&
           lastError == ERROR_INVALID_PARAMETER;
}

std::wstring cShellExecuteEx::MessageFromCode(INT_PTR code)
{
    switch (code)
    {
    case SE_ERR_FNF:
        return L"ファイルが見つかりません";
    case SE_ERR_PNF:
        return L"パスが見つかりません";
    case SE_ERR_ACCESSDENIED:
        return L"アクセスは拒否されました";
    case SE_ERR_OOM:
        return L"メモリが不足しています";
    case SE_ERR_ASSOCINCOMPLETE:
        return L"関連付けが不完全です";
    case SE_ERR_DDETIMEOUT:
        return L"DDEがTime Outです";
    case SE_ERR_DDEFAIL:
        return L"DDEが失敗しました";
    case SE_ERR_DDEBUSY:
        return L"DDEがビジーです";
    case SE_ERR_NOASSOC:
        return L"関連付けが指定されていません";
    case SE_ERR_DLLNOTFOUND:
        return L"DDLが見つかりません";
    default:
        return L"ファイルが開けません";
    }
}

std::wstring cShellExecuteEx::VerbFromOperation(long operation)
{
    switch (operation)
    {
    case 0:
        return L"edit";
    case 1:
        return L"explore";
    case 3:
        return L"print";
    case 4:
        return L"properties";
    default:
        return L"open";
    }
}

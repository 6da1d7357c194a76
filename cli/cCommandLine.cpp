#include "cli/cCommandLine.h"
#include <algorithm>

namespace
{
using eCommand = cCliRequest::eCommand;

bool IsHelp(const std::wstring& arg)
{
    return arg == L"-h" || arg == L"--help" || arg == L"/?";
}

// U+FF01..U+FF5E mirror ASCII's '!'..'~' and U+3000 is the ideographic space: what an input method left
// in Japanese mode types, and what looks like a right command or option but is not one.
bool HasFullWidth(const std::wstring& arg)
{
    return std::any_of(arg.begin(), arg.end(),
                       [](wchar_t c) { return (c >= 0xFF01 && c <= 0xFF5E) || c == 0x3000; });
}

// The argument as a message names it: a control character in it would break the message's one line.
std::wstring Named(const std::wstring& arg)
{
    std::wstring text = L"「";
    for (const wchar_t c : arg)
        text += c < 0x20 || c == 0x7F ? L'?' : c;
    return text + L"」";
}

cUsageError Error(std::wstring message)
{
    return {std::move(message), std::nullopt, false};
}

// A --log value that cannot be the file meant: the reason, or nothing.
std::optional<std::wstring> LogValueMistake(const std::wstring& path)
{
    if (path.empty())
        return L"--log のあとにログファイルのパスを指定してください。";
    // "C:\dir\" --json: the backslash before the closing quote escapes it, and the C runtime hands over one
    // argument, C:\dir" --json, swallowing what follows.
    if (path.find(L'"') != std::wstring::npos)
        return L"--log の値に \" が含まれています：" + Named(path) +
               L"。パスが \\ で終わると、閉じる \" が文字として読まれ、後ろの引数と一続きになります。"
               L"ファイル名まで指定してください（例：--log "
               L"\"C:\\ProgramData\\plotwing2fix\\plwg2reg200.log\"）。";
    // An empty variable before it leaves the next option as the value.
    if (path.starts_with(L"--"))
        return L"--log の値" + Named(path) + L"はオプションです。ログファイルのパスを指定してください。";
    if (path.back() == L'\\' || path.back() == L'/')
        return L"--log にはフォルダーではなくファイルのパスを指定してください：" + Named(path);
    return std::nullopt;
}
} // namespace

std::variant<cCliRequest, cUsageError> cCommandLine::Parse(const std::vector<std::wstring>& args)
{
    auto parsed = ParseArgs(args);
    if (auto* error = std::get_if<cUsageError>(&parsed))
    {
        error->Json = std::find(args.begin(), args.end(), L"--json") != args.end();
        if (!args.empty() && (args[0] == L"check" || args[0] == L"repair"))
            error->Command = args[0] == L"check" ? eCommand::Check : eCommand::Repair;
    }
    return parsed;
}

std::variant<cCliRequest, cUsageError> cCommandLine::ParseArgs(const std::vector<std::wstring>& args)
{
    if (args.empty())
        return cUsageError{};
    // Help wins over any mistake beside it, but the value of --log is a file name, whatever it reads.
    for (size_t i = 0; i < args.size(); ++i)
    {
        if (args[i] == L"--log")
            ++i;
        else if (IsHelp(args[i]))
            return cCliRequest{eCommand::Help, false, false, std::nullopt};
    }
    cCliRequest request;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::wstring& arg = args[i];
        if (arg.empty())
            return Error(std::to_wstring(i + 1) + L" 番目の引数が空です。");
        // Japanese folder names may hold full-width characters: the value of --log is spared.
        const bool logWithValue = i > 0 && arg.starts_with(L"--log=");
        if (!logWithValue && HasFullWidth(arg))
            return Error(Named(arg) + L"に全角文字が含まれています。半角で入力してください。");
        if (i == 0)
        {
            if (arg == L"check")
                request.Command = eCommand::Check;
            else if (arg == L"repair")
                request.Command = eCommand::Repair;
            else
                return Error(Named(arg) +
                             L"というコマンドはありません。check か repair を指定してください。");
        }
        else if (arg == L"--json")
            request.Json = true;
        else if (arg == L"--force")
        {
            if (request.Command != eCommand::Repair)
                return Error(L"--force は repair でのみ指定できます（check では使えません）。");
            request.Force = true;
        }
        else if (arg == L"--log" || logWithValue)
        {
            std::wstring path = logWithValue ? arg.substr(6) : i + 1 < args.size() ? args[++i] : L"";
            if (const std::optional<std::wstring> mistake = LogValueMistake(path))
                return Error(*mistake);
            if (request.LogPath)
                return Error(L"--log は 1 回だけ指定できます。");
            request.LogPath = std::move(path);
        }
        else
            return Error(Named(arg) + L"というオプションはありません。");
    }
    return request;
}

const wchar_t* cCommandLine::Usage()
{
    return L"使い方: plotwing2fix-cli.exe <コマンド> [オプション]\r\n"
           L"コマンド:\r\n"
           L"  check               設定を確認します（何も変更しません）\r\n"
           L"  repair [--force]    確認し、必要なコンポーネントを regsvr32 で再登録して、"
           L"もう一度確認します\r\n"
           L"                      --force: 設定済みのコンポーネントも再登録します（「強制設定」と同じ）\r\n"
           L"オプション:\r\n"
           L"  --log パス          ログをデスクトップではなく指定したファイルに書きます"
           L"（ないフォルダーは作ります）\r\n"
           L"  --json              結果を 1 行の JSON（ASCII 文字だけ）で出力します\r\n"
           L"  -h, --help, /?      この使い方を表示します\r\n"
           L"終了コード:\r\n"
           L"  0     設定済みです（repair: 実行した再登録はすべて成功しました）\r\n"
           L"  1     再設定が必要です（check）、または再登録が失敗したか反映されませんでした（repair）\r\n"
           L"  2     コンポーネントのファイルがないか読み込めないため、このＰＣでは修復できません"
           L"（地図製品を再インストールしてください）\r\n"
           L"  3     カルトリアＷ３がインストールされていません\r\n"
           L"  4     チェックか再設定そのものが失敗しました（理由は標準エラー出力とログにあります）\r\n"
           L"  6     確認できたところは設定済みですが、確認できなかったユーザーかファイルがあります\r\n"
           L"  87    コマンドラインが正しくありません\r\n"
           L"  740   repair には管理者権限が必要です\r\n"
           L"  1618  別の再設定が実行中です（しばらくしてから実行し直してください）";
}

#include "cli/cCommandLine.h"
#include "repair/cJsonWriter.h"
#include "tests/support/TestPc.h"

namespace
{
std::wstring Render(const std::variant<cCliRequest, cUsageError>& result)
{
    if (const auto* error = std::get_if<cUsageError>(&result))
        return L"error:" + error->Message;
    const auto& r = std::get<cCliRequest>(result);
    const wchar_t* const names[] = {L"check", L"repair", L"help"};
    return names[static_cast<int>(r.Command)] + std::wstring(r.Force ? L" force" : L"") +
           (r.Json ? L" json" : L"") + (r.LogPath ? L" log=" + *r.LogPath : L"");
}
const std::wstring NoPath = L"error:--log のあとにログファイルのパスを指定してください。";
const std::wstring FullWidth = L"に全角文字が含まれています。半角で入力してください。";
const std::wstring FolderValue = L"error:--log にはフォルダーではなくファイルのパスを指定してください：";
const std::wstring Quote = L"--log の値に \" が含まれています：「C:\\dir\" --json」。パスが \\ "
                           L"で終わると、閉じる \" が文字として読まれ、"
                           L"後ろの引数と一続きになります。ファイル名まで指定してください（例：--log "
                           L"\"C:\\ProgramData\\plotwing2fix\\plwg2reg200.log\"）。";
} // namespace

TEST(cCommandLineTest, ParseTakesOneCommandThenOptionsInAnyOrderAndNamesTheFirstMistakeAndUsageListsAllCodes)
{
    // clang-format off
    const std::pair<std::vector<std::wstring>, std::wstring> rows[] = {
        {{}, L"error:"}, {{L"repair", L"--log", L"C:\\x", L"--json", L"--force"}, L"repair force json log=C:\\x"},
        {{L"check", L"--log=C:\\ＰＣ\\a　b.log"}, L"check log=C:\\ＰＣ\\a　b.log"},
        {{L"check", L"--log", L"-h"}, L"check log=-h"}, {{L"-h"}, L"help"}, {{L"bogus", L"--help"}, L"help"},
        {{L"ｃｈｅｃｋ", L"--log", L"x", L"/?"}, L"help"}, {{L"check", L"--log", L"--log", L"-h"}, L"help"},
        {{L"Check"}, L"error:「Check」というコマンドはありません。check か repair を指定してください。"},
        {{L"check", L"--jsn"}, L"error:「--jsn」というオプションはありません。"},
        {{L"check", L"a\r\nb"}, L"error:「a??b」というオプションはありません。"},
        {{L"check", L"--force"}, L"error:--force は repair でのみ指定できます（check では使えません）。"},
        {{L"repair", L"--log"}, NoPath}, {{L"repair", L"--log="}, NoPath},
        {{L"check", L"--log", L"a", L"--log=a"}, L"error:--log は 1 回だけ指定できます。"},
        {{L"check", L"--json", L""}, L"error:3 番目の引数が空です。"}, {{L"ｃｈｅｃｋ"}, L"error:「ｃｈｅｃｋ」" + FullWidth},
        {{L"repair", L"－－force"}, L"error:「－－force」" + FullWidth}, {{L"check", L"！"}, L"error:「！」" + FullWidth},
        {{L"check", L"～"}, L"error:「～」" + FullWidth}, {{L"check", L"--log", L"C:\\dir\" --json"}, L"error:" + Quote},
        {{L"repair", L"--log", L"--json"}, L"error:--log の値「--json」はオプションです。ログファイルのパスを指定してください。"},
        {{L"check", L"--log", L"C:\\dir\\"}, FolderValue + L"「C:\\dir\\」"}, {{L"check", L"--log=C:/dir/"}, FolderValue + L"「C:/dir/」"},
        {{L"check", L"--log", L"--"}, L"error:--log の値「--」はオプションです。ログファイルのパスを指定してください。"}};
    // clang-format on
    for (const auto& [args, expected] : rows)
        EXPECT_EQ(expected, Render(cCommandLine::Parse(args))) << testing::PrintToString(args);
    // A refused command line still says how to answer: the command it named, and JSON when asked for.
    const auto refused = std::get<cUsageError>(cCommandLine::Parse({L"repair", L"--bogus", L"--json"}));
    EXPECT_TRUE(refused.Command == cCliRequest::eCommand::Repair && refused.Json);
    EXPECT_FALSE(std::get<cUsageError>(cCommandLine::Parse({L"ｒepair", L"--json"})).Command);
    // The usage: CR LF between lines, every exit code.
    const std::wstring usage = cCommandLine::Usage();
    EXPECT_EQ(std::count(usage.begin(), usage.end(), L'\n'), std::count(usage.begin(), usage.end(), L'\r'));
    EXPECT_NE(L'\n', usage.back());
    for (const wchar_t* code : {L"0 ", L"1 ", L"2 ", L"3 ", L"4 ", L"6 ", L"87 ", L"740 ", L"1618 "})
        EXPECT_NE(std::wstring::npos, usage.find(L"\r\n  " + std::wstring(code))) << code;
}

TEST(cJsonWriterTest, WritesPrintableAsciiOnlyEverythingElseAsUtf16Escapes)
{
    // clang-format off
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"", L"\"\""}, {L"設定済み /~\x7f\x2027", L"\"\\u8a2d\\u5b9a\\u6e08\\u307f /~\\u007f\\u2027\""},
        {L"\"\\", L"\"\\\"\\\\\""}, {L"\b\f\n\r\t", L"\"\\b\\f\\n\\r\\t\""},
        {std::wstring(L"\0\x1f\x0b", 3), L"\"\\u0000\\u001f\\u000b\""}, {L"\x2028\xff5e", L"\"\\u2028\\uff5e\""},
        {L"\xd842\xdfb7", L"\"\\ud842\\udfb7\""}, {L"\xdbff\x61\xdc00", L"\"\\udbffa\\udc00\""}};
    // clang-format on
    for (const auto& [text, json] : rows)
        EXPECT_EQ(json, cJsonWriter::Escape(text)) << testing::PrintToString(text);
    cJsonWriter w;
    w.BeginObject().Key(L"a\"").String(L"済").Key(L"n").Number(std::numeric_limits<long long>::min());
    w.Key(L"l").BeginArray().Null().Bool(true).BeginObject().EndObject().BeginArray().EndArray().Bool(false);
    w.EndArray().Key(L"z").Number(0).EndObject();
    EXPECT_EQ(LR"({"a\"":"\u6e08","n":-9223372036854775808,"l":[null,true,{},[],false],"z":0})", w.Text());
}

#include "repair/cCheckReport.h"
#include "repair/cImageCheck.h"
#include "repair/cRepairReport.h"
#include "tests/support/TestPc.h"
#include <map>

namespace
{
using I = cImageCheck::eImage;
using N = cImageCheck::cNames;
using C = cSideBySide::eContext;
constexpr WORD X86 = IMAGE_FILE_MACHINE_I386, X64 = IMAGE_FILE_MACHINE_AMD64;

cPeImage::cInfo Dll(std::vector<std::string> imports, WORD machine = cImageCheck::OwnMachine())
{
    cPeImage::cInfo image;
    image.Shape = cPeImage::eShape::Image;
    image.Machine = machine;
    image.Dll = true;
    image.Pe32Plus = machine != X86;
    image.Imports = std::move(imports);
    return image;
}

// Files, folders, known DLLs, API sets and assemblies as a table: the loader's search over them, without a
// disk. A file without an image is there but cannot be read.
struct cTableCheck : cImageCheck
{
    std::map<std::wstring, std::optional<cPeImage::cInfo>> Files; // by full path, as SearchFolders joins them
    std::map<std::string, eApiSet> ApiSets{{"api-ms-win-crt-runtime-l1-1-0", eApiSet::Implemented}};
    std::map<std::wstring, C> Contexts;              // a manifest's context by its file
    std::vector<std::wstring> Assembly;              // DLLs the contexts' assemblies hold
    mutable std::map<std::wstring, int> Made, Reads; // contexts made, images read, by file
    std::map<std::wstring, cFileReader::cIdentity> Identities;
    DWORD Major = 10;
    std::optional<cPeImage::cInfo> ReadImage(const std::wstring& path, DWORD& error) const override
    {
        const auto found = Files.find(path);
        ++Reads[path];
        error = found == Files.end() ? ERROR_FILE_NOT_FOUND : ERROR_SHARING_VIOLATION;
        return found == Files.end() ? std::nullopt : found->second;
    }
    std::optional<cFileReader::cIdentity> Identity(const std::wstring& path) const override
    {
        return Identities.count(path) ? std::optional(Identities.at(path)) : std::nullopt;
    }
    std::vector<cFolder> SearchFolders(const std::wstring& fileFolder) const override
    {
        return {{fileFolder, false}, {L"S", true}, {L"P", false}};
    }
    std::vector<std::wstring> KnownDlls() const override { return {L"KERNEL32.dll"}; }
    bool Exists(const std::wstring& path) const override { return Files.count(path) > 0; }
    eApiSet ApiSet(const std::string& contract) const override
    {
        return ApiSets.count(contract) ? ApiSets.at(contract)
               : Major >= 10           ? eApiSet::NotImplemented
                                       : eApiSet::Unknown;
    }
    DWORD WindowsMajor() const override { return Major; }
    using cImageCheck::eApiSet;
    eApiSet Asked(const std::string& contract) const { return cImageCheck::ApiSet(contract); }
    C MakeContext(const std::wstring& file, DWORD&) const override
    {
        return ++Made[file], Contexts.count(file) ? Contexts.at(file) : C::NoManifest;
    }
    bool FromAssembly(const std::wstring&, const std::wstring& dll) const override
    {
        return std::find(Assembly.begin(), Assembly.end(), dll) != Assembly.end();
    }
};
} // namespace

TEST(cImageCheckTest, OnlyWhatTheLoaderRefusesBlocksARegistrationAndWhatIsNotJudgedLeavesItUnverified)
{
    const WORD own = cImageCheck::OwnMachine(), other = own == X86 ? X64 : X86;
    cPeImage::cInfo exe = Dll({}), cut = Dll({}), header = Dll({});
    exe.Dll = false, cut.Shape = cPeImage::eShape::Truncated, header.Pe32Plus = own == X86;
    EXPECT_EQ(
        (std::vector{I::Loadable, I::WrongMachine, I::NotADll, I::Truncated, I::NotAnImage, I::Damaged}),
        (std::vector{cImageCheck::ShapeOf(Dll({}), own), cImageCheck::ShapeOf(Dll({}, other), own),
                     cImageCheck::ShapeOf(exe, own), cImageCheck::ShapeOf(cut, own),
                     cImageCheck::ShapeOf({}, own), cImageCheck::ShapeOf(header, own)}));
    // API sets without IsApiSetImplemented: resolved by the loader on Windows 10 and later; before, the C
    // runtime's must be files.
    // clang-format off
    const std::tuple<std::wstring, DWORD, bool> sets[] = {{L"API-MS-WIN-CRT-RUNTIME-L1-1-0.DLL", 10, true},
        {L"api-ms-win-crt-runtime-l1-1-0.dll", 6, false}, {L"ext-ms-win-ntuser-window-l1-1-0.dll", 6, true},
        {L"api-ms-win-core-file-l1-1-0.dll", 6, true}, {L"apims.dll", 10, false}};
    // clang-format on
    for (const auto& [name, major, set] : sets)
        EXPECT_EQ(set, cImageCheck::IsApiSet(name, major)) << name << " " << major;
    // A file the loader refuses ranks as a missing one and is never registered, not even forced; one lacking
    // a DLL only when its registration needs repair, and then is registered only when forced; one not judged
    // (or a dependency not judged) leaves the PC unverified and is registered as its registration says.
    using P = ePathState;
    const auto Reg = eRegistrationChoice::Register, Skip = eRegistrationChoice::Skip;
    // clang-format off
    const std::tuple<P, I, P, eRegistrationChoice, eRegistrationChoice, bool> rows[] = {
        {P::Correct, I::WrongMachine, P::Unloadable, Skip, Skip, false}, {P::Repairable, I::Truncated, P::Unloadable, Skip, Skip, false},
        {P::Repairable, I::SideBySide, P::Unloadable, Skip, Skip, false}, {P::Correct, I::NotADll, P::Unloadable, Skip, Skip, false},
        {P::Repairable, I::MissingDependency, P::Unloadable, Skip, Reg, false}, {P::Correct, I::MissingDependency, P::Correct, Skip, Reg, false},
        {P::Repairable, I::Loadable, P::Repairable, Reg, Reg, false}, {P::Repairable, I::Unreadable, P::Repairable, Reg, Reg, true},
        {P::Repairable, I::NotJudged, P::Repairable, Reg, Reg, true}, {P::Correct, I::DependencyNotJudged, P::Correct, Skip, Reg, true},
        {P::Correct, I::Loadable, P::Correct, Skip, Reg, false}, {P::Missing, I::Loadable, P::Missing, Skip, Skip, false}};
    // clang-format on
    for (const auto& [state, image, ranked, asIs, forced, unverified] : rows)
    {
        const P now = cCheckReport::LoadableState(state, image);
        const bool present = state != P::Missing;
        EXPECT_TRUE(now == ranked && cRepairReport::Choose(now, present, false, image) == asIs &&
                    cRepairReport::Choose(now, present, true, image) == forced &&
                    cImageCheck::LeavesUnverified(image) == unverified)
            << static_cast<int>(state) << " " << static_cast<int>(image);
    }
    EXPECT_EQ(eVerdict::CannotRepair, cCheckReport::VerdictOf(P::Unloadable, P::Correct).Kind);
    // A PATH folder on a server is never asked; a report names 16 and counts the rest.
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\windows", L"C:\\x"}),
              cImageCheck::LocalFolders(L"C:\\windows\\;\\\\srv\\s\\b;;C:\\x;c:\\X\\;\\\\?\\C:\\y;x"));
    EXPECT_EQ(L"a、b、c、d、e、f、g、h、i、j、k、l、m、n、o、p（ほか 1 個）",
              cImageCheck::Listed({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j", L"k", L"l",
                                   L"m", L"n", L"o", L"p", L"q"}));
}

// Each DLL imported statically is looked for in the loader's order, and those found outside the system
// folders followed, each once, to a bounded depth; one of another machine type found first counts as none. A
// DLL loaded later is looked for only to be said.
TEST(cImageCheckTest, EveryImportIsFoundInTheLoadersOrderOrNamed)
{
    const WORD other = cImageCheck::OwnMachine() == X86 ? X64 : X86;
    cTableCheck check;
    cPeImage::cInfo top =
        Dll({"a.dll", "sys.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "msvcr80.dll", "gone.dll", "wide.dll",
             "kernel32.dll", "bare", "CON.dll", "api-ms-win-none-l1-1-0.dll"});
    top.DelayImports = {"later.dll", "api-ms-win-gone-l1-1-0.dll", "sys.dll"};
    top.Manifest = "<assembly/>";
    top.Unplain = {"..\\x.dll"};
    check.Files = {{L"C:\\M\\x.ocx", top},
                   {L"C:\\M\\a.dll", Dll({"b.dll", "sys.dll", "msvcr80.dll"})}, // resolves in x.ocx's context
                   {L"P\\b.dll", Dll({"a.dll", "gone2.dll"})},                  // back to a.dll: a loop
                   {L"S\\sys.dll", Dll({"never.dll"})}, // a system DLL is not followed
                   {L"C:\\M\\wide.dll", Dll({}, other)},
                   {L"C:\\M\\kernel32.dll", Dll({}, other)}, // a known DLL's bad copy is never taken
                   {L"C:\\M\\msvcr80.dll", Dll({"hidden.dll"})},
                   {L"C:\\M\\bare.dll", Dll({})},
                   {L"C:\\M\\CON.dll", Dll({})}};
    check.Contexts = {{L"C:\\M\\x.ocx", C::Made}};
    check.Assembly = {L"msvcr80.dll"};
    cImageCheck::cJudgement judged = check.Judge(L"C:\\M\\x.ocx");
    EXPECT_EQ(Joined(static_cast<int>(I::MissingDependency), 1),
              Joined(static_cast<int>(judged.Kind), check.Made[L"C:\\M\\x.ocx"]));
    EXPECT_EQ(
        (N{L"..\\x.dll", L"api-ms-win-none-l1-1-0.dll", L"CON.dll", L"gone.dll", L"gone2.dll", L"wide.dll"}),
        judged.Missing);
    EXPECT_EQ((N{L"api-ms-win-gone-l1-1-0.dll", L"later.dll"}), judged.Later);
    check.ApiSets.clear(), check.Major = 6;
    EXPECT_TRUE(check.Judge(L"C:\\M\\x.ocx").Missing.count(L"api-ms-win-crt-runtime-l1-1-0.dll"));
    // A manifest that makes no context refuses the file, naming its assemblies; a dependency that cannot be
    // read, or lies beyond the reader's bounds, leaves it not judged; a DLL loaded later is only said.
    cPeImage::cInfo bounded = Dll({});
    bounded.Shape = cPeImage::eShape::Unjudged;
    top = Dll({"unread.dll", "bounded.dll"}), top.DelayImports = {"later.dll"};
    top.Manifest = "<dependency><dependentAssembly><assemblyIdentity type='win32' name='Gone.Crt' "
                   "/></dependentAssembly>";
    check.Files = {
        {L"C:\\M\\x.ocx", top}, {L"C:\\M\\unread.dll", std::nullopt}, {L"C:\\M\\bounded.dll", bounded}};
    judged = check.Judge(L"C:\\M\\x.ocx");
    EXPECT_TRUE(judged.Kind == I::DependencyNotJudged &&
                judged.NotJudged == N({L"bounded.dll", L"unread.dll"}));
    check.Contexts = {{L"C:\\M\\x.ocx", C::Refused}};
    judged = check.Judge(L"C:\\M\\x.ocx");
    EXPECT_TRUE(judged.Kind == I::SideBySide && judged.Assemblies == N{L"Gone.Crt"});
    check.Files[L"C:\\M\\x.ocx"] = Dll({}), check.Files[L"C:\\M\\x.ocx"]->DelayImports = {"later.dll"};
    judged = check.Judge(L"C:\\M\\x.ocx");
    EXPECT_EQ(
        L"1|　あとで読み込まれる DLL が見つかりません：later.dll。地図の一部の機能が使えないおそれがあります",
        Joined(judged.Kind == I::Loadable, cImageCheck::LineOf(judged, true)));
    // A chain longer than the bound ends: what lies beyond it is not judged.
    for (size_t i = 0; i < cImageCheck::MaxDepth + 4; ++i)
        check.Files[L"C:\\M\\d" + std::to_wstring(i) + L".dll"] =
            Dll({"d" + std::to_string(i + 1) + ".dll", "lost" + std::to_string(i) + ".dll"});
    check.Files[L"C:\\M\\x.ocx"] = Dll({"d0.dll"});
    judged = check.Judge(L"C:\\M\\x.ocx");
    EXPECT_TRUE(judged.Missing.size() == cImageCheck::MaxDepth && judged.NotJudged == N{L"d8.dll"});
    // Judged again only once the file changes.
    check.Identities[L"C:\\M\\x.ocx"] = {1, 2, 3, 4};
    check.Reads.clear();
    check.Judge(L"C:\\M\\x.ocx"), check.Judge(L"C:\\M\\x.ocx");
    check.Identities[L"C:\\M\\x.ocx"].Written = 5;
    check.Judge(L"C:\\M\\x.ocx");
    EXPECT_EQ(2, check.Reads[L"C:\\M\\x.ocx"]);
    check.Files.clear(), check.Identities.clear();
    EXPECT_EQ(I::Unreadable, check.Judge(L"C:\\M\\x.ocx").Kind);
}

// The system's own answers: a DLL's manifest is its resource 2, and an assembly it names that is not
// installed refuses the file; the running system says which API sets it implements.
TEST(cImageCheckTest, ADllsOwnManifestAndTheRunningSystemsApiSetsAreAskedAsTheLoaderAsks)
{
    const std::wstring fixture = TestFolder() + L"fixtures\\fixture_manifest.dll";
    const cSideBySide context(fixture);
    EXPECT_EQ(Joined(1, 1, 0), Joined(context.State() == C::Made,
                                      context.Provides(L"p2fown.dll") == cSideBySide::eProvided::ByAssembly,
                                      context.Provides(L"other.dll") == cSideBySide::eProvided::ByAssembly));
    const cTempFolder temp;
    std::string bytes = ReadBytes(fixture);
    bytes.replace(bytes.find("Common-Controls"), 15, "Common-Kontrols");
    WriteBytes(temp / L"x.ocx", bytes);
    WriteBytes(temp / L"empty.ocx", "");
    const cImageCheck check;
    const cImageCheck::cJudgement refused = check.Judge(temp / L"x.ocx");
    EXPECT_TRUE(refused.Kind == I::SideBySide &&
                refused.Assemblies == N{L"Microsoft.Windows.Common-Kontrols"});
    EXPECT_EQ(Joined(1, 1), Joined(check.Judge(fixture).Kind == I::Loadable,
                                   check.Judge(temp / L"empty.ocx").Kind == I::NotAnImage));
    const cTableCheck asked;
    EXPECT_EQ(Joined(1, 1),
              Joined(asked.Asked("api-ms-win-core-synch-l1-1-0") == cTableCheck::eApiSet::Implemented,
                     asked.Asked("api-ms-win-p2f-none-l1-1-0") == cTableCheck::eApiSet::NotImplemented));
}

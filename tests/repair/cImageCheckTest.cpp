#include "repair/cCheckReport.h"
#include "repair/cImageCheck.h"
#include "repair/cRepairReport.h"
#include "tests/support/TestPc.h"
#include <map>

namespace
{
using I = cImageCheck::eImage;
constexpr WORD X86 = IMAGE_FILE_MACHINE_I386, X64 = IMAGE_FILE_MACHINE_AMD64;

cPeImage::cInfo Dll(std::vector<std::string> imports, WORD machine = cImageCheck::OwnMachine())
{
    cPeImage::cInfo image;
    image.Shape = cPeImage::eShape::Image;
    image.Machine = machine;
    image.Dll = true;
    image.Imports = std::move(imports);
    return image;
}

// Files, folders and assemblies as a table: the loader's search over them, without a disk.
struct cTableCheck : cImageCheck
{
    std::map<std::wstring, cPeImage::cInfo> Files; // by full path, as SearchFolders joins them
    std::vector<std::wstring> Assembly;            // DLLs the manifests' assemblies hold
    DWORD Major = 10;
    std::optional<cPeImage::cInfo> ReadImage(const std::wstring& path, DWORD& error) const override
    {
        const auto found = Files.find(path);
        error = found == Files.end() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
        return found == Files.end() ? std::nullopt : std::optional(found->second);
    }
    std::vector<cFolder> SearchFolders(const std::wstring& fileFolder) const override
    {
        return {{fileFolder, false}, {L"S", true}, {L"P", false}};
    }
    bool Exists(const std::wstring& path) const override { return Files.count(path) > 0; }
    bool FromAssembly(const std::wstring&, const std::wstring& dll) const override
    {
        return std::find(Assembly.begin(), Assembly.end(), dll) != Assembly.end();
    }
    DWORD WindowsMajor() const override { return Major; }
};
} // namespace

TEST(cImageCheckTest, AFileForAnotherMachineCutShortOrNoDllIsNeverRegisteredAndRanksAsAMissingOne)
{
    const WORD own = cImageCheck::OwnMachine(), other = own == X86 ? X64 : X86;
    cPeImage::cInfo exe = Dll({}), cut = Dll({});
    exe.Dll = false, cut.Shape = cPeImage::eShape::Truncated;
    EXPECT_EQ((std::vector{I::Loadable, I::WrongMachine, I::NotADll, I::Truncated, I::NotAnImage}),
              (std::vector{cImageCheck::ShapeOf(Dll({}), own), cImageCheck::ShapeOf(Dll({}, other), own),
                           cImageCheck::ShapeOf(exe, own), cImageCheck::ShapeOf(cut, own),
                           cImageCheck::ShapeOf({}, own)}));
    // API sets: resolved by the loader on Windows 10 and later; before, the C runtime's must be files.
    // clang-format off
    const std::tuple<std::string, DWORD, bool> sets[] = {{"api-ms-win-core-synch-l1-2-0.dll", 10, true},
        {"API-MS-WIN-CRT-RUNTIME-L1-1-0.DLL", 10, true}, {"api-ms-win-crt-runtime-l1-1-0.dll", 6, false},
        {"api-ms-win-core-file-l1-1-0.dll", 6, true}, {"ext-ms-win-ntuser-window-l1-1-0.dll", 6, true},
        {"apims.dll", 10, false}, {"kernel32.dll", 10, false}};
    // clang-format on
    for (const auto& [name, major, set] : sets)
        EXPECT_EQ(set, cImageCheck::IsApiSet(name, major)) << name << " " << major;
    // A file that cannot be loaded ranks as a missing one and is never registered, not even forced; one
    // lacking a DLL only when its registration needs repair, and then is registered only when forced.
    using P = ePathState;
    const auto Reg = eRegistrationChoice::Register, Skip = eRegistrationChoice::Skip;
    // clang-format off
    const std::tuple<P, I, P, eRegistrationChoice, eRegistrationChoice> rows[] = {
        {P::Correct, I::WrongMachine, P::Unloadable, Skip, Skip}, {P::Repairable, I::Truncated, P::Unloadable, Skip, Skip},
        {P::Repairable, I::MissingDependency, P::Unloadable, Skip, Reg}, {P::Correct, I::MissingDependency, P::Correct, Skip, Reg},
        {P::Repairable, I::Loadable, P::Repairable, Reg, Reg}, {P::Repairable, I::Unreadable, P::Repairable, Reg, Reg},
        {P::Correct, I::Loadable, P::Correct, Skip, Reg}, {P::Missing, I::Loadable, P::Missing, Skip, Skip}};
    // clang-format on
    for (const auto& [state, image, ranked, asIs, forced] : rows)
    {
        const P now = cCheckReport::LoadableState(state, image);
        const bool present = state != P::Missing;
        EXPECT_TRUE(now == ranked && cRepairReport::Choose(now, present, false, image) == asIs &&
                    cRepairReport::Choose(now, present, true, image) == forced)
            << static_cast<int>(state) << " " << static_cast<int>(image);
    }
    EXPECT_EQ(eVerdict::CannotRepair, cCheckReport::VerdictOf(P::Unloadable, P::Correct).Kind);
}

// Each DLL is looked for where the loader looks; those found outside the system folders are followed, each
// once, to a bounded depth; one of another machine type found first counts as none.
TEST(cImageCheckTest, EveryImportIsFoundWhereTheLoaderLooksOrNamed)
{
    const WORD own = cImageCheck::OwnMachine();
    cTableCheck check;
    cPeImage::cInfo top =
        Dll({"a.dll", "sys.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "msvcr80.dll", "gone.dll", "wide.dll"});
    top.Manifest = "<assembly/>";
    top.Unplain = {"..\\x.dll"};
    check.Files = {{L"C:\\M\\x.ocx", top},
                   {L"C:\\M\\a.dll", Dll({"b.dll", "sys.dll"})},
                   {L"P\\b.dll", Dll({"a.dll", "gone2.dll"})}, // back to a.dll: a loop
                   {L"S\\sys.dll", Dll({"never.dll"})},        // a system DLL is not followed
                   {L"C:\\M\\wide.dll", Dll({}, own == X86 ? X64 : X86)},
                   {L"C:\\M\\msvcr80.dll", Dll({"hidden.dll"})}};
    check.Assembly = {L"msvcr80.dll"};
    cImageCheck::cJudgement judged = check.Judge(L"C:\\M\\x.ocx");
    EXPECT_EQ(I::MissingDependency, judged.Kind);
    EXPECT_EQ((std::vector<std::wstring>{L"..\\x.dll", L"gone2.dll", L"gone.dll", L"wide.dll"}),
              judged.Missing);
    check.Major = 6;
    EXPECT_EQ(L"api-ms-win-crt-runtime-l1-1-0.dll", check.Judge(L"C:\\M\\x.ocx").Missing.at(2));
    // A chain longer than the bound ends: what lies beyond it is not looked at.
    for (size_t i = 0; i < cImageCheck::MaxDepth + 4; ++i)
        check.Files[L"C:\\M\\d" + std::to_wstring(i) + L".dll"] =
            Dll({"d" + std::to_string(i + 1) + ".dll", "lost" + std::to_string(i) + ".dll"});
    check.Files[L"C:\\M\\x.ocx"] = Dll({"d0.dll"});
    judged = check.Judge(L"C:\\M\\x.ocx");
    EXPECT_EQ(cImageCheck::MaxDepth, judged.Missing.size()) << judged.Missing.back();
    check.Files.clear();
    EXPECT_EQ(I::Unreadable, check.Judge(L"C:\\M\\x.ocx").Kind);
}

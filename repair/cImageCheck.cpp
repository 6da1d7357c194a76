#include "repair/cImageCheck.h"
#include "sys/cAppError.h"
#include "registry/cKey.h"
#include "security/cDriveTypes.h"
#include "security/cLocalPath.h"
#include "sys/DllSearch.h"
#include "sys/Environment.h"
#include "sys/ProcAddress.h"
#include "sys/SystemFolder.h"
#include "sys/TextCompare.h"
#include <algorithm>

namespace
{
std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    const std::wstring head = text.substr(0, std::wcslen(prefix));
    return ::CompareStringOrdinal(head.c_str(), -1, prefix, -1, TRUE) == CSTR_EQUAL;
}
} // namespace

struct cImageCheck::cWalk
{
    std::vector<cFolder> Folders; // of the first DLL: they serve every DLL its load brings in
    cNames Known;
    cNames Seen; // full paths of the files followed
    cJudgement& Judgement;
};

bool cImageCheck::cNoCase::operator()(const std::wstring& a, const std::wstring& b) const
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
}

WORD cImageCheck::OwnMachine()
{
    return sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
}

cImageCheck::eImage cImageCheck::ShapeOf(const cPeImage::cInfo& image, WORD machine)
{
    switch (image.Shape)
    {
    case cPeImage::eShape::NotAnImage:
        return eImage::NotAnImage;
    case cPeImage::eShape::Truncated:
        return eImage::Truncated;
    case cPeImage::eShape::Damaged:
        return eImage::Damaged;
    case cPeImage::eShape::Unjudged:
        return eImage::NotJudged;
    case cPeImage::eShape::Unreadable:
        return eImage::Unreadable;
    case cPeImage::eShape::Image:
        break;
    }
    // Another machine's file first: a 64-bit program's file is the likelier mistake, and says more.
    if (image.Machine != machine)
        return eImage::WrongMachine;
    // The optional header's kind goes with the machine type: PE32 for x86, PE32+ for the 64-bit machines (PE
    // format, "Optional Header Standard Fields"); the loader refuses any other pair.
    if (image.Pe32Plus != (cPeImage::MachineOf(machine) != cPeImage::eMachine::X86))
        return eImage::Damaged;
    return image.Dll ? eImage::Loadable : eImage::NotADll;
}

bool cImageCheck::IsApiSet(const std::wstring& name, DWORD windowsMajor)
{
    if (!StartsWith(name, L"api-ms-") && !StartsWith(name, L"ext-ms-"))
        return false;
    return windowsMajor >= 10 || !StartsWith(name, L"api-ms-win-crt-");
}

std::wstring cImageCheck::ModuleName(const std::string& imported)
{
    // LoadLibraryEx: "If no file name extension is specified ... the default library extension .dll is
    // appended"; the loader treats an import's name the same way.
    const std::wstring name = Widened(imported);
    return name.find(L'.') == std::wstring::npos ? name + L".dll" : name;
}

std::vector<std::wstring> cImageCheck::LocalFolders(const std::wstring& path)
{
    std::vector<std::wstring> folders;
    cDriveTypes drives;
    for (size_t from = 0; from <= path.size();)
    {
        const size_t end = std::min(path.find(L';', from), path.size());
        std::wstring entry = path.substr(from, end - from);
        while (entry.size() > 3 && entry.back() == L'\\')
            entry.pop_back();
        const bool known = std::any_of(folders.begin(), folders.end(),
                                       [&](const std::wstring& one) { return textcmp::Equal(one, entry); });
        if (!known && entry.size() < MAX_PATH && drives.IsLocal(entry))
            folders.push_back(entry);
        from = end + 1;
    }
    return folders;
}

bool cImageCheck::LeavesUnverified(eImage kind)
{
    return kind == eImage::Unreadable || kind == eImage::NotJudged || kind == eImage::DependencyNotJudged;
}

const wchar_t* cImageCheck::TokenOf(eImage kind)
{
    switch (kind)
    {
    case eImage::Loadable:
        return L"loadable";
    case eImage::MissingDependency:
        return L"missing-dependency";
    case eImage::SideBySide:
        return L"side-by-side";
    case eImage::NotAnImage:
        return L"not-an-image";
    case eImage::Truncated:
        return L"truncated";
    case eImage::Damaged:
        return L"damaged";
    case eImage::NotADll:
        return L"not-a-dll";
    case eImage::WrongMachine:
        return L"wrong-machine";
    case eImage::NotJudged:
        return L"not-judged";
    case eImage::DependencyNotJudged:
        return L"dependency-not-judged";
    case eImage::Unreadable:
        break;
    }
    return L"unreadable";
}

const wchar_t* cImageCheck::MachineName(WORD machine)
{
    switch (cPeImage::MachineOf(machine))
    {
    case cPeImage::eMachine::X86:
        return L"x86";
    case cPeImage::eMachine::X64:
        return L"x64";
    case cPeImage::eMachine::Arm64:
        return L"arm64";
    case cPeImage::eMachine::Other:
        break;
    }
    return L"other";
}

std::wstring cImageCheck::Listed(const cNames& names)
{
    std::wstring text;
    size_t shown = 0;
    for (auto name = names.begin(); name != names.end() && shown < ShownNames; ++name, ++shown)
        text += (text.empty() ? L"" : L"、") + *name;
    if (names.size() > ShownNames)
        text += L"（ほか " + std::to_wstring(names.size() - ShownNames) + L" 個）";
    return text;
}

std::wstring cImageCheck::LineOf(const cJudgement& judgement, bool registeredRight)
{
    const wchar_t* const reinstall = L"。地図製品を再インストールしてください";
    std::wstring line;
    switch (judgement.Kind)
    {
    case eImage::Loadable:
        break;
    case eImage::Unreadable:
        line = L"　このファイルを確認できませんでした（" + SystemMessage(judgement.Error) + L"）";
        break;
    case eImage::NotJudged:
        line = L"　このファイルを最後まで確認できませんでした（ファイルの中の表が大きすぎます）";
        break;
    case eImage::DependencyNotJudged:
        line = L"　このファイルが使う DLL を確認できませんでした：" + Listed(judgement.NotJudged);
        break;
    case eImage::MissingDependency:
        line = L"　このファイルが使う DLL が見つかりません：" + Listed(judgement.Missing) +
               (registeredRight
                    ? L"。地図が起動しないおそれがあります。必要なランタイムをインストールしてください"
                    : L"。このままでは再設定できません。必要なランタイムをインストールしてください");
        break;
    case eImage::SideBySide:
        line = L"　このファイルは読み込めません（サイド バイ サイドの構成が正しくありません：" +
               Listed(judgement.Assemblies) + L"）。必要なランタイムをインストールしてください";
        break;
    case eImage::WrongMachine:
        line = L"　このファイルは読み込めません（" + std::wstring(MachineName(judgement.Machine)) +
               L" 用のファイルで、" + MachineName(OwnMachine()) + L" 用の地図製品では使えません）" +
               reinstall;
        break;
    case eImage::NotADll:
        line = L"　このファイルは DLL ではないため、COM のコンポーネントとして登録できません" +
               std::wstring(reinstall);
        break;
    case eImage::NotAnImage:
        line =
            L"　このファイルは読み込めません（プログラムのファイルではありません）" + std::wstring(reinstall);
        break;
    case eImage::Truncated:
        line = L"　このファイルは読み込めません（ファイルが途中で切れています）" + std::wstring(reinstall);
        break;
    case eImage::Damaged:
        line = L"　このファイルは読み込めません（ファイルが壊れています）" + std::wstring(reinstall);
        break;
    }
    // Looked for only when first called: said, never counted against the file.
    if (!judgement.Later.empty())
        line += (line.empty() ? L"" : L"\r\n") +
                std::wstring(L"　あとで読み込まれる DLL が見つかりません：") + Listed(judgement.Later) +
                L"。地図の一部の機能が使えないおそれがあります";
    return line;
}

cImageCheck::cJudgement cImageCheck::Judge(const std::wstring& path) const
{
    const std::optional<cFileReader::cIdentity> identity = Identity(path);
    const auto kept = m_judged.find(path);
    if (identity && kept != m_judged.end() && kept->second.first == *identity)
        return kept->second.second;
    cJudgement judgement = JudgeAnew(path);
    if (identity)
        m_judged.insert_or_assign(path, std::pair(*identity, judgement));
    return judgement;
}

cImageCheck::cJudgement cImageCheck::JudgeAnew(const std::wstring& path) const
{
    cJudgement judgement;
    const std::optional<cPeImage::cInfo> image = ReadImage(path, judgement.Error);
    if (!image)
    {
        judgement.Kind = eImage::Unreadable;
        return judgement;
    }
    judgement.Machine = image->Machine;
    judgement.Kind = ShapeOf(*image, OwnMachine());
    if (judgement.Kind != eImage::Loadable)
        return judgement;
    const std::vector<std::wstring> known = KnownDlls();
    cWalk walk{SearchFolders(FolderOf(path)), {known.begin(), known.end()}, {path}, judgement};
    Walk(path, *image, {}, 0, walk);
    if (judgement.Kind == eImage::Loadable)
        judgement.Kind = !judgement.Missing.empty()     ? eImage::MissingDependency
                         : !judgement.NotJudged.empty() ? eImage::DependencyNotJudged
                                                        : eImage::Loadable;
    return judgement;
}

// The search order of "Dynamic-link library search order" (learn.microsoft.com/windows/win32/dlls/
// dynamic-link-library-search-order) for a desktop app's DLL loaded by full path with
// LOAD_WITH_ALTERED_SEARCH_PATH, and for the DLLs that load brings in ("the system searches for the dependent
// DLLs as if they were loaded with just their module names"). Not followed: DLL redirection (.local), the
// package dependency graph, the map's current folder and a user's own PATH, none of which the tool can know.
cImageCheck::eFound cImageCheck::Find(const std::wstring& name, const std::wstring& context,
                                      const cWalk& walk, std::wstring& found) const
{
    // 2. API sets ("Windows API sets"): resolved by the running system's schema, before any file. A contract
    // it does not implement may still be found as a file further on, as on Windows 7 with the runtime's
    // files.
    if (StartsWith(name, L"api-") || StartsWith(name, L"ext-"))
    {
        const bool dll = name.size() > 4 && StartsWith(name.substr(name.size() - 4), L".dll");
        const eApiSet set = ApiSet(std::string(name.begin(), name.end() - (dll ? 4 : 0)));
        if (set == eApiSet::Implemented || (set == eApiSet::Unknown && IsApiSet(name, WindowsMajor())))
            return eFound::Resolved;
    }
    // 3. SxS manifest redirection: the assemblies of the DLL's own manifest, or of the DLL that brought it
    // in.
    if (!context.empty() && FromAssembly(context, name))
        return eFound::Resolved;
    // 4. and 5. The loaded-module list (every process has ntdll, kernel32 and kernelbase) and the known DLLs
    // (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs): the system's copy, whatever lies in
    // the DLL's folder.
    if (walk.Known.count(name))
        return eFound::Resolved;
    // A device name is opened in any folder (a printer port may lead to a server): never asked.
    if (cLocalPath::SpellingOf(L"C:\\" + name) == cLocalPath::eKind::Device)
        return eFound::Nowhere;
    // 7. the DLL's own folder (LOAD_WITH_ALTERED_SEARCH_PATH), 8. the system folder, 9. the 16-bit system
    // folder, 10. the Windows folder, 12. the folders of PATH (11., the current folder, is the map's).
    for (const cFolder& folder : walk.Folders)
        if (Exists(folder.Path + L"\\" + name))
        {
            found = folder.Path + L"\\" + name;
            return folder.System ? eFound::Resolved : eFound::File;
        }
    return eFound::Nowhere;
}

void cImageCheck::Walk(const std::wstring& file, const cPeImage::cInfo& image, std::wstring context,
                       size_t depth, cWalk& walk) const
{
    cJudgement& judgement = walk.Judgement;
    // The loader makes the DLL's own activation context before it resolves the DLL's imports, and fails the
    // load with ERROR_SXS_CANT_GEN_ACTCTX when it cannot.
    DWORD error = ERROR_SUCCESS;
    switch (image.Manifest ? MakeContext(file, error) : cSideBySide::eContext::NoManifest)
    {
    case cSideBySide::eContext::Made:
        context = file;
        break;
    case cSideBySide::eContext::NoManifest:
        break;
    case cSideBySide::eContext::Refused:
        judgement.Kind = eImage::SideBySide;
        for (const std::string& assembly : cSideBySide::Dependencies(*image.Manifest))
            judgement.Assemblies.insert(Widened(assembly));
        if (judgement.Assemblies.empty())
            judgement.Assemblies.insert(L"?");
        return;
    case cSideBySide::eContext::Failed:
        if (depth > 0)
            judgement.NotJudged.insert(file.substr(file.find_last_of(L'\\') + 1));
        else
        {
            judgement.Kind = eImage::Unreadable;
            judgement.Error = error;
        }
        return;
    }
    // A name that is no plain file name is not looked up at all: it is said, as one not found.
    for (const std::string& name : image.Unplain)
        judgement.Missing.insert(Widened(name));
    for (const std::string& import : image.Imports)
    {
        const std::wstring name = ModuleName(import);
        std::wstring found;
        const eFound where = Find(name, context, walk, found);
        if (where == eFound::Nowhere)
            judgement.Missing.insert(name);
        if (where != eFound::File || walk.Seen.count(found))
            continue;
        if (depth >= MaxDepth || walk.Seen.size() >= MaxFiles)
        {
            judgement.NotJudged.insert(name);
            continue;
        }
        walk.Seen.insert(found);
        // The loader takes the first file of that name it finds, and fails if it cannot load that one.
        const std::optional<cPeImage::cInfo> dependency = ReadImage(found, error);
        const eImage shape = dependency ? ShapeOf(*dependency, OwnMachine()) : eImage::Unreadable;
        if (shape == eImage::Loadable)
            Walk(found, *dependency, context, depth + 1, walk);
        else
            (LeavesUnverified(shape) ? judgement.NotJudged : judgement.Missing).insert(name);
    }
    for (const std::string& import : image.DelayImports)
    {
        const std::wstring name = ModuleName(import);
        std::wstring found;
        if (Find(name, context, walk, found) == eFound::Nowhere)
            judgement.Later.insert(name);
    }
}

std::optional<cPeImage::cInfo> cImageCheck::ReadImage(const std::wstring& path, DWORD& error) const
{
    cPeImage::cInfo image = cPeImage::Read(path);
    error = image.Error;
    return image.Shape == cPeImage::eShape::Unreadable ? std::nullopt : std::optional(std::move(image));
}

std::optional<cFileReader::cIdentity> cImageCheck::Identity(const std::wstring& path) const
{
    cFileReader::cIdentity identity;
    return cFileReader(path).Identity(identity) == ERROR_SUCCESS ? std::optional(identity) : std::nullopt;
}

std::vector<cImageCheck::cFolder> cImageCheck::SearchFolders(const std::wstring& fileFolder) const
{
    std::vector<cFolder> folders{{fileFolder, false}};
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring system = SystemFolder(), windowsFolder = length && length < MAX_PATH ? windows : L"";
    for (const std::wstring& one :
         {system, windowsFolder.empty() ? L"" : windowsFolder + L"\\System", windowsFolder})
        if (!one.empty())
            folders.push_back({one, true});
    // The machine's PATH; a user's own is not read.
    cKey environment;
    environment.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                     KEY_QUERY_VALUE);
    const cKey::cValue path = environment.Read(L"Path");
    for (const std::wstring& entry :
         LocalFolders(path.Kind == cKey::eValue::Text ? ExpandedText(path.Text) : L""))
        if (std::none_of(folders.begin(), folders.end(),
                         [&](const cFolder& one) { return textcmp::Equal(one.Path, entry); }))
            folders.push_back({entry, false});
    return folders;
}

std::vector<std::wstring> cImageCheck::KnownDlls() const
{
    std::vector<std::wstring> known{L"ntdll.dll", L"kernel32.dll", L"kernelbase.dll"};
    cKey key;
    std::vector<cKey::cRawValue> values;
    if (key.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs",
                 KEY_QUERY_VALUE) == ERROR_SUCCESS)
        key.Values(values, 1024);
    // Each value names one DLL; DllDirectory and DllDirectory32 name the folders, as expandable paths.
    for (const cKey::cRawValue& value : values)
    {
        std::wstring name(reinterpret_cast<const wchar_t*>(value.Data.data()), value.Data.size() / 2);
        name = name.substr(0, name.find(L'\0'));
        if (value.Type == REG_SZ && !name.empty() && name.find_first_of(L"\\/%:") == std::wstring::npos)
            known.push_back(name);
    }
    return known;
}

bool cImageCheck::Exists(const std::wstring& path) const
{
    if (path.size() >= MAX_PATH)
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

cImageCheck::eApiSet cImageCheck::ApiSet(const std::string& contract) const
{
    // IsApiSetImplemented (Windows 10 and later) answers for the running system. It is loaded at the first
    // API set, by its contract's name from the system folder alone; before Windows 10 there is none.
    if (!m_apiQuery)
        m_apiQuery.emplace(
            ::LoadLibraryExW(L"api-ms-win-core-apiquery-l2-1-0.dll", nullptr, LoadFromSystemFolder));
    const auto query = ProcOf<BOOL(WINAPI*)(PCSTR)>(m_apiQuery->Get(), "IsApiSetImplemented");
    if (!query)
        return eApiSet::Unknown;
    return query(contract.c_str()) ? eApiSet::Implemented : eApiSet::NotImplemented;
}

DWORD cImageCheck::WindowsMajor() const
{
    // GetVersionEx answers what the manifest lets it; the kernel's own answer does not depend on it.
    static const DWORD major = [] {
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
        const auto get =
            ProcOf<LONG(WINAPI*)(OSVERSIONINFOW*)>(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
        return get && get(&version) == 0 ? version.dwMajorVersion : 6;
    }();
    return major;
}

cSideBySide::eContext cImageCheck::MakeContext(const std::wstring& file, DWORD& error) const
{
    std::unique_ptr<cSideBySide>& context = m_contexts[file];
    if (!context)
        context = std::make_unique<cSideBySide>(file);
    error = context->Error();
    return context->State();
}

bool cImageCheck::FromAssembly(const std::wstring& contextFile, const std::wstring& dll) const
{
    const auto context = m_contexts.find(contextFile);
    return context != m_contexts.end() &&
           context->second->Provides(dll) == cSideBySide::eProvided::ByAssembly;
}

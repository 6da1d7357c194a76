#include "repair/cImageCheck.h"
#include "sys/cAppError.h"
#include "registry/cKey.h"
#include "security/cDriveTypes.h"
#include "sys/cMappedFile.h"
#include "image/cSideBySide.h"
#include "sys/Environment.h"
#include "sys/SystemFolder.h"
#include "sys/TextCompare.h"
#include <algorithm>

namespace
{
std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

bool Holds(const std::vector<std::wstring>& names, const std::wstring& name)
{
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& one) {
        return ::CompareStringOrdinal(one.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
}

void AddOnce(std::vector<std::wstring>& names, const std::wstring& name)
{
    if (!Holds(names, name))
        names.push_back(name);
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}
} // namespace

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
    case cPeImage::eShape::Image:
        break;
    }
    // Another machine's file first: a 64-bit program's file is the likelier mistake, and says more.
    if (image.Machine != machine)
        return eImage::WrongMachine;
    return image.Dll ? eImage::Loadable : eImage::NotADll;
}

bool cImageCheck::IsApiSet(const std::string& name, DWORD windowsMajor)
{
    const std::string lower = Lower(name);
    if (!lower.starts_with("api-ms-") && !lower.starts_with("ext-ms-"))
        return false;
    return windowsMajor >= 10 || !lower.starts_with("api-ms-win-crt-");
}

const wchar_t* cImageCheck::TokenOf(eImage kind)
{
    switch (kind)
    {
    case eImage::Loadable:
        return L"loadable";
    case eImage::MissingDependency:
        return L"missing-dependency";
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

std::wstring cImageCheck::LineOf(const cJudgement& judgement, bool registeredRight)
{
    const wchar_t* const reinstall = L"。地図製品を再インストールしてください";
    const wchar_t* why = nullptr;
    switch (judgement.Kind)
    {
    case eImage::Loadable:
        return {};
    case eImage::Unreadable:
        return L"　このファイルを確認できませんでした（" + SystemMessage(judgement.Error) + L"）";
    case eImage::MissingDependency: {
        std::wstring names;
        for (const std::wstring& name : judgement.Missing)
            names += (names.empty() ? L"" : L"、") + name;
        return L"　このファイルが使う DLL が見つかりません：" + names +
               (registeredRight
                    ? L"。地図が起動しないおそれがあります。必要なランタイムをインストールしてください"
                    : L"。このままでは再設定できません。必要なランタイムをインストールしてください");
    }
    case eImage::WrongMachine:
        return L"　このファイルは読み込めません（" + std::wstring(MachineName(judgement.Machine)) +
               L" 用のファイルで、" + MachineName(OwnMachine()) + L" 用の地図製品では使えません）" +
               reinstall;
    case eImage::NotAnImage:
        why = L"プログラムのファイルではありません";
        break;
    case eImage::Truncated:
        why = L"ファイルが途中で切れています";
        break;
    case eImage::Damaged:
        why = L"ファイルが壊れています";
        break;
    case eImage::NotADll:
        why = L"DLL ではありません";
        break;
    }
    return L"　このファイルは読み込めません（" + std::wstring(why) + L"）" + reinstall;
}

cImageCheck::cJudgement cImageCheck::Judge(const std::wstring& path) const
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
    // The folders of the first DLL's search serve every DLL the load brings in.
    std::vector<std::wstring> seen{path};
    Walk(path, *image, SearchFolders(FolderOf(path)), 0, seen, judgement);
    if (!judgement.Missing.empty())
        judgement.Kind = eImage::MissingDependency;
    return judgement;
}

void cImageCheck::Walk(const std::wstring& file, const cPeImage::cInfo& image,
                       const std::vector<cFolder>& folders, size_t depth, std::vector<std::wstring>& seen,
                       cJudgement& judgement) const
{
    // A name that is no plain file name is not looked up at all: it is said, as one not found.
    for (const std::string& name : image.Unplain)
        AddOnce(judgement.Missing, Widened(name));
    for (const std::string& import : image.Imports)
    {
        const std::wstring name = Widened(import);
        if (IsApiSet(import, WindowsMajor()) || (image.Manifest && FromAssembly(file, name)))
            continue;
        const auto folder = std::find_if(folders.begin(), folders.end(),
                                         [&](const cFolder& one) { return Exists(one.Path + L"\\" + name); });
        if (folder == folders.end())
        {
            AddOnce(judgement.Missing, name);
            continue;
        }
        const std::wstring found = folder->Path + L"\\" + name;
        if (folder->System || Holds(seen, found) || depth >= MaxDepth || seen.size() >= MaxFiles)
            continue;
        seen.push_back(found);
        // The loader takes the first file of that name it finds, and fails if it cannot load that one.
        DWORD error = ERROR_SUCCESS;
        const std::optional<cPeImage::cInfo> dependency = ReadImage(found, error);
        if (!dependency || ShapeOf(*dependency, OwnMachine()) != eImage::Loadable)
        {
            AddOnce(judgement.Missing, name);
            continue;
        }
        Walk(found, *dependency, folders, depth + 1, seen, judgement);
    }
}

std::optional<cPeImage::cInfo> cImageCheck::ReadImage(const std::wstring& path, DWORD& error) const
{
    const cMappedFile file(path);
    error = file.Status();
    if (error != ERROR_SUCCESS)
        return std::nullopt;
    return cPeImage::Read(file.Bytes());
}

std::vector<cImageCheck::cFolder> cImageCheck::SearchFolders(const std::wstring& fileFolder) const
{
    // LOAD_WITH_ALTERED_SEARCH_PATH: the DLL's own folder, the system folder, the 16-bit system folder, the
    // Windows folder, the current folder (the map's, unknown here), then the folders of PATH: the machine's,
    // as far as they are local paths; a user's own PATH is not read.
    std::vector<cFolder> folders{{fileFolder, false}};
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring system = SystemFolder(), windowsFolder = length && length < MAX_PATH ? windows : L"";
    for (const std::wstring& one :
         {system, windowsFolder.empty() ? L"" : windowsFolder + L"\\System", windowsFolder})
        if (!one.empty())
            folders.push_back({one, true});
    cKey environment;
    environment.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                     KEY_QUERY_VALUE);
    const cKey::cValue path = environment.Read(L"Path");
    const std::wstring entries = path.Kind == cKey::eValue::Text ? ExpandedText(path.Text) : L"";
    cDriveTypes drives;
    for (size_t from = 0; from <= entries.size();)
    {
        const size_t end = std::min(entries.find(L';', from), entries.size());
        std::wstring entry = entries.substr(from, end - from);
        while (!entry.empty() && entry.back() == L'\\')
            entry.pop_back();
        const bool known = std::any_of(folders.begin(), folders.end(),
                                       [&](const cFolder& one) { return textcmp::Equal(one.Path, entry); });
        if (!known && entry.size() < MAX_PATH && drives.IsLocal(entry))
            folders.push_back({entry, false});
        from = end + 1;
    }
    return folders;
}

bool cImageCheck::Exists(const std::wstring& path) const
{
    if (path.size() >= MAX_PATH)
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool cImageCheck::FromAssembly(const std::wstring& file, const std::wstring& dll) const
{
    return cSideBySide::Provides(file, dll) == cSideBySide::eProvided::ByAssembly;
}

DWORD cImageCheck::WindowsMajor() const
{
    // GetVersionEx answers what the manifest lets it; the kernel's own answer does not depend on it.
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    static const DWORD major = [] {
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
        const auto get = reinterpret_cast<GetVersion>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
        return get && get(&version) == 0 ? version.dwMajorVersion : 6;
    }();
    return major;
}

#include "catalogue/cCartoriaMapsRegister.h"
#include "sys/cAppError.h"
#include "sys/cPrivateProfile.h"
#include "registry/cRegistry.h"
#include "sys/cShlwVB.h"
#include <windows.h>

namespace
{
std::wstring UpperCase(std::wstring text)
{
    if (!text.empty())
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool SameKey(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                            b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}
} // namespace

cCartoriaMapsRegister::cCartoriaMapsRegister()
{
    // SV is listed but not loaded: its package setting lives under another key.
    AddItem(REG_CARTORIA_SV(), L"カルトリアＳＶ");
    LoadItem(*AddItem(REG_CARTORIA_W3(), L"カルトリアＷ３"));
    LoadItem(*AddItem(REG_CARTORIA_W2(), L"カルトリアＷ２"));
}

bool cCartoriaMapsRegister::IsInstall(std::wstring MapCode) const
{
    return m_fileSystem.FileExists(GetIniFilePath(MapCode));
}

std::shared_ptr<cCartoriaMapItem> cCartoriaMapsRegister::Item(long indexKey) const
{
    if (indexKey < 1 || indexKey > Count())
        throw cAppError::Standard(errnum::SubscriptRange, L"cCartoriaMapsRegister");
    return m_items[static_cast<size_t>(indexKey - 1)];
}

std::shared_ptr<cCartoriaMapItem> cCartoriaMapsRegister::Item(const std::wstring& indexKey) const
{
    for (const auto& item : m_items)
        if (SameKey(item->Code(), indexKey))
            return item;
    throw cAppError::Standard(errnum::InvalidCall, L"cCartoriaMapsRegister");
}

std::shared_ptr<cCartoriaMapItem> cCartoriaMapsRegister::AddItem(const std::wstring& code,
                                                                 const std::wstring& title)
{
    auto item = std::make_shared<cCartoriaMapItem>();
    item->Title(title);
    item->Code(code);
    item->Index(Count() + 1);
    for (const auto& existing : m_items)
        if (SameKey(existing->Code(), code))
            throw cAppError::Standard(errnum::DuplicateKey, L"cCartoriaMapsRegister");
    m_items.push_back(item);
    return item;
}

std::wstring cCartoriaMapsRegister::GetIniFilePath(const std::wstring& code) const
{
    const bool sv = UpperCase(code) == REG_CARTORIA_SV();
    cRegistry registry;
    registry.RegKey(cRegistry::LocalMachine);
    registry.SubKey(sv ? L"SOFTWARE\\Kova_Mapping_K.K.\\CARTORIASV" : L"SOFTWARE\\KOVA\\" + code);
    registry.ValueName(L"inifile");
    registry.Default(cVariant(L""));
    std::wstring path = registry.GetString();
    if (sv && path.empty())
    {
        // The second place really has two backslashes before the id; the registry is given it unchanged.
        registry.SubKey(L"SOFTWARE\\KOVA\\\\CARTORIASV");
        path = registry.GetString();
    }
    return path;
}

void cCartoriaMapsRegister::LoadItem(cCartoriaMapItem& item) const
{
    cPrivateProfile reader;
    cShlwVB shlw;
    const std::wstring ini = GetIniFilePath(item.Code());
    if (ini.empty() || !m_fileSystem.FileExists(ini))
        return;

    auto read = [&reader](const std::wstring& section, const std::wstring& key) {
        reader.SectionName(section);
        reader.KeyName(key);
        reader.Default(cVariant(L""));
        return reader.GetString();
    };
    // The existence tests resolve a relative path against the current folder, the profile functions
    // against the Windows folder: hand them the file that was tested.
    reader.FileName(m_fileSystem.GetAbsolutePathName(ini));
    // The SV edition keeps its package under another key name.
    item.Package(
        read(L"Plotwing", UpperCase(item.Code()) == REG_CARTORIA_SV() ? L"VecPackage" : L"MapPackage"));

    const std::wstring searchFolder = read(L"SearchCtrl", L"SearchIni");
    if (searchFolder.empty() || !m_fileSystem.FolderExists(searchFolder))
        return;
    reader.FileName(shlw.VBAddBackslash(m_fileSystem.GetAbsolutePathName(searchFolder)) + L"search.ini");
    item.Address(read(L"SEARCHDATA", L"CHOMOKUDAT"));
    item.PinPoint(read(L"SEARCHDATA", L"PINPOINTDAT"));
    item.Normalize(read(L"SEARCHDATA", L"NORMARIZE"));
    if (!item.Normalize().empty() && m_fileSystem.FileExists(item.Normalize()))
        item.Normalize(shlw.VBFindPathName(item.Normalize(), true));
}

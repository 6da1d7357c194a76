#include "security/cSecureFolder.h"
#include "security/cAccount.h"
#include "security/cRunner.h"
#include "sys/TextCompare.h"
#include "sys/cAppError.h"
#include "sys/cFileSystemObject.h"
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

namespace
{
// NT SERVICE\TrustedInstaller, which owns Windows' own folders; IsWellKnownSid has no name for it.
constexpr const wchar_t* TrustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

DWORD Create(const std::wstring& folder, const std::wstring& sddl)
{
    const auto& make = cSecureFolder::Seams().Make;
    return make ? make(folder, sddl) : cSecureFolder::MakeFolder(folder, sddl);
}
} // namespace

DWORD cSecureFolder::MakeFolder(const std::wstring& folder, const std::wstring& sddl)
{
    cLocalMemory descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                descriptor.Put(), nullptr))
        return ::GetLastError();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    return ::CreateDirectoryW(folder.c_str(), &attributes) ? ERROR_SUCCESS : ::GetLastError();
}

std::wstring cSecureFolder::RefusalOf(const cResult& result, const std::wstring& folder)
{
    switch (result.Outcome)
    {
    case eOutcome::Ready:
    case eOutcome::Created:
        return {};
    case eOutcome::Link:
        return folder + L"の途中にリンクがあります：" + result.At;
    case eOutcome::Untrusted:
        return folder +
               L"またはその途中のフォルダーの所有者が SYSTEM、Administrators、TrustedInstaller "
               L"のどれでもありません：" +
               result.At;
    case eOutcome::Swapped:
        return L"確認したあとで" + folder + L"の途中のフォルダーが置き換えられました：" + result.At;
    case eOutcome::Unheld:
        return folder + L"の途中のフォルダーを、名前の変更や移動から保護できません（" +
               SystemMessage(result.Error) + L"）：" + result.At;
    case eOutcome::Failed:
        break;
    }
    return SystemMessage(result.Error) + L"：" + result.At;
}

cSecureFolder::cSeams& cSecureFolder::Seams()
{
    static cSeams seams;
    return seams;
}

namespace
{

// What the folder held by `handle` is, read from the handle; its path is asked too, since Wine opens the
// target of a Unix symbolic link even when asked for the link itself and shows the link only at its path.
bool IsLink(HANDLE handle, const std::wstring& folder)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return true;
    if (cSecureFolder::LinkOf(tag.FileAttributes, tag.ReparseTag))
        return true;
    WIN32_FIND_DATAW found{};
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    const cOwned<FindTraits> find(::FindFirstFileW(folder.c_str(), &found));
    return !find || cSecureFolder::LinkOf(attributes, found.dwReserved0);
}

// The folder itself, never what a link there points to, opened with an access that takes part in sharing
// (listing and traversing): shared with readers and writers but not with anyone who would delete, rename or
// move it. An open for attributes alone would hold nothing.
cHandle Hold(const std::wstring& folder)
{
    return cHandle(::CreateFileW(folder.c_str(),
                                 FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Whether two handles hold the same file or folder, as the file system numbers them.
bool SameObject(HANDLE one, HANDLE other)
{
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return ::GetFileInformationByHandle(one, &first) && ::GetFileInformationByHandle(other, &second) &&
           cFileSystemObject::IsSameFile(first, second);
}

// The owner of what `handle` opened, owned with its descriptor.
struct cOwner
{
    DWORD Status = ERROR_INVALID_HANDLE;
    PSID Sid = nullptr;
    cLocalMemory Descriptor{nullptr};
};
cOwner OwnerOfObject(HANDLE handle, SE_OBJECT_TYPE type, const std::wstring& folder = {})
{
    cOwner owner;
    if (!handle || handle == INVALID_HANDLE_VALUE)
        return owner;
    if (const auto& seam = cSecureFolder::Seams().Owner; seam && !folder.empty() && !seam(folder).empty())
    {
        owner.Status = ::ConvertStringSidToSidW(seam(folder).c_str(), owner.Descriptor.Put())
                           ? ERROR_SUCCESS
                           : ::GetLastError();
        owner.Sid = owner.Descriptor.Get();
        return owner;
    }
    owner.Status = ::GetSecurityInfo(handle, type, OWNER_SECURITY_INFORMATION, &owner.Sid, nullptr, nullptr,
                                     nullptr, owner.Descriptor.Put());
    if (owner.Status != ERROR_SUCCESS)
        owner.Sid = nullptr;
    return owner;
}

// Where the walk may start below the volume's root: ProgramData, when Windows owns it, since its default
// access lets users make folders in it and everything below it must be checked.
std::wstring TrustedStart(const std::wstring& folder)
{
    wchar_t programData[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, programData, CSIDL_COMMON_APPDATA, FALSE))
        return {};
    const std::wstring root = programData;
    if (root.size() <= 3 || folder.size() < root.size() ||
        !textcmp::Equal(folder.substr(0, root.size()), root) ||
        (folder.size() > root.size() && folder[root.size()] != L'\\'))
        return {};
    const cHandle held = Hold(root);
    const cOwner owner = OwnerOfObject(held.Get(), SE_FILE_OBJECT, root);
    const cSecureFolder::eOwner kind = cSecureFolder::OwnerOf(owner.Sid, nullptr, nullptr);
    return held && !IsLink(held.Get(), root) &&
                   (kind == cSecureFolder::eOwner::System || kind == cSecureFolder::eOwner::TrustedInstaller)
               ? root
               : std::wstring();
}
} // namespace

bool cSecureFolder::LinkOf(DWORD attributes, DWORD reparseTag)
{
    // A reparse point that names another place (symbolic link, junction, mount point); a cloud folder's
    // placeholder names none and is the folder itself. One without a tag (Wine shows a Unix symbolic link so)
    // counts as a link.
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag));
}

std::wstring cSecureFolder::Security(const std::wstring& userSid)
{
    const std::wstring rights = L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    return userSid.empty() ? L"O:BAD:PAI" + rights : L"D:PAI" + rights + L"(A;OICI;FA;;;" + userSid + L")";
}

DWORD cSecureFolder::ReadOwnerTrust(HANDLE object, SE_OBJECT_TYPE type, PSID self, bool& trusted)
{
    const cOwner owner = OwnerOfObject(object, type);
    trusted = owner.Status == ERROR_SUCCESS && IsTrustedOwner(owner.Sid, self);
    return owner.Status;
}

bool cSecureFolder::IsTrustedOwner(PSID owner, PSID self)
{
    return owner &&
           (::IsWellKnownSid(owner, WinLocalSystemSid) ||
            ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || (self && ::EqualSid(owner, self)));
}

cSecureFolder::eOwner cSecureFolder::OwnerOf(PSID owner, PSID runner, PSID rootOwner)
{
    if (!owner || !::IsValidSid(owner))
        return eOwner::None;
    if (::IsWellKnownSid(owner, WinLocalSystemSid))
        return eOwner::System;
    if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid))
        return eOwner::Administrators;
    if (cAccount::TextOf(owner) == TrustedInstaller)
        return eOwner::TrustedInstaller;
    if (rootOwner && ::EqualSid(owner, rootOwner))
        return eOwner::RootOwner;
    return runner && ::EqualSid(owner, runner) ? eOwner::Runner : eOwner::Other;
}

cSecureFolder::eOutcome cSecureFolder::StepOf(bool link, eOwner owner, bool runnerTrusted)
{
    if (link)
        return eOutcome::Link;
    switch (owner)
    {
    case eOwner::System:
    case eOwner::Administrators:
    case eOwner::TrustedInstaller:
    case eOwner::RootOwner:
        return eOutcome::Ready;
    case eOwner::Runner:
        return runnerTrusted ? eOutcome::Ready : eOutcome::Untrusted;
    case eOwner::Other:
    case eOwner::None:
        break;
    }
    return eOutcome::Untrusted;
}

cSecureFolder::cHeld cSecureFolder::Ensure(const std::wstring& folder, bool runnerTrusted)
{
    cHeld held;
    cResult& result = held.Result;
    if (folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\')
    {
        result.Error = ERROR_BAD_PATHNAME;
        return held;
    }
    std::vector<BYTE> user = cRunner::TokenUser();
    const std::wstring volume = folder.substr(0, 3);
    const cHandle rootHandle = Hold(volume);
    const cOwner rootOwner = OwnerOfObject(rootHandle.Get(), SE_FILE_OBJECT, volume);
    const std::wstring start = TrustedStart(folder);
    bool created = false;
    // Each folder below the trusted start: checked and held where it is there, made where it is not.
    for (size_t end = folder.find(L'\\', start.empty() ? 3 : start.size() + 1);;
         end = folder.find(L'\\', end + 1))
    {
        result.At = folder.substr(0, end == std::wstring::npos ? folder.size() : end);
        if (result.At.size() > 3 && result.At.size() > start.size())
        {
            cHandle handle = Hold(result.At);
            if (!handle)
            {
                result.Error = ::GetLastError();
                // There, but not to be held as the tool holds folders: never written into unheld.
                if (result.Error != ERROR_FILE_NOT_FOUND && result.Error != ERROR_PATH_NOT_FOUND)
                {
                    result.Outcome = eOutcome::Unheld;
                    return held;
                }
                // An administrator can make the Administrators group the owner; an unelevated user cannot.
                result.Error = Create(result.At, Security({}));
                if (result.Error == ERROR_INVALID_OWNER)
                    result.Error = Create(result.At, Security(cAccount::TextOf(cRunner::SidIn(user))));
                if (result.Error != ERROR_SUCCESS || !(handle = Hold(result.At)))
                {
                    result.Error = result.Error ? result.Error : ::GetLastError();
                    return held;
                }
                created = true;
            }
            const DWORD attributes = ::GetFileAttributesW(result.At.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            {
                result.Error = ERROR_DIRECTORY;
                return held;
            }
            const cOwner owner = OwnerOfObject(handle.Get(), SE_FILE_OBJECT, result.At);
            result.Outcome = StepOf(IsLink(handle.Get(), result.At),
                                    OwnerOf(owner.Sid, cRunner::SidIn(user), rootOwner.Sid), runnerTrusted);
            if (result.Outcome != eOutcome::Ready)
                return held;
            held.m_folders.push_back({result.At, std::move(handle)});
        }
        if (end == std::wstring::npos || end + 1 == folder.size())
            break;
    }
    result = {created ? eOutcome::Created : eOutcome::Ready, folder, ERROR_SUCCESS};
    return held;
}

cSecureFolder::cResult cSecureFolder::cHeld::Verify() const
{
    if (Result.Outcome != eOutcome::Ready && Result.Outcome != eOutcome::Created)
        return Result;
    for (const cFolder& folder : m_folders)
    {
        const cHandle now = Hold(folder.Path);
        if (!now || !SameObject(folder.Handle.Get(), now.Get()) || IsLink(now.Get(), folder.Path))
            return {eOutcome::Swapped, folder.Path, ERROR_SUCCESS};
    }
    return Result;
}

#include "sys/cSecureFolder.h"
#include "sys/cOwned.h"
#include <aclapi.h>
#include <sddl.h>
#include <vector>

namespace
{
// The running user's SID, as the token holds it.
std::vector<BYTE> RunningUser()
{
    cHandle token;
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return {};
    ::GetTokenInformation(token.Get(), ::TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), ::TokenUser, user.data(), size, &size))
        return {};
    return user;
}

PSID SidOf(std::vector<BYTE>& user)
{
    return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

std::wstring SidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text))
        return {};
    const cLocalMemory owned(text);
    return text;
}

DWORD Create(const std::wstring& folder, const std::wstring& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                nullptr))
        return ::GetLastError();
    const cLocalMemory owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    return ::CreateDirectoryW(folder.c_str(), &attributes) ? ERROR_SUCCESS : ::GetLastError();
}

// A reparse point that names another place (symbolic link, junction, mount point); a cloud folder's
// placeholder names none and is the folder itself. A reparse point without a tag (Wine shows a Unix symbolic
// link so) or one that cannot be read counts as a link.
bool IsLink(const std::wstring& folder)
{
    WIN32_FIND_DATAW found{};
    const cOwned<FindTraits> find(::FindFirstFileW(folder.c_str(), &found));
    return !find || found.dwReserved0 == 0 || IsReparseTagNameSurrogate(found.dwReserved0);
}

// Opens the folder itself, never what a link there points to.
cHandle OpenFolder(const std::wstring& folder)
{
    return cHandle(::CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
}
} // namespace

std::wstring cSecureFolder::Security(const std::wstring& userSid)
{
    const std::wstring rights = L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    return userSid.empty() ? L"O:BAD:PAI" + rights : L"D:PAI" + rights + L"(A;OICI;FA;;;" + userSid + L")";
}

DWORD cSecureFolder::ReadOwnerTrust(HANDLE object, SE_OBJECT_TYPE type, PSID self, bool& trusted)
{
    PSID owner = nullptr;
    cLocalMemory descriptor;
    const DWORD status = ::GetSecurityInfo(object, type, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                           nullptr, descriptor.Put());
    trusted = status == ERROR_SUCCESS && IsTrustedOwner(owner, self);
    return status;
}

bool cSecureFolder::IsTrustedOwner(PSID owner, PSID self)
{
    return owner &&
           (::IsWellKnownSid(owner, WinLocalSystemSid) ||
            ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || (self && ::EqualSid(owner, self)));
}

cSecureFolder::cResult cSecureFolder::Ensure(const std::wstring& folder)
{
    std::vector<BYTE> user = RunningUser();
    cResult result;
    if (folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\')
    {
        result.Error = ERROR_BAD_PATHNAME;
        return result;
    }
    bool created = false;
    // Each folder from the drive's root down: checked where it is there, made where it is not.
    for (size_t end = folder.find(L'\\', 3);; end = folder.find(L'\\', end + 1))
    {
        result.At = folder.substr(0, end == std::wstring::npos ? folder.size() : end);
        if (result.At.size() > 3)
        {
            const DWORD attributes = ::GetFileAttributesW(result.At.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
            {
                result.Error = ::GetLastError();
                if (result.Error != ERROR_FILE_NOT_FOUND && result.Error != ERROR_PATH_NOT_FOUND)
                    return result;
                // An administrator can make the Administrators group the owner; an unelevated user cannot.
                result.Error = Create(result.At, Security({}));
                if (result.Error == ERROR_INVALID_OWNER)
                    result.Error = Create(result.At, Security(SidText(SidOf(user))));
                if (result.Error != ERROR_SUCCESS)
                    return result;
                created = true;
            }
            else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLink(result.At))
            {
                result.Outcome = eOutcome::Link;
                return result;
            }
            else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            {
                result.Error = ERROR_DIRECTORY;
                return result;
            }
        }
        if (end == std::wstring::npos || end + 1 == folder.size())
            break;
    }
    const cHandle handle = OpenFolder(folder);
    bool trusted = false;
    result.Error =
        handle ? ReadOwnerTrust(handle.Get(), SE_FILE_OBJECT, SidOf(user), trusted) : ::GetLastError();
    if (result.Error != ERROR_SUCCESS)
        return result;
    result.At = folder;
    result.Outcome = !trusted ? eOutcome::Untrusted : created ? eOutcome::Created : eOutcome::Ready;
    return result;
}

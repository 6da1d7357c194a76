#include "security/cRunner.h"
#include "security/cAccount.h"
#include "sys/cOwned.h"
#include <vector>

bool cRunner::IsElevated()
{
    cHandle token;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()) &&
           ::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated;
}

std::vector<BYTE> cRunner::TokenUser()
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

PSID cRunner::SidIn(std::vector<BYTE>& tokenUser)
{
    return tokenUser.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

std::wstring cRunner::Sid()
{
    std::vector<BYTE> user = TokenUser();
    return cAccount::TextOf(SidIn(user));
}

ULONGLONG cRunner::StartTime(HANDLE process)
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return static_cast<ULONGLONG>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

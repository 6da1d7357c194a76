#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Account names looked up off the calling thread, within one deadline for the whole run. A domain account's
// name comes from a domain controller; where none answers, one lookup waits for the network's time-out, which
// LookupAccountSidW cannot be told to cut short. Past the deadline the names still missing stay unknown (the
// users are shown by SID); an answer that comes later is kept for a later reading, never handed to anyone
// gone.
class cAccountNames
{
public:
    using Lookup = std::function<std::wstring(const std::wstring& sid)>;
    static constexpr std::chrono::milliseconds DefaultBudget{10000};

    // `lookup` must hold nothing the caller may destroy: it runs on a thread of its own.
    explicit cAccountNames(Lookup lookup, std::chrono::milliseconds budget = DefaultBudget);
    cAccountNames(const cAccountNames&) = delete;
    cAccountNames& operator=(const cAccountNames&) = delete;

    // The names of `sids`, in their order: empty where the lookup found none, or had not answered by the
    // deadline, which the first call sets.
    std::vector<std::wstring> NamesOf(const std::vector<std::wstring>& sids);

private:
    struct cShared;
    std::shared_ptr<cShared> m_shared;
    std::chrono::milliseconds m_budget;
    std::chrono::steady_clock::time_point m_deadline{};
    bool m_started = false;
};

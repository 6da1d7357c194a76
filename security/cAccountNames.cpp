#include "security/cAccountNames.h"
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

struct cAccountNames::cShared
{
    Lookup Find;
    std::mutex Lock;
    std::condition_variable Answered;
    std::map<std::wstring, std::wstring> Names; // every SID answered, found or not
    std::deque<std::wstring> Waiting;
    bool Working = false;
};

cAccountNames::cAccountNames(Lookup lookup, std::chrono::milliseconds budget)
    : m_shared(std::make_shared<cShared>()), m_budget(budget)
{
    m_shared->Find = std::move(lookup);
}

std::vector<std::wstring> cAccountNames::NamesOf(const std::vector<std::wstring>& sids)
{
    if (!m_started)
        m_started = true, m_deadline = std::chrono::steady_clock::now() + m_budget;
    std::unique_lock lock(m_shared->Lock);
    // Past the deadline nothing more is asked: a lookup that hangs must not gather a queue behind it.
    const bool inTime = std::chrono::steady_clock::now() < m_deadline;
    for (const std::wstring& sid : sids)
        if (inTime && !m_shared->Names.count(sid) &&
            std::find(m_shared->Waiting.begin(), m_shared->Waiting.end(), sid) == m_shared->Waiting.end())
            m_shared->Waiting.push_back(sid);
    if (!m_shared->Waiting.empty() && !m_shared->Working)
    {
        m_shared->Working = true;
        // Detached, holding the shared state only: a lookup that never returns keeps a thread, not the
        // caller.
        std::thread([shared = m_shared] {
            std::unique_lock held(shared->Lock);
            while (!shared->Waiting.empty())
            {
                const std::wstring sid = shared->Waiting.front();
                shared->Waiting.pop_front();
                if (shared->Names.count(sid))
                    continue;
                held.unlock();
                std::wstring name = shared->Find(sid);
                held.lock();
                shared->Names[sid] = std::move(name);
                shared->Answered.notify_all();
            }
            shared->Working = false;
        }).detach();
    }
    const auto allAnswered = [&] {
        for (const std::wstring& sid : sids)
            if (!m_shared->Names.count(sid))
                return false;
        return true;
    };
    m_shared->Answered.wait_until(lock, m_deadline, allAnswered);
    std::vector<std::wstring> names;
    for (const std::wstring& sid : sids)
    {
        const auto found = m_shared->Names.find(sid);
        names.push_back(found == m_shared->Names.end() ? std::wstring() : found->second);
    }
    return names;
}

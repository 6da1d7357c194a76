#include "security/cAccountNames.h"
#include "tests/support/TestPc.h"

// A domain controller that never answers holds a thread of its own, never the reading: one deadline for the
// whole run, then users are shown by SID, a late answer lands harmlessly; one first seen later is asked.
TEST(cAccountNamesTest, NamesComeWithinOneDeadlineForTheRunAndALookupThatHangsHoldsNoOne)
{
    const auto release = std::make_shared<cHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto names = std::make_unique<cAccountNames>(
        [release](const std::wstring& sid) {
            ::WaitForSingleObject(release->Get(), sid == L"S-hang" ? 30000 : 0);
            return std::wstring(sid == L"S-1" ? L"PC\\a" : sid == L"S-4" ? L"PC\\d" : L"");
        },
        std::chrono::milliseconds(400));
    const ULONGLONG start = ::GetTickCount64();
    const auto since = [start] { return ::GetTickCount64() - start; };
    EXPECT_EQ((std::vector<std::wstring>{L"PC\\a", L""}), names->NamesOf({L"S-1", L"S-2"}));
    EXPECT_LT(since(), 300u) << "answered lookups are not waited for";
    EXPECT_EQ((std::vector<std::wstring>{L"PC\\d", L"", L"PC\\a"}),
              names->NamesOf({L"S-4", L"S-hang", L"S-1"}));
    const auto atDeadline = since();
    EXPECT_TRUE(atDeadline >= 350 && atDeadline < 1500) << atDeadline;
    EXPECT_EQ((std::vector<std::wstring>{L"", L""}), names->NamesOf({L"S-3", L"S-hang"}));
    EXPECT_LT(since() - atDeadline, 100u) << "past the deadline nothing is waited for";
    names.reset(); // the late answer lands on what the thread alone shares; the test outwaits it
    ::SetEvent(release->Get());
    for (int waited = 0; waited < 5000 && (release.use_count() > 1 || waited < 100); waited += 10)
        ::Sleep(10);
    EXPECT_EQ(1, release.use_count()) << "the lookup's thread still holds what it shared";
}

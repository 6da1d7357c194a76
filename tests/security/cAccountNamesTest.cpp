#include "security/cAccountNames.h"
#include "tests/support/TestPc.h"

// A domain controller that never answers holds a thread of its own, never the reading: one deadline for the
// whole run, then the users are shown by SID, and a late answer lands harmlessly; one first seen later is
// asked.
TEST(cAccountNamesTest, NamesComeWithinOneDeadlineForTheRunAndALookupThatHangsHoldsNoOne)
{
    const auto release = std::make_shared<cHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    cAccountNames names(
        [release](const std::wstring& sid) {
            if (sid == L"S-hang")
                ::WaitForSingleObject(release->Get(), 30000);
            return std::wstring(sid == L"S-1" ? L"PC\\a" : sid == L"S-4" ? L"PC\\d" : L"");
        },
        std::chrono::milliseconds(400));
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&] {
        return (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1);
    };
    EXPECT_EQ((std::vector<std::wstring>{L"PC\\a", L""}), names.NamesOf({L"S-1", L"S-2"}));
    EXPECT_LT(since(), 300) << "answered lookups are not waited for";
    EXPECT_EQ((std::vector<std::wstring>{L"PC\\d", L"", L"PC\\a"}),
              names.NamesOf({L"S-4", L"S-hang", L"S-1"}));
    const auto atDeadline = since();
    EXPECT_TRUE(atDeadline >= 350 && atDeadline < 1500) << atDeadline;
    EXPECT_EQ((std::vector<std::wstring>{L"", L""}), names.NamesOf({L"S-3", L"S-hang"}));
    EXPECT_LT(since() - atDeadline, 100) << "past the deadline nothing is waited for";
    ::SetEvent(release->Get());
}

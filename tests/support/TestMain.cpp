#include "tests/support/TestPc.h"
#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Every Japanese text crosses the A functions; under any other code page the results are noise.
    if (::GetACP() != 932 && !GTEST_FLAG_GET(list_tests))
    {
        std::fprintf(stderr,
                     "The tests need code page 932 (LANG=ja_JP.UTF-8, as scripts/test sets), not %u\n",
                     ::GetACP());
        return 2;
    }
    // A crash must not leave a dialog waiting for a click.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    return RUN_ALL_TESTS();
}

TEST(MachineGuardTest, OnlyAMarkedPrefixOrTheUsersWordMakesAThrowawayMachine)
{
    EXPECT_TRUE(MachineKind(true, nullptr) == eMachine::Throwaway &&
                MachineKind(false, L"1") == eMachine::Throwaway);
    for (const wchar_t* word : {static_cast<const wchar_t*>(nullptr), L"", L"0", L"yes", L"11"})
        EXPECT_EQ(eMachine::Protected, MachineKind(false, word)) << (word ? word : L"(unset)");
}

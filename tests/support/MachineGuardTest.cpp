#include "tests/support/TestPc.h"

TEST(MachineGuardTest, OnlyAMarkedPrefixOrTheUsersWordMakesAThrowawayMachine)
{
    EXPECT_TRUE(MachineKind(true, nullptr) == eMachine::Throwaway &&
                MachineKind(false, L"1") == eMachine::Throwaway);
    for (const wchar_t* word : {static_cast<const wchar_t*>(nullptr), L"", L"0", L"yes", L"11"})
        EXPECT_EQ(eMachine::Protected, MachineKind(false, word)) << (word ? word : L"(unset)");
}

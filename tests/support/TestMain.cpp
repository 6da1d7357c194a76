#include "tests/support/TestPc.h"
#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Every Japanese text crosses the A functions; under any other code page the results are noise.
    if (::GetACP() != 932 && !GTEST_FLAG_GET(list_tests))
    {
        std::fprintf(stderr,
                     "The tests need the Japanese ANSI code page 932, but GetACP() is %u.\n"
                     "Run them with LANG=ja_JP.UTF-8 (scripts/test does).\n",
                     ::GetACP());
        return 2;
    }
    if (ThisMachine() != eMachine::Throwaway && !GTEST_FLAG_GET(list_tests))
        std::fprintf(stderr, "Not a throwaway machine: the tests that change it are skipped (see README).\n");
    // A crash must not leave a dialog waiting for a click.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    return RUN_ALL_TESTS();
}

#include "tests/support/TestSupport.h"
#include "sys/StrConv.h"
#include <gtest/gtest.h>

std::wstring CurrentTestName()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? strconv::ToWide(std::string(info->test_suite_name()) + "." + info->name(), CP_UTF8)
                : L"none";
}

#include "tests/support/cMessageBoxCatcher.h"
#include <gtest/gtest.h>
#include <stdexcept>

TEST(cMessageBoxCatcherTest, RecordsTitleTextAndIconAndPressesOk)
{
    cMessageBoxCatcher catcher;
    EXPECT_EQ(IDOK, ::MessageBoxW(nullptr, L"一行目\r\n二行目", L"題名", MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(IDOK, ::MessageBoxW(nullptr, L"76\r\nパスが見つかりません。", L"Stop", MB_OK | MB_ICONSTOP));
    EXPECT_EQ(IDOK, ::MessageBoxW(nullptr, L"plain", L"", MB_OK));

    ASSERT_EQ(3u, catcher.Boxes().size());
    EXPECT_EQ(L"題名", catcher.Boxes()[0].Title);
    EXPECT_EQ(L"一行目\r\n二行目", catcher.Boxes()[0].Text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), catcher.Boxes()[0].Icon);
    EXPECT_EQ(L"Stop", catcher.Boxes()[1].Title);
    EXPECT_EQ(L"76\r\nパスが見つかりません。", catcher.Boxes()[1].Text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), catcher.Boxes()[1].Icon);
    EXPECT_EQ(L"plain", catcher.Boxes()[2].Text);
    EXPECT_EQ(0u, catcher.Boxes()[2].Icon);
}

TEST(cMessageBoxCatcherTest, TellsWarningAndQuestionIconsApart)
{
    cMessageBoxCatcher catcher;
    ::MessageBoxW(nullptr, L"w", L"t", MB_OK | MB_ICONWARNING);
    ::MessageBoxW(nullptr, L"q", L"t", MB_OK | MB_ICONQUESTION);
    ASSERT_EQ(2u, catcher.Boxes().size());
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), catcher.Boxes()[0].Icon);
    EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), catcher.Boxes()[1].Icon);
}

TEST(cMessageBoxCatcherTest, AllowsOnlyOneAtATimeAndUnhooksWhenGone)
{
    {
        cMessageBoxCatcher first;
        EXPECT_THROW(cMessageBoxCatcher second, std::logic_error);
        ::MessageBoxW(nullptr, L"once", L"t", MB_OK);
        EXPECT_EQ(1u, first.Boxes().size());
    }
    // A new catcher starts empty and still catches, so the first one's hook did not outlive it.
    cMessageBoxCatcher next;
    EXPECT_EQ(IDOK, ::MessageBoxW(nullptr, L"again", L"t", MB_OK));
    ASSERT_EQ(1u, next.Boxes().size());
    EXPECT_EQ(L"again", next.Boxes()[0].Text);
}

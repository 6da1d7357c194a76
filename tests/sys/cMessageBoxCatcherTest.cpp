#include "tests/support/cMessageBoxCatcher.h"
#include <gtest/gtest.h>
#include <stdexcept>

TEST(cMessageBoxCatcherTest, RecordsTitleTextAndIconAndPressesOk)
{
    cMessageBoxCatcher catcher;
    const UINT icons[] = {MB_ICONINFORMATION, MB_ICONSTOP, MB_ICONWARNING, MB_ICONQUESTION, 0};
    for (UINT icon : icons)
        EXPECT_EQ(IDOK, ::MessageBoxW(nullptr, L"76\r\nパス", (L"題" + std::to_wstring(icon)).c_str(), icon));
    ASSERT_EQ(std::size(icons), catcher.Boxes().size());
    for (size_t i = 0; i < std::size(icons); ++i)
    {
        EXPECT_EQ(L"題" + std::to_wstring(icons[i]), catcher.Boxes()[i].Title);
        EXPECT_EQ(L"76\r\nパス", catcher.Boxes()[i].Text);
        EXPECT_EQ(icons[i], catcher.Boxes()[i].Icon);
    }
}

TEST(cMessageBoxCatcherTest, AllowsOnlyOneAtATimeAndUnhooksWhenGone)
{
    {
        cMessageBoxCatcher first;
        EXPECT_THROW(cMessageBoxCatcher second, std::logic_error);
    }
    cMessageBoxCatcher next; // would throw if the first had stayed registered
    EXPECT_EQ(IDOK, ::MessageBoxW(nullptr, L"again", L"t", MB_OK));
    ASSERT_EQ(1u, next.Boxes().size());
}

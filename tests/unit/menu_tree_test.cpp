// The menu calls as the headless backend runs them: the shared menu data
// the Qt backend also uses.
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "platform/menu_tree.h"
#include "platform/platform.h"

namespace {

using platform::menus::Find;
using platform::menus::FindCommand;

class MenuTreeTest : public ::testing::Test {
protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { headless::Reset(); }
};

TEST_F(MenuTreeTest, CheckMarkReachesAnEntryInsideASubmenu) {
    platform::MenuHandle bar = platform::NewMenuBar();
    platform::MenuHandle options = platform::NewMenu();
    platform::MenuHandle nested = platform::NewMenu();
    platform::AppendMenuItem(options, 1, "One");
    platform::AppendMenuSubmenu(options, nested, "More");
    platform::AppendMenuItem(nested, 2, "Two");
    platform::AppendMenuSubmenu(bar, options, "&Options");

    platform::SetMenuItemChecked(bar, 2, true);
    platform::MenuHandle holder = nullptr;
    ASSERT_NE(FindCommand(bar, 2, &holder), nullptr);
    EXPECT_EQ(holder, nested);
    EXPECT_TRUE(Find(nested)->items.at(0).checked);
    EXPECT_FALSE(Find(options)->items.at(0).checked);

    platform::SetMenuItemChecked(options, 2, false);
    EXPECT_FALSE(Find(nested)->items.at(0).checked);
    EXPECT_EQ(headless::Labels(options), (std::vector<std::string>{"One", "More"}));
}

TEST_F(MenuTreeTest, StaleHandlesAndSelfHoldingMenusAreHarmless) {
    platform::MenuHandle menu = platform::NewMenu();
    platform::MenuHandle gone = platform::NewMenu();
    platform::AppendMenuItem(gone, 7, "Seven");
    platform::DestroyMenuTree(gone);
    platform::AppendMenuItem(gone, 8, "Eight");  // ignored, as Win32 ignores it
    platform::SetMenuItemChecked(gone, 7, true);
    EXPECT_EQ(Find(gone), nullptr);

    platform::AppendMenuSubmenu(menu, menu, "Itself");
    platform::SetMenuItemChecked(menu, 9, true);  // must end, finding nothing
    EXPECT_EQ(FindCommand(menu, 9), nullptr);
    platform::DestroyMenuTree(menu);
    EXPECT_EQ(platform::menus::LiveCount(), 0u);
}

}  // namespace

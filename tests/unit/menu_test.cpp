// Menus: the builder's cursor through titles, items, separators and nested
// submenus; greying; the window subclass; menus going with their window.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/toolkit_fixture.h"

namespace {

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartToolkitServices();
    ASSERT_NE(WindowOpen(0, 20, 20, 300, 200, "menus"), 0);
    window_ = WindowHandle(0);
    DrainEvents();
  }
  void TearDown() override {
    WindowClose(0);
    WindowClose(1);
    for (intptr_t number : menus_) {
      MenuFree(number);
    }
    DrainEvents();
  }
  HWND window_ = nullptr;
  std::vector<intptr_t> menus_;
};

std::string Label(HMENU menu, int position) {
  char text[64] = {};
  GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

// A menu's items in order: a command's id, a submenu's label, "-" for a separator.
std::string Items(HMENU menu) {
  std::string items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
    GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
    items += i == 0 ? "" : " ";
    if ((info.fType & MFT_SEPARATOR) != 0) {
      items += "-";
    } else if (info.hSubMenu != nullptr) {
      items += Label(menu, i);
    } else {
      items += std::to_string(info.wID);
    }
  }
  return items;
}

bool IsGrayed(HMENU menu, UINT id) {
  return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

TEST_F(MenuTest, BuilderNestsSubmenusWhereTheyWereOpened) {
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(GetMenu(window_), nullptr);  // the bar shows from the first title on
  BuildViewerMenu();
  EXPECT_EQ(GetMenu(window_), bar);

  EXPECT_EQ(Items(bar), "File Edition ?");
  HMENU file = GetSubMenu(bar, 0);
  EXPECT_EQ(Items(file), "1 2 3 - Recents - 7");
  EXPECT_EQ(Label(file, 0), "&Load...");
  HMENU recents = GetSubMenu(file, 4);
  EXPECT_EQ(Items(recents), "5 6 Even more ! 13");
  EXPECT_EQ(Items(GetSubMenu(recents, 2)), "12");
  EXPECT_EQ(Items(GetSubMenu(bar, 1)), "8 9 10");
  EXPECT_EQ(Items(GetSubMenu(bar, 2)), "11");
  // A separator carries no command; a chosen item passes the subclass.
  EXPECT_EQ(GetMenuState(file, 3, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  DrainEvents();
  PostMessageA(window_, WM_COMMAND, 12, 0);
  EXPECT_EQ(EventWait(), EVENT_MENU);
  EXPECT_EQ(EventMenuItem(), 12);
}

TEST_F(MenuTest, TitleAfterNestedSubmenusStartsOnTheBar) {
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  MenuAddTitle("One");
  MenuOpenSub("a");
  MenuOpenSub("b");
  MenuOpenSub("c");
  MenuAddTitle("Two");
  MenuAddItem(40, "in two");
  EXPECT_EQ(Items(bar), "One Two");
  EXPECT_EQ(Items(GetSubMenu(bar, 1)), "40");
}

TEST_F(MenuTest, CloseSubAtDepthZeroChangesNothingAndAfterATitleReturnsToTheBar) {
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  MenuCloseSub();  // depth 0
  MenuAddTitle("Title");
  MenuCloseSub();  // back to the bar itself
  MenuAddItem(21, "On the bar");
  MenuCloseSub();  // depth 0 again
  MenuAddItem(22, "Also on the bar");
  EXPECT_EQ(Items(bar), "Title 21 22");
  EXPECT_EQ(Items(GetSubMenu(bar, 0)), "");
}

TEST_F(MenuTest, GreyingFindsItemsInSubmenusAndIgnoresUnknownIds) {
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  BuildViewerMenu();
  HMENU file = GetSubMenu(bar, 0);
  HMENU recents = GetSubMenu(file, 4);

  EXPECT_EQ(MenuDisableItem(0, 3, 1), static_cast<DWORD>(MF_ENABLED));
  EXPECT_EQ(MenuDisableItem(0, 13, 1), static_cast<DWORD>(MF_ENABLED));
  EXPECT_TRUE(IsGrayed(file, 3));
  EXPECT_TRUE(IsGrayed(recents, 13));
  EXPECT_FALSE(IsGrayed(recents, 5));
  EXPECT_FALSE(IsGrayed(file, 1));

  EXPECT_EQ(MenuDisableItem(0, 99, 1), 0xFFFFFFFFu);
  for (UINT id : {1u, 2u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u}) {
    EXPECT_FALSE(IsGrayed(bar, id)) << id;
  }
  // State 0 enables again; the previous state comes back.
  EXPECT_EQ(MenuDisableItem(0, 13, 0), static_cast<DWORD>(MF_GRAYED));
  EXPECT_FALSE(IsGrayed(recents, 13));
  // A menu number that is not open answers 0 and changes nothing.
  EXPECT_EQ(MenuDisableItem(5, 3, 0), 0u);
  EXPECT_TRUE(IsGrayed(file, 3));
}

TEST_F(MenuTest, TwoMenusForOneWindowSubclassItOnce) {
  menus_ = {1, 2};
  ASSERT_NE(MenuCreate(1, window_), 0);
  ASSERT_NE(MenuCreate(2, window_), 0);
  // A second subclass would pass messages on to itself without end; one
  // command still comes out as the menu event.
  DrainEvents();
  PostMessageA(window_, WM_COMMAND, 3, 0);
  EXPECT_EQ(EventWait(), EVENT_MENU);
  EXPECT_EQ(EventMenuItem(), 3);
  EXPECT_EQ(SendMessageA(window_, WM_GETTEXTLENGTH, 0, 0), 5);
}

TEST_F(MenuTest, MenuGoesWithItsWindow) {
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  BuildViewerMenu();
  ASSERT_EQ(MenuDisableItem(0, 3, 1), static_cast<DWORD>(MF_ENABLED));
  WindowClose(0);
  EXPECT_EQ(MenuDisableItem(0, 3, 0), 0u);
  EXPECT_FALSE(IsMenu(bar));
  // The number is free for a new menu.
  ASSERT_NE(WindowOpen(1, 20, 20, 200, 100, "again"), 0);
  EXPECT_NE(MenuCreate(0, WindowHandle(1)), 0);
  MenuAddTitle("T");
  EXPECT_NE(GetMenu(WindowHandle(1)), nullptr);
}

TEST_F(MenuTest, DynamicMenuGoesWithItsWindowToo) {
  const intptr_t number = MenuCreate(OBJECT_ANY, window_);
  ASSERT_NE(number, 0);
  MenuAddTitle("T");
  MenuAddItem(4, "four");
  EXPECT_EQ(MenuDisableItem(number, 4, 1), static_cast<DWORD>(MF_ENABLED));
  WindowClose(0);
  EXPECT_EQ(MenuDisableItem(number, 4, 0), 0u);
}

TEST_F(MenuTest, MenuNotShownOutlivesItsWindowWithoutIt) {
  menus_ = {1};
  const auto shown = HandleFrom<HMENU>(MenuCreate(0, window_));
  MenuAddTitle("Shown");
  const auto spare = HandleFrom<HMENU>(MenuCreate(1, window_));
  MenuAddItem(8, "spare");
  SetMenu(window_, shown);  // MenuAddItem showed the spare one; show the first again
  WindowClose(0);
  EXPECT_EQ(MenuDisableItem(0, 1, 1), 0u);
  EXPECT_TRUE(IsMenu(spare));
  EXPECT_EQ(MenuDisableItem(1, 8, 1), static_cast<DWORD>(MF_ENABLED));
  MenuFree(1);
  EXPECT_FALSE(IsMenu(spare));
}

TEST_F(MenuTest, FreeTakesTheMenuOffItsWindowAndStopsTheBuilder) {
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  MenuAddTitle("T");
  MenuFree(0);
  EXPECT_EQ(GetMenu(window_), nullptr);
  EXPECT_FALSE(IsMenu(bar));
  EXPECT_EQ(MenuDisableItem(0, 1, 1), 0u);
  // Nothing is being built any more.
  EXPECT_FALSE(MenuAddTitle("Late"));
  EXPECT_EQ(MenuOpenSub("Late"), nullptr);
  EXPECT_FALSE(MenuAddItem(1, "Late"));
  EXPECT_EQ(GetMenu(window_), nullptr);
  MenuFree(0);  // twice is harmless
}

TEST_F(MenuTest, NewMenuStartsAtTheBarWhateverTheLastOneLeftOpen) {
  menus_ = {1};
  MenuCreate(1, window_);
  MenuAddTitle("Old");
  MenuOpenSub("deep");
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  MenuAddItem(30, "first");
  MenuCloseSub();
  MenuAddItem(31, "second");
  EXPECT_EQ(Items(bar), "30 31");
}

TEST_F(MenuTest, NestingBeyondTheStackIsRefused) {
  auto bar = HandleFrom<HMENU>(MenuCreate(0, window_));
  MenuAddTitle("Deep");
  HMENU innermost = nullptr;
  for (int level = 2; level <= MENU_MAX_DEPTH; ++level) {
    innermost = MenuOpenSub("level");
    ASSERT_NE(innermost, nullptr) << level;
  }
  // The title and 63 submenus fill the stack: one more is refused, and so is
  // what would go into it.
  EXPECT_EQ(MenuOpenSub("too deep"), nullptr);
  EXPECT_FALSE(MenuAddItem(50, "lost"));
  EXPECT_FALSE(MenuAddBar());
  EXPECT_EQ(GetMenuItemCount(innermost), 0);
  MenuCloseSub();  // closes the refused one
  MenuAddItem(51, "innermost");
  EXPECT_EQ(Items(innermost), "51");
  EXPECT_EQ(GetMenuState(bar, 50, MF_BYCOMMAND), 0xFFFFFFFFu);
  // A new title starts over at the bar.
  MenuAddTitle("Next");
  EXPECT_NE(MenuOpenSub("fine"), nullptr);
  EXPECT_EQ(GetMenuItemCount(bar), 2);
}

}  // namespace

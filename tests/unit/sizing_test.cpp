// Live sizing: with full-window dragging on, SC_SIZE starts the toolkit's own
// loop, which sizes the window from mouse moves and arrow keys that come
// through EventWait, within the window's tracking limits.

#include "toolkit/window/sizing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/toolkit_fixture.h"

namespace {

constexpr uint32_t kSizable = 0xCF0000;

class SizingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartToolkitServices();
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &savedFullDrag_, 0);
    SetFullDrag(TRUE);
    ASSERT_NE(WindowOpen(0, 40, 40, 300, 200, "sizing", kSizable), 0);
    window_ = WindowHandle(0);
    SetActiveWindow(window_);
    SetFocus(window_);
    DrainEvents();
    GetWindowRect(window_, &start_);
  }
  void TearDown() override {
    if (GetCapture() != nullptr) {
      ReleaseCapture();
    }
    WindowClose(0);
    DrainEvents();
    SetFullDrag(savedFullDrag_);
  }
  static void SetFullDrag(BOOL on) {
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, static_cast<UINT>(on), nullptr, 0);
  }
  // Takes events until `message` comes out; before it only the window events
  // of the sizing done so far may come.
  void ExpectMessage(UINT message) {
    for (int i = 0; i < 20; ++i) {
      const int32_t event = EventWait(2000);
      if (event == static_cast<int32_t>(message)) {
        return;
      }
      if (event != EVENT_SIZE && event != EVENT_MOVE && event != EVENT_REPAINT) {
        ADD_FAILURE() << "event " << event << " before message " << message;
        return;
      }
    }
    ADD_FAILURE() << "message " << message << " never came";
  }
  // A mouse move to the screen point, as the captured window receives it.
  void MoveMouseTo(LONG x, LONG y) {
    POINT point{x, y};
    ScreenToClient(window_, &point);
    PostMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    ExpectMessage(WM_MOUSEMOVE);
  }
  // Starts sizing as the system menu or a border press does; the loop
  // announces itself with a posted WM_ENTERSIZEMOVE.
  void StartSizing(WPARAM direction) {
    EXPECT_EQ(SendMessageA(window_, WM_SYSCOMMAND, SC_SIZE | direction, 0), 0);
    EXPECT_TRUE(SizingActive());
    ExpectMessage(WM_ENTERSIZEMOVE);
  }
  void Key(WPARAM key) {
    PostMessageA(window_, WM_KEYDOWN, key, 1);
    ExpectMessage(WM_KEYDOWN);
  }
  // Ends the loop with Return or Escape: capture goes, WM_EXITSIZEMOVE is
  // posted, and what the key itself left behind is taken too.
  void Finish(WPARAM key) {
    Key(key);
    EXPECT_FALSE(SizingActive());
    EXPECT_EQ(GetCapture(), nullptr);
    const std::vector<int32_t> rest = EventsUntilMarker(window_);
    EXPECT_NE(std::find(rest.begin(), rest.end(), static_cast<int32_t>(WM_EXITSIZEMOVE)),
              rest.end());
  }
  RECT Outer() const {
    RECT r{};
    GetWindowRect(window_, &r);
    return r;
  }
  HWND window_ = nullptr;
  RECT start_{};
  BOOL savedFullDrag_ = FALSE;
};

TEST_F(SizingTest, MouseDragsTheBottomRightCornerAndEachChangeIsASizeEvent) {
  StartSizing(WMSZ_BOTTOMRIGHT);
  EXPECT_EQ(GetCapture(), window_);

  MoveMouseTo(start_.right + 40, start_.bottom + 30);
  RECT now = Outer();
  EXPECT_EQ(now.left, start_.left);
  EXPECT_EQ(now.top, start_.top);
  EXPECT_EQ(now.right, start_.right + 42);  // the edge sits 2 pixels past the cursor
  EXPECT_EQ(now.bottom, start_.bottom + 32);
  ExpectEventSequence("drag", {{EVENT_REPAINT, true}, {EVENT_SIZE}, {EVENT_REPAINT, true}},
                      EventsUntilMarker(window_));

  // The loop ends with the button's release; the window keeps its size.
  PostMessageA(window_, WM_LBUTTONUP, 0, 0);
  ExpectMessage(WM_LBUTTONUP);
  EXPECT_FALSE(SizingActive());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Outer().right, start_.right + 42);
  ExpectEventSequence("end", {{static_cast<int32_t>(WM_EXITSIZEMOVE)}}, EventsUntilMarker(window_));
}

TEST_F(SizingTest, TopLeftCornerSitsTwoPixelsBeforeTheCursor) {
  StartSizing(WMSZ_TOPLEFT);
  MoveMouseTo(start_.left - 20, start_.top - 10);
  const RECT now = Outer();
  EXPECT_EQ(now.left, start_.left - 22);
  EXPECT_EQ(now.top, start_.top - 12);
  EXPECT_EQ(now.right, start_.right);
  Finish(VK_ESCAPE);
  EXPECT_EQ(Outer().left, start_.left - 22);  // Escape keeps the new size
}

TEST_F(SizingTest, TrackingLimitsHoldIncludingTheWindowsOwnBounds) {
  StartSizing(WMSZ_RIGHT);
  MoveMouseTo(start_.left + 1, start_.bottom);
  EXPECT_EQ(Outer().right - Outer().left, GetSystemMetrics(SM_CXMINTRACK));
  Finish(VK_RETURN);

  WindowSetBounds(0, 250, 150, 420, 330);
  StartSizing(WMSZ_BOTTOMLEFT);
  MoveMouseTo(start_.right - 5, start_.top + 5);  // far too small
  RECT now = Outer();
  EXPECT_EQ(now.right - now.left, 250);
  EXPECT_EQ(now.bottom - now.top, 150);
  MoveMouseTo(now.right - 2000, now.top + 2000);  // far too large
  now = Outer();
  EXPECT_EQ(now.right - now.left, 420);
  EXPECT_EQ(now.bottom - now.top, 330);
  Finish(VK_RETURN);
}

TEST_F(SizingTest, KeyboardSizingPicksAnEdgeTurnsItIntoACornerAndSteps) {
  SetCursorPos(start_.left + 50, start_.top + 50);
  StartSizing(0);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEALL));

  Key(VK_RIGHT);  // the right edge
  Key(VK_DOWN);   // at right angles: the bottom-right corner

  Key(VK_RIGHT);  // steps of 10 pixels
  Key(VK_DOWN);
  Key(VK_DOWN);
  RECT now = Outer();
  EXPECT_EQ(now.right, start_.right + 10);
  EXPECT_EQ(now.bottom, start_.bottom + 20);
  EXPECT_EQ(now.left, start_.left);
  Finish(VK_RETURN);
  EXPECT_EQ(Outer().right, start_.right + 10);

  // Return straight after a keyboard start puts the cursor back.
  SetCursorPos(start_.left + 60, start_.top + 40);
  StartSizing(0);
  Finish(VK_RETURN);
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, start_.left + 60);
  EXPECT_EQ(cursor.y, start_.top + 40);
}

// Every turn: a first arrow picks an edge, a second at right angles makes it a
// corner; the cursor goes onto it with the shape that fits.
TEST_F(SizingTest, EveryArrowTurnPutsTheCursorOnItsEdgeOrCorner) {
  const LONG l = start_.left, t = start_.top, r = start_.right - 2, b = start_.bottom - 2;
  const LONG x = l + 50, y = t + 50;  // where the cursor starts
  const struct {
    WPARAM first, second;  // second 0: none
    POINT cursor;
    LPCSTR shape;
  } cases[] = {
      {VK_LEFT, 0, {l, y}, IDC_SIZEWE},
      {VK_RIGHT, 0, {r, y}, IDC_SIZEWE},
      {VK_UP, 0, {x, t}, IDC_SIZENS},
      {VK_DOWN, 0, {x, b}, IDC_SIZENS},
      {VK_LEFT, VK_UP, {l + 2, t + 2}, IDC_SIZENWSE},
      {VK_UP, VK_LEFT, {l + 2, t + 2}, IDC_SIZENWSE},
      {VK_LEFT, VK_DOWN, {l, b}, IDC_SIZENESW},
      {VK_DOWN, VK_LEFT, {l, b}, IDC_SIZENESW},
      {VK_RIGHT, VK_UP, {r, t}, IDC_SIZENESW},
      {VK_UP, VK_RIGHT, {r, t}, IDC_SIZENESW},
      {VK_RIGHT, VK_DOWN, {r, b}, IDC_SIZENWSE},
      {VK_DOWN, VK_RIGHT, {r, b}, IDC_SIZENWSE},
  };
  for (const auto& c : cases) {
    SetCursorPos(x, y);
    StartSizing(0);
    Key(c.first);
    if (c.second != 0) {
      Key(c.second);
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, c.cursor.x) << "keys " << c.first << ", " << c.second;
    EXPECT_EQ(cursor.y, c.cursor.y) << "keys " << c.first << ", " << c.second;
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, c.shape)) << "keys " << c.first << ", " << c.second;
    Finish(VK_RETURN);
    EXPECT_EQ(Outer().right, start_.right);  // turning moves no edge
  }
}

TEST_F(SizingTest, OtherKeysAndWindowsAreLeftAlone) {
  ASSERT_NE(WindowOpen(1, 500, 300, 100, 80, "other", kSizable), 0);
  HWND other = WindowHandle(1);
  RECT otherStart{};
  GetWindowRect(other, &otherStart);
  SetActiveWindow(window_);
  DrainEvents();
  StartSizing(WMSZ_RIGHT);
  Key('A');  // not the loop's: reaches the program as a key
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_CHAR));
  EXPECT_TRUE(SizingActive());
  PostMessageA(other, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_MOUSEMOVE));
  RECT otherNow{};
  GetWindowRect(other, &otherNow);
  EXPECT_EQ(otherNow.right, otherStart.right);
  EXPECT_EQ(Outer().right, start_.right);
  Finish(VK_RETURN);
  WindowClose(1);
}

TEST_F(SizingTest, WithoutFullWindowDraggingSizingIsThePlatformsOwn) {
  SetFullDrag(FALSE);
  // Whatever loop the platform runs ends at the first Escape.
  PostMessageA(window_, WM_KEYDOWN, VK_ESCAPE, 1);
  SendMessageA(window_, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
  EXPECT_FALSE(SizingActive());
  EXPECT_NE(GetCapture(), window_);
  DrainEvents();
  EXPECT_EQ(Outer().right, start_.right);
}

}  // namespace

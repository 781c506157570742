// Windows, menus, gadgets and live sizing driven as a user drives them: real
// input injected through the headless display (menu choices, keys, a press on
// the frame), and the pixels the display was given read back.

#include <gtest/gtest.h>


#include "platform/posix/headless.h"
#include "tests/support/toolkit_fixture.h"
#include "toolkit/gfx/image_gadget.h"
#include "toolkit/window/sizing.h"

namespace {

constexpr UINT kScanTab = 0x0F;
constexpr UINT kScanShift = 0x2A;
constexpr uint32_t kSizable = 0xCF0000;

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartToolkitServices();
    HeadlessClearSteps();
    ASSERT_NE(WindowOpen(0, 50, 50, 768, 596, "Kelpie v0.2"), 0);
    window_ = WindowHandle(0);
    DrainEvents();
  }
  void TearDown() override {
    WindowClose(0);
    DrainEvents();
  }
  HWND window_ = nullptr;
};

TEST_F(HeadlessTest, TabAndShiftTabMoveTheFocusWithWrap) {
  HeadlessActivate(window_);
  HWND stops[3];
  for (HWND& stop : stops) {
    stop = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10,
                           window_, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  SetFocus(stops[2]);
  DrainEvents();
  HeadlessKeyPress(kScanTab);
  DrainEvents();
  EXPECT_EQ(GetFocus(), stops[0]);
  HeadlessKeyDown(kScanShift);
  HeadlessKeyPress(kScanTab);
  HeadlessKeyUp(kScanShift);
  DrainEvents();
  EXPECT_EQ(GetFocus(), stops[2]);
}

// ---------------------------------------------------------------------------
// The image gadget

class HeadlessGadgetTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, 768, 576);
    ReleaseDC(nullptr, screen);
    Paint(RGB(0, 0, 255));
    gadget_ = HandleFrom<HWND>(GadgetImageCreate(123, 0, 0, 512, 384, bitmap_));
    ASSERT_NE(gadget_, nullptr);
    DrainEvents();
  }
  void TearDown() override {
    HeadlessTest::TearDown();
    DeleteObject(bitmap_);
  }
  void Paint(COLORREF colour) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap_);
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all{0, 0, 768, 576};
    FillRect(dc, &all, brush);
    SetPixelV(dc, 767, 575, RGB(255, 255, 0));
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  HBITMAP bitmap_ = nullptr;
  HWND gadget_ = nullptr;
};

TEST_F(HeadlessGadgetTest, WholePictureShowsUnderTheMenuBarAndRepaintsWithinSetState) {
  ASSERT_NE(MenuCreate(0, window_), 0);
  BuildViewerMenu();
  DrainEvents();
  RECT client{};
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 768);
  EXPECT_GE(client.bottom, 576);
  HeadlessImage shown = HeadlessPixels(window_);
  EXPECT_EQ(shown.Colour(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(shown.Colour(767, 575), RGB(255, 255, 0));

  Paint(RGB(0, 160, 0));
  GadgetSetState(123, reinterpret_cast<intptr_t>(bitmap_));
  shown = HeadlessPixels(window_);  // no event taken in between
  EXPECT_EQ(shown.Colour(400, 300), RGB(0, 160, 0));
  EXPECT_EQ(shown.Colour(767, 575), RGB(255, 255, 0));
}

// ---------------------------------------------------------------------------
// Live sizing by the frame

TEST_F(HeadlessTest, DraggingTheFrameCornerSizesTheWindowThroughTheEventLoop) {
  ASSERT_NE(WindowOpen(1, 100, 100, 300, 200, "sizable", kSizable), 0);
  HWND sizable = WindowHandle(1);
  WindowSetBounds(1, 0, 0, 500, 0);
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
  DrainEvents();
  RECT start{};
  GetWindowRect(sizable, &start);

  HeadlessFrameButton(sizable, HTBOTTOMRIGHT);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_NCLBUTTONDOWN));
  EXPECT_TRUE(SizingActive());
  EXPECT_EQ(GetCapture(), sizable);

  RECT client{};
  GetClientRect(sizable, &client);
  POINT to{client.right + 40, client.bottom + 20};
  HeadlessMouseMove(sizable, to.x, to.y);
  DrainEvents();
  ClientToScreen(sizable, &to);  // the client origin stays: only right and bottom moved
  RECT now{};
  GetWindowRect(sizable, &now);
  EXPECT_EQ(now.left, start.left);
  EXPECT_EQ(now.top, start.top);
  EXPECT_EQ(now.right, to.x + 2);  // the edge sits 2 pixels past the cursor
  EXPECT_EQ(now.bottom, to.y + 2);

  HeadlessMouseMove(sizable, client.right + 900, client.bottom);  // past the window's bound
  DrainEvents();
  GetWindowRect(sizable, &now);
  EXPECT_EQ(now.right - now.left, 500);

  HeadlessMouseUp(sizable, client.right + 900, client.bottom);
  DrainEvents();
  EXPECT_FALSE(SizingActive());
  EXPECT_EQ(GetCapture(), nullptr);
  WindowClose(1);
}

}  // namespace

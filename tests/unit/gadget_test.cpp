// Gadgets and the image gadget: numbers and control ids, gadget lists, the
// image's size and pixels on screen, and the mouse events the gadget posts.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/toolkit_fixture.h"
#include "toolkit/gfx/image_gadget.h"

namespace {

constexpr uint32_t kRed = 0x0000FF;  // Colours 0x00BBGGRR
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kGreen = 0x00C000;

// A top-down 32-bit DIB section whose pixels the test writes directly.
struct Picture {
  HBITMAP bitmap = nullptr;
  uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;

  Picture(int w, int h, uint32_t colour) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = static_cast<uint32_t*>(pixels);
    Fill(colour);
  }
  ~Picture() { DeleteObject(bitmap); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Memory holds 0x00RRGGBB; a Colour is 0x00BBGGRR.
  void Fill(uint32_t colour) {
    const uint32_t memory = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    for (int i = 0; i < width * height; ++i) {
      bits[i] = memory;
    }
    GdiFlush();
  }
  HANDLE handle() const { return bitmap; }
};

uint32_t ScreenPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

SIZE OuterSize(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

HWND GadgetWindow(intptr_t number) {
  GadgetRecord* record = GadgetLookup(number);
  return record != nullptr ? record->window : nullptr;
}

class GadgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartToolkitServices();
    ASSERT_NE(WindowOpen(0, 10, 10, 800, 600, "gadgets"), 0);
    window_ = WindowHandle(0);
    SetActiveWindow(window_);
    DrainEvents();
  }
  void TearDown() override {
    if (GetCapture() != nullptr) {
      ReleaseCapture();
    }
    WindowClose(0);
    WindowClose(1);
    DrainEvents();
  }
  HWND window_ = nullptr;
};

// ---------------------------------------------------------------------------
// Creation and size

TEST_F(GadgetTest, TakesTheImagesSizeAndItsNumberAsControlId) {
  Picture screen(768, 576, kRed);
  // Without and with a client edge, which adds 4 to the outer size.
  for (const DWORD exStyle : {DWORD{0}, DWORD{WS_EX_CLIENTEDGE}}) {
    const int edge = exStyle != 0 ? 4 : 0;
    HWND gadget =
        HandleFrom<HWND>(GadgetImageCreate(123, 0, 0, 512, 384, screen.handle(), exStyle));
    ASSERT_TRUE(IsWindow(gadget));
    EXPECT_EQ(GadgetWindow(123), gadget);
    EXPECT_EQ(GetParent(gadget), window_);
    EXPECT_EQ(OuterSize(gadget).cx, 768 + edge);
    EXPECT_EQ(OuterSize(gadget).cy, 576 + edge);
    RECT client{};
    GetClientRect(gadget, &client);
    EXPECT_EQ(client.right, 768);
    EXPECT_EQ(client.bottom, 576);
    POINT origin{0, 0};
    MapWindowPoints(gadget, window_, &origin, 1);
    EXPECT_EQ(origin.x, edge / 2);
    EXPECT_EQ(GetWindowLongPtrA(gadget, GWLP_ID), 123);
    EXPECT_EQ(WindowFromControl(gadget), window_);
  }
}

TEST_F(GadgetTest, AnyNumberIsTheRecordsAddressAndReusedNumbersReplaceTheirGadget) {
  Picture first(40, 30, kRed);
  Picture second(50, 20, kBlue);
  const intptr_t number = GadgetImageCreate(OBJECT_ANY, 5, 5, 10, 10, first.handle());
  HWND gadget = GadgetWindow(number);
  ASSERT_NE(gadget, nullptr);
  EXPECT_NE(reinterpret_cast<intptr_t>(gadget), number);
  EXPECT_EQ(GetWindowLongPtrA(gadget, GWLP_ID), number);
  EXPECT_EQ(GadgetSetState(number, reinterpret_cast<intptr_t>(second.handle())),
            reinterpret_cast<intptr_t>(second.handle()));
  EXPECT_EQ(OuterSize(gadget).cx, 50);
  EXPECT_EQ(OuterSize(gadget).cy, 20);

  HWND old = HandleFrom<HWND>(GadgetImageCreate(7, 0, 0, 1, 1, first.handle()));
  HWND reused = HandleFrom<HWND>(GadgetImageCreate(7, 100, 0, 1, 1, second.handle()));
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(GadgetWindow(7), reused);
  GadgetSetState(7, reinterpret_cast<intptr_t>(first.handle()));
  EXPECT_EQ(SendMessageA(reused, STM_GETIMAGE, 0, 0), reinterpret_cast<LRESULT>(first.handle()));
}

TEST_F(GadgetTest, GadgetsGoWithTheirWindowAndFreeTheirNumbers) {
  Picture a(20, 20, kRed);
  const intptr_t image = reinterpret_cast<intptr_t>(a.handle());
  int stranger = 0;
  for (intptr_t number : {intptr_t{77}, intptr_t{-3}, reinterpret_cast<intptr_t>(&stranger)}) {
    EXPECT_EQ(GadgetSetState(number, image), 0);  // no gadget: nothing done
  }
  HWND numbered = HandleFrom<HWND>(GadgetImageCreate(123, 0, 0, 1, 1, a.handle()));
  const intptr_t dynamic = GadgetImageCreate(OBJECT_ANY, 40, 0, 1, 1, a.handle());
  ASSERT_NE(numbered, nullptr);
  ASSERT_NE(dynamic, 0);
  WindowClose(0);
  EXPECT_FALSE(IsWindow(numbered));
  for (intptr_t number : {intptr_t{123}, dynamic}) {
    EXPECT_EQ(GadgetLookup(number), nullptr);
    EXPECT_EQ(GadgetSetState(number, image), 0);
  }
}

TEST_F(GadgetTest, IconTakesTheSizeOfItsPicture) {
  Picture colour(24, 16, kGreen);
  Picture mask(24, 16, 0);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour.bitmap;
  info.hbmMask = mask.bitmap;
  HICON icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, nullptr);
  HWND gadget = HandleFrom<HWND>(GadgetImageCreate(9, 0, 0, 100, 100, icon));
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(OuterSize(gadget).cx, 24);
  EXPECT_EQ(OuterSize(gadget).cy, 16);
  DestroyWindow(gadget);
  DestroyIcon(icon);
}

// ---------------------------------------------------------------------------
// Pixels

TEST_F(GadgetTest, ShowsTheImageAndRepaintsBeforeSetStateReturns) {
  Picture screen(768, 576, kRed);
  HWND gadget = HandleFrom<HWND>(GadgetImageCreate(123, 0, 0, 512, 384, screen.handle()));
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(ScreenPixel(gadget, 10, 10), kRed);
  EXPECT_EQ(ScreenPixel(gadget, 767, 575), kRed);

  screen.Fill(kBlue);
  screen.bits[0] = 0x00C000;  // 0x00RRGGBB in memory: green at (0, 0)
  GdiFlush();
  GadgetSetState(123, reinterpret_cast<intptr_t>(screen.handle()));
  // No event has been taken since: the gadget painted inside the call.
  EXPECT_EQ(ScreenPixel(gadget, 0, 0), kGreen);
  EXPECT_EQ(ScreenPixel(gadget, 400, 300), kBlue);
  EXPECT_EQ(ScreenPixel(gadget, 767, 575), kBlue);
  // Disabled, it still shows the image as it is.
  screen.Fill(kRed);
  EnableWindow(gadget, FALSE);
  EXPECT_EQ(ScreenPixel(gadget, 5, 5), kRed);
}

TEST_F(GadgetTest, NoImageKeepsTheSizeAndShowsTheWindowBeneath) {
  Picture screen(300, 200, kRed);
  HWND gadget = HandleFrom<HWND>(GadgetImageCreate(123, 0, 0, 10, 10, screen.handle()));
  ASSERT_EQ(ScreenPixel(gadget, 50, 50), kRed);
  EXPECT_EQ(GadgetSetState(123, 0), 0);
  EXPECT_EQ(OuterSize(gadget).cx, 300);
  EXPECT_EQ(OuterSize(gadget).cy, 200);
  EXPECT_EQ(ScreenPixel(gadget, 50, 50), GetSysColor(COLOR_BTNFACE));
}

TEST_F(GadgetTest, PrintDrawsTheImageIntoTheGivenContext) {
  Picture screen(64, 48, kGreen);
  HWND gadget = HandleFrom<HWND>(GadgetImageCreate(123, 0, 0, 10, 10, screen.handle()));
  Picture target(64, 48, kBlue);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target.bitmap);
  EXPECT_EQ(SendMessageA(gadget, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT), 0);
  EXPECT_EQ(GetPixel(dc, 0, 0), kGreen);
  EXPECT_EQ(GetPixel(dc, 63, 47), kGreen);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_EQ(SendMessageA(gadget, WM_PRINT, 0, PRF_CLIENT), 0);  // no context: nothing
}

// ---------------------------------------------------------------------------
// Mouse events

class GadgetMouseTest : public GadgetTest {
 protected:
  void SetUp() override {
    GadgetTest::SetUp();
    gadget_ = HandleFrom<HWND>(GadgetImageCreate(123, 0, 0, 10, 10, picture_.handle()));
    ASSERT_NE(gadget_, nullptr);
    DrainEvents();
  }
  void Post(UINT message, int x = 5, int y = 5) {
    const WPARAM keys = message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE ? MK_LBUTTON : 0;
    PostMessageA(gadget_, message, keys, MAKELPARAM(x, y));
  }
  // The types of the gadget events among everything the thread has waiting,
  // including what handling it posts in turn.
  static std::vector<int32_t> GadgetEventTypes() {
    std::vector<int32_t> types;
    for (int i = 0; i < 200; ++i) {
      const int32_t event = EventWait(0);
      if (event == EVENT_NONE) {
        break;
      }
      if (event == EVENT_GADGET) {
        EXPECT_EQ(EventMenuItem(), 123);
        types.push_back(EventType());
      }
    }
    return types;
  }
  Picture picture_{100, 80, kRed};
  HWND gadget_ = nullptr;
};

TEST_F(GadgetMouseTest, LeftClickAndDoubleClickPostTheirTypes) {
  Post(WM_LBUTTONDOWN);
  Post(WM_LBUTTONUP);
  EXPECT_EQ(GadgetEventTypes(), std::vector<int32_t>{STN_CLICKED});
  EXPECT_EQ(GetCapture(), nullptr);
  // The double click's type comes after its own message.
  Post(WM_LBUTTONDBLCLK);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_LBUTTONDBLCLK));
  EXPECT_EQ(EventWait(), EVENT_GADGET);
  EXPECT_EQ(EventMenuItem(), 123);
  EXPECT_EQ(EventType(), 2);  // the event types are numbers programs know
}

TEST_F(GadgetMouseTest, RightDoubleClickPostsOneThenThreeAndNothingForItsRelease) {
  // A double click as the platform delivers it: down, up, double-click, up.
  Post(WM_RBUTTONDOWN);
  Post(WM_RBUTTONUP);
  Post(WM_RBUTTONDBLCLK);
  Post(WM_RBUTTONUP);
  EXPECT_EQ(GadgetEventTypes(), (std::vector<int32_t>{1, 3}));
  // The next plain right click is a right click again.
  Post(WM_RBUTTONDOWN);
  Post(WM_RBUTTONUP);
  EXPECT_EQ(GadgetEventTypes(), std::vector<int32_t>{1});
}

TEST_F(GadgetMouseTest, DragStartsBeyondTheThresholdOnce) {
  const int cx = GetSystemMetrics(SM_CXDRAG);
  const int cy = GetSystemMetrics(SM_CYDRAG);
  Post(WM_LBUTTONDOWN, 20, 20);
  EXPECT_EQ(GadgetEventTypes(), std::vector<int32_t>{STN_CLICKED});
  // Within the thresholds, bounds included: nothing.
  Post(WM_MOUSEMOVE, 20 + cx, 20);
  Post(WM_MOUSEMOVE, 20 - cx, 20 + cy);
  Post(WM_MOUSEMOVE, 20, 20 - cy);
  EXPECT_TRUE(GadgetEventTypes().empty());
  EXPECT_EQ(GetCapture(), gadget_);
  Post(WM_MOUSEMOVE, 20 + cx + 1, 20);
  EXPECT_EQ(GadgetEventTypes(), std::vector<int32_t>{14002});
  EXPECT_NE(GetCapture(), gadget_);
  // The drag has started: further moves with the button down post nothing.
  Post(WM_MOUSEMOVE, 60, 60);
  Post(WM_MOUSEMOVE, 2, 70);
  Post(WM_LBUTTONUP, 2, 70);
  EXPECT_TRUE(GadgetEventTypes().empty());
  // Upward counts too.
  Post(WM_LBUTTONDOWN, 30, 30);
  Post(WM_MOUSEMOVE, 30, 30 - cy - 1);
  EXPECT_EQ(GadgetEventTypes(), (std::vector<int32_t>{STN_CLICKED, GADGET_EVENT_DRAG_START}));
}

// ---------------------------------------------------------------------------
// Gadget lists

TEST_F(GadgetTest, GadgetListUseSwitchesWhereNewGadgetsGo) {
  EXPECT_EQ(GadgetListUse(nullptr), window_);  // WindowOpen made it the list
  ASSERT_NE(WindowOpen(1, 300, 300, 200, 150, "second"), 0);
  HWND second = WindowHandle(1);
  EXPECT_EQ(GadgetListParent(), second);
  Picture a(10, 10, kRed);
  HWND inSecond = HandleFrom<HWND>(GadgetImageCreate(1, 0, 0, 1, 1, a.handle()));
  EXPECT_EQ(GetParent(inSecond), second);

  EXPECT_EQ(GadgetListUse(window_), second);
  HWND inFirst = HandleFrom<HWND>(GadgetImageCreate(2, 0, 0, 1, 1, a.handle()));
  EXPECT_EQ(GetParent(inFirst), window_);
  EXPECT_EQ(GadgetListUse(second), window_);
  EXPECT_EQ(GadgetListParent(), second);
  // Each window was subclassed once, however often it became the list: a
  // second subclass would pass messages on to itself without end.
  EXPECT_EQ(SendMessageA(second, WM_GETTEXTLENGTH, 0, 0), 6);
}

TEST_F(GadgetTest, DestroyingTheCurrentListLeavesNoListAndCreationFails) {
  Picture a(10, 10, kRed);
  HWND kept = HandleFrom<HWND>(GadgetImageCreate(5, 0, 0, 1, 1, a.handle()));
  ASSERT_NE(kept, nullptr);
  ASSERT_NE(WindowOpen(1, 300, 300, 200, 150, "list"), 0);
  WindowClose(1);
  EXPECT_EQ(GadgetListParent(), nullptr);
  EXPECT_EQ(GadgetListUse(nullptr), nullptr);
  // No parent: the control cannot be made, and gadget 5 survives.
  EXPECT_EQ(GadgetImageCreate(5, 0, 0, 1, 1, a.handle()), 0);
  EXPECT_TRUE(IsWindow(kept));
  EXPECT_EQ(GadgetWindow(5), kept);
  // The first window can be the list again.
  EXPECT_EQ(GadgetListUse(window_), nullptr);
  EXPECT_NE(GadgetImageCreate(6, 0, 0, 1, 1, a.handle()), 0);
}

TEST_F(GadgetTest, WindowFromControlFindsTheToolkitWindowAndPostEventUsesIt) {
  HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, window_,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  HWND inner = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, panel, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(WindowFromControl(inner), window_);
  EXPECT_EQ(WindowFromControl(window_), window_);
  // Outside the toolkit: the top of the chain.
  HWND foreign = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  HWND foreignChild = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, foreign, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(WindowFromControl(foreignChild), foreign);
  DestroyWindow(foreign);
  // A gadget's posted event goes to the toolkit window with its number.
  Picture a(10, 10, kRed);
  HWND gadget = HandleFrom<HWND>(GadgetImageCreate(44, 0, 0, 1, 1, a.handle()));
  DrainEvents();
  GadgetPostEvent(gadget, 99);
  EXPECT_EQ(EventWait(), EVENT_GADGET);
  EXPECT_EQ(EventMenuItem(), 44);
  EXPECT_EQ(EventType(), 99);
  EXPECT_EQ(EventWindow(), 0);
}

}  // namespace

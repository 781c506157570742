// What the toolkit relies on from the platform's window part: paint, position
// and size, and the stock cursors, icons and metrics it reads. Against real
// Win32 (under Wine) and against our layer.
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "tests/conformance/user_recording.h"

using namespace recording;

namespace {

// ---------------------------------------------------------------------------
// Paint

const Sequence WmPaintErase = {{WM_PAINT, kPosted}, {WM_ERASEBKGND, kSent | kDefWinProc}};

const Sequence WmPaintOnly = {{WM_PAINT, kPosted}};

const Sequence WmUpdateWindow = {
    {WM_PAINT, kSent},
    {WM_ERASEBKGND, kSent | kDefWinProc},
    {WM_PAINT, kSent, "c"},
    {WM_ERASEBKGND, kSent | kDefWinProc, "c"},
};

const Sequence WmRedrawNow = {{WM_PAINT, kSent}, {WM_ERASEBKGND, kSent | kDefWinProc}};

TEST_F(UserTest, BeginPaintErasesWhenAskedAndUpdatesPaintAtOnce) {
  HWND w = MakeShown();
  InvalidateRect(w, nullptr, TRUE);
  Pump();
  ExpectSequence(WmPaintErase, "InvalidateRect(erase)");
  InvalidateRect(w, nullptr, FALSE);
  Pump();
  ExpectSequence(WmPaintOnly, "InvalidateRect(no erase)");

  EXPECT_TRUE(UpdateWindow(w));  // nothing to paint: nothing sent
  EXPECT_TRUE(recorded.empty());
  RECT part{0, 0, 10, 10};
  EXPECT_TRUE(RedrawWindow(w, &part, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW));
  ExpectSequence(WmRedrawNow, "RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW)");

  Make("c", WS_CHILD | WS_VISIBLE, w, 1, 0, 0, 40, 40);
  UpdateWindow(w);
  Flush();
  // A parent without WS_CLIPCHILDREN takes its children with it.
  InvalidateRect(w, nullptr, TRUE);
  EXPECT_TRUE(UpdateWindow(w));
  ExpectSequence(WmUpdateWindow, "UpdateWindow");
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

// The class brush erases with the system colour; the image gadget paints its
// bitmap with DrawStateA at the bitmap's own size; the parent's context sees
// the child's pixels at the child's place, and no child's drawing beyond it.
TEST_F(UserTest, ClassBrushErasesAndDrawStateCopiesABitmapAtItsOwnSize) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 3);
  ReleaseDC(nullptr, screen);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
  RECT all{0, 0, 4, 3};
  FillRect(memory, &all, green);
  SetPixelV(memory, 3, 2, RGB(1, 2, 3));
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(green);

  HWND w = MakeShown();
  HWND c = Make("c", WS_CHILD | WS_VISIBLE, w, 1, 5, 5, 40, 40);
  UpdateWindow(w);
  HDC dc = GetDC(c);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetPixel(dc, 3, 3), GetSysColor(COLOR_BTNFACE));
  EXPECT_TRUE(DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(bitmap), 0, 10, 20, 0, 0,
                         DST_BITMAP));
  ReleaseDC(c, dc);
  DeleteObject(bitmap);
  dc = GetDC(w);
  EXPECT_EQ(GetPixel(dc, 15, 25), RGB(0, 200, 0));
  EXPECT_EQ(GetPixel(dc, 18, 27), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(dc, 19, 27), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(GetPixel(dc, 18, 28), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(w, dc);

  // A child reaching out of its parent's client area draws only inside it.
  HWND d = Make("d", WS_CHILD | WS_VISIBLE, w, 2, -5, 50, 20, 20);
  UpdateWindow(w);
  HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
  const RECT whole{0, 0, 20, 20};
  dc = GetDC(d);
  FillRect(dc, &whole, red);
  ReleaseDC(d, dc);
  DeleteObject(red);
  RECT client;
  GetClientRect(w, &client);
  dc = GetDC(w);
  EXPECT_EQ(GetPixel(dc, 0, 50), RGB(200, 0, 0));
  for (int y : {49, 50, 69}) {
    EXPECT_EQ(GetPixel(dc, client.right - 1, y), GetSysColor(COLOR_BTNFACE)) << y;
  }
  ReleaseDC(w, dc);
  recorded.clear();
}

// ---------------------------------------------------------------------------
// Position and size

// Win32 activates a child that SetWindowPos moves or sizes without
// SWP_NOACTIVATE; our layer does not yet.
const Sequence WmGrowChild = {
    {WM_WINDOWPOSCHANGING, kSent, "c"},
    {WM_NCCALCSIZE, kSent | kWParam, "c", TRUE},
    {WM_CHILDACTIVATE, kSent | kGapOfOurLayer, "c"},
    {WM_WINDOWPOSCHANGED, kSent, "c"},
    {WM_SIZE, kSent | kDefWinProc | kWParam | kLParam, "c", SIZE_RESTORED, MAKELPARAM(80, 60)},
};

const Sequence WmSameSizeChild = {
    {WM_WINDOWPOSCHANGING, kSent, "c"},
    {WM_CHILDACTIVATE, kSent | kGapOfOurLayer, "c"},
    {WM_WINDOWPOSCHANGED, kSent | kOptional, "c"},
};

const Sequence WmMoveTopLevel = {
    {WM_WINDOWPOSCHANGING, kSent},
    {WM_GETMINMAXINFO, kSent | kDefWinProc},
    {WM_WINDOWPOSCHANGED, kSent},
    {WM_MOVE, kSent | kDefWinProc},
};

TEST_F(UserTest, SetWindowPosReportsOnlyWhatChanged) {
  HWND w = MakeShown();
  HWND c = Make("c", WS_CHILD | WS_VISIBLE, w, 1, 0, 0, 40, 30);
  Flush();
  EXPECT_TRUE(SetWindowPos(c, nullptr, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER));
  ExpectSequence(WmGrowChild, "SetWindowPos(grow child)");
  EXPECT_TRUE(SetWindowPos(c, nullptr, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER));
  ExpectSequence(WmSameSizeChild, "SetWindowPos(same size)");

  RECT before;
  GetWindowRect(w, &before);
  EXPECT_TRUE(MoveWindow(w, before.left + 7, before.top + 9, before.right - before.left,
                         before.bottom - before.top, TRUE));
  ExpectSequence(WmMoveTopLevel, "MoveWindow(move only)");
  RECT after;
  GetWindowRect(w, &after);
  EXPECT_EQ(after.left, before.left + 7);
  EXPECT_EQ(after.top, before.top + 9);
  POINT p{5, 6};
  MapWindowPoints(c, nullptr, &p, 1);
  ScreenToClient(w, &p);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 6);
  Flush();
}

// The toolkit tells minimized, maximized and restored windows apart by
// WM_SIZE's kind.
TEST_F(UserTest, MinimizeMaximizeAndRestoreTellTheKindOfSize) {
  HWND w = MakeShown("w", WS_OVERLAPPEDWINDOW);
  const struct {
    int show;
    WPARAM kind;
    bool iconic, zoomed;
  } steps[] = {{SW_MINIMIZE, SIZE_MINIMIZED, true, false},
               {SW_RESTORE, SIZE_RESTORED, false, false},
               {SW_SHOWMAXIMIZED, SIZE_MAXIMIZED, false, true},
               {SW_RESTORE, SIZE_RESTORED, false, false}};
  for (const auto& step : steps) {
    ShowWindow(w, step.show);
    WPARAM kind = 99;
    for (const Recorded& r : recorded) {
      kind = r.message == WM_SIZE ? r.wParam : kind;
    }
    recorded.clear();
    EXPECT_EQ(kind, step.kind) << "show " << step.show;
    EXPECT_EQ(IsIconic(w) != FALSE, step.iconic) << "show " << step.show;
    EXPECT_EQ(IsZoomed(w) != FALSE, step.zoomed) << "show " << step.show;
  }
  Flush();
}

// ---------------------------------------------------------------------------
// Cursors, icons, metrics

TEST_F(UserTest, StockCursorsIconsAndTheMetricsTheToolkitReads) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  EXPECT_NE(arrow, nullptr);
  EXPECT_NE(
      LoadImageA(nullptr, MAKEINTRESOURCEA(32646), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE),
      nullptr);
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)), nullptr);  // none of ours
  SetCursor(arrow);
  EXPECT_EQ(GetCursor(), arrow);

  for (int metric : {SM_CXSCREEN, SM_CYSCREEN, SM_CYMENU, SM_CXDRAG, SM_CYDRAG, SM_CXMINTRACK}) {
    EXPECT_GT(GetSystemMetrics(metric), 0) << "metric " << metric;
  }
  EXPECT_GT(GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CXMINTRACK));
  EXPECT_GE(GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CXSCREEN));
  BOOL drag = 7;
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &drag, 0));
  EXPECT_TRUE(drag == TRUE || drag == FALSE);
}

}  // namespace

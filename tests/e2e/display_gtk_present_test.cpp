// The GTK display draws from the layer's client surface itself: what a
// window shows on a real X server (run under xvfb-run) as frames are drawn
// into that surface and after the user sizes the window, which makes the
// layer reallocate it.

#include <gtest/gtest.h>

#include <chrono>

#include "platform/posix/display_gtk.h"
#include "platform/posix/display_gtk_internal.h"
#include "platform/win32.h"

namespace {

COLORREF fill = RGB(255, 0, 0);

LRESULT CALLBACK FillProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, &ps.rcPaint, brush);
    DeleteObject(brush);
    EndPaint(window, &ps);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Runs the program's loop and the display's for a while.
void RunFor(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  MSG m;
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&m);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// The colour the X server shows at a client point of the window.
COLORREF OnScreen(HWND window, int x, int y) {
  const gtk_display::NativeWindow* w = gtk_display::Find(window);
  GdkWindow* gdk = w != nullptr ? gtk_widget_get_window(w->area) : nullptr;
  if (gdk == nullptr) {
    return CLR_INVALID;
  }
  gdk_display_sync(gdk_display_get_default());
  GdkPixbuf* pixel = gdk_pixbuf_get_from_window(gdk, x, y, 1, 1);
  if (pixel == nullptr) {
    return CLR_INVALID;
  }
  const guchar* p = gdk_pixbuf_get_pixels(pixel);
  const COLORREF colour = RGB(p[0], p[1], p[2]);
  g_object_unref(pixel);
  return colour;
}

TEST(GtkPresent, TheWindowShowsItsSurfaceBeforeAndAfterANewSize) {
  DisplayUse(&GtkDisplay());
  WNDCLASSA wc{};
  wc.lpfnWndProc = FillProc;
  wc.lpszClassName = "GtkPresentFill";
  ASSERT_NE(RegisterClassA(&wc), 0);
  const DWORD style = WS_OVERLAPPEDWINDOW;
  RECT r{0, 0, 200, 100};
  AdjustWindowRect(&r, style, FALSE);
  HWND window =
      CreateWindowExA(0, "GtkPresentFill", "present", style | WS_VISIBLE, 10, 10, r.right - r.left,
                      r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  RunFor(300);
  EXPECT_EQ(OnScreen(window, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(OnScreen(window, 199, 99), RGB(255, 0, 0));

  // Later frames drawn into the same surface reach the screen as presented.
  for (const COLORREF colour : {RGB(0, 255, 0), RGB(0, 0, 255)}) {
    fill = colour;
    InvalidateRect(window, nullptr, FALSE);
    RunFor(150);
    EXPECT_EQ(OnScreen(window, 100, 50), colour);
  }

  // The user sizes the window: the layer frees the surface the display drew
  // from while GTK lays the window out, and GTK draws before the program
  // has painted the new one.
  fill = RGB(255, 255, 0);
  gtk_window_resize(GTK_WINDOW(gtk_display::NativeWindowOf(window)), 320, 180);
  RunFor(300);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 180);
  EXPECT_EQ(OnScreen(window, 5, 5), RGB(255, 255, 0));
  EXPECT_EQ(OnScreen(window, 319, 179), RGB(255, 255, 0));
  DestroyWindow(window);
  RunFor(50);
}

}  // namespace

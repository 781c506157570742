// The STATIC class as far as a control of it shows: with SS_NOTIFY it takes
// the mouse and tells its parent about clicks and double clicks
// (WM_COMMAND with STN_CLICKED or STN_DBLCLK); it keeps a font and an image
// for whoever asks, and paints only its background, with the brush its
// parent gives for WM_CTLCOLORSTATIC.

#include "platform/posix/user_internal.h"

namespace user {

namespace {

void Notify(HWND window, WORD code) {
  const Window* w = Peek(window);
  if (w == nullptr || (w->style & SS_NOTIFY) == 0 || IsTopLevel(w)) {
    return;
  }
  Send(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
       reinterpret_cast<LPARAM>(window));
}

void PaintBackground(HWND window, HDC dc) {
  const Window* w = Peek(window);
  if (w == nullptr || dc == nullptr) {
    return;
  }
  HWND parent = IsTopLevel(w) ? window : w->parent;
  auto brush = FromNumber<HBRUSH>(Send(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(window)));
  if (brush == nullptr) {
    brush = GetSysColorBrush(COLOR_BTNFACE);
  }
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, brush);
}

}  // namespace

LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Peek(window);
  if (w == nullptr) {
    return 0;
  }
  switch (message) {
    case WM_NCHITTEST:
      return (w->style & SS_NOTIFY) != 0 ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
      Notify(window, STN_CLICKED);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK:
      Notify(window, STN_DBLCLK);
      break;
    case WM_ENABLE:
      Notify(window, wParam != 0 ? STN_ENABLE : STN_DISABLE);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_SETFONT:
      w->font = FromParam<HFONT>(wParam);
      if (LOWORD(lParam) != 0) {
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w->font);
    case STM_SETIMAGE:
    case STM_SETICON: {
      const HANDLE previous = w->image;
      w->image = FromParam<HANDLE>(message == STM_SETICON ? wParam : static_cast<WPARAM>(lParam));
      InvalidateRect(window, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETIMAGE:
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(w->image);
    case WM_ERASEBKGND:
      // Everything is painted in WM_PAINT.
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintBackground(window, dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintBackground(window, FromParam<HDC>(wParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace user

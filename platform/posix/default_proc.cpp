// The default window procedure (DefWindowProcA) and the non-client frame it
// answers for: frame sizes, hit-testing, the cursor over the frame, and the
// caption's buttons turned into system commands.

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

// ---------------------------------------------------------------------------
// Frames

RECT NonClientInsets(DWORD style, DWORD exStyle, bool menuBar) {
  LONG frame = 0;
  if ((style & WS_THICKFRAME) != 0) {
    frame = kSizeFrame;
  } else if ((style & WS_DLGFRAME) != 0 || (exStyle & WS_EX_DLGMODALFRAME) != 0) {
    frame = kFixedFrame;
  } else if ((style & WS_BORDER) != 0) {
    frame = kBorder;
  }
  RECT insets{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION) {
    insets.top += (exStyle & WS_EX_TOOLWINDOW) != 0 ? kSmallCaption : kCaption;
  }
  if (menuBar) {
    insets.top += kMenuBar;
  }
  LONG edge = 0;
  if ((exStyle & WS_EX_CLIENTEDGE) != 0) {
    edge += kEdge;
  }
  if ((exStyle & WS_EX_STATICEDGE) != 0) {
    edge += kBorder;
  }
  insets.left += edge;
  insets.top += edge;
  insets.right += edge;
  insets.bottom += edge;
  return insets;
}

RECT ClientFromWindow(const RECT& window, DWORD style, DWORD exStyle, bool menuBar) {
  const RECT in = NonClientInsets(style, exStyle, menuBar);
  RECT client{window.left + in.left, window.top + in.top, window.right - in.right,
              window.bottom - in.bottom};
  client.right = std::max(client.right, client.left);
  client.bottom = std::max(client.bottom, client.top);
  return client;
}

}  // namespace user

using namespace user;

namespace {

int HitTest(const Window* w, POINT screen) {
  const RECT window = ScreenRect(w);
  if (!Contains(window, screen)) {
    return HTNOWHERE;
  }
  const POINT origin = ClientOriginOnScreen(w);
  const RECT client{origin.x, origin.y, origin.x + Width(w->client), origin.y + Height(w->client)};
  if (Contains(client, screen)) {
    return HTCLIENT;
  }
  if ((w->style & WS_MINIMIZE) != 0) {
    return HTCAPTION;
  }
  const RECT in = NonClientInsets(
      w->style, w->exStyle & ~static_cast<DWORD>(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE), false);
  const LONG frame = in.left;
  if ((w->style & WS_THICKFRAME) != 0) {
    const bool left = screen.x < window.left + frame;
    const bool right = screen.x >= window.right - frame;
    const bool top = screen.y < window.top + frame;
    const bool bottom = screen.y >= window.bottom - frame;
    if (top && left) {
      return HTTOPLEFT;
    }
    if (top && right) {
      return HTTOPRIGHT;
    }
    if (bottom && left) {
      return HTBOTTOMLEFT;
    }
    if (bottom && right) {
      return HTBOTTOMRIGHT;
    }
    if (left) {
      return HTLEFT;
    }
    if (right) {
      return HTRIGHT;
    }
    if (top) {
      return HTTOP;
    }
    if (bottom) {
      return HTBOTTOM;
    }
  }
  const LONG captionTop = window.top + frame;
  const LONG captionBottom = window.top + in.top;
  if ((w->style & WS_CAPTION) == WS_CAPTION && screen.y >= captionTop && screen.y < captionBottom) {
    if ((w->style & WS_SYSMENU) != 0) {
      const LONG button = captionBottom - captionTop;
      if (screen.x >= window.right - frame - button && screen.x < window.right - frame) {
        return HTCLOSE;
      }
      if (screen.x < window.left + frame + button) {
        return HTSYSMENU;
      }
    }
    return HTCAPTION;
  }
  if (HasMenuBar(w) && screen.y >= captionBottom && screen.y < captionBottom + kMenuBar) {
    return HTMENU;
  }
  return HTBORDER;
}

LRESULT DefaultSetCursor(HWND window, WPARAM wParam, LPARAM lParam) {
  Window* w = Peek(window);
  if (w == nullptr) {
    return FALSE;
  }
  if (!IsTopLevel(w) && Send(w->parent, WM_SETCURSOR, wParam, lParam) != 0) {
    return TRUE;
  }
  if ((w = Peek(window)) == nullptr) {
    return FALSE;
  }
  const auto hit = static_cast<SHORT>(LOWORD(lParam));
  if (hit == HTCLIENT) {
    SetCursor(w->cls->info.hCursor);
    return FALSE;
  }
  if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
    static const UINT shapes[] = {32644, 32644, 32645, 32642, 32643, 32645, 32643, 32642};
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(shapes[hit - HTLEFT])));
    return FALSE;
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  return FALSE;
}

LRESULT DefaultText(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* cs = FromNumber<const CREATESTRUCTA*>(lParam);
      if (cs != nullptr && cs->lpszName != nullptr && !IS_INTRESOURCE(cs->lpszName)) {
        w->text = cs->lpszName;
      }
      return TRUE;
    }
    case WM_SETTEXT:
      w->text = lParam != 0 ? FromNumber<LPCSTR>(lParam) : "";
      if (w->native) {
        DisplaySetTitle(w->handle, w->text.c_str());
      }
      return TRUE;
    case WM_GETTEXT: {
      auto* out = FromNumber<LPSTR>(lParam);
      if (out == nullptr || wParam == 0) {
        return 0;
      }
      const size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
      std::memcpy(out, w->text.data(), n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    default:  // WM_GETTEXTLENGTH
      return static_cast<LRESULT>(w->text.size());
  }
}

void DefaultNcCalcSize(const Window* w, LPARAM lParam) {
  if (lParam == 0) {
    return;
  }
  auto* r = FromNumber<RECT*>(lParam);  // rgrc[0] leads NCCALCSIZE_PARAMS too
  if ((w->style & WS_MINIMIZE) != 0) {
    *r = RECT{r->left, r->top, r->left, r->top};
  } else {
    *r = ClientFromWindow(*r, w->style, w->exStyle, HasMenuBar(w));
  }
}

LRESULT DefaultEraseBackground(const Window* w, WPARAM wParam) {
  HBRUSH brush = ClassBrush(w->cls->info.hbrBackground);
  if (brush == nullptr) {
    return 0;
  }
  RECT r;
  GetClientRect(w->handle, &r);
  FillRect(FromParam<HDC>(wParam), &r, brush);
  return 1;
}

// A press on the frame: the close box, the caption and the sizing borders
// become the system commands the window manager has already carried out.
void DefaultNcButtonDown(HWND window, WPARAM wParam, LPARAM lParam) {
  switch (static_cast<int>(wParam)) {
    case HTCLOSE:
      // The window manager has already seen the button come up over the
      // close box: there is no tracking to do.
      Send(window, WM_SYSCOMMAND, SC_CLOSE, lParam);
      break;
    case HTCAPTION:
      Send(window, WM_SYSCOMMAND, SC_MOVE + HTCAPTION, lParam);
      break;
    case HTLEFT:
    case HTRIGHT:
    case HTTOP:
    case HTTOPLEFT:
    case HTTOPRIGHT:
    case HTBOTTOM:
    case HTBOTTOMLEFT:
    case HTBOTTOMRIGHT:
      Send(window, WM_SYSCOMMAND, SC_SIZE + static_cast<WPARAM>(wParam - HTLEFT + WMSZ_LEFT),
           lParam);
      break;
    default:
      break;
  }
}

void DefaultSysCommand(HWND window, WPARAM wParam) {
  switch (wParam & 0xFFF0) {
    case SC_CLOSE:
      Send(window, WM_CLOSE, 0, 0);
      break;
    case SC_MINIMIZE:
      ShowWindow(window, SW_MINIMIZE);
      break;
    case SC_MAXIMIZE:
      ShowWindow(window, SW_MAXIMIZE);
      break;
    case SC_RESTORE:
      ShowWindow(window, SW_RESTORE);
      break;
    default:
      // SC_SIZE and SC_MOVE: the window manager sizes and moves windows
      // and reports the result as input.
      break;
  }
}

// A new size is held within the window's tracking limits.
void DefaultPosChanging(Window* w, LPARAM lParam) {
  auto* pos = FromNumber<WINDOWPOS*>(lParam);
  if (pos == nullptr || (pos->flags & SWP_NOSIZE) != 0 ||
      ((w->style & WS_THICKFRAME) == 0 && (w->style & (WS_POPUP | WS_CHILD)) != 0) ||
      (w->style & WS_MINIMIZE) != 0) {
    return;
  }
  MINMAXINFO info{};
  MinMaxInfo(w, &info);
  w = SendAndPeek(w->handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  if (w != nullptr && (w->style & WS_MAXIMIZE) == 0) {
    pos->cx = std::clamp<int>(pos->cx, info.ptMinTrackSize.x,
                              std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
    pos->cy = std::clamp<int>(pos->cy, info.ptMinTrackSize.y,
                              std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
  }
}

// The WM_MOVE and WM_SIZE that a change of place, size or state asks for.
void DefaultPosChanged(Window* w, LPARAM lParam) {
  const auto* pos = FromNumber<const WINDOWPOS*>(lParam);
  if (pos == nullptr) {
    return;
  }
  const HWND window = w->handle;
  if ((pos->flags & kNoClientMove) == 0) {
    w = SendAndPeek(window, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
    if (w == nullptr) {
      return;
    }
  }
  if ((pos->flags & kNoClientSize) == 0 || (pos->flags & kStateChanged) != 0) {
    Send(window, WM_SIZE, SizeKind(w), MAKELPARAM(Width(w->client), Height(w->client)));
  }
}

LRESULT DefaultControlColour(UINT message, WPARAM wParam) {
  auto dc = FromParam<HDC>(wParam);
  const bool window3d = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(window3d ? COLOR_WINDOW : COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(window3d ? COLOR_WINDOW : COLOR_BTNFACE));
}

}  // namespace

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return OrOutOfMemory(LRESULT{0}, [&]() -> LRESULT {
    Window* w = Peek(window);
    if (w == nullptr) {
      return 0;
    }
    switch (message) {
      case WM_NCCREATE:
      case WM_SETTEXT:
      case WM_GETTEXT:
      case WM_GETTEXTLENGTH:
        return DefaultText(w, message, wParam, lParam);
      case WM_NCCALCSIZE:
        DefaultNcCalcSize(w, lParam);
        return 0;
      case WM_CLOSE:
        DestroyWindow(window);
        return 0;
      case WM_QUERYOPEN:
        return TRUE;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(window, &ps) != nullptr) {
          EndPaint(window, &ps);
        }
        return 0;
      }
      case WM_ERASEBKGND:
        return DefaultEraseBackground(w, wParam);
      case WM_NCHITTEST:
        return HitTest(
            w, POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      case WM_SETCURSOR:
        return DefaultSetCursor(window, wParam, lParam);
      case WM_MOUSEACTIVATE:
        if (!IsTopLevel(w)) {
          const LRESULT r = Send(w->parent, WM_MOUSEACTIVATE, wParam, lParam);
          if (r != 0) {
            return r;
          }
        }
        return MA_ACTIVATE;
      case WM_NCLBUTTONDOWN:
        DefaultNcButtonDown(window, wParam, lParam);
        return 0;
      case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX) != 0 && IsTopLevel(w)) {
          Send(window, WM_SYSCOMMAND, IsZoomed(window) ? SC_RESTORE : SC_MAXIMIZE, lParam);
        }
        return 0;
      case WM_SYSCOMMAND:
        DefaultSysCommand(window, wParam);
        return 0;
      case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (HIWORD(lParam) & 0x2000) != 0) {
          PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
      case WM_WINDOWPOSCHANGING:
        DefaultPosChanging(w, lParam);
        return 0;
      case WM_WINDOWPOSCHANGED:
        DefaultPosChanged(w, lParam);
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && (w->style & WS_MINIMIZE) == 0) {
          const HWND focus = TheActivation().focus;
          if (focus != window && !IsChild(window, focus)) {
            SetFocus(window);
          }
        }
        return 0;
      case WM_NCACTIVATE:
        return TRUE;
      case WM_CANCELMODE:
        if (TheActivation().capture == window) {
          ReleaseCapture();
        }
        return 0;
      case WM_SIZING:
        return TRUE;
      case WM_CTLCOLORMSGBOX:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSCROLLBAR:
      case WM_CTLCOLORSTATIC:
        return DefaultControlColour(message, wParam);
      case WM_PRINT:
        if ((lParam & 0x0004) != 0) {  // PRF_CLIENT
          Send(window, WM_PRINTCLIENT, wParam, lParam);
        }
        return 0;
      default:
        return 0;
    }
  });
}

LRESULT DefFrameProcA(HWND window, HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Where windows are and how they show: coordinates and hit-testing of points,
// SetWindowPos with the messages a change of place, size, z-order or
// visibility sends, and ShowWindow with minimizing and maximizing.

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

// ---------------------------------------------------------------------------
// Coordinates

namespace {

// The window's parent-client origin on the screen: (0, 0) for top-level.
POINT ParentClientOrigin(const Window* window) {
  if (IsTopLevel(window)) {
    return POINT{0, 0};
  }
  const Window* parent = Peek(window->parent);
  return parent != nullptr ? ClientOriginOnScreen(parent) : POINT{0, 0};
}

}  // namespace

POINT ClientOriginOnScreen(const Window* window) {
  const POINT base = ParentClientOrigin(window);
  return POINT{base.x + window->client.left, base.y + window->client.top};
}

RECT ScreenRect(const Window* window) {
  const POINT base = ParentClientOrigin(window);
  RECT r = window->rect;
  Offset(&r, base.x, base.y);
  return r;
}

bool ClipInTopClient(const Window* window, RECT* clip, POINT* origin) {
  const Window* top = Peek(TopLevelOf(window->handle));
  if (top == nullptr) {
    return false;
  }
  const POINT topOrigin = ClientOriginOnScreen(top);
  const POINT own = ClientOriginOnScreen(window);
  *origin = POINT{own.x - topOrigin.x, own.y - topOrigin.y};
  RECT r{origin->x, origin->y, origin->x + Width(window->client),
         origin->y + Height(window->client)};
  for (const Window* w = window; !IsTopLevel(w);) {
    const Window* parent = Peek(w->parent);
    if (parent == nullptr) {
      break;
    }
    const POINT p = ClientOriginOnScreen(parent);
    const RECT parentClient{p.x - topOrigin.x, p.y - topOrigin.y,
                            p.x - topOrigin.x + Width(parent->client),
                            p.y - topOrigin.y + Height(parent->client)};
    Intersect(&r, r, parentClient);
    w = parent;
  }
  *clip = r;
  return !IsEmpty(r);
}

}  // namespace user

using namespace user;

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (rect == nullptr) {
    return FALSE;
  }
  const RECT in = NonClientInsets(style, exStyle, menu != FALSE);
  rect->left -= in.left;
  rect->top -= in.top;
  rect->right += in.right;
  rect->bottom += in.bottom;
  return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
  return AdjustWindowRectEx(rect, style, menu, 0);
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  const Window* w = Find(window);
  if (w == nullptr || rect == nullptr) {
    return FALSE;
  }
  *rect = ScreenRect(w);
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  const Window* w = Find(window);
  if (w == nullptr || rect == nullptr) {
    return FALSE;
  }
  *rect = RECT{0, 0, Width(w->client), Height(w->client)};
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  POINT a{0, 0};
  POINT b{0, 0};
  if (from != nullptr) {
    const Window* w = Find(from);
    if (w == nullptr) {
      return 0;
    }
    a = ClientOriginOnScreen(w);
  }
  if (to != nullptr) {
    const Window* w = Find(to);
    if (w == nullptr) {
      return 0;
    }
    b = ClientOriginOnScreen(w);
  }
  const LONG dx = a.x - b.x;
  const LONG dy = a.y - b.y;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  SetLastError(ERROR_SUCCESS);
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
  const Window* w = Find(window);
  if (w == nullptr || point == nullptr) {
    return FALSE;
  }
  const POINT o = ClientOriginOnScreen(w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
  const Window* w = Find(window);
  if (w == nullptr || point == nullptr) {
    return FALSE;
  }
  const POINT o = ClientOriginOnScreen(w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

namespace user {

namespace {

HWND Pick(Window* w, POINT screen, int* hitTest) {
  const HWND self = w->handle;
  const POINT origin = ClientOriginOnScreen(w);
  const RECT client{origin.x, origin.y, origin.x + Width(w->client), origin.y + Height(w->client)};
  if (Contains(client, screen)) {
    const std::vector<HWND> children = w->children;
    for (HWND h : children) {
      Window* child = Peek(h);
      if (child == nullptr || (child->style & WS_VISIBLE) == 0 ||
          (child->style & WS_DISABLED) != 0 || !Contains(ScreenRect(child), screen)) {
        continue;
      }
      if (HWND hit = Pick(child, screen, hitTest)) {
        return hit;
      }
    }
  }
  if (Peek(self) == nullptr) {
    return nullptr;
  }
  LRESULT answer = 0;
  const Window* after = SendAndPeek(self, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y), &answer);
  const auto hit = static_cast<int>(answer);
  if (hit == HTTRANSPARENT || after == nullptr) {
    return nullptr;
  }
  *hitTest = hit;
  return self;
}

}  // namespace

HWND WindowAtPoint(HWND top, POINT screen, int* hitTest) {
  Window* w = Peek(top);
  *hitTest = HTNOWHERE;
  if (w == nullptr || (w->style & WS_VISIBLE) == 0 || !Contains(ScreenRect(w), screen)) {
    return nullptr;
  }
  return Pick(w, screen, hitTest);
}

}  // namespace user

HWND WindowFromPoint(POINT point) {
  const std::vector<HWND> tops = TopLevels();
  for (HWND top : tops) {
    const Window* w = Peek(top);
    if (w == nullptr || (w->style & WS_VISIBLE) == 0 || !Contains(ScreenRect(w), point)) {
      continue;
    }
    int hit = 0;
    HWND found = WindowAtPoint(top, point, &hit);
    return found != nullptr ? found : top;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Position and size

namespace user {

// A maximized window's frame lies just outside the screen on every side.
void MinMaxInfo(Window* w, MINMAXINFO* info) {
  const LONG frame = NonClientInsets(w->style, 0, false).left;
  info->ptReserved = POINT{w->rect.left, w->rect.top};
  info->ptMaxSize =
      POINT{GetSystemMetrics(SM_CXSCREEN) + 2 * frame, GetSystemMetrics(SM_CYSCREEN) + 2 * frame};
  info->ptMaxPosition = POINT{-frame, -frame};
  info->ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  info->ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
}

WPARAM SizeKind(const Window* w) {
  if ((w->style & WS_MAXIMIZE) != 0) {
    return SIZE_MAXIMIZED;
  }
  return (w->style & WS_MINIMIZE) != 0 ? SIZE_MINIMIZED : SIZE_RESTORED;
}

void SendSizeAndMove(Window* w) {
  const HWND window = w->handle;
  w = SendAndPeek(window, WM_SIZE, SizeKind(w), MAKELPARAM(Width(w->client), Height(w->client)));
  if (w != nullptr) {
    Send(window, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
  }
}

namespace {

// The parts of the window's client area that a change of size or place
// exposed; the parent gets back what the window no longer covers.
void InvalidateAfterChange(Window* w, const RECT& oldRect, const RECT& oldClient, bool moved) {
  if (!IsVisibleTree(w)) {
    return;
  }
  const bool sized = Width(oldClient) != Width(w->client) || Height(oldClient) != Height(w->client);
  if (!IsTopLevel(w) && (moved || sized)) {
    if (Window* parent = Peek(w->parent)) {
      // Child rectangles are in the parent's client coordinates.
      RECT uncovered = oldRect;
      RECT both;
      Intersect(&both, uncovered, w->rect);
      if (std::memcmp(&both, &uncovered, sizeof both) != 0) {
        InvalidateClient(parent, &uncovered, true, false);
      }
    }
    if (moved) {
      InvalidateClient(w, nullptr, true, true);
      return;
    }
  }
  if (!sized) {
    return;
  }
  const UINT redraw = w->cls->info.style & (CS_HREDRAW | CS_VREDRAW);
  if (redraw != 0) {
    InvalidateClient(w, nullptr, true, true);
    return;
  }
  const LONG width = Width(w->client);
  const LONG height = Height(w->client);
  if (width > Width(oldClient)) {
    const RECT strip{Width(oldClient), 0, width, height};
    InvalidateClient(w, &strip, true, true);
  }
  if (height > Height(oldClient)) {
    const RECT strip{0, Height(oldClient), width, height};
    InvalidateClient(w, &strip, true, true);
  }
}

void ApplyZOrder(Window* w, HWND insertAfter) {
  std::vector<HWND>* list = &TopLevels();
  if (!IsTopLevel(w)) {
    Window* parent = Peek(w->parent);
    if (parent == nullptr) {
      return;
    }
    list = &parent->children;
  }
  list->erase(std::remove(list->begin(), list->end(), w->handle), list->end());
  if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    list->insert(list->begin(), w->handle);
  } else if (insertAfter == HWND_BOTTOM) {
    list->push_back(w->handle);
  } else {
    auto it = std::find(list->begin(), list->end(), insertAfter);
    list->insert(it == list->end() ? list->begin() : it + 1, w->handle);
  }
}

// SWP_SHOWWINDOW only shows a hidden window and SWP_HIDEWINDOW only hides a
// visible one; a child window is never activated.
UINT EffectiveFlags(const Window* w, UINT flags) {
  if ((w->style & WS_VISIBLE) != 0) {
    flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
  } else {
    flags &= ~static_cast<UINT>(SWP_HIDEWINDOW);
  }
  if (!IsTopLevel(w)) {
    flags |= SWP_NOACTIVATE;
  }
  return flags;
}

// The window rectangle that `pos` asks for; `flags` gain SWP_NOSIZE and
// SWP_NOMOVE where the size or the place stays as it is.
RECT RequestedRect(const Window* w, const WINDOWPOS& pos, UINT* flags) {
  RECT rect = w->rect;
  if ((*flags & SWP_NOMOVE) == 0) {
    Offset(&rect, pos.x - rect.left, pos.y - rect.top);
  }
  if ((*flags & SWP_NOSIZE) == 0) {
    rect.right = rect.left + std::max(pos.cx, 0);
    rect.bottom = rect.top + std::max(pos.cy, 0);
  }
  if (Width(rect) == Width(w->rect) && Height(rect) == Height(w->rect)) {
    *flags |= SWP_NOSIZE;
  }
  if (rect.left == w->rect.left && rect.top == w->rect.top) {
    *flags |= SWP_NOMOVE;
  }
  return rect;
}

// The client rectangle for the new window rectangle, as WM_NCCALCSIZE
// answers it. Null when the window was destroyed meanwhile.
Window* AskClientRect(Window* w, const RECT& rect, WINDOWPOS* pos, RECT* client) {
  NCCALCSIZE_PARAMS calc{};
  calc.rgrc[0] = rect;
  calc.rgrc[1] = w->rect;
  calc.rgrc[2] = w->client;
  calc.lppos = pos;
  w = SendAndPeek(w->handle, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&calc));
  *client = calc.rgrc[0];
  return w;
}

bool NothingChanges(UINT flags) {
  const UINT changes = SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED;
  return (flags & SWP_NOSIZE) != 0 && (flags & SWP_NOMOVE) != 0 && (flags & SWP_NOZORDER) != 0 &&
         (flags & changes) == 0;
}

void ApplyPosition(Window* w, const RECT& rect, const RECT& client, HWND insertAfter, UINT flags) {
  w->rect = rect;
  w->client = client;
  if ((flags & SWP_NOZORDER) == 0) {
    ApplyZOrder(w, insertAfter);
  }
  if ((flags & SWP_SHOWWINDOW) != 0) {
    w->style |= WS_VISIBLE;
  }
  if ((flags & SWP_HIDEWINDOW) != 0) {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    w->updatePending = w->erasePending = w->internalPaint = false;
  }
}

// A top-level window's surface and native window follow the change, and the
// window takes the activation unless told not to. Null when the window was
// destroyed meanwhile.
Window* FollowOnDisplay(Window* w, const RECT& oldRect, const RECT& oldClient, UINT flags) {
  const HWND window = w->handle;
  SurfaceFollowClient(w);
  if (w->native && (std::memcmp(&oldRect, &w->rect, sizeof oldRect) != 0 ||
                    std::memcmp(&oldClient, &w->client, sizeof oldClient) != 0)) {
    DisplaySetGeometry(window, w->rect, w->client);
  }
  if (w->native && (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW | kStateChanged)) != 0) {
    int state = SW_SHOWNORMAL;
    if ((w->style & WS_MINIMIZE) != 0) {
      state = SW_SHOWMINIMIZED;
    }
    if ((w->style & WS_MAXIMIZE) != 0) {
      state = SW_SHOWMAXIMIZED;
    }
    DisplayShowWindow(window, (flags & SWP_HIDEWINDOW) != 0 ? SW_HIDE : state);
  }
  if ((flags & SWP_NOACTIVATE) == 0 && (w->style & WS_VISIBLE) != 0) {
    ActivateWindow(window, false);
    if ((w = Peek(window)) == nullptr) {
      return nullptr;
    }
    DisplayActivateWindow(window);
  }
  return w;
}

// Paints what the change exposed. Null when the window was destroyed
// meanwhile.
Window* RedrawAfterChange(Window* w, const RECT& oldRect, const RECT& oldClient, bool moved,
                          UINT flags) {
  const HWND window = w->handle;
  if ((flags & SWP_SHOWWINDOW) != 0) {
    InvalidateClient(w, nullptr, true, true);
    EraseNow(w);
  } else if ((flags & SWP_HIDEWINDOW) != 0) {
    // The parent's background shows again at once where the child was.
    if (Window* parent = IsTopLevel(w) ? nullptr : Peek(w->parent)) {
      InvalidateClient(parent, &w->rect, true, true);
      EraseNow(parent);
    }
  } else {
    InvalidateAfterChange(w, oldRect, oldClient, moved && !IsTopLevel(w));
  }
  return Peek(window);
}

// WM_WINDOWPOSCHANGED with what became of the request, and whether the
// client area kept its size and place.
Window* ReportChange(Window* w, WINDOWPOS* pos, const RECT& oldClient, UINT flags) {
  pos->x = w->rect.left;
  pos->y = w->rect.top;
  pos->cx = Width(w->rect);
  pos->cy = Height(w->rect);
  pos->flags = flags;
  if (Width(w->client) == Width(oldClient) && Height(w->client) == Height(oldClient)) {
    pos->flags |= kNoClientSize;
  }
  if (w->client.left == oldClient.left && w->client.top == oldClient.top) {
    pos->flags |= kNoClientMove;
  }
  return SendAndPeek(w->handle, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(pos));
}

// A hidden window keeps neither the mouse nor the focus (a window being
// destroyed lets go of them just before WM_DESTROY).
void LetGoOfInput(const Window* w) {
  const HWND window = w->handle;
  if (TheActivation().capture == window || IsChild(window, TheActivation().capture)) {
    ReleaseCapture();
  }
  const HWND focus = TheActivation().focus;
  if (focus == window || IsChild(window, focus)) {
    SetFocus(IsTopLevel(w) ? nullptr : w->parent);
  }
}

}  // namespace

bool SetWindowPosInternal(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(window);
  if (w == nullptr) {
    return false;
  }
  flags = EffectiveFlags(w, flags);
  WINDOWPOS pos{window, insertAfter, x, y, cx, cy, flags};
  if ((flags & SWP_NOSENDCHANGING) == 0 &&
      (w = SendAndPeek(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos))) ==
          nullptr) {
    return false;
  }
  flags = pos.flags;
  const RECT rect = RequestedRect(w, pos, &flags);
  RECT client = w->client;
  Offset(&client, rect.left - w->rect.left, rect.top - w->rect.top);
  if (((flags & SWP_NOSIZE) == 0 || (flags & SWP_FRAMECHANGED) != 0) &&
      (w = AskClientRect(w, rect, &pos, &client)) == nullptr) {
    return false;
  }
  if (!IsTopLevel(w) && (pos.flags & SWP_NOACTIVATE) == 0 &&
      (w = SendAndPeek(window, WM_CHILDACTIVATE, 0, 0)) == nullptr) {
    return false;
  }
  if (NothingChanges(flags)) {
    return true;
  }

  const RECT oldRect = w->rect;
  const RECT oldClient = w->client;
  const bool moved = rect.left != oldRect.left || rect.top != oldRect.top;
  ApplyPosition(w, rect, client, insertAfter, flags);
  if (IsTopLevel(w) && (w = FollowOnDisplay(w, oldRect, oldClient, flags)) == nullptr) {
    return false;
  }
  if ((flags & SWP_NOREDRAW) == 0 &&
      (w = RedrawAfterChange(w, oldRect, oldClient, moved, flags)) == nullptr) {
    return false;
  }
  w = ReportChange(w, &pos, oldClient, flags);
  if ((flags & SWP_HIDEWINDOW) != 0 && w != nullptr && !w->destroying) {
    LetGoOfInput(w);
  }
  return true;
}

}  // namespace user

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    const UINT allowed = 0x7FFF & ~static_cast<UINT>(kNoClientSize | kNoClientMove);
    return SetWindowPosInternal(window, insertAfter, x, y, cx, cy, flags & allowed) ? TRUE : FALSE;
  });
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!repaint) {
      flags |= SWP_NOREDRAW;
    }
    return SetWindowPos(window, nullptr, x, y, width, height, flags);
  });
}

// ---------------------------------------------------------------------------
// Visibility, minimizing and maximizing

namespace {

enum class Placement { kNormal, kMinimized, kMaximized };

Placement PlacementOf(const Window* w) {
  if ((w->style & WS_MINIMIZE) != 0) {
    return Placement::kMinimized;
  }
  if ((w->style & WS_MAXIMIZE) != 0) {
    return Placement::kMaximized;
  }
  return Placement::kNormal;
}

// Changes the window's min/max state and gives the rectangle it takes.
// Changes the window's min/max state and gives the rectangle it takes.
RECT EnterPlacement(Window* w, Placement target) {
  if (PlacementOf(w) == Placement::kNormal) {
    w->normal = w->rect;
  }
  w->restoreMaximized = PlacementOf(w) == Placement::kMaximized && target == Placement::kMinimized;
  w->style &= ~static_cast<DWORD>(WS_MINIMIZE | WS_MAXIMIZE);
  switch (target) {
    case Placement::kMinimized:
      w->style |= WS_MINIMIZE;
      return RECT{kIconicPosition, kIconicPosition, kIconicPosition + kMinimizedWidth,
                  kIconicPosition + GetSystemMetrics(SM_CYMINIMIZED)};
    case Placement::kMaximized: {
      MINMAXINFO info{};
      MinMaxInfo(w, &info);
      if (Window* after =
              SendAndPeek(w->handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info))) {
        after->style |= WS_MAXIMIZE;
      }
      return RECT{info.ptMaxPosition.x, info.ptMaxPosition.y,
                  info.ptMaxPosition.x + info.ptMaxSize.x, info.ptMaxPosition.y + info.ptMaxSize.y};
    }
    case Placement::kNormal:
      break;
  }
  return w->normal;
}

// A minimized window is asked whether it may open before it leaves that
// state. Null when it may not, or when it was destroyed meanwhile.
Window* ChangePlacement(Window* w, Placement target, RECT* rect) {
  const HWND window = w->handle;
  if (PlacementOf(w) == Placement::kMinimized) {
    LRESULT open = 0;
    w = SendAndPeek(window, WM_QUERYOPEN, 0, 0, &open);
    if (open == 0 || w == nullptr) {
      return nullptr;
    }
  }
  *rect = EnterPlacement(w, target);
  return Peek(window);
}

// What a ShowWindow command asks for.
struct ShowRequest {
  Placement target = Placement::kNormal;
  bool show = true;
  bool activate = true;
};

// False for SW_HIDE on a hidden window and for what is no command.
bool ReadShowCommand(Window* w, int command, ShowRequest* request) {
  request->target = PlacementOf(w);
  switch (command) {
    case SW_HIDE:
      if ((w->style & WS_VISIBLE) == 0) {
        return false;
      }
      request->show = false;
      request->activate = false;
      return true;
    case SW_SHOWMINNOACTIVE:
    case SW_MINIMIZE:
    case SW_FORCEMINIMIZE:
      request->activate = false;
      request->target = Placement::kMinimized;
      return true;
    case SW_SHOWMINIMIZED:
      request->target = Placement::kMinimized;
      return true;
    case SW_SHOWMAXIMIZED:
      request->target = Placement::kMaximized;
      return true;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
      request->activate = false;
      return true;
    case SW_SHOW:
      return true;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      if (request->target == Placement::kMinimized) {
        request->target =
            std::exchange(w->restoreMaximized, false) ? Placement::kMaximized : Placement::kNormal;
      } else if (request->target == Placement::kMaximized && command != SW_SHOWDEFAULT) {
        request->target = Placement::kNormal;
      }
      return true;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
  }
}

}  // namespace

BOOL ShowWindow(HWND window, int command) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    Window* w = Find(window);
    if (w == nullptr) {
      return FALSE;
    }
    const bool wasVisible = (w->style & WS_VISIBLE) != 0;
    ShowRequest request;
    if (!ReadShowCommand(w, command, &request)) {
      return FALSE;
    }
    UINT flags = SWP_NOSIZE | SWP_NOMOVE;
    if (!IsTopLevel(w) || !request.activate) {
      flags |= SWP_NOACTIVATE;
    }
    if (!IsTopLevel(w)) {
      flags |= SWP_NOZORDER;
    }
    if (request.show != wasVisible &&
        (w = SendAndPeek(window, WM_SHOWWINDOW, request.show ? TRUE : FALSE, 0)) == nullptr) {
      return wasVisible;
    }
    RECT rect = w->rect;
    if (request.target != PlacementOf(w)) {
      if ((w = ChangePlacement(w, request.target, &rect)) == nullptr) {
        return wasVisible;
      }
      flags &= ~static_cast<UINT>(SWP_NOSIZE | SWP_NOMOVE);
      flags |= kStateChanged | SWP_FRAMECHANGED;
    }
    flags |= request.show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
    const bool wasActive = TheActivation().active == window;
    SetWindowPosInternal(window, HWND_TOP, rect.left, rect.top, Width(rect), Height(rect), flags);
    if (!request.show && wasActive && Peek(window) != nullptr) {
      ActivateOther(window);
    }
    if ((w = Peek(window)) != nullptr && w->needSize && request.show) {
      w->needSize = false;
      SendSizeAndMove(w);
    }
    return wasVisible ? TRUE : FALSE;
  });
}

BOOL IsWindowVisible(HWND window) {
  const Window* w = Peek(window);
  return w != nullptr && IsVisibleTree(w) ? TRUE : FALSE;
}

BOOL IsIconic(HWND window) {
  const Window* w = Peek(window);
  return w != nullptr && (w->style & WS_MINIMIZE) != 0 ? TRUE : FALSE;
}

BOOL IsZoomed(HWND window) {
  const Window* w = Peek(window);
  return w != nullptr && (w->style & WS_MAXIMIZE) != 0 ? TRUE : FALSE;
}

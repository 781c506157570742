// Paint: update regions (one rectangle per window), WM_PAINT and
// WM_ERASEBKGND, window device contexts over the top-level window's client
// surface, DrawStateA, and the system colours with their brushes.
//
// Every top-level window owns the pixels of its client area; a child's
// context draws into its share of them, clipped to its own client area and
// to every ancestor's. Released contexts hand what they covered to the
// display.

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

namespace {

struct WindowDc {
  HWND window = nullptr;  // null: the screen
  HWND top = nullptr;
  std::shared_ptr<Surface> surface;
  bool paint = false;  // BeginPaint's: clipped to the update rectangle too
  RECT paintRect{};    // window client coordinates
  RECT clip{};         // top-level client coordinates
};

std::map<HDC, WindowDc>& Dcs() {
  static auto* dcs = new std::map<HDC, WindowDc>;
  return *dcs;
}

// Where the window's context draws: origin and clip in its top-level
// window's client coordinates. Hidden windows draw nowhere.
void Aim(const Window* w, const WindowDc& dc, POINT* origin, RECT* clip) {
  *origin = POINT{0, 0};
  *clip = RECT{};
  if (!ClipInTopClient(w, clip, origin) || !IsVisibleTree(w)) {
    *clip = RECT{};
    return;
  }
  if (dc.paint) {
    RECT area = dc.paintRect;
    Offset(&area, origin->x, origin->y);
    Intersect(clip, *clip, area);
  }
}

HDC MakeDc(Window* w, bool paint, const RECT& paintRect) {
  Window* top = Peek(TopLevelOf(w->handle));
  if (top == nullptr || top->surface == nullptr) {
    return nullptr;
  }
  WindowDc record;
  record.window = w->handle;
  record.top = top->handle;
  record.surface = top->surface;
  record.paint = paint;
  record.paintRect = paintRect;
  POINT origin;
  Aim(w, record, &origin, &record.clip);
  HDC dc = GdiCreateSurfaceDC(top->surface->view, origin, record.clip);
  if (dc != nullptr) {
    Dcs()[dc] = record;
  }
  return dc;
}

bool FinishDc(HDC dc) {
  auto it = Dcs().find(dc);
  if (it == Dcs().end()) {
    return false;
  }
  const WindowDc record = it->second;
  Dcs().erase(it);
  if (record.window == nullptr) {
    DeleteDC(dc);
    return true;
  }
  GdiDeleteSurfaceDC(dc);
  if (Window* w = Peek(record.window)) {
    PresentClient(w, record.clip);
  }
  return true;
}

bool ChildrenIncluded(const Window* w, UINT flags) {
  if ((flags & RDW_NOCHILDREN) != 0) {
    return false;
  }
  return (flags & RDW_ALLCHILDREN) != 0 || (w->style & WS_CLIPCHILDREN) == 0;
}

// Calls visit(child, part) for each child that `area` (this window's client
// coordinates) reaches, with the part in the child's client coordinates; none
// when the flags leave the children out.
template <typename Visit>
void ForChildrenUnder(const Window* w, const RECT& area, UINT flags, Visit visit) {
  if (!ChildrenIncluded(w, flags)) {
    return;
  }
  for (HWND h : w->children) {
    Window* child = Peek(h);
    RECT part;
    if (child != nullptr && Intersect(&part, area, child->rect)) {
      Offset(&part, -child->client.left, -child->client.top);
      visit(child, part);
    }
  }
}

bool AncestorNeedsPaint(const Window* w) {
  while (!IsTopLevel(w)) {
    w = Peek(w->parent);
    if (w == nullptr) {
      return false;
    }
    if (w->updatePending) {
      return true;
    }
  }
  return false;
}

void Validate(Window* w, const RECT* rect, UINT flags) {
  const RECT client{0, 0, Width(w->client), Height(w->client)};
  RECT area = client;
  if (rect != nullptr) {
    Intersect(&area, *rect, client);
  }
  if (w->updatePending) {
    RECT left = w->update;
    // A rectangle union can only lose a band that spans it.
    if (rect == nullptr || (area.left <= left.left && area.right >= left.right &&
                            area.top <= left.top && area.bottom >= left.bottom)) {
      left = RECT{};
    } else if (area.left <= left.left && area.right >= left.right) {
      if (area.top <= left.top) {
        left.top = std::max(left.top, area.bottom);
      }
      if (area.bottom >= left.bottom) {
        left.bottom = std::min(left.bottom, area.top);
      }
    } else if (area.top <= left.top && area.bottom >= left.bottom) {
      if (area.left <= left.left) {
        left.left = std::max(left.left, area.right);
      }
      if (area.right >= left.right) {
        left.right = std::min(left.right, area.left);
      }
    }
    w->update = left;
    w->updatePending = !IsEmpty(left);
    if (!w->updatePending) {
      w->erasePending = false;
    }
  }
  ForChildrenUnder(w, area, flags,
                   [flags](Window* child, const RECT& part) { Validate(child, &part, flags); });
}

void Invalidate(Window* w, const RECT* rect, bool erase, UINT flags) {
  if (!IsVisibleTree(w)) {
    return;
  }
  const RECT client{0, 0, Width(w->client), Height(w->client)};
  RECT area = client;
  if (rect != nullptr) {
    Intersect(&area, *rect, client);
  }
  if (IsEmpty(area)) {
    return;
  }
  Unite(&w->update, area);
  w->updatePending = true;
  if (erase) {
    w->erasePending = true;
  }
  ForChildrenUnder(w, area, flags, [erase, flags](Window* child, const RECT& part) {
    Invalidate(child, &part, erase, flags);
  });
}

HWND FindPaint(HWND window, HWND filter) {
  const Window* w = Peek(window);
  if (w == nullptr || (w->style & WS_VISIBLE) == 0) {
    return nullptr;
  }
  if ((w->updatePending || w->internalPaint) &&
      (filter == nullptr || window == filter || IsChild(filter, window))) {
    return window;
  }
  for (HWND child : w->children) {
    if (HWND found = FindPaint(child, filter)) {
      return found;
    }
  }
  return nullptr;
}

constexpr COLORREF kSysColors[31] = {
    RGB(200, 200, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(166, 202, 240),
    RGB(192, 192, 192), RGB(51, 153, 255),  RGB(240, 240, 240),
};

}  // namespace

void Surface::Resize(LONG width, LONG height) {
  width = std::max<LONG>(width, 0);
  height = std::max<LONG>(height, 0);
  std::vector<DWORD> next(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  const LONG keepW = std::min(width, view.width);
  const LONG keepH = std::min(height, view.height);
  for (LONG y = 0; y < keepH; ++y) {
    std::memcpy(&next[static_cast<size_t>(y) * static_cast<size_t>(width)],
                &pixels[static_cast<size_t>(y) * static_cast<size_t>(view.stride)],
                static_cast<size_t>(keepW) * sizeof(DWORD));
  }
  pixels.swap(next);
  view = GdiSurface{pixels.empty() ? nullptr : pixels.data(), width, height, width};
}

void SurfaceFollowClient(Window* top) {
  Surface* surface = top->surface.get();
  if (surface == nullptr) {
    return;
  }
  const LONG width = Width(top->client);
  const LONG height = Height(top->client);
  // A minimized window keeps its pixels for when it comes back.
  if ((top->style & WS_MINIMIZE) != 0) {
    return;
  }
  if (width != surface->view.width || height != surface->view.height) {
    // The display may be reading the pixels it was last shown.
    if (top->native) {
      DisplayReleasePixels(top->handle);
    }
    surface->Resize(width, height);
  }
  // Contexts that are out keep drawing where their windows now are.
  for (auto& [dc, record] : Dcs()) {
    if (record.top != top->handle) {
      continue;
    }
    const Window* w = Peek(record.window);
    POINT origin{0, 0};
    record.clip = RECT{};
    if (w != nullptr) {
      Aim(w, record, &origin, &record.clip);
    }
    GdiRetargetSurfaceDC(dc, record.surface->view, origin, record.clip);
  }
}

void PresentClient(Window* window, const RECT& clipInTop) {
  Window* top = Peek(TopLevelOf(window->handle));
  if (top == nullptr || !top->native || top->surface == nullptr || IsEmpty(clipInTop)) {
    return;
  }
  const GdiSurface& v = top->surface->view;
  DisplayPresent(top->handle, v.bits, v.width, v.height, v.stride, clipInTop);
}

void InvalidateClient(Window* window, const RECT* rect, bool erase, bool children) {
  Invalidate(window, rect, erase, children ? RDW_ALLCHILDREN : 0);
}

void ValidateClient(Window* window, const RECT* rect, bool children) {
  Validate(window, rect, children ? RDW_ALLCHILDREN : 0);
}

void EraseNow(Window* w) {
  if (!IsVisibleTree(w) || AncestorNeedsPaint(w)) {
    return;
  }
  const HWND window = w->handle;
  if (w->erasePending && w->updatePending) {
    HDC dc = MakeDc(w, true, w->update);
    w->erasePending = false;
    LRESULT erased = 0;
    if ((w = SendAndPeek(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0, &erased)) !=
        nullptr) {
      w->eraseUnhandled = erased == 0;
    }
    if (dc != nullptr) {
      FinishDc(dc);
    }
  }
}

void PaintNow(Window* w, bool children) {
  const HWND window = w->handle;
  if (IsVisibleTree(w) && (w->updatePending || w->internalPaint)) {
    w = SendAndPeek(window, WM_PAINT, 0, 0);
  }
  if (!children || w == nullptr) {
    return;
  }
  const std::vector<HWND> list = w->children;
  for (HWND child : list) {
    if (Window* c = Peek(child)) {
      PaintNow(c, true);
    }
  }
}

HWND NextWindowToPaint(HWND filter) {
  for (HWND top : TopLevels()) {
    if (HWND found = FindPaint(top, filter)) {
      return found;
    }
  }
  return nullptr;
}

HBRUSH ClassBrush(HBRUSH brush) {
  const auto value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= COLOR_MENUBAR + 1) {
    return GetSysColorBrush(static_cast<int>(value - 1));
  }
  return brush;
}

COLORREF SysColor(int index) {
  return index >= 0 && index <= COLOR_MENUBAR ? kSysColors[index] : 0;
}

}  // namespace user

using namespace user;

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    UINT flags = RDW_INVALIDATE;
    if (erase) {
      flags |= RDW_ERASE;
    }
    return RedrawWindow(window, rect, nullptr, flags);
  });
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  return OrOutOfMemory(FALSE,
                       [&]() -> BOOL { return RedrawWindow(window, rect, nullptr, RDW_VALIDATE); });
}

BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase) {
  Window* w = Find(window);
  if (w == nullptr) {
    return FALSE;
  }
  const bool pending = w->updatePending;
  if (rect != nullptr) {
    *rect = pending ? w->update : RECT{};
  }
  if (erase && pending) {
    EraseNow(w);
  }
  return pending ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    return RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  });
}

BOOL RedrawWindow(HWND window, const RECT* update, HRGN, UINT flags) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    std::vector<HWND> targets;
    if (window == nullptr) {
      targets = TopLevels();
    } else {
      if (Find(window) == nullptr) {
        return FALSE;
      }
      targets.push_back(window);
    }
    for (HWND target : targets) {
      Window* w = Peek(target);
      if (w == nullptr) {
        continue;
      }
      if ((flags & RDW_INVALIDATE) != 0) {
        Invalidate(w, update, (flags & RDW_ERASE) != 0, flags);
      }
      if ((flags & RDW_INTERNALPAINT) != 0 && IsVisibleTree(w)) {
        w->internalPaint = true;
      }
      if ((flags & RDW_VALIDATE) != 0) {
        Validate(w, update, flags);
      }
      if ((flags & RDW_NOERASE) != 0) {
        w->erasePending = false;
      }
      if ((flags & RDW_NOINTERNALPAINT) != 0) {
        w->internalPaint = false;
      }
      if ((flags & RDW_ERASENOW) != 0) {
        EraseNow(w);
      }
      if ((flags & RDW_UPDATENOW) != 0 && (w = Peek(target)) != nullptr) {
        PaintNow(w, ChildrenIncluded(w, flags));
      }
    }
    return TRUE;
  });
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  return OrOutOfMemory(HDC{}, [&]() -> HDC {
    Window* w = Find(window);
    if (w == nullptr || paint == nullptr) {
      return nullptr;
    }
    const RECT client{0, 0, Width(w->client), Height(w->client)};
    RECT area{};
    if (w->updatePending) {
      Intersect(&area, w->update, client);
    }
    const bool erase = w->erasePending;
    w->updatePending = false;
    w->erasePending = false;
    w->internalPaint = false;
    w->update = RECT{};
    HDC dc = MakeDc(w, true, area);
    bool unhandled = w->eraseUnhandled;
    if (erase) {
      LRESULT erased = 0;
      w = SendAndPeek(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0, &erased);
      unhandled = erased == 0;
    }
    if (w != nullptr) {
      w->eraseUnhandled = false;
    }
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    paint->fErase = unhandled ? TRUE : FALSE;
    paint->rcPaint = area;
    return dc;
  });
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (paint != nullptr && paint->hdc != nullptr) {
      FinishDc(paint->hdc);
    }
    return TRUE;
  });
}

HDC GetDC(HWND window) {
  return OrOutOfMemory(HDC{}, [&]() -> HDC {
    if (window == nullptr) {
      HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
      if (dc != nullptr) {
        Dcs()[dc] = WindowDc{};
      }
      return dc;
    }
    Window* w = Find(window);
    return w != nullptr ? MakeDc(w, false, RECT{}) : nullptr;
  });
}

int ReleaseDC(HWND, HDC dc) { return FinishDc(dc) ? 1 : 0; }

BOOL DrawStateA(HDC dc, HBRUSH, DRAWSTATEPROC callback, LPARAM data, WPARAM wData, int x, int y,
                int cx, int cy, UINT flags) {
  switch (flags & 0x000F) {
    case DST_BITMAP: {
      auto bitmap = FromNumber<HBITMAP>(data);
      BITMAP info{};
      if (GetObjectA(bitmap, sizeof info, &info) == 0) {
        return FALSE;
      }
      if (cx == 0 || cy == 0) {
        cx = info.bmWidth;
        cy = info.bmHeight;
      }
      return GdiCopyBitmap(dc, x, y, bitmap, cx, cy);
    }
    case DST_ICON:
      return IconDraw(dc, x, y, FromNumber<HICON>(data), cx, cy) ? TRUE : FALSE;
    case DST_COMPLEX:
      if (callback == nullptr) {
        return FALSE;
      }
      return callback(dc, data, wData, cx, cy);
    default:
      // Nothing here draws text.
      return FALSE;
  }
}

DWORD GetSysColor(int index) { return SysColor(index); }

HBRUSH GetSysColorBrush(int index) {
  static HBRUSH brushes[COLOR_MENUBAR + 1] = {};
  if (index < 0 || index > COLOR_MENUBAR) {
    return nullptr;
  }
  if (brushes[index] == nullptr) {
    brushes[index] = GdiCreatePermanentBrush(SysColor(index));
  }
  return brushes[index];
}

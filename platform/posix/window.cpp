// Window records and their life: the window table and lookups by handle,
// sending messages to window procedures, and CreateWindowExA and
// DestroyWindow with the messages Win32 sends on the way.

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/testing.h"
#include "platform/posix/user_internal.h"

namespace user {

WindowTable& TheWindowTable() {
  static auto* table = new WindowTable;
  return *table;
}

std::vector<HWND>& TopLevels() {
  static auto* topLevels = new std::vector<HWND>;
  return *topLevels;
}

Window* Peek(HWND window) {
  WindowTable& table = TheWindowTable();
  auto it = table.windows.find(window);
  return it != table.windows.end() && it->second->alive ? it->second.get() : nullptr;
}

Window* Find(HWND window) {
  Window* w = Peek(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  }
  return w;
}

bool IsTopLevel(const Window* window) { return (window->style & WS_CHILD) == 0; }

bool HasMenuBar(const Window* window) { return IsTopLevel(window) && window->menu != nullptr; }

HWND TopLevelOf(HWND window) {
  Window* w = Peek(window);
  while (w != nullptr && !IsTopLevel(w)) {
    Window* parent = Peek(w->parent);
    if (parent == nullptr) {
      break;
    }
    w = parent;
  }
  return w != nullptr ? w->handle : nullptr;
}

bool IsVisibleTree(const Window* window) {
  for (const Window* w = window; w != nullptr; w = IsTopLevel(w) ? nullptr : Peek(w->parent)) {
    if ((w->style & WS_VISIBLE) == 0) {
      return false;
    }
  }
  return true;
}

bool IsEnabledTree(const Window* window) {
  for (const Window* w = window; w != nullptr; w = IsTopLevel(w) ? nullptr : Peek(w->parent)) {
    if ((w->style & WS_DISABLED) != 0) {
      return false;
    }
  }
  return true;
}

void ReapDestroyed() {
  WindowTable& table = TheWindowTable();
  if (table.sendDepth == 0) {
    table.graveyard.clear();
  }
}

// ---------------------------------------------------------------------------
// Procedures

// Counts the window procedures running, so that records of windows destroyed
// meanwhile stay in memory until the outermost one has returned.
struct InProcedure {
  InProcedure() { ++TheWindowTable().sendDepth; }
  ~InProcedure() { --TheWindowTable().sendDepth; }
  InProcedure(const InProcedure&) = delete;
  InProcedure& operator=(const InProcedure&) = delete;
};

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Peek(window);
  if (w == nullptr || w->proc == nullptr) {
    return 0;
  }
  const InProcedure running;
  return w->proc(window, message, wParam, lParam);
}

Window* SendAndPeek(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const LRESULT answer = Send(window, message, wParam, lParam);
  if (result != nullptr) {
    *result = answer;
  }
  return Peek(window);
}

}  // namespace user

using namespace user;

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (proc == nullptr) {
    return 0;
  }
  const InProcedure running;
  return proc(window, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Destruction

namespace {

// Takes the record out of its parent's (or the screen's) z-order.
void Unlink(Window* w) {
  auto drop = [&](std::vector<HWND>& list) {
    list.erase(std::remove(list.begin(), list.end(), w->handle), list.end());
  };
  if (IsTopLevel(w)) {
    drop(TopLevels());
  } else if (Window* parent = Peek(w->parent)) {
    drop(parent->children);
  }
}

// Removes a record whose WM_NCDESTROY has been sent.
void FreeWindow(Window* w) {
  WindowTable& table = TheWindowTable();
  w->alive = false;
  w->props.clear();
  if (HasMenuBar(w) && MenuExists(w->menu)) {
    MenuDestroyTree(w->menu);
  }
  w->menu = nullptr;
  Unlink(w);
  if (w->native) {
    DisplayDestroyWindow(w->handle);
  }
  w->native = false;
  PurgeWindowMessages(w->handle);
  --w->cls->windows;
  auto it = table.windows.find(w->handle);
  if (it != table.windows.end()) {
    table.graveyard.push_back(std::move(it->second));
    table.windows.erase(it);
  }
}

void SendNcDestroy(HWND window) {
  Window* w = Peek(window);
  if (w == nullptr) {
    return;
  }
  const std::vector<HWND> children = w->children;
  for (HWND child : children) {
    SendNcDestroy(child);
  }
  if (Peek(window) == nullptr) {
    return;
  }
  if (Window* after = SendAndPeek(window, WM_NCDESTROY, 0, 0)) {
    FreeWindow(after);
  }
}

void SendDestroy(HWND window) {
  Window* w = Peek(window);
  if (w == nullptr) {
    return;
  }
  w->destroying = true;
  ForgetWindow(window);
  if ((w = SendAndPeek(window, WM_DESTROY, 0, 0)) == nullptr) {
    return;
  }
  const std::vector<HWND> children = w->children;
  for (HWND child : children) {
    SendDestroy(child);
  }
}

void ParentNotify(Window* w, UINT event) {
  if (IsTopLevel(w) || (w->exStyle & WS_EX_NOPARENTNOTIFY) != 0) {
    return;
  }
  Send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(event, static_cast<WORD>(w->id)),
       reinterpret_cast<LPARAM>(w->handle));
}

// Owned windows go first, each as if DestroyWindow had been called on it.
void DestroyOwnedWindows(HWND owner) {
  for (;;) {
    const auto& tops = TopLevels();
    auto it = std::find_if(tops.begin(), tops.end(), [&](HWND h) {
      const Window* o = Peek(h);
      return o != nullptr && o->owner == owner && !o->destroying;
    });
    if (it == tops.end()) {
      break;
    }
    DestroyWindow(*it);
  }
}

}  // namespace

BOOL DestroyWindow(HWND window) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    Window* w = Find(window);
    if (w == nullptr) {
      return FALSE;
    }
    if (w->destroying) {
      return TRUE;
    }
    w->destroying = true;
    ParentNotify(w, WM_DESTROY);
    if ((w = Peek(window)) == nullptr) {
      return TRUE;
    }
    if ((w->style & WS_VISIBLE) != 0) {
      // A child is hidden as by ShowWindow (with WM_SHOWWINDOW), a top-level
      // window without it.
      if (IsTopLevel(w)) {
        SetWindowPosInternal(
            window, nullptr, 0, 0, 0, 0,
            SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
      } else {
        ShowWindow(window, SW_HIDE);
      }
      if ((w = Peek(window)) == nullptr) {
        return TRUE;
      }
    }
    if (IsTopLevel(w)) {
      DestroyOwnedWindows(window);
    }
    SendDestroy(window);
    SendNcDestroy(window);
    return TRUE;
  });
}

// ---------------------------------------------------------------------------
// Creation

namespace {

// Where CW_USEDEFAULT puts an overlapped window: a cascade from the top-left.
POINT DefaultPosition() {
  static int placements = 0;  // CW_USEDEFAULT windows placed so far
  const int step = placements++ % 8;
  return POINT{32 + 24 * step, 32 + 24 * step};
}

SIZE DefaultSize() {
  const int w = GetSystemMetrics(SM_CXSCREEN);
  const int h = GetSystemMetrics(SM_CYSCREEN);
  return SIZE{w * 3 / 4, h * 3 / 4};
}

// The parent of a child window or the owner of an owned one. False, with the
// last error set, when `parent` names no window.
bool FindRelations(DWORD style, HWND parent, Window** parentWindow, HWND* owner) {
  if ((style & WS_CHILD) != 0) {
    *parentWindow = Find(parent);
    return *parentWindow != nullptr;
  }
  if (parent != nullptr) {
    if (Find(parent) == nullptr) {
      return false;
    }
    *owner = TopLevelOf(parent);
  }
  return true;
}

// The styles a window of its kind always has: an overlapped window has a
// caption, and a raised edge goes with a dialog or sizing frame.
void CompleteStyles(bool overlapped, DWORD* style, DWORD* exStyle) {
  if (overlapped) {
    *style |= WS_CLIPSIBLINGS | WS_CAPTION;
  }
  if ((*style & (WS_DLGFRAME | WS_THICKFRAME)) != 0 || (*exStyle & WS_EX_DLGMODALFRAME) != 0) {
    *exStyle |= WS_EX_WINDOWEDGE;
  } else {
    *exStyle &= ~static_cast<DWORD>(WS_EX_WINDOWEDGE);
  }
}

// CW_USEDEFAULT made a place and a size; a negative size made empty.
void ResolveDefaults(bool overlapped, int* x, int* y, int* width, int* height) {
  if (overlapped) {
    if (*x == CW_USEDEFAULT) {
      const POINT p = DefaultPosition();
      *x = p.x;
      *y = p.y;
    }
    if (*width == CW_USEDEFAULT) {
      const SIZE size = DefaultSize();
      *width = size.cx;
      *height = size.cy;
    }
  } else {
    if (*x == CW_USEDEFAULT) {
      *x = *y = 0;
    }
    if (*width == CW_USEDEFAULT) {
      *width = *height = 0;
    }
  }
  *width = std::max(*width, 0);
  *height = std::max(*height, 0);
}

// A new, hidden record in the window table and at the top of its parent's
// (or the screen's) z-order.
HWND AddRecord(Class* cls, const CREATESTRUCTA& cs, Window* parentWindow, HWND owner,
               bool overlapped) {
  WindowTable& table = TheWindowTable();
  auto record = std::make_unique<Window>();
  Window* w = record.get();
  w->handle = FromParam<HWND>(table.nextHandle);
  table.nextHandle += 2;
  w->cls = cls;
  w->proc = cls->info.lpfnWndProc;
  w->instance = cs.hInstance;
  w->style = static_cast<DWORD>(cs.style) & ~static_cast<DWORD>(WS_VISIBLE);
  w->exStyle = cs.dwExStyle;
  w->extra.assign(static_cast<size_t>(cls->info.cbWndExtra), 0);
  if (parentWindow != nullptr) {
    w->parent = cs.hwndParent;
    w->id = static_cast<LONG_PTR>(reinterpret_cast<INT_PTR>(cs.hMenu));
  } else {
    w->owner = owner;
    w->menu = MenuExists(cs.hMenu) ? cs.hMenu : nullptr;
    w->needSize = overlapped;
  }
  ++cls->windows;
  const HWND hwnd = w->handle;
  table.windows.emplace(hwnd, std::move(record));
  if (parentWindow != nullptr) {
    parentWindow->children.push_back(hwnd);
  } else {
    TopLevels().insert(TopLevels().begin(), hwnd);
  }
  return hwnd;
}

// A top-level window's client surface and native window.
bool MakeNative(Window* w) {
  w->surface = std::make_shared<Surface>();
  w->surface->Resize(Width(w->client), Height(w->client));
  if (!DisplayCreateWindow(w->handle, w->text.c_str(), w->style, w->exStyle, w->rect, w->client)) {
    SetLastError(ERROR_NO_SYSTEM_RESOURCES);
    return false;
  }
  w->native = true;
  if (w->menu != nullptr) {
    DisplaySetMenu(w->handle, w->menu);
  }
  return true;
}

// The messages that make a window, from WM_GETMINMAXINFO to WM_CREATE, with
// its native window between. Null when the window refused to be made, could
// not be, or was destroyed meanwhile.
Window* MakeWindow(HWND hwnd, CREATESTRUCTA* cs, bool overlapped) {
  Window* w = Peek(hwnd);
  if (overlapped || (static_cast<DWORD>(cs->style) & WS_THICKFRAME) != 0) {
    MINMAXINFO info{};
    MinMaxInfo(w, &info);
    if ((w = SendAndPeek(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info))) == nullptr) {
      return nullptr;
    }
    cs->cx = std::clamp<int>(cs->cx, info.ptMinTrackSize.x,
                             std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
    cs->cy = std::clamp<int>(cs->cy, info.ptMinTrackSize.y,
                             std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
  }
  w->rect = RECT{cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy};
  w->normal = w->rect;
  w->client = ClientFromWindow(w->rect, w->style, w->exStyle, HasMenuBar(w));

  LRESULT created = 0;
  w = SendAndPeek(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(cs), &created);
  if (created == 0 || w == nullptr) {
    return nullptr;
  }
  RECT calc = w->rect;
  if ((w = SendAndPeek(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&calc))) == nullptr) {
    return nullptr;
  }
  w->client = calc;
  if (IsTopLevel(w) && !MakeNative(w)) {
    return nullptr;
  }
  w = SendAndPeek(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(cs), &created);
  return created != -1 ? w : nullptr;
}

// The made window learns its size and place, its parent learns of it, and
// it shows if its style asks. Null when it was destroyed on the way.
HWND FinishCreation(Window* w, DWORD style) {
  const HWND hwnd = w->handle;
  if (w->native) {
    DisplaySetTitle(hwnd, w->text.c_str());
  }
  if (!w->needSize) {
    SendSizeAndMove(w);
  }
  if ((w = Peek(hwnd)) == nullptr) {
    return nullptr;
  }
  ParentNotify(w, WM_CREATE);
  if (Peek(hwnd) == nullptr) {
    return nullptr;
  }
  if ((style & WS_VISIBLE) != 0) {
    int command = SW_SHOW;
    if ((style & WS_MAXIMIZE) != 0) {
      command = SW_SHOWMAXIMIZED;
    }
    if ((style & WS_MINIMIZE) != 0) {
      command = SW_SHOWMINIMIZED;
    }
    ShowWindow(hwnd, command);
  }
  return Peek(hwnd) != nullptr ? hwnd : nullptr;
}

}  // namespace

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  return OrOutOfMemory(HWND{}, [&]() -> HWND {
    Class* cls = FindClass(className);
    if (cls == nullptr) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    Window* parentWindow = nullptr;
    HWND owner = nullptr;
    if (!FindRelations(style, parent, &parentWindow, &owner)) {
      return nullptr;
    }
    if (!DisplayOpen()) {
      SetLastError(ERROR_NO_SYSTEM_RESOURCES);
      return nullptr;
    }
    const bool overlapped = (style & (WS_CHILD | WS_POPUP)) == 0;
    CompleteStyles(overlapped, &style, &exStyle);
    ResolveDefaults(overlapped, &x, &y, &width, &height);
    CREATESTRUCTA cs{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    const HWND hwnd = AddRecord(cls, cs, parentWindow, owner, overlapped);
    Window* w = MakeWindow(hwnd, &cs, overlapped);
    if (w == nullptr) {
      // A window that never finished being made gets WM_NCDESTROY only (none
      // when it is gone already).
      if (Window* dead = Peek(hwnd)) {
        dead->destroying = true;
      }
      SendNcDestroy(hwnd);
      return nullptr;
    }
    return FinishCreation(w, style);
  });
}

size_t PosixLiveWindows() { return TheWindowTable().windows.size(); }

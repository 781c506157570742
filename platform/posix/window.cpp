// Window classes and windows: creation and destruction with the messages a
// Win32 window gets, geometry and frames, SetWindowPos and ShowWindow,
// properties, long values, enumeration, DefWindowProcA and system metrics.

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/display.h"
#include "platform/posix/kernel.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/testing.h"
#include "platform/posix/user_internal.h"

namespace user {

State& TheState() {
  static auto* state = new State;
  return *state;
}

Window* Peek(HWND window) {
  State& s = TheState();
  auto it = s.windows.find(window);
  return it != s.windows.end() && it->second->alive ? it->second.get() : nullptr;
}

Window* Find(HWND window) {
  Window* w = Peek(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  }
  return w;
}

bool IsTopLevel(const Window* window) { return (window->style & WS_CHILD) == 0; }

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
  State& s = TheState();
  if (s.sendDepth == 0) {
    s.graveyard.clear();
  }
}

// ---------------------------------------------------------------------------
// Rectangles

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }
bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

void Offset(RECT* r, LONG dx, LONG dy) {
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
}

bool Intersect(RECT* out, const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) {
    r = RECT{};
  }
  *out = r;
  return !IsEmpty(r);
}

void Unite(RECT* into, const RECT& add) {
  if (IsEmpty(add)) {
    return;
  }
  if (IsEmpty(*into)) {
    *into = add;
    return;
  }
  into->left = std::min(into->left, add.left);
  into->top = std::min(into->top, add.top);
  into->right = std::max(into->right, add.right);
  into->bottom = std::max(into->bottom, add.bottom);
}

namespace {

bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

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

namespace {

bool HasMenuBar(const Window* w) { return IsTopLevel(w) && w->menu != nullptr; }

// ---------------------------------------------------------------------------
// Classes

std::vector<std::unique_ptr<Class>>::iterator FindClassEntry(LPCSTR name) {
  auto& classes = TheState().classes;
  std::string key;
  if (IS_INTRESOURCE(name)) {
    key = "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
  } else {
    key = name;
  }
  return std::find_if(classes.begin(), classes.end(), [&](const std::unique_ptr<Class>& c) {
    return strcasecmp(c->name.c_str(), key.c_str()) == 0;
  });
}

Class* FindClass(LPCSTR name) {
  if (name == nullptr) {
    return nullptr;
  }
  RegisterSystemClasses();
  auto it = FindClassEntry(name);
  return it != TheState().classes.end() ? it->get() : nullptr;
}

ATOM AtomOf(const Class* cls) {
  const auto& classes = TheState().classes;
  for (size_t i = 0; i < classes.size(); ++i) {
    if (classes[i].get() == cls) {
      return static_cast<ATOM>(0xC000 + i);
    }
  }
  return 0;
}

}  // namespace

void RegisterSystemClasses() {
  static bool done = false;
  if (done) {
    return;
  }
  done = true;
  auto cls = std::make_unique<Class>();
  cls->name = "Static";
  cls->system = true;
  cls->info.style = CS_DBLCLKS | CS_PARENTDC;
  cls->info.lpfnWndProc = StaticWindowProc;
  cls->info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  cls->info.lpszClassName = cls->name.c_str();
  TheState().classes.push_back(std::move(cls));
}

}  // namespace user

using namespace user;

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
  return OrOutOfMemory(ATOM{0}, [&]() -> ATOM {
    if (wndClass == nullptr || wndClass->lpszClassName == nullptr ||
        IS_INTRESOURCE(wndClass->lpszClassName) || wndClass->lpfnWndProc == nullptr ||
        wndClass->cbClsExtra < 0 || wndClass->cbWndExtra < 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    RegisterSystemClasses();
    auto& classes = TheState().classes;
    auto it = FindClassEntry(wndClass->lpszClassName);
    if (it != classes.end() && !(*it)->system) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
    auto cls = std::make_unique<Class>();
    cls->name = wndClass->lpszClassName;
    cls->info = *wndClass;
    cls->info.lpszClassName = cls->name.c_str();
    cls->info.lpszMenuName = nullptr;
    Class* raw = cls.get();
    // A program's class of a system class's name hides the system one.
    classes.insert(classes.begin(), std::move(cls));
    return AtomOf(raw);
  });
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    RegisterSystemClasses();
    auto& classes = TheState().classes;
    auto it = className != nullptr ? FindClassEntry(className) : classes.end();
    if (it == classes.end() || (*it)->system) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return FALSE;
    }
    if ((*it)->windows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
    // Records of destroyed windows may still point at it: keep it until then.
    static std::vector<std::unique_ptr<Class>> retired;
    retired.push_back(std::move(*it));
    classes.erase(it);
    return TRUE;
  });
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, LPWNDCLASSA info) {
  Class* cls = FindClass(className);
  if (cls == nullptr || info == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *info = cls->info;
  return TRUE;
}

int GetClassNameA(HWND window, LPSTR className, int maxCount) {
  Window* w = Find(window);
  if (w == nullptr || className == nullptr || maxCount <= 0) {
    return 0;
  }
  const size_t n = std::min(w->cls->name.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(className, w->cls->name.data(), n);
  className[n] = '\0';
  return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtrA(HWND window, int index) {
  Window* w = Find(window);
  if (w == nullptr) {
    return 0;
  }
  const WNDCLASSA& c = w->cls->info;
  switch (index) {
    case GCL_STYLE:
      return c.style;
    case GCLP_WNDPROC:
      return reinterpret_cast<ULONG_PTR>(c.lpfnWndProc);
    case GCL_CBCLSEXTRA:
      return static_cast<ULONG_PTR>(c.cbClsExtra);
    case GCL_CBWNDEXTRA:
      return static_cast<ULONG_PTR>(c.cbWndExtra);
    case GCLP_HMODULE:
      return reinterpret_cast<ULONG_PTR>(c.hInstance);
    case GCLP_HICON:
      return reinterpret_cast<ULONG_PTR>(c.hIcon);
    case GCLP_HCURSOR:
      return reinterpret_cast<ULONG_PTR>(c.hCursor);
    case GCLP_HBRBACKGROUND:
      return reinterpret_cast<ULONG_PTR>(c.hbrBackground);
    case GCW_ATOM:
      return AtomOf(w->cls);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

DWORD GetClassLongA(HWND window, int index) {
  return static_cast<DWORD>(GetClassLongPtrA(window, index));
}

// ---------------------------------------------------------------------------
// Creation

namespace {

// Where CW_USEDEFAULT puts an overlapped window: a cascade from the top-left.
POINT DefaultPosition() {
  State& s = TheState();
  const int step = s.defaultPlacements++ % 8;
  return POINT{32 + 24 * step, 32 + 24 * step};
}

SIZE DefaultSize() {
  const int w = GetSystemMetrics(SM_CXSCREEN);
  const int h = GetSystemMetrics(SM_CYSCREEN);
  return SIZE{w * 3 / 4, h * 3 / 4};
}

// Takes the record out of its parent's (or the screen's) z-order.
void Unlink(Window* w) {
  State& s = TheState();
  auto drop = [&](std::vector<HWND>& list) {
    list.erase(std::remove(list.begin(), list.end(), w->handle), list.end());
  };
  if (IsTopLevel(w)) {
    drop(s.topLevels);
  } else if (Window* parent = Peek(w->parent)) {
    drop(parent->children);
  }
}

// Removes a record whose WM_NCDESTROY has been sent.
void FreeWindow(Window* w) {
  State& s = TheState();
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
  auto it = s.windows.find(w->handle);
  if (it != s.windows.end()) {
    s.graveyard.push_back(std::move(it->second));
    s.windows.erase(it);
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
  if ((w = Peek(window)) == nullptr) {
    return;
  }
  Send(window, WM_NCDESTROY, 0, 0);
  if ((w = Peek(window)) != nullptr) {
    FreeWindow(w);
  }
}

void SendDestroy(HWND window) {
  Window* w = Peek(window);
  if (w == nullptr) {
    return;
  }
  w->destroying = true;
  ForgetWindow(window);
  Send(window, WM_DESTROY, 0, 0);
  if ((w = Peek(window)) == nullptr) {
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

}  // namespace

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  return OrOutOfMemory(HWND{}, [&]() -> HWND {
    State& s = TheState();
    Class* cls = FindClass(className);
    if (cls == nullptr) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    Window* parentWindow = nullptr;
    HWND owner = nullptr;
    if ((style & WS_CHILD) != 0) {
      parentWindow = Find(parent);
      if (parentWindow == nullptr) {
        return nullptr;
      }
    } else if (parent != nullptr) {
      if (Find(parent) == nullptr) {
        return nullptr;
      }
      owner = TopLevelOf(parent);
    }
    if (!DisplayOpen()) {
      SetLastError(ERROR_NO_SYSTEM_RESOURCES);
      return nullptr;
    }

    const bool overlapped = (style & (WS_CHILD | WS_POPUP)) == 0;
    if (overlapped) {
      style |= WS_CLIPSIBLINGS | WS_CAPTION;
    }
    if ((style & (WS_DLGFRAME | WS_THICKFRAME)) != 0 || (exStyle & WS_EX_DLGMODALFRAME) != 0) {
      exStyle |= WS_EX_WINDOWEDGE;
    } else {
      exStyle &= ~static_cast<DWORD>(WS_EX_WINDOWEDGE);
    }
    if (overlapped) {
      if (x == CW_USEDEFAULT) {
        const POINT p = DefaultPosition();
        x = p.x;
        y = p.y;
      }
      if (width == CW_USEDEFAULT) {
        const SIZE size = DefaultSize();
        width = size.cx;
        height = size.cy;
      }
    } else {
      if (x == CW_USEDEFAULT) {
        x = y = 0;
      }
      if (width == CW_USEDEFAULT) {
        width = height = 0;
      }
    }
    width = std::max(width, 0);
    height = std::max(height, 0);

    auto record = std::make_unique<Window>();
    Window* w = record.get();
    w->handle = FromParam<HWND>(s.nextHandle);
    s.nextHandle += 2;
    w->cls = cls;
    w->proc = cls->info.lpfnWndProc;
    w->instance = instance;
    w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
    w->exStyle = exStyle;
    w->extra.assign(static_cast<size_t>(cls->info.cbWndExtra), 0);
    if (parentWindow != nullptr) {
      w->parent = parent;
      w->id = static_cast<LONG_PTR>(reinterpret_cast<INT_PTR>(menu));
    } else {
      w->owner = owner;
      w->menu = MenuExists(menu) ? menu : nullptr;
      w->needSize = overlapped;
    }
    ++cls->windows;
    const HWND hwnd = w->handle;
    s.windows.emplace(hwnd, std::move(record));
    if (parentWindow != nullptr) {
      parentWindow->children.push_back(hwnd);
    } else {
      s.topLevels.insert(s.topLevels.begin(), hwnd);
    }

    CREATESTRUCTA cs{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    // A window that never finished being made gets WM_NCDESTROY only.
    auto fail = [&]() -> HWND {
      if (Window* dead = Peek(hwnd)) {
        dead->destroying = true;
      }
      SendNcDestroy(hwnd);
      return nullptr;
    };

    if (overlapped || (style & WS_THICKFRAME) != 0) {
      MINMAXINFO info{};
      MinMaxInfo(w, &info);
      Send(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
      if ((w = Peek(hwnd)) == nullptr) {
        return nullptr;
      }
      cs.cx = std::clamp<int>(cs.cx, info.ptMinTrackSize.x,
                              std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
      cs.cy = std::clamp<int>(cs.cy, info.ptMinTrackSize.y,
                              std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
    }
    w->rect = RECT{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy};
    w->normal = w->rect;
    w->client = ClientFromWindow(w->rect, w->style, w->exStyle, HasMenuBar(w));

    if (Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0) {
      return fail();
    }
    if ((w = Peek(hwnd)) == nullptr) {
      return nullptr;
    }
    RECT calc = w->rect;
    Send(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&calc));
    if ((w = Peek(hwnd)) == nullptr) {
      return nullptr;
    }
    w->client = calc;

    if (IsTopLevel(w)) {
      w->surface = std::make_shared<Surface>();
      w->surface->Resize(Width(w->client), Height(w->client));
      if (!DisplayCreateWindow(hwnd, w->text.c_str(), w->style, w->exStyle, w->rect, w->client)) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return fail();
      }
      w->native = true;
      if (w->menu != nullptr) {
        DisplaySetMenu(hwnd, w->menu);
      }
    }

    if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
      return fail();
    }
    if ((w = Peek(hwnd)) == nullptr) {
      return nullptr;
    }
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
    if ((w = Peek(hwnd)) == nullptr) {
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
  });
}

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
      // Owned windows go first, each as if DestroyWindow had been called on it.
      for (;;) {
        const auto& tops = TheState().topLevels;
        auto it = std::find_if(tops.begin(), tops.end(), [&](HWND h) {
          const Window* o = Peek(h);
          return o != nullptr && o->owner == window && !o->destroying;
        });
        if (it == tops.end()) {
          break;
        }
        DestroyWindow(*it);
      }
    }
    SendDestroy(window);
    SendNcDestroy(window);
    return TRUE;
  });
}

// ---------------------------------------------------------------------------
// Relations

BOOL IsWindow(HWND window) { return Peek(window) != nullptr ? TRUE : FALSE; }

BOOL IsChild(HWND parent, HWND window) {
  const Window* w = Peek(window);
  while (w != nullptr && !IsTopLevel(w)) {
    if (w->parent == parent) {
      return TRUE;
    }
    w = Peek(w->parent);
  }
  return FALSE;
}

HWND GetParent(HWND window) {
  const Window* w = Find(window);
  if (w == nullptr) {
    return nullptr;
  }
  if (!IsTopLevel(w)) {
    return w->parent;
  }
  return (w->style & WS_POPUP) != 0 ? w->owner : nullptr;
}

HWND GetWindow(HWND window, UINT command) {
  const Window* w = Find(window);
  if (w == nullptr) {
    return nullptr;
  }
  const std::vector<HWND>* siblings = &TheState().topLevels;
  if (!IsTopLevel(w)) {
    const Window* parent = Peek(w->parent);
    if (parent == nullptr) {
      return nullptr;
    }
    siblings = &parent->children;
  }
  auto at = std::find(siblings->begin(), siblings->end(), window);
  switch (command) {
    case GW_HWNDFIRST:
      return siblings->empty() ? nullptr : siblings->front();
    case GW_HWNDLAST:
      return siblings->empty() ? nullptr : siblings->back();
    case GW_HWNDNEXT:
      return at == siblings->end() || at + 1 == siblings->end() ? nullptr : *(at + 1);
    case GW_HWNDPREV:
      return at == siblings->begin() || at == siblings->end() ? nullptr : *(at - 1);
    case GW_OWNER:
      return IsTopLevel(w) ? w->owner : nullptr;
    case GW_CHILD:
      return w->children.empty() ? nullptr : w->children.front();
    case GW_ENABLEDPOPUP:
      return nullptr;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

namespace {

void CollectDescendants(const Window* w, std::vector<HWND>* out) {
  for (HWND child : w->children) {
    out->push_back(child);
    if (const Window* c = Peek(child)) {
      CollectDescendants(c, out);
    }
  }
}

BOOL EnumList(const std::vector<HWND>& list, WNDENUMPROC callback, LPARAM param) {
  for (HWND h : list) {
    if (Peek(h) == nullptr) {
      continue;
    }
    if (!callback(h, param)) {
      return FALSE;
    }
  }
  return TRUE;
}

}  // namespace

BOOL EnumWindows(WNDENUMPROC callback, LPARAM param) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (callback == nullptr) {
      return FALSE;
    }
    const std::vector<HWND> list = TheState().topLevels;
    EnumList(list, callback, param);
    return TRUE;
  });
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (callback == nullptr) {
      return FALSE;
    }
    std::vector<HWND> list;
    if (parent == nullptr) {
      for (HWND top : TheState().topLevels) {
        list.push_back(top);
        if (const Window* t = Peek(top)) {
          CollectDescendants(t, &list);
        }
      }
    } else {
      const Window* w = Find(parent);
      if (w == nullptr) {
        return FALSE;
      }
      CollectDescendants(w, &list);
    }
    EnumList(list, callback, param);
    return TRUE;
  });
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  if (Find(window) == nullptr) {
    return 0;
  }
  if (processId != nullptr) {
    *processId = GetCurrentProcessId();
  }
  return GetCurrentThreadId();
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (Find(window) == nullptr) {
      return FALSE;
    }
    return static_cast<BOOL>(Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
  });
}

int GetWindowTextA(HWND window, LPSTR text, int maxCount) {
  if (Find(window) == nullptr || text == nullptr || maxCount <= 0) {
    return 0;
  }
  return static_cast<int>(
      Send(window, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

// ---------------------------------------------------------------------------
// Properties

namespace {

// A property's name as it is kept: the string, or "#n" for an atom. Made for
// every lookup, so it allocates nothing.
class PropertyKey {
 public:
  explicit PropertyKey(LPCSTR name) : text_(name) {
    if (IS_INTRESOURCE(name)) {
      std::snprintf(atom_, sizeof atom_, "#%lu",
                    static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(name)));
      text_ = atom_;
    }
  }
  const char* Text() const { return text_; }

 private:
  char atom_[24] = {};
  const char* text_;
};

auto FindProperty(Window* w, const PropertyKey& key) {
  return std::find_if(w->props.begin(), w->props.end(),
                      [&](const auto& p) { return strcasecmp(p.first.c_str(), key.Text()) == 0; });
}

}  // namespace

BOOL SetPropA(HWND window, LPCSTR name, HANDLE data) {
  Window* w = Find(window);
  if (w == nullptr || name == nullptr) {
    return FALSE;
  }
  const PropertyKey key(name);
  auto it = FindProperty(w, key);
  if (it != w->props.end()) {
    it->second = data;
    return TRUE;
  }
  return OrOutOfMemory(FALSE, [&] {
    w->props.emplace_back(key.Text(), data);
    return TRUE;
  });
}

HANDLE GetPropA(HWND window, LPCSTR name) {
  Window* w = Find(window);
  if (w == nullptr || name == nullptr) {
    return nullptr;
  }
  auto it = FindProperty(w, PropertyKey(name));
  return it != w->props.end() ? it->second : nullptr;
}

HANDLE RemovePropA(HWND window, LPCSTR name) {
  Window* w = Find(window);
  if (w == nullptr || name == nullptr) {
    return nullptr;
  }
  auto it = FindProperty(w, PropertyKey(name));
  if (it == w->props.end()) {
    return nullptr;
  }
  HANDLE data = it->second;
  w->props.erase(it);
  return data;
}

// ---------------------------------------------------------------------------
// Long values

namespace {

bool ExtraIndex(const Window* w, int index, size_t size) {
  return index >= 0 && static_cast<size_t>(index) + size <= w->extra.size();
}

void ChangeStyle(HWND window, int index, DWORD value) {
  Window* w = Peek(window);
  STYLESTRUCT change{index == GWL_STYLE ? w->style : w->exStyle, value};
  Send(window, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
  if ((w = Peek(window)) == nullptr) {
    return;
  }
  if (index == GWL_STYLE) {
    // WS_CHILD cannot come or go here: the window keeps its place in the tree.
    w->style = (change.styleNew & ~static_cast<DWORD>(WS_CHILD)) | (w->style & WS_CHILD);
  } else {
    w->exStyle = change.styleNew;
  }
  Send(window, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
}

}  // namespace

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  Window* w = Find(window);
  if (w == nullptr) {
    return 0;
  }
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(IsTopLevel(w) ? w->owner : w->parent);
    case GWLP_ID:
      return w->id;
    case GWL_STYLE:
      return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA:
      return w->userData;
    default:
      if (ExtraIndex(w, index, sizeof(LONG_PTR))) {
        LONG_PTR value;
        std::memcpy(&value, w->extra.data() + index, sizeof value);
        return value;
      }
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return OrOutOfMemory(LONG_PTR{0}, [&]() -> LONG_PTR {
    Window* w = Find(window);
    if (w == nullptr) {
      return 0;
    }
    LONG_PTR previous = 0;
    switch (index) {
      case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(w->proc);
        if (value == 0) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return 0;
        }
        w->proc = FromNumber<WNDPROC>(value);
        return previous;
      case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = FromNumber<HINSTANCE>(value);
        return previous;
      case GWLP_HWNDPARENT:
        previous = reinterpret_cast<LONG_PTR>(IsTopLevel(w) ? w->owner : w->parent);
        if (IsTopLevel(w)) {
          w->owner = TopLevelOf(FromNumber<HWND>(value));
        }
        return previous;
      case GWLP_ID:
        previous = w->id;
        w->id = value;
        return previous;
      case GWL_STYLE:
      case GWL_EXSTYLE:
        previous = static_cast<LONG>(index == GWL_STYLE ? w->style : w->exStyle);
        ChangeStyle(window, index, static_cast<DWORD>(value));
        return previous;
      case GWLP_USERDATA:
        previous = w->userData;
        w->userData = value;
        return previous;
      default:
        if (ExtraIndex(w, index, sizeof(LONG_PTR))) {
          std::memcpy(&previous, w->extra.data() + index, sizeof previous);
          std::memcpy(w->extra.data() + index, &value, sizeof value);
          return previous;
        }
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
  });
}

LONG GetWindowLongA(HWND window, int index) {
  Window* w = Find(window);
  if (w == nullptr) {
    return 0;
  }
  if (index >= 0 && ExtraIndex(w, index, sizeof(LONG))) {
    LONG value;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
  }
  if (index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT ||
      index == GWLP_USERDATA || index == GWLP_ID || index == GWL_STYLE || index == GWL_EXSTYLE) {
    return static_cast<LONG>(GetWindowLongPtrA(window, index));
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  Window* w = Find(window);
  if (w == nullptr) {
    return 0;
  }
  if (index >= 0 && ExtraIndex(w, index, sizeof(LONG))) {
    LONG previous;
    std::memcpy(&previous, w->extra.data() + index, sizeof previous);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return previous;
  }
  if (index == GWLP_WNDPROC) {
    // A 32-bit value cannot hold a procedure here, as on 64-bit Windows.
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

// ---------------------------------------------------------------------------
// Procedures

namespace user {

// Counts the window procedures running, so that records of windows destroyed
// meanwhile stay in memory until the outermost one has returned.
struct InProcedure {
  InProcedure() { ++TheState().sendDepth; }
  ~InProcedure() { --TheState().sendDepth; }
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

}  // namespace user

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (proc == nullptr) {
    return 0;
  }
  const InProcedure running;
  return proc(window, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Geometry

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
  const auto hit = static_cast<int>(Send(self, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)));
  if (hit == HTTRANSPARENT || Peek(self) == nullptr) {
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
  const std::vector<HWND> tops = TheState().topLevels;
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
// Position, size, visibility

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
  Send(window, WM_SIZE, SizeKind(w), MAKELPARAM(Width(w->client), Height(w->client)));
  if ((w = Peek(window)) == nullptr) {
    return;
  }
  Send(window, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
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
  std::vector<HWND>* list = &TheState().topLevels;
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

}  // namespace

bool SetWindowPosInternal(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(window);
  if (w == nullptr) {
    return false;
  }
  const bool visible = (w->style & WS_VISIBLE) != 0;
  if (visible) {
    flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
  }
  if (!visible) {
    flags &= ~static_cast<UINT>(SWP_HIDEWINDOW);
  }
  if (!IsTopLevel(w)) {
    flags |= SWP_NOACTIVATE;
  }

  WINDOWPOS pos{window, insertAfter, x, y, cx, cy, flags};
  if ((flags & SWP_NOSENDCHANGING) == 0) {
    Send(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if ((w = Peek(window)) == nullptr) {
      return false;
    }
  }
  flags = pos.flags;
  RECT rect = w->rect;
  if ((flags & SWP_NOMOVE) == 0) {
    Offset(&rect, pos.x - rect.left, pos.y - rect.top);
  }
  if ((flags & SWP_NOSIZE) == 0) {
    rect.right = rect.left + std::max(pos.cx, 0);
    rect.bottom = rect.top + std::max(pos.cy, 0);
  }
  if (Width(rect) == Width(w->rect) && Height(rect) == Height(w->rect)) {
    flags |= SWP_NOSIZE;
  }
  if (rect.left == w->rect.left && rect.top == w->rect.top) {
    flags |= SWP_NOMOVE;
  }

  RECT client = w->client;
  Offset(&client, rect.left - w->rect.left, rect.top - w->rect.top);
  if ((flags & SWP_NOSIZE) == 0 || (flags & SWP_FRAMECHANGED) != 0) {
    NCCALCSIZE_PARAMS calc{};
    calc.rgrc[0] = rect;
    calc.rgrc[1] = w->rect;
    calc.rgrc[2] = w->client;
    calc.lppos = &pos;
    Send(window, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&calc));
    if ((w = Peek(window)) == nullptr) {
      return false;
    }
    client = calc.rgrc[0];
  }
  if (!IsTopLevel(w) && (pos.flags & SWP_NOACTIVATE) == 0) {
    Send(window, WM_CHILDACTIVATE, 0, 0);
    if ((w = Peek(window)) == nullptr) {
      return false;
    }
  }
  const UINT changes = SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED;
  const bool zorder = (flags & SWP_NOZORDER) == 0;
  if ((flags & SWP_NOSIZE) != 0 && (flags & SWP_NOMOVE) != 0 && !zorder && (flags & changes) == 0) {
    return true;
  }

  const RECT oldRect = w->rect;
  const RECT oldClient = w->client;
  const bool moved = rect.left != oldRect.left || rect.top != oldRect.top;
  w->rect = rect;
  w->client = client;
  if (zorder) {
    ApplyZOrder(w, insertAfter);
  }
  if ((flags & SWP_SHOWWINDOW) != 0) {
    w->style |= WS_VISIBLE;
  }
  if ((flags & SWP_HIDEWINDOW) != 0) {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    w->updatePending = w->erasePending = w->internalPaint = false;
  }
  if (IsTopLevel(w)) {
    SurfaceFollowClient(w);
    if (w->native && (std::memcmp(&oldRect, &rect, sizeof rect) != 0 ||
                      std::memcmp(&oldClient, &client, sizeof client) != 0)) {
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
        return false;
      }
      DisplayActivateWindow(window);
    }
  }

  if ((flags & SWP_NOREDRAW) == 0) {
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
    if ((w = Peek(window)) == nullptr) {
      return false;
    }
  }
  pos.x = w->rect.left;
  pos.y = w->rect.top;
  pos.cx = Width(w->rect);
  pos.cy = Height(w->rect);
  pos.flags = flags;
  if (Width(w->client) == Width(oldClient) && Height(w->client) == Height(oldClient)) {
    pos.flags |= kNoClientSize;
  }
  if (w->client.left == oldClient.left && w->client.top == oldClient.top) {
    pos.flags |= kNoClientMove;
  }
  Send(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  if ((flags & SWP_HIDEWINDOW) != 0 && (w = Peek(window)) != nullptr && !w->destroying) {
    // A hidden window keeps neither the mouse nor the focus (a window being
    // destroyed lets go of them just before WM_DESTROY).
    if (TheState().capture == window || IsChild(window, TheState().capture)) {
      ReleaseCapture();
    }
    const HWND focus = TheState().focus;
    if (focus == window || IsChild(window, focus)) {
      SetFocus(IsTopLevel(w) ? nullptr : w->parent);
    }
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
      const HWND window = w->handle;
      Send(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
      if ((w = Peek(window)) != nullptr) {
        w->style |= WS_MAXIMIZE;
      }
      return RECT{info.ptMaxPosition.x, info.ptMaxPosition.y,
                  info.ptMaxPosition.x + info.ptMaxSize.x, info.ptMaxPosition.y + info.ptMaxSize.y};
    }
    case Placement::kNormal:
      break;
  }
  return w->normal;
}

bool TakeRestoreMaximized(Window* w) { return std::exchange(w->restoreMaximized, false); }

}  // namespace

BOOL ShowWindow(HWND window, int command) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    Window* w = Find(window);
    if (w == nullptr) {
      return FALSE;
    }
    const bool wasVisible = (w->style & WS_VISIBLE) != 0;
    const bool child = !IsTopLevel(w);
    UINT flags = SWP_NOSIZE | SWP_NOMOVE;
    Placement target = PlacementOf(w);
    bool show = true;
    bool activate = true;
    switch (command) {
      case SW_HIDE:
        if (!wasVisible) {
          return FALSE;
        }
        show = false;
        activate = false;
        break;
      case SW_SHOWMINNOACTIVE:
      case SW_MINIMIZE:
      case SW_FORCEMINIMIZE:
        activate = false;
        target = Placement::kMinimized;
        break;
      case SW_SHOWMINIMIZED:
        target = Placement::kMinimized;
        break;
      case SW_SHOWMAXIMIZED:
        target = Placement::kMaximized;
        break;
      case SW_SHOWNA:
      case SW_SHOWNOACTIVATE:
        activate = false;
        break;
      case SW_SHOW:
        break;
      case SW_SHOWNORMAL:
      case SW_RESTORE:
      case SW_SHOWDEFAULT:
        if (target == Placement::kMinimized) {
          target = TakeRestoreMaximized(w) ? Placement::kMaximized : Placement::kNormal;
        } else if (target == Placement::kMaximized && command != SW_SHOWDEFAULT) {
          target = Placement::kNormal;
        }
        break;
      default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (child || !activate) {
      flags |= SWP_NOACTIVATE;
    }
    if (child) {
      flags |= SWP_NOZORDER;
    }

    if (show != wasVisible) {
      Send(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
      if ((w = Peek(window)) == nullptr) {
        return wasVisible;
      }
    }
    RECT rect = w->rect;
    if (target != PlacementOf(w)) {
      if (PlacementOf(w) == Placement::kMinimized && Send(window, WM_QUERYOPEN, 0, 0) == 0) {
        return wasVisible;
      }
      if ((w = Peek(window)) == nullptr) {
        return wasVisible;
      }
      rect = EnterPlacement(w, target);
      if ((w = Peek(window)) == nullptr) {
        return wasVisible;
      }
      flags &= ~static_cast<UINT>(SWP_NOSIZE | SWP_NOMOVE);
      flags |= kStateChanged | SWP_FRAMECHANGED;
    }
    flags |= show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
    const bool wasActive = TheState().active == window;
    SetWindowPosInternal(window, HWND_TOP, rect.left, rect.top, Width(rect), Height(rect), flags);
    if (!show && wasActive && Peek(window) != nullptr) {
      ActivateOther(window);
    }
    if ((w = Peek(window)) != nullptr && w->needSize && show) {
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

// ---------------------------------------------------------------------------
// DefWindowProcA

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

}  // namespace

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return OrOutOfMemory(LRESULT{0}, [&]() -> LRESULT {
    Window* w = Peek(window);
    if (w == nullptr) {
      return 0;
    }
    switch (message) {
      case WM_NCCREATE: {
        const auto* cs = FromNumber<const CREATESTRUCTA*>(lParam);
        if (cs != nullptr && cs->lpszName != nullptr && !IS_INTRESOURCE(cs->lpszName)) {
          w->text = cs->lpszName;
        }
        return TRUE;
      }
      case WM_NCCALCSIZE:
        if (lParam != 0) {
          auto* r = FromNumber<RECT*>(lParam);  // rgrc[0] leads NCCALCSIZE_PARAMS too
          if ((w->style & WS_MINIMIZE) != 0) {
            *r = RECT{r->left, r->top, r->left, r->top};
          } else {
            *r = ClientFromWindow(*r, w->style, w->exStyle, HasMenuBar(w));
          }
        }
        return 0;
      case WM_SETTEXT:
        w->text = lParam != 0 ? FromNumber<LPCSTR>(lParam) : "";
        if (w->native) {
          DisplaySetTitle(window, w->text.c_str());
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
      case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
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
      case WM_ERASEBKGND: {
        HBRUSH brush = ClassBrush(w->cls->info.hbrBackground);
        if (brush == nullptr) {
          return 0;
        }
        RECT r;
        GetClientRect(window, &r);
        FillRect(FromParam<HDC>(wParam), &r, brush);
        return 1;
      }
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
        return 0;
      case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX) != 0 && IsTopLevel(w)) {
          Send(window, WM_SYSCOMMAND, IsZoomed(window) ? SC_RESTORE : SC_MAXIMIZE, lParam);
        }
        return 0;
      case WM_SYSCOMMAND:
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
        return 0;
      case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (HIWORD(lParam) & 0x2000) != 0) {
          PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
      case WM_WINDOWPOSCHANGING: {
        auto* pos = FromNumber<WINDOWPOS*>(lParam);
        if (pos != nullptr && (pos->flags & SWP_NOSIZE) == 0 &&
            ((w->style & WS_THICKFRAME) != 0 || (w->style & (WS_POPUP | WS_CHILD)) == 0) &&
            (w->style & WS_MINIMIZE) == 0) {
          MINMAXINFO info{};
          MinMaxInfo(w, &info);
          Send(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
          if ((w->style & WS_MAXIMIZE) == 0) {
            pos->cx = std::clamp<int>(pos->cx, info.ptMinTrackSize.x,
                                      std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
            pos->cy = std::clamp<int>(pos->cy, info.ptMinTrackSize.y,
                                      std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
          }
        }
        return 0;
      }
      case WM_WINDOWPOSCHANGED: {
        const auto* pos = FromNumber<const WINDOWPOS*>(lParam);
        if (pos == nullptr) {
          return 0;
        }
        if ((pos->flags & kNoClientMove) == 0) {
          Send(window, WM_MOVE, 0, MAKELPARAM(w->client.left, w->client.top));
          if ((w = Peek(window)) == nullptr) {
            return 0;
          }
        }
        if ((pos->flags & kNoClientSize) == 0 || (pos->flags & kStateChanged) != 0) {
          Send(window, WM_SIZE, SizeKind(w), MAKELPARAM(Width(w->client), Height(w->client)));
        }
        return 0;
      }
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && (w->style & WS_MINIMIZE) == 0) {
          HWND focus = TheState().focus;
          if (focus != window && !IsChild(window, focus)) {
            SetFocus(window);
          }
        }
        return 0;
      case WM_NCACTIVATE:
        return TRUE;
      case WM_CANCELMODE:
        if (TheState().capture == window) {
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
      case WM_CTLCOLORSTATIC: {
        auto dc = FromParam<HDC>(wParam);
        const bool window3d = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(window3d ? COLOR_WINDOW : COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(window3d ? COLOR_WINDOW : COLOR_BTNFACE));
      }
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

// ---------------------------------------------------------------------------
// Metrics

int GetSystemMetrics(int index) {
  LONG screenWidth = 1024;
  LONG screenHeight = 768;
  if (DisplayOpen()) {
    DisplayScreenSize(&screenWidth, &screenHeight);
  }
  const int cx = static_cast<int>(screenWidth);
  const int cy = static_cast<int>(screenHeight);
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXFULLSCREEN:
      return cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
      return cy;
    case SM_CYFULLSCREEN:
      return cy - kCaption;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 16;
    case SM_CYCAPTION:
      return kCaption;
    case SM_CYSMCAPTION:
      return kSmallCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return kFixedFrame;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return kSizeFrame;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return kEdge;
    case SM_CXPADDEDBORDER:
      return 0;
    case SM_CYMENU:
      return kMenuBar;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CXSIZE:
    case SM_CYSIZE:
      return kCaption;
    case SM_CXMIN:
    case SM_CXMINTRACK:
      return 112;
    case SM_CYMIN:
    case SM_CYMINTRACK:
      return kCaption + 2 * kSizeFrame;
    case SM_CXMAXTRACK:
      return cx + 2 * kSizeFrame + 4;
    case SM_CYMAXTRACK:
      return cy + 2 * kSizeFrame + 4;
    case SM_CXMAXIMIZED:
      return cx + 2 * kSizeFrame;
    case SM_CYMAXIMIZED:
      return cy + 2 * kSizeFrame;
    case SM_CXMINIMIZED:
      return kMinimizedWidth;
    case SM_CYMINIMIZED:
      return kCaption + 4;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 4;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS:
      return 1;
    default:  // SM_SWAPBUTTON and what nothing here asks for
      return 0;
  }
}

UINT GetDoubleClickTime() { return 500; }

BOOL SystemParametersInfoA(UINT action, UINT param, PVOID value, UINT) {
  // Windows show their contents while they are dragged, unless told not to.
  static BOOL dragFullWindows = TRUE;
  switch (action) {
    case SPI_SETDRAGFULLWINDOWS:
      dragFullWindows = param != 0 ? TRUE : FALSE;
      return TRUE;
    case SPI_GETDRAGFULLWINDOWS:
      if (value == nullptr) {
        return FALSE;
      }
      *static_cast<BOOL*>(value) = dragFullWindows;
      return TRUE;
    case SPI_GETWORKAREA:
      if (value == nullptr) {
        return FALSE;
      }
      *static_cast<RECT*>(value) =
          RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      return TRUE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

size_t PosixLiveWindows() { return user::TheState().windows.size(); }

// What a window is and holds, apart from its place on the screen: its
// relations (parent, owner, siblings) and their enumeration, its text,
// properties and long values (SetWindowLongPtrA with GWLP_WNDPROC is how a
// window is subclassed).

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

using namespace user;

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
  const std::vector<HWND>* siblings = &TopLevels();
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
    const std::vector<HWND> list = TopLevels();
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
      for (HWND top : TopLevels()) {
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
  w = SendAndPeek(window, WM_STYLECHANGING, static_cast<WPARAM>(index),
                  reinterpret_cast<LPARAM>(&change));
  if (w == nullptr) {
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

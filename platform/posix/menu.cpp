// Menus as data: bars and popups with their items, greying and checking,
// the lookups a display reads a menu with, a window's menu bar (which takes
// SM_CYMENU pixels from the top of its client area) and the menu loop a
// choice on the bar goes through.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/display.h"
#include "platform/posix/input.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

namespace {

struct MenuItem {
  UINT flags = 0;  // MF_ state and kind bits
  UINT_PTR id = 0;
  HMENU submenu = nullptr;
  std::string text;
  ULONG_PTR data = 0;  // owner-drawn items and bitmaps: the caller's value
};

struct Menu {
  std::vector<MenuItem> items;
  bool popup = false;
};

std::map<HMENU, std::unique_ptr<Menu>>& Menus() {
  static auto* menus = new std::map<HMENU, std::unique_ptr<Menu>>;
  return *menus;
}

Menu* FindMenu(HMENU handle) {
  auto it = Menus().find(handle);
  if (it == Menus().end()) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

HMENU NewMenu(bool popup) {
  static uintptr_t next = 0x20000;
  auto handle = FromParam<HMENU>(next);
  next += 4;
  return OrOutOfMemory(HMENU{}, [&] {
    auto menu = std::make_unique<Menu>();
    menu->popup = popup;
    Menus()[handle] = std::move(menu);
    return handle;
  });
}

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED;

// The item with that command in the menu or any submenu, depth first, with
// the popups that lead to it (the menu itself not counted) and their places.
// The path has room for the deepest menu searched: looking up needs no memory.
constexpr int kDeepestMenu = 64;

struct Found {
  MenuItem* item = nullptr;
  HMENU holder = nullptr;
  std::pair<HMENU, int> path[kDeepestMenu + 1];
  int pathLength = 0;
};

bool FindCommand(HMENU handle, UINT id, Found* found, int depth) {
  Menu* menu = FindMenu(handle);
  if (menu == nullptr || depth > kDeepestMenu) {
    return false;
  }
  for (size_t i = 0; i < menu->items.size(); ++i) {
    MenuItem& item = menu->items[i];
    if ((item.flags & MF_POPUP) != 0) {
      found->path[found->pathLength++] = {item.submenu, static_cast<int>(i)};
      if (FindCommand(item.submenu, id, found, depth + 1)) {
        return true;
      }
      --found->pathLength;
    } else if ((item.flags & MF_SEPARATOR) == 0 && item.id == id) {
      found->item = &item;
      found->holder = handle;
      return true;
    }
  }
  return false;
}

MenuItem* FindItem(HMENU handle, UINT item, UINT flags) {
  if ((flags & MF_BYPOSITION) != 0) {
    Menu* menu = FindMenu(handle);
    if (menu == nullptr || item >= menu->items.size()) {
      return nullptr;
    }
    return &menu->items[item];
  }
  Found found;
  return FindCommand(handle, item, &found, 0) ? found.item : nullptr;
}

}  // namespace

bool MenuExists(HMENU menu) { return menu != nullptr && Menus().count(menu) != 0; }

void MenuDestroyTree(HMENU handle) {
  auto it = Menus().find(handle);
  if (it == Menus().end()) {
    return;
  }
  std::unique_ptr<Menu> menu = std::move(it->second);
  Menus().erase(it);
  for (const MenuItem& item : menu->items) {
    if ((item.flags & MF_POPUP) != 0) {
      MenuDestroyTree(item.submenu);
    }
  }
}

}  // namespace user

using namespace user;

HMENU CreateMenu() { return NewMenu(false); }

HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (FindMenu(menu) == nullptr) {
      return FALSE;
    }
    MenuDestroyTree(menu);
    return TRUE;
  });
}

BOOL IsMenu(HMENU menu) { return MenuExists(menu) ? TRUE : FALSE; }

namespace {

// AppendMenuA's work once the menu is found; throws when memory runs out.
BOOL AppendItem(HMENU handle, Menu* menu, UINT flags, UINT_PTR idNewItem, LPCSTR newItem) {
  MenuItem item;
  item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_BITMAP | MF_OWNERDRAW | MF_POPUP |
                        MF_MENUBARBREAK | MF_MENUBREAK | MF_SEPARATOR | MF_HELP | MF_DEFAULT);
  if ((flags & MF_POPUP) != 0) {
    item.submenu = FromParam<HMENU>(idNewItem);
    if (!MenuExists(item.submenu) || item.submenu == handle) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
    item.id = idNewItem;
  } else {
    item.id = idNewItem;
  }
  if ((flags & (MF_OWNERDRAW | MF_BITMAP)) != 0) {
    item.data = reinterpret_cast<ULONG_PTR>(newItem);
  } else if ((flags & MF_SEPARATOR) == 0 && newItem != nullptr) {
    item.text = newItem;
  }
  menu->items.push_back(std::move(item));
  return TRUE;
}

}  // namespace

BOOL AppendMenuA(HMENU handle, UINT flags, UINT_PTR idNewItem, LPCSTR newItem) {
  Menu* menu = FindMenu(handle);
  if (menu == nullptr) {
    return FALSE;
  }
  return OrOutOfMemory(FALSE, [&] { return AppendItem(handle, menu, flags, idNewItem, newItem); });
}

BOOL SetMenu(HWND window, HMENU menu) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    Window* w = Find(window);
    if (w == nullptr) {
      return FALSE;
    }
    if (!IsTopLevel(w)) {
      SetLastError(ERROR_CHILD_WINDOW_MENU);
      return FALSE;
    }
    if (menu != nullptr && FindMenu(menu) == nullptr) {
      return FALSE;
    }
    w->menu = menu;
    if (w->native) {
      DisplaySetMenu(window, menu);
    }
    // The frame changes: the bar takes its height from the client area.
    SetWindowPosInternal(
        window, nullptr, 0, 0, 0, 0,
        SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
  });
}

HMENU GetMenu(HWND window) {
  const Window* w = Find(window);
  return w != nullptr && IsTopLevel(w) ? w->menu : nullptr;
}

BOOL DrawMenuBar(HWND window) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    const Window* w = Find(window);
    if (w == nullptr || !IsTopLevel(w)) {
      return FALSE;
    }
    if (w->native) {
      DisplaySetMenu(window, w->menu);
    }
    return TRUE;
  });
}

BOOL EnableMenuItem(HMENU menu, UINT idEnableItem, UINT enable) {
  MenuItem* item = FindItem(menu, idEnableItem, enable);
  if (item == nullptr) {
    return -1;
  }
  const UINT previous = item->flags & kStateBits;
  item->flags = (item->flags & ~kStateBits) | (enable & kStateBits);
  return static_cast<BOOL>(previous);
}

DWORD CheckMenuItem(HMENU menu, UINT idCheckItem, UINT check) {
  MenuItem* item = FindItem(menu, idCheckItem, check);
  if (item == nullptr) {
    return static_cast<DWORD>(-1);
  }
  const UINT previous = item->flags & MF_CHECKED;
  item->flags = (item->flags & ~static_cast<UINT>(MF_CHECKED)) | (check & MF_CHECKED);
  return previous;
}

UINT GetMenuState(HMENU menu, UINT id, UINT flags) {
  const MenuItem* item = FindItem(menu, id, flags);
  if (item == nullptr) {
    return static_cast<UINT>(-1);
  }
  if ((item->flags & MF_POPUP) != 0) {
    const Menu* sub = FindMenu(item->submenu);
    const UINT count = sub != nullptr ? static_cast<UINT>(sub->items.size()) : 0;
    return (count << 8) | (item->flags & 0xFF);
  }
  return item->flags;
}

int GetMenuItemCount(HMENU menu) {
  const Menu* m = FindMenu(menu);
  return m != nullptr ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  const Menu* m = FindMenu(menu);
  if (m == nullptr || position < 0 || static_cast<size_t>(position) >= m->items.size()) {
    return static_cast<UINT>(-1);
  }
  const MenuItem& item = m->items[static_cast<size_t>(position)];
  return (item.flags & MF_POPUP) != 0 ? static_cast<UINT>(-1) : static_cast<UINT>(item.id);
}

HMENU GetSubMenu(HMENU menu, int position) {
  const Menu* m = FindMenu(menu);
  if (m == nullptr || position < 0 || static_cast<size_t>(position) >= m->items.size()) {
    return nullptr;
  }
  const MenuItem& item = m->items[static_cast<size_t>(position)];
  return (item.flags & MF_POPUP) != 0 ? item.submenu : nullptr;
}

int GetMenuStringA(HMENU menu, UINT idItem, LPSTR text, int maxCount, UINT flags) {
  const MenuItem* item = FindItem(menu, idItem, flags);
  if (item == nullptr) {
    return 0;
  }
  if (text == nullptr) {
    return static_cast<int>(item->text.size());
  }
  if (maxCount <= 0) {
    return 0;
  }
  const size_t n = std::min(item->text.size(), static_cast<size_t>(maxCount - 1));
  item->text.copy(text, n);
  text[n] = '\0';
  return static_cast<int>(n);
}

BOOL GetMenuItemInfoA(HMENU menu, UINT id, BOOL byPosition, LPMENUITEMINFOA info) {
  const MenuItem* item = FindItem(menu, id, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (item == nullptr || info == nullptr) {
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return FALSE;
  }
  const UINT typeBits =
      MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR | MF_MENUBARBREAK | MF_MENUBREAK | MF_HELP;
  if ((info->fMask & (MIIM_FTYPE | MIIM_TYPE)) != 0) {
    info->fType = item->flags & typeBits;
  }
  if ((info->fMask & MIIM_STATE) != 0) {
    info->fState = item->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_DEFAULT);
  }
  if ((info->fMask & MIIM_ID) != 0) {
    info->wID = static_cast<UINT>(item->id);
  }
  if ((info->fMask & MIIM_SUBMENU) != 0) {
    info->hSubMenu = item->submenu;
  }
  if ((info->fMask & MIIM_DATA) != 0) {
    info->dwItemData = item->data;
  }
  if ((info->fMask & (MIIM_STRING | MIIM_TYPE)) != 0 &&
      (item->flags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR)) == 0) {
    if (info->dwTypeData != nullptr && info->cch > 0) {
      const size_t n = std::min(item->text.size(), static_cast<size_t>(info->cch - 1));
      item->text.copy(info->dwTypeData, n);
      info->dwTypeData[n] = '\0';
    }
    info->cch = static_cast<UINT>(item->text.size());
  }
  return TRUE;
}

// ---------------------------------------------------------------------------
// A choice from the menu bar

bool InputMenuCommand(HWND window, UINT id) {
  return OrOutOfMemory(false, [&]() -> bool {
    Window* w = Peek(window);
    if (w == nullptr || !IsTopLevel(w) || !MenuExists(w->menu) || !IsEnabledTree(w)) {
      return false;
    }
    const HMENU bar = w->menu;
    Found found;
    if (!FindCommand(bar, id, &found, 0)) {
      return false;
    }
    Send(window, WM_ENTERMENULOOP, FALSE, 0);
    Send(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    for (int step = 0; step < found.pathLength; ++step) {
      const auto& [popup, place] = found.path[step];
      if (Peek(window) == nullptr) {
        return false;
      }
      Send(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(place, FALSE));
    }
    // The program may have changed the item while its popup opened.
    Found now;
    const bool chosen = Peek(window) != nullptr && MenuExists(bar) &&
                        FindCommand(bar, id, &now, 0) && (now.item->flags & kStateBits) == 0;
    if (chosen) {
      Send(window, WM_MENUSELECT, MAKEWPARAM(id, now.item->flags & 0xFFFF),
           reinterpret_cast<LPARAM>(now.holder));
    }
    Send(window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    const bool alive = SendAndPeek(window, WM_EXITMENULOOP, FALSE, 0) != nullptr;
    if (!chosen || !alive) {
      return false;
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return true;
  });
}

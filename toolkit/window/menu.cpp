#include "toolkit/window/menu.h"

#include "toolkit/base/memory.h"
#include "toolkit/base/object.h"
#include "toolkit/base/window_data.h"

namespace {

constexpr int32_t kMenuTableStep = 16;
constexpr const char kMenuCallbackProperty[] = "fx_menu_callback";

struct MenuRecord {
  HMENU menu;  // 0 marks a free slot
  HWND window;
  int32_t imageFlag;  // owner-drawn entries; no menu of this toolkit sets it yet
  HANDLE privateHeap;
  int32_t perMenuValue;
};

// The builder names its menu by number rather than by record address: the
// slot array moves when the table grows, and a freed menu must not be built on.
struct MenuBuilder {
  intptr_t currentMenu;
  bool building;
  HMENU currentPopup;
  HMENU stack[MENU_MAX_DEPTH];
  int32_t depth;
  int32_t refused;  // submenus refused (too deep, or not to be had), still to be closed
};

ObjectTable* menuTable = nullptr;
MenuBuilder* builder = nullptr;
HWND destroyedWindow = nullptr;  // the window whose WM_NCDESTROY is being handled

MenuRecord* Lookup(intptr_t number) {
  return static_cast<MenuRecord*>(ObjectLookup(menuTable, number));
}

MenuRecord* CurrentMenu() {
  if (builder == nullptr || !builder->building) {
    return nullptr;
  }
  return Lookup(builder->currentMenu);
}

void StopBuilding(intptr_t number) {
  if (builder != nullptr && builder->building && builder->currentMenu == number) {
    *builder = {};
  }
}

// Shows the bar again so that the platform redraws it.
BOOL Redisplay(const MenuRecord* record) {
  return record->window != nullptr ? SetMenu(record->window, record->menu) : FALSE;
}

void ReleaseRecord(intptr_t number, MenuRecord* record) {
  if (record->privateHeap != nullptr) {
    HeapDestroy(record->privateHeap);
  }
  StopBuilding(number);
  ObjectFree(menuTable, number);
}

void ForgetWindowMenus(intptr_t number, void* slot) {
  auto* record = static_cast<MenuRecord*>(slot);
  if (record->window != destroyedWindow) {
    return;
  }
  if (record->menu == GetMenu(destroyedWindow)) {
    // The platform destroys the bar with the window.
    ReleaseRecord(number, record);
  } else {
    // A menu made for the window but not shown in it outlives it, windowless.
    record->window = nullptr;
  }
}

}  // namespace

void MenuLibraryInit() {
  if (menuTable != nullptr) {
    return;
  }
  menuTable = ObjectTableCreate(sizeof(MenuRecord), kMenuTableStep, MenuFree);
  builder = static_cast<MenuBuilder*>(ServiceStateCreate(sizeof(MenuBuilder), nullptr));
}

intptr_t MenuCreate(intptr_t number, HWND window) {
  if (builder == nullptr) {
    return 0;
  }
  auto* record = static_cast<MenuRecord*>(ObjectSlot(menuTable, number));
  if (record == nullptr) {
    return 0;
  }
  const intptr_t id = number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record) : number;
  HMENU menu = CreateMenu();
  if (menu == nullptr) {
    if (number == OBJECT_ANY) {
      ObjectFree(menuTable, id);
    }
    return 0;
  }
  record->menu = menu;
  record->window = window;
  builder->currentMenu = id;
  builder->building = true;
  builder->currentPopup = menu;
  // A new menu starts at its bar: the last one's open submenus are not its own.
  builder->depth = 0;
  builder->refused = 0;

  // The procedure it replaces is kept before the subclass goes in: a window
  // whose subclass could not find it would pass nothing on, not even a close.
  if (window != nullptr && GetPropA(window, kMenuCallbackProperty) == nullptr) {
    const LONG_PTR previous = GetWindowLongPtrA(window, GWLP_WNDPROC);
    if (previous != 0 && SetPropA(window, kMenuCallbackProperty, FromWord<HANDLE>(previous))) {
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuSubclassProc));
    }
  }
  return number == OBJECT_ANY ? id : reinterpret_cast<intptr_t>(menu);
}

HMENU MenuOpenSub(const char* text) {
  if (CurrentMenu() == nullptr) {
    return nullptr;
  }
  // A submenu that cannot be had still takes its MenuCloseSub, so that the
  // entries after that land where the caller meant them.
  HMENU submenu = nullptr;
  if (builder->refused == 0 && builder->depth < MENU_MAX_DEPTH) {
    submenu = CreateMenu();
  }
  if (submenu != nullptr &&
      !AppendMenuA(builder->currentPopup, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text)) {
    DestroyMenu(submenu);
    submenu = nullptr;
  }
  if (submenu == nullptr) {
    ++builder->refused;
    return nullptr;
  }
  builder->stack[builder->depth++] = builder->currentPopup;
  builder->currentPopup = submenu;
  return submenu;
}

BOOL MenuAddTitle(const char* text) {
  MenuRecord* record = CurrentMenu();
  if (record == nullptr) {
    return FALSE;
  }
  builder->depth = 0;
  builder->refused = 0;
  builder->currentPopup = record->menu;
  MenuOpenSub(text);
  return Redisplay(record);
}

BOOL MenuAddItem(int32_t id, const char* text, int32_t) {
  MenuRecord* record = CurrentMenu();
  // Entries of a refused submenu would land one level too high.
  if (record == nullptr || builder->refused != 0) {
    return FALSE;
  }
  AppendMenuA(builder->currentPopup, MF_STRING, static_cast<UINT_PTR>(static_cast<UINT>(id)), text);
  return Redisplay(record);
}

BOOL MenuAddBar() {
  if (CurrentMenu() == nullptr || builder->refused != 0) {
    return FALSE;
  }
  return AppendMenuA(builder->currentPopup, MF_SEPARATOR, MENU_SEPARATOR_ID, nullptr);
}

void MenuCloseSub() {
  if (CurrentMenu() == nullptr) {
    return;
  }
  if (builder->refused != 0) {
    --builder->refused;
  } else if (builder->depth != 0) {
    builder->currentPopup = builder->stack[--builder->depth];
  }
}

DWORD MenuDisableItem(intptr_t number, int32_t id, int32_t state) {
  MenuRecord* record = Lookup(number);
  if (record == nullptr) {
    return 0;
  }
  return static_cast<DWORD>(EnableMenuItem(record->menu, static_cast<UINT>(id),
                                           MF_BYCOMMAND | (state != 0 ? MF_GRAYED : MF_ENABLED)));
}

void MenuFree(intptr_t number) {
  MenuRecord* record = Lookup(number);
  if (record == nullptr) {
    return;
  }
  if (record->window != nullptr && GetMenu(record->window) == record->menu) {
    SetMenu(record->window, nullptr);
  }
  DestroyMenu(record->menu);
  ReleaseRecord(number, record);
}

LRESULT CALLBACK MenuSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, kMenuCallbackProperty));
  if (message == WM_NCDESTROY && menuTable != nullptr) {
    HWND outer = destroyedWindow;
    destroyedWindow = window;
    ObjectForEach(menuTable, ForgetWindowMenus);
    destroyedWindow = outer;
  }
  if (previous == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

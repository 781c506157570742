// The menu service: menu bars under object numbers, built through a cursor
// that remembers where the next entry goes (titles, items, separators, nested
// submenus), and greying of items. A chosen item reaches the program as
// EVENT_MENU with the item's id.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Popups the builder can stand in at once; the title counts as one.
constexpr int32_t MENU_MAX_DEPTH = 64;
constexpr UINT MENU_SEPARATOR_ID = 0xFFFFFFFF;

void MenuLibraryInit();

// A new empty menu bar for `window` that becomes the one being built (any menu
// under the number is freed first). Returns the menu handle for a number, the
// new number for OBJECT_ANY, 0 on failure. The bar shows from the first title.
intptr_t MenuCreate(intptr_t number, HWND window);
// A new title on the bar whose popup takes the following entries.
BOOL MenuAddTitle(const char* text);
BOOL MenuAddItem(int32_t id, const char* text, int32_t image = 0);
BOOL MenuAddBar();
// A submenu entry that takes the following entries; 0 when refused (nesting
// deeper than MENU_MAX_DEPTH, or no menu being built).
HMENU MenuOpenSub(const char* text);
// Back to the popup that was current before the innermost open submenu.
void MenuCloseSub();
// Greys (state non-zero) or enables the item with that id in any popup of the
// menu: the previous state, 0xFFFFFFFF for an unknown id, 0 for a menu that is
// not open.
DWORD MenuDisableItem(intptr_t number, int32_t id, int32_t state);
void MenuFree(intptr_t number);

// Window procedure put before a menu's window: releases the menu's record when
// the window is destroyed.
LRESULT CALLBACK MenuSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

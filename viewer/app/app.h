// Kelpie's entry routine: start-up, the main window with its menu, the event
// loop with its commands, shut-down.
#pragma once

#include <cstdint>

// Objects the program names by number.
constexpr intptr_t MAIN_WINDOW = 0;
constexpr intptr_t MAIN_MENU = 0;
constexpr intptr_t SCREEN_GADGET = 123;
constexpr intptr_t SCREEN_FILE = 0;

// Menu item ids; only MENU_LOAD has a command of its own.
enum MenuId : int32_t {
  MENU_LOAD = 1,
  MENU_SAVE = 2,
  MENU_SAVE_AS = 3,
  MENU_LUMEN = 5,
  MENU_SLATE = 6,
  MENU_QUIT = 7,
  MENU_CUT = 8,
  MENU_COPY = 9,
  MENU_PASTE = 10,
  MENU_ABOUT = 11,
  MENU_YEAH = 12,
  MENU_ROCKS = 13,
};

// Runs the whole program; the exit code, always 0. `commandLine` is the
// platform's (GetCommandLineA): a file named by its first argument is loaded
// right after start-up, as if chosen in the Load dialog.
int32_t KelpieMain(const char* commandLine);

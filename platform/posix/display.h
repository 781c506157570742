// The display: the real screen behind our Win32 subset, as a table of
// operations. A program installs one at start-up (DisplayUse): the GTK
// display for the product, the headless one for tests and tools; a program
// may hold both and switch before its first window. An operation left null
// is one the display does not support, and the layer does its default, as
// each entry says.
//
// The window part calls the operations through the dispatchers below; a
// display answers them and reports what the user does only through the
// layer's input calls (input.h). A display never calls a window procedure
// and never writes the layer's structures; it may read windows and menus
// through the ordinary Win32 calls. Coordinates are screen pixels;
// rectangles are left/top inclusive, right/bottom exclusive. Everything runs
// on the thread that owns the windows.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/posix/user.h"

// ---------------------------------------------------------------------------
// Modal dialogs: the message box and the open and save file dialogs.
//
// The layer shows a dialog and then runs the thread's messages, calling
// wait whenever there are none, until the display reports what the user did
// through InputMessageBoxAction or InputFileDialogAnswer (input.h). The layer
// judges each report: one it takes ends the dialog, and the layer calls
// closeDialog; one it refuses leaves the dialog up (a message box without a
// cancel button ignores Escape; a file dialog hears why through refuseFile).
// Dialogs nest: one shown while another is up goes on top of it, and reports
// and closeDialog concern the newest.

struct DisplayMessageBoxRequest {
  HWND owner;  // a top-level window, or null
  std::string text;
  std::string caption;       // "Error" where the program gave none, as on Win32
  UINT style;                // MB_ flags as the program gave them
  std::vector<int> buttons;  // IDOK…, in the order shown
  int defaultButton;         // one of `buttons`: what Enter presses
  bool closeBox;             // false: the close box is greyed and Escape does nothing
};
struct DisplayFileRequest {
  HWND owner;         // a top-level window, or null
  bool save;          // the save dialog rather than the open dialog
  std::string title;  // "Open" or "Save As" where the program gave none
  // The type list: description, then patterns separated by ";" ("*.scr;*.bin").
  std::vector<std::pair<std::string, std::string>> filters;
  size_t filter;          // the entry in use as the dialog opens (0 with no list)
  std::string folder;     // where the dialog opens; empty: the current directory
  std::string name;       // the proposed name, without a folder
  std::string extension;  // added to a name typed without one (no point); may be empty
  DWORD flags;            // the OFN_ flags; OFN_ALLOWMULTISELECT lets several files be chosen
};

// A display's operations. Every entry may be null; its comment says what the
// layer does then.
struct DisplayOperations {
  // Connects to the screen. Called once after DisplayUse, before the first
  // window is made and before screen metrics are first needed. False: there
  // is no screen, and no window can be made. Null: the same as false.
  bool (*open)();

  // The screen's size in pixels (after a successful open). Null: 1024x768.
  void (*screenSize)(LONG* width, LONG* height);

  // A native top-level window for `window`, not shown yet: `outer` is the
  // whole window as the layer frames it, `client` the part the layer's
  // client surface covers. The display decorates it natively (title, close
  // box, menu bar) around exactly `client`. False when the window cannot be
  // made. Null: no window can be made.
  bool (*createWindow)(HWND window, LPCSTR title, DWORD style, DWORD exStyle, const RECT& outer,
                       const RECT& client);

  // The window's new place and size (a program's move, a menu bar that took
  // client height, a minimize or maximize). Null: nothing.
  void (*setGeometry)(HWND window, const RECT& outer, const RECT& client);

  // Shows or hides the window: SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED or
  // SW_SHOWMAXIMIZED. Null: nothing.
  void (*showWindow)(HWND window, int state);

  // The program raised and activated the window (SetActiveWindow,
  // SetForegroundWindow): bring it to the front and give it the keyboard.
  // Null: nothing.
  void (*activateWindow)(HWND window);

  // Null: nothing.
  void (*setTitle)(HWND window, LPCSTR title);

  // The window's menu bar is now `menu` (null: none). The display reads the
  // menu with GetMenuItemCount, GetMenuItemID, GetSubMenu, GetMenuStringA and
  // GetMenuState whenever it shows it, so later greying needs no call.
  // Null: no menu bar is shown (the layer still keeps its height).
  void (*setMenu)(HWND window, HMENU menu);

  // New pixels of the window's client surface: `dirty` (client coordinates)
  // changed. `pixels` is the layer's surface itself: the whole client area,
  // 0x00RRGGBB, rows top-down `stride` pixels apart. The display may keep the
  // pointer and read through it whenever it repaints, until the layer calls
  // releasePixels or destroyWindow for the window; a later present with
  // another pointer or size replaces it. Until then the memory stays where
  // it is and the layer writes into it only while drawing what a later
  // present reports. Null: nothing is shown.
  void (*present)(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
                  const RECT& dirty);

  // The pixels last presented for the window are about to be freed or moved
  // (its client area changes size): the display stops reading them and
  // keeps a copy of what it shows if it needs one. Null: nothing (a display
  // that copies at present keeps no pointer).
  void (*releasePixels)(HWND window);

  // The window is gone; the display forgets it (and any pixels it kept).
  // Null: nothing.
  void (*destroyWindow)(HWND window);

  // The pointer takes the shape of a stock cursor (an IDC_ number), or none.
  // Null: nothing.
  void (*setCursor)(UINT shape);

  // The program moved the pointer (SetCursorPos). Null: nothing.
  void (*movePointer)(POINT screen);

  // The program captured the mouse to `window` (a top-level window), or
  // released it (null): pointer input keeps coming to it outside its area.
  // Null: nothing.
  void (*capturePointer)(HWND window);

  // Waits until the display has reported something through the input calls
  // or `milliseconds` have passed (INFINITE: no limit). `waiter` names the
  // call that waits (GetMessageA, WaitMessage, MsgWaitForMultipleObjects, a
  // modal dialog). True when something was reported. Null: nothing is ever
  // reported; a timed wait sleeps its time and answers false, a wait without
  // a limit could never end and aborts the process, saying which call waited.
  bool (*wait)(DWORD milliseconds, const char* waiter);

  // Shows a message box. False when none can be shown; MessageBoxA then
  // fails. Null: the same as false.
  bool (*showMessageBox)(const DisplayMessageBoxRequest& request);

  // Shows an open or save dialog. False when none can be shown; the file
  // dialogs then fail. Null: the same as false.
  bool (*showFileDialog)(const DisplayFileRequest& request);

  // The layer refused the file the user chose (`why` says so in a few words,
  // such as "The folder does not exist."): the display tells the user, and
  // the dialog stays up. Null: nothing.
  void (*refuseFile)(const std::string& path, const char* why);

  // The newest dialog is over: the display takes it down. Null: nothing.
  void (*closeDialog)();
};

// Makes `display` the program's display (null: none, the start). A program
// calls it at start-up, before its first window; the table must stay valid
// while it is in use. The new display is opened afresh when first needed.
void DisplayUse(const DisplayOperations* display);

// The display in use: its table, every operation null when there is none.
const DisplayOperations& DisplayInUse();

// ---------------------------------------------------------------------------
// What the layer calls: each operation of the display in use, or its default.

// Opens the display in use once; later calls answer the first call's result.
// When there is none, says so on stderr (once) and answers false.
bool DisplayOpen();

inline void DisplayScreenSize(LONG* width, LONG* height) {
  if (const auto op = DisplayInUse().screenSize) {
    op(width, height);
  } else {
    *width = 1024;
    *height = 768;
  }
}

inline bool DisplayCreateWindow(HWND window, LPCSTR title, DWORD style, DWORD exStyle,
                                const RECT& outer, const RECT& client) {
  const auto op = DisplayInUse().createWindow;
  return op != nullptr && op(window, title, style, exStyle, outer, client);
}

inline void DisplaySetGeometry(HWND window, const RECT& outer, const RECT& client) {
  if (const auto op = DisplayInUse().setGeometry) {
    op(window, outer, client);
  }
}

inline void DisplayShowWindow(HWND window, int state) {
  if (const auto op = DisplayInUse().showWindow) {
    op(window, state);
  }
}

inline void DisplayActivateWindow(HWND window) {
  if (const auto op = DisplayInUse().activateWindow) {
    op(window);
  }
}

inline void DisplaySetTitle(HWND window, LPCSTR title) {
  if (const auto op = DisplayInUse().setTitle) {
    op(window, title);
  }
}

inline void DisplaySetMenu(HWND window, HMENU menu) {
  if (const auto op = DisplayInUse().setMenu) {
    op(window, menu);
  }
}

inline void DisplayPresent(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
                           const RECT& dirty) {
  if (const auto op = DisplayInUse().present) {
    op(window, pixels, width, height, stride, dirty);
  }
}

inline void DisplayReleasePixels(HWND window) {
  if (const auto op = DisplayInUse().releasePixels) {
    op(window);
  }
}

inline void DisplayDestroyWindow(HWND window) {
  if (const auto op = DisplayInUse().destroyWindow) {
    op(window);
  }
}

inline void DisplaySetCursor(UINT shape) {
  if (const auto op = DisplayInUse().setCursor) {
    op(shape);
  }
}

inline void DisplayMovePointer(POINT screen) {
  if (const auto op = DisplayInUse().movePointer) {
    op(screen);
  }
}

inline void DisplayCapturePointer(HWND window) {
  if (const auto op = DisplayInUse().capturePointer) {
    op(window);
  }
}

// The default of a display that cannot wait (see `wait`).
bool DisplayWaitWithoutDisplay(DWORD milliseconds, const char* waiter);

inline bool DisplayWait(DWORD milliseconds, const char* waiter) {
  const auto op = DisplayInUse().wait;
  return op != nullptr ? op(milliseconds, waiter) : DisplayWaitWithoutDisplay(milliseconds, waiter);
}

inline bool DisplayShowMessageBox(const DisplayMessageBoxRequest& request) {
  const auto op = DisplayInUse().showMessageBox;
  return op != nullptr && op(request);
}

inline bool DisplayShowFileDialog(const DisplayFileRequest& request) {
  const auto op = DisplayInUse().showFileDialog;
  return op != nullptr && op(request);
}

inline void DisplayRefuseFile(const std::string& path, const char* why) {
  if (const auto op = DisplayInUse().refuseFile) {
    op(path, why);
  }
}

inline void DisplayCloseDialog() {
  if (const auto op = DisplayInUse().closeDialog) {
    op();
  }
}

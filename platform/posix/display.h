// The display: the real screen behind our Win32 subset. Exactly one display
// is linked into a program (GTK for the product, headless for tests and
// tools); nothing chooses between them at run time.
//
// The window part calls these operations; a display answers them and reports
// what the user does only through the layer's input calls (input.h). A
// display never calls a window procedure and never writes the layer's
// structures; it may read windows and menus through the ordinary Win32 calls.
// Coordinates are screen pixels; rectangles are left/top inclusive,
// right/bottom exclusive. Everything runs on the thread that owns the windows.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/posix/user.h"

// Connects to the screen. Called before the first window is made and before
// screen metrics are first needed; later calls answer the first call's
// result. False: there is no screen, and no window can be made.
bool DisplayOpen();

// The screen's size in pixels (valid after a successful DisplayOpen).
void DisplayScreenSize(LONG* width, LONG* height);

// A native top-level window for `window`, not shown yet: `outer` is the
// whole window as the layer frames it, `client` the part the layer's client
// surface covers. The display decorates it natively (title, close box, menu
// bar) around exactly `client`. False when the window cannot be made.
bool DisplayCreateWindow(HWND window, LPCSTR title, DWORD style, DWORD exStyle, const RECT& outer,
                         const RECT& client);

// The window's new place and size (a program's move, a menu bar that took
// client height, a minimize or maximize).
void DisplaySetGeometry(HWND window, const RECT& outer, const RECT& client);

// Shows or hides the window: SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED or
// SW_SHOWMAXIMIZED.
void DisplayShowWindow(HWND window, int state);

// The program raised and activated the window (SetActiveWindow,
// SetForegroundWindow): bring it to the front and give it the keyboard.
void DisplayActivateWindow(HWND window);

void DisplaySetTitle(HWND window, LPCSTR title);

// The window's menu bar is now `menu` (null: none). The display reads the
// menu with GetMenuItemCount, GetMenuItemID, GetSubMenu, GetMenuStringA and
// GetMenuState whenever it shows it, so later greying needs no call.
void DisplaySetMenu(HWND window, HMENU menu);

// New pixels of the window's client surface: `dirty` (client coordinates)
// changed. `pixels` holds the whole client area, 0x00RRGGBB, rows top-down
// `stride` pixels apart; it is only valid during the call.
void DisplayPresent(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
                    const RECT& dirty);

// The window is gone; the display forgets it.
void DisplayDestroyWindow(HWND window);

// The pointer takes the shape of a stock cursor (an IDC_ number), or none.
void DisplaySetCursor(UINT shape);

// The program moved the pointer (SetCursorPos).
void DisplayMovePointer(POINT screen);

// The program captured the mouse to `window` (a top-level window), or
// released it (null): pointer input keeps coming to it outside its area.
void DisplayCapturePointer(HWND window);

// Waits until the display has reported something through the input calls or
// `milliseconds` have passed (INFINITE: no limit). `waiter` names the call
// that waits (GetMessageA, WaitMessage, MsgWaitForMultipleObjects, a modal
// dialog). True when something was reported.
bool DisplayWait(DWORD milliseconds, const char* waiter);

// ---------------------------------------------------------------------------
// Modal dialogs: the message box and the open and save file dialogs.
//
// The layer shows a dialog and then runs the thread's messages, calling
// DisplayWait whenever there are none, until the display reports what the
// user did through InputMessageBoxAction or InputFileDialogAnswer (input.h).
// The layer judges each report: one it takes ends the dialog, and the layer
// calls DisplayCloseDialog; one it refuses leaves the dialog up (a message box
// without a cancel button ignores Escape; a file dialog hears why through
// DisplayRefuseFile). Dialogs nest: one shown while another is up goes on top
// of it, and reports and DisplayCloseDialog concern the newest.

struct DisplayMessageBoxRequest {
  HWND owner;  // a top-level window, or null
  std::string text;
  std::string caption;       // "Error" where the program gave none, as on Win32
  UINT style;                // MB_ flags as the program gave them
  std::vector<int> buttons;  // IDOK…, in the order shown
  int defaultButton;         // one of `buttons`: what Enter presses
  bool closeBox;             // false: the close box is greyed and Escape does nothing
};
// False when no box can be shown; MessageBoxA then fails.
bool DisplayShowMessageBox(const DisplayMessageBoxRequest& request);

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
// False when no dialog can be shown; the file dialogs then fail.
bool DisplayShowFileDialog(const DisplayFileRequest& request);

// The layer refused the file the user chose (`why` says so in a few words,
// such as "The folder does not exist."): the display tells the user, and the
// dialog stays up.
void DisplayRefuseFile(const std::string& path, const char* why);

// The newest dialog is over: the display takes it down.
void DisplayCloseDialog();

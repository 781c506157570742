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

// The two modal dialogs. Both run while the layer dispatches the thread's
// messages as the platform's own modal loops do.
//
// MessageBoxA: the box's text, caption and MB_ style; the answer is the
// IDOK/IDCANCEL/… number of the button that closed it, or 0 on failure.
int DisplayMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// GetOpenFileNameA/GetSaveFileNameA: `filter` is the double-zero-terminated
// description/pattern list, `filterIndex` counts from 1, `file` (capacity
// `fileSize`) holds the proposed name and receives the chosen full path.
// False when the user cancelled or the path does not fit.
struct DisplayFileRequest {
  HWND owner;
  LPCSTR title;
  LPCSTR filter;
  DWORD filterIndex;
  LPCSTR initialDirectory;
  LPSTR file;
  DWORD fileSize;
  DWORD flags;  // OFN_ flags of the request
  bool save;
};
bool DisplayFileDialog(DisplayFileRequest* request);

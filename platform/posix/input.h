// How a display reports what the user does. Each call turns one action into
// the messages Win32 gives for it (queued as input, or sent at once where
// Win32 sends them) and keeps the keyboard and button state that GetKeyState,
// GetAsyncKeyState and keyboard polling read. Times are the display's own
// milliseconds (MSG::time); double clicks are judged with them.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/user.h"

// A key went down or up. Scan codes use DirectInput's numbering (the set-1
// code, with 0x80 added for keys that send an E0 prefix: 0x39 space, 0x1C
// Enter, 0x9C keypad Enter, 0xC8 up arrow).
void InputKey(UINT scanCode, bool down, DWORD time);

// The pointer moved to `point`: client coordinates of the top-level window
// `window`, or screen coordinates when `window` is null.
void InputMouseMove(HWND window, POINT point, DWORD time);

// A mouse button (0 left, 1 right, 2 middle) went down or up at `point`, as
// for InputMouseMove.
void InputMouseButton(HWND window, POINT point, int button, bool down, DWORD time);

// The user clicked the close box that the display draws for `window`.
void InputCloseBox(HWND window, DWORD time);

// The user pressed the left button on a part of the frame that the display
// leaves to the program (an HT* code such as HTBOTTOMRIGHT to size it).
void InputFrameButton(HWND window, int hitTest, DWORD time);

// The user chose the item `id` from the menu bar of `window`. The menu loop's
// messages are sent, and WM_COMMAND is posted when the item can be chosen;
// false when it is greyed, disabled or not in the bar.
bool InputMenuCommand(HWND window, UINT id);

// The user activated `window` (null: another program took the focus).
void InputActivate(HWND window);

// The window manager moved `window`: its outer top-left corner is now at
// `position` (screen coordinates).
void InputMoved(HWND window, POINT position);

// The window manager sized `window`: its outer size is now `width` x
// `height`.
void InputSized(HWND window, LONG width, LONG height);

// The window manager minimized, maximized or restored `window`
// (SW_MINIMIZE, SW_MAXIMIZE, SW_RESTORE).
void InputShowState(HWND window, int command);

// The keyboard as the thread's retrieved messages left it, indexed by
// DirectInput scan code, 0x80 for a key that is down: what a keyboard device
// reports as its state.
void InputScanCodeState(BYTE state[256]);

// What the user did in the message box on top (display.h): pressed the
// button with that id (IDOK…), or one of these.
#define INPUT_BOX_ESCAPE (-1)  // the Escape key
#define INPUT_BOX_CLOSE (-2)   // the close box
#define INPUT_BOX_ENTER (-3)   // Enter: the default button
void InputMessageBoxAction(int action);

// The user's answer in the file dialog on top: the files chosen (full paths;
// a relative one counts from the dialog's folder) with the type list's entry
// in use then (0-based); no files: Cancel.
void InputFileDialogAnswer(const std::vector<std::string>& paths, size_t filter);

// Test interface of the headless display: what a test does in place of a
// user and a screen. Input goes through the layer's input calls (input.h)
// exactly as a real display's would; pixels read back are what the layer
// presented.
//
// Blocking waits (GetMessageA, WaitMessage, a timed MsgWaitForMultipleObjects,
// modal dialogs) run the test's queued steps one by one; a modal dialog takes
// its queued answer first. A wait without a time limit that finds nothing
// left would wait for ever: the display calls the blocked hook, which by
// default prints which call waited and aborts the process. Time is virtual: it starts at 1000 and
// moves on 16 ms with every injected event, and a timed wait with no step passes its time at once.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/display.h"
#include "platform/posix/user.h"

// The headless display's operations (every one but releasePixels, as it
// keeps no pointer to presented pixels); install with DisplayUse.
const DisplayOperations& HeadlessDisplay();

// The screen's size; takes effect for windows made after the call.
void HeadlessSetScreenSize(LONG width, LONG height);

// ---------------------------------------------------------------------------
// Keyboard, by DirectInput scan code (0x1E 'a', 0x39 space, 0x1C Enter,
// 0x2A left Shift, 0x9C keypad Enter, 0xC8 up arrow).

void HeadlessKeyDown(UINT scanCode);
void HeadlessKeyUp(UINT scanCode);
void HeadlessKeyPress(UINT scanCode);  // down, then up
// Types each character with the US layout, holding Shift where it takes
// it. False (and nothing typed) when a character has no key.
bool HeadlessType(const char* text);

// ---------------------------------------------------------------------------
// Mouse, at client coordinates of any window, or on the screen. Buttons:
// 0 left, 1 right, 2 middle.

void HeadlessMouseMove(HWND window, int x, int y);
void HeadlessMouseMoveOnScreen(int x, int y);
void HeadlessMouseDown(HWND window, int x, int y, int button = 0);
void HeadlessMouseUp(HWND window, int x, int y, int button = 0);
// A press and release, far enough in time from any earlier click to be no
// double click.
void HeadlessClick(HWND window, int x, int y, int button = 0);
// Two clicks within the double-click time.
void HeadlessDoubleClick(HWND window, int x, int y, int button = 0);

// ---------------------------------------------------------------------------
// The window manager

void HeadlessCloseBox(HWND window);
// A press on the frame (an HT* code such as HTBOTTOMRIGHT).
void HeadlessFrameButton(HWND window, int hitTest);
// Chooses an item of the window's menu bar as a user would; false when it
// cannot be chosen (greyed, disabled or not there).
bool HeadlessChooseMenu(HWND window, UINT id);
// The user activates the window; null: another program takes the focus.
void HeadlessActivate(HWND window);
// The user moves the window's outer top-left corner to (x, y).
void HeadlessMove(HWND window, int x, int y);
// The user sizes the window to an outer size of width x height.
void HeadlessSize(HWND window, int width, int height);
void HeadlessMinimize(HWND window);
void HeadlessMaximize(HWND window);
void HeadlessRestore(HWND window);

// ---------------------------------------------------------------------------
// Reading back

struct HeadlessImage {
  LONG width = 0;
  LONG height = 0;
  std::vector<DWORD> pixels;  // 0x00RRGGBB, rows top-down

  DWORD At(LONG x, LONG y) const;
  // The pixel as a COLORREF (0x00BBGGRR); CLR_INVALID outside the image.
  COLORREF Colour(LONG x, LONG y) const;
};

// The client area of any window as the screen shows it: its share of its
// top-level window's presented pixels, children over parents.
HeadlessImage HeadlessPixels(HWND window);
// The window's client rectangle on the screen.
RECT HeadlessClientRect(HWND window);

// A top-level window as the display knows it.
struct HeadlessWindowState {
  bool exists = false;
  int shown = SW_HIDE;  // SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED
  std::string title;
  RECT outer{};
  RECT client{};
  HMENU menu = nullptr;
  int presents = 0;  // presents so far
};
HeadlessWindowState HeadlessWindow(HWND window);
// The top-level window the display last brought to the front.
HWND HeadlessFrontWindow();
// The pointer's stock shape (an IDC_ number, 0 for none).
UINT HeadlessCursorShape();
// Where the program last put the pointer with SetCursorPos.
POINT HeadlessPointer();

// ---------------------------------------------------------------------------
// Modal dialogs (MessageBoxA, GetOpenFileNameA, GetSaveFileNameA)
//
// Answers are queued, one queue for message boxes and one for file dialogs.
// While a dialog is up and the thread has no message left, the dialog takes
// the next answer of its kind, before any step runs; with none queued, steps
// run, and a step may queue the answer. A dialog with no answer and no step
// left calls the blocked hook. An answer the dialog refuses (Escape where
// there is no cancel button, a file that must exist and does not) leaves it
// up for the next answer.

// How a message box is dismissed besides its buttons (IDOK…).
enum HeadlessBoxAction : int {
  HEADLESS_BOX_ESCAPE = -1,  // the Escape key
  HEADLESS_BOX_CLOSE = -2,   // the close box
  HEADLESS_BOX_ENTER = -3,   // Enter: the default button
};
void HeadlessAnswerMessageBox(int answer);

// One file (a full path, or a name that counts from the dialog's folder), or
// Cancel (nullopt); `filter` is the type list's entry chosen (0-based), -1
// leaves the one the dialog opened with.
void HeadlessAnswerFileDialog(std::optional<std::string> path, int filter = -1);
// Several files of one folder, as a multiple selection.
void HeadlessAnswerFileDialogFiles(std::vector<std::string> paths);

size_t HeadlessAnswersLeft();  // of both kinds
void HeadlessClearAnswers();

// What the last message box showed.
struct HeadlessMessageBoxRecord {
  int shown = 0;    // message boxes shown so far
  bool up = false;  // this one is still up
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT style = 0;            // MB_ flags as the program gave them
  std::vector<int> buttons;  // IDOK…, in the order shown
  int defaultButton = 0;
  bool closeBox = true;
};
HeadlessMessageBoxRecord HeadlessLastMessageBox();

// What the last file dialog showed.
struct HeadlessFileDialogRecord {
  int shown = 0;  // file dialogs shown so far
  bool up = false;
  bool save = false;
  HWND owner = nullptr;
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // description, patterns
  size_t filter = 0;                                         // the entry in use as it opened
  std::string folder;     // where it opened; empty: the current directory
  std::string name;       // the proposed name
  std::string extension;  // the default extension
  DWORD flags = 0;        // OFN_ flags
  std::vector<std::pair<std::string, std::string>> refused;  // path, why
};
HeadlessFileDialogRecord HeadlessLastFileDialog();

// ---------------------------------------------------------------------------
// Scripted steps

void HeadlessAddStep(std::function<void()> step);
size_t HeadlessStepsLeft();
void HeadlessClearSteps();

// Called with the waiting call's name when it would block for ever; it must
// not return (throw or abort). Returns the previous hook.
using HeadlessBlockedHook = void (*)(const char* waiter);
HeadlessBlockedHook HeadlessSetBlockedHook(HeadlessBlockedHook hook);

// The display's clock in milliseconds (MSG::time of injected input).
DWORD HeadlessTime();

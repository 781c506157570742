// The GTK display's private parts: the translations between our layer's
// terms and GTK's (text, menu labels, keys, file patterns, cursors), kept
// free of GTK state so that they can be tested without a screen, and the
// state and calls its files share.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/display.h"
#include "platform/posix/user.h"

// After our types, so that GLib keeps our TRUE and FALSE.
#include <gtk/gtk.h>

namespace gtk_display {

// ANSI text for a GTK label: valid UTF-8 as it is, anything else read as
// Latin-1, byte for byte.
std::string Utf8FromAnsi(std::string_view text);

// A menu item's text ("&Load...\tCtrl+L") as a GTK mnemonic label ("_Load...")
// in UTF-8: "&x" marks x, "&&" is a literal "&", a literal "_" is doubled.
// What follows a tab is the shortcut text, returned in `shortcut`.
std::string MenuLabel(std::string_view text, std::string* shortcut);

// The DirectInput scan code of a key from its X keycode (evdev numbering + 8),
// or 0 when the keycode is none we know.
UINT ScanCodeFromKeycode(unsigned keycode);
// The same from the key's symbol, for servers whose keycodes are not evdev's;
// 0 when unknown.
UINT ScanCodeFromKeyval(unsigned keyval);

// A type list entry's patterns ("*.scr; *.SCR;;*.*") as GTK glob patterns:
// empty ones dropped, "*.*" and "*" as "*" (every file), letters matched
// without regard to case as the dialog's patterns are.
std::vector<std::string> GlobPatterns(std::string_view patterns);

// The CSS cursor name for a stock cursor (an IDC_ number); "none" for 0.
const char* CursorName(UINT shape);

// --- Shared between the display's files --------------------------------------

struct NativeWindow {
  HWND handle = nullptr;
  DWORD style = 0;
  GtkWidget* window = nullptr;  // the GtkWindow
  GtkWidget* box = nullptr;     // menu bar above drawing area
  GtkWidget* bar = nullptr;     // the menu bar, or null
  GtkWidget* area = nullptr;    // the client area
  HMENU menu = nullptr;
  RECT outer{};         // as the layer last framed the window
  RECT client{};        // screen coordinates
  int shown = SW_HIDE;  // as last asked
  // What the client area shows: a surface over the layer's pixels
  // (`borrowed`, valid until it releases them) or over a copy of its own.
  cairo_surface_t* pixels = nullptr;
  const DWORD* borrowed = nullptr;
  const DWORD* source = nullptr;  // the pixels last presented, until released
  LONG stride = 0;                // theirs, in pixels
};

struct Display {
  bool tried = false;
  bool open = false;
  std::map<HWND, std::unique_ptr<NativeWindow>> windows;
  bool reported = false;
  DWORD lastTime = 0;
  std::set<UINT> keysDown;  // reported down and not yet up
  UINT cursorShape = 32512;
  HWND captured = nullptr;
  bool focusCheckQueued = false;
  GtkCssProvider* css = nullptr;
};

Display& TheDisplay();
// The window's record, or null when the display does not know it.
NativeWindow* Find(HWND window);
// Our window handle, as GTK's signal handlers are given it.
inline HWND HandleOf(gpointer data) { return static_cast<HWND>(data); }
// Keeps an event's time for reports that have none of their own.
void NoteTime(guint32 time);
// The drawing area asks for the client size (display_gtk_window.cpp).
void SizeArea(NativeWindow* w);

// The GtkWindow shown for a top-level window of ours, or null.
GtkWidget* NativeWindowOf(HWND window);
// The window's keys that are down go up (another window took the keyboard).
void ReleaseKeys();
// Marks that something was reported through the layer's input calls, which
// ends DisplayWait.
void NoteReport();
// The time stamp for a report that has no event of its own.
DWORD ReportTime();

// The operations, spread over the display's files; GtkDisplay() tables them.
// Named apart: several share a name with a Win32 call.
namespace ops {
bool Open();
void ScreenSize(LONG* width, LONG* height);
bool CreateWindow(HWND window, LPCSTR title, DWORD style, DWORD exStyle, const RECT& outer,
                  const RECT& client);
void SetGeometry(HWND window, const RECT& outer, const RECT& client);
void ShowWindow(HWND window, int state);
void ActivateWindow(HWND window);
void SetTitle(HWND window, LPCSTR title);
void SetMenu(HWND window, HMENU menu);
void Present(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
             const RECT& dirty);
void ReleasePixels(HWND window);
void DestroyWindow(HWND window);
void SetCursor(UINT shape);
void MovePointer(POINT screen);
void CapturePointer(HWND window);
bool Wait(DWORD milliseconds, const char* waiter);
bool ShowMessageBox(const DisplayMessageBoxRequest& request);
bool ShowFileDialog(const DisplayFileRequest& request);
void RefuseFile(const std::string& path, const char* why);
void CloseDialog();
}  // namespace ops

}  // namespace gtk_display

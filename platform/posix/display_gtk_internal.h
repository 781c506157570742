// The GTK display's private parts: the translations between our layer's
// terms and GTK's (text, menu labels, keys, file patterns, cursors), kept
// free of GTK state so that they can be tested without a screen, and the few
// calls its two files share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The GtkWindow shown for a top-level window of ours, or null.
GtkWidget* NativeWindowOf(HWND window);
// The window's keys that are down go up (another window took the keyboard).
void ReleaseKeys();
// Marks that something was reported through the layer's input calls, which
// ends DisplayWait.
void NoteReport();
// The time stamp for a report that has no event of its own.
DWORD ReportTime();

}  // namespace gtk_display

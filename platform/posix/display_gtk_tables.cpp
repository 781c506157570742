// The GTK display's translations (display_gtk_internal.h): ANSI text and menu
// labels to UTF-8, X keycodes and key symbols to DirectInput scan codes, file
// type patterns to GTK globs, stock cursors to CSS cursor names.

#include <gdk/gdkkeysyms.h>

#include <cctype>
#include <cstdint>

#include "platform/posix/display_gtk_internal.h"

namespace gtk_display {

namespace {

// Length of the valid UTF-8 sequence starting at `i`, or 0.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t c = b(i);
  if (c < 0x80) {
    return 1;
  }
  size_t n = 0;
  uint32_t min = 0;
  uint32_t code = 0;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80, code = c & 0x1Fu;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800, code = c & 0x0Fu;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, code = c & 0x07u;
  } else {
    return 0;
  }
  if (i + n > s.size()) {
    return 0;
  }
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) {
      return 0;
    }
    code = (code << 6) | (b(i + k) & 0x3Fu);
  }
  // Overlong forms, surrogates and numbers past Unicode are not UTF-8.
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return n;
}

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8SequenceAt(s, i);
    if (n == 0) {
      return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

std::string Utf8FromAnsi(std::string_view text) {
  // GTK takes no NUL inside a label; the text ends there as it does for Win32.
  text = text.substr(0, text.find('\0'));
  if (IsUtf8(text)) {
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size() * 2);
  for (const char ch : text) {
    const auto c = static_cast<uint8_t>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string MenuLabel(std::string_view text, std::string* shortcut) {
  const size_t tab = text.find('\t');
  if (shortcut != nullptr) {
    *shortcut = tab == std::string_view::npos ? "" : Utf8FromAnsi(text.substr(tab + 1));
  }
  text = text.substr(0, tab);
  // The marks are ASCII, so they are rewritten before the bytes are read as
  // text; a trailing lone "&" marks nothing and is dropped, as Win32 does.
  std::string label;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        label.push_back('&');
        ++i;
      } else if (i + 1 < text.size()) {
        label.push_back('_');
      }
    } else if (c == '_') {
      label += "__";
    } else {
      label.push_back(c);
    }
  }
  return Utf8FromAnsi(label);
}

UINT ScanCodeFromKeycode(unsigned keycode) {
  if (keycode < 8) {
    return 0;
  }
  const unsigned code = keycode - 8;  // the kernel's key number
  // Escape (1) to the keypad's point (83), and the keys up to F12, carry the
  // set-1 code as their number.
  if ((code >= 1 && code <= 83) || (code >= 86 && code <= 88)) {
    return code;
  }
  switch (code) {
    case 96:  // keypad Enter
      return 0x9C;
    case 97:  // right Control
      return 0x9D;
    case 98:  // keypad divide
      return 0xB5;
    case 99:  // Print Screen
      return 0xB7;
    case 100:  // right Alt (AltGr)
      return 0xB8;
    case 102:
      return 0xC7;  // Home
    case 103:
      return 0xC8;  // up
    case 104:
      return 0xC9;  // Page Up
    case 105:
      return 0xCB;  // left
    case 106:
      return 0xCD;  // right
    case 107:
      return 0xCF;  // End
    case 108:
      return 0xD0;  // down
    case 109:
      return 0xD1;  // Page Down
    case 110:
      return 0xD2;  // Insert
    case 111:
      return 0xD3;  // Delete
    case 119:
      return 0xC5;  // Pause
    case 125:
      return 0xDB;  // left Windows key
    case 126:
      return 0xDC;  // right Windows key
    case 127:
      return 0xDD;  // menu key
    default:
      return 0;
  }
}

UINT ScanCodeFromKeyval(unsigned keyval) {
  // Letters and digits by where a US keyboard has them.
  static constexpr std::string_view kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
  static constexpr UINT kRowStart[] = {0x02, 0x10, 0x1E, 0x2C};
  if (keyval < 0x80 && std::isalnum(static_cast<int>(keyval)) != 0) {
    const char c = static_cast<char>(std::tolower(static_cast<int>(keyval)));
    for (size_t row = 0; row < 4; ++row) {
      const size_t at = kRows[row].find(c);
      if (at != std::string_view::npos) {
        return kRowStart[row] + static_cast<UINT>(at);
      }
    }
  }
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F10) {
    return 0x3B + (keyval - GDK_KEY_F1);
  }
  struct Pair {
    unsigned keyval;
    UINT scan;
  };
  static constexpr Pair kNamed[] = {
      {GDK_KEY_Escape, 0x01},
      {GDK_KEY_minus, 0x0C},
      {GDK_KEY_equal, 0x0D},
      {GDK_KEY_BackSpace, 0x0E},
      {GDK_KEY_Tab, 0x0F},
      {GDK_KEY_ISO_Left_Tab, 0x0F},
      {GDK_KEY_bracketleft, 0x1A},
      {GDK_KEY_bracketright, 0x1B},
      {GDK_KEY_Return, 0x1C},
      {GDK_KEY_Control_L, 0x1D},
      {GDK_KEY_semicolon, 0x27},
      {GDK_KEY_apostrophe, 0x28},
      {GDK_KEY_grave, 0x29},
      {GDK_KEY_Shift_L, 0x2A},
      {GDK_KEY_backslash, 0x2B},
      {GDK_KEY_comma, 0x33},
      {GDK_KEY_period, 0x34},
      {GDK_KEY_slash, 0x35},
      {GDK_KEY_Shift_R, 0x36},
      {GDK_KEY_KP_Multiply, 0x37},
      {GDK_KEY_Alt_L, 0x38},
      {GDK_KEY_space, 0x39},
      {GDK_KEY_Caps_Lock, 0x3A},
      {GDK_KEY_Num_Lock, 0x45},
      {GDK_KEY_Scroll_Lock, 0x46},
      {GDK_KEY_KP_Subtract, 0x4A},
      {GDK_KEY_KP_Add, 0x4E},
      {GDK_KEY_F11, 0x57},
      {GDK_KEY_F12, 0x58},
      {GDK_KEY_KP_Enter, 0x9C},
      {GDK_KEY_Control_R, 0x9D},
      {GDK_KEY_KP_Divide, 0xB5},
      {GDK_KEY_Print, 0xB7},
      {GDK_KEY_Alt_R, 0xB8},
      {GDK_KEY_ISO_Level3_Shift, 0xB8},
      {GDK_KEY_Pause, 0xC5},
      {GDK_KEY_Home, 0xC7},
      {GDK_KEY_Up, 0xC8},
      {GDK_KEY_Page_Up, 0xC9},
      {GDK_KEY_Left, 0xCB},
      {GDK_KEY_Right, 0xCD},
      {GDK_KEY_End, 0xCF},
      {GDK_KEY_Down, 0xD0},
      {GDK_KEY_Page_Down, 0xD1},
      {GDK_KEY_Insert, 0xD2},
      {GDK_KEY_Delete, 0xD3},
      {GDK_KEY_Super_L, 0xDB},
      {GDK_KEY_Super_R, 0xDC},
      {GDK_KEY_Menu, 0xDD},
  };
  for (const Pair& p : kNamed) {
    if (p.keyval == keyval) {
      return p.scan;
    }
  }
  return 0;
}

std::vector<std::string> GlobPatterns(std::string_view patterns) {
  std::vector<std::string> globs;
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string_view::npos) {
      end = patterns.size();
    }
    std::string_view one = patterns.substr(start, end - start);
    start = end + 1;
    while (!one.empty() && one.front() == ' ') {
      one.remove_prefix(1);
    }
    while (!one.empty() && one.back() == ' ') {
      one.remove_suffix(1);
    }
    if (one.empty()) {
      continue;
    }
    if (one == "*.*" || one == "*") {
      globs.assign(1, "*");  // every file: nothing else adds to it
      return globs;
    }
    std::string glob;
    for (const char c : one) {
      if (std::isalpha(static_cast<unsigned char>(c)) != 0) {
        glob += '[';
        glob.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        glob.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        glob += ']';
      } else {
        glob.push_back(c);
      }
    }
    globs.push_back(glob);
  }
  return globs;
}

const char* CursorName(UINT shape) {
  switch (shape) {
    case 0:
      return "none";
    case 32513:
      return "text";
    case 32514:
      return "wait";
    case 32515:
      return "crosshair";
    case 32640:
    case 32646:
      return "move";
    case 32642:
      return "nwse-resize";
    case 32643:
      return "nesw-resize";
    case 32644:
      return "ew-resize";
    case 32645:
      return "ns-resize";
    case 32648:
      return "not-allowed";
    case 32649:
      return "pointer";
    case 32650:
      return "progress";
    case 32651:
      return "help";
    default:  // the arrow, and the up arrow GTK has no name for
      return "default";
  }
}

}  // namespace gtk_display

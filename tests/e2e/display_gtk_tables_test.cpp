// The GTK display's translations, without a screen: what GTK is handed for
// our ANSI text and menu labels, the scan codes the layer gets for X keys,
// and which file names the type list's patterns let through; and its table
// of operations beside the headless one in one program.

#include <fnmatch.h>
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/display_gtk.h"
#include "platform/posix/display_gtk_internal.h"
#include "platform/posix/headless.h"

namespace {

using gtk_display::GlobPatterns;
using gtk_display::MenuLabel;
using gtk_display::ScanCodeFromKeycode;
using gtk_display::ScanCodeFromKeyval;
using gtk_display::Utf8FromAnsi;

TEST(GtkText, Utf8PassesThroughAndAnythingElseReadsAsLatin1) {
  const struct {
    std::string ansi, utf8;
  } cases[] = {
      {"Kelpie v0.2", "Kelpie v0.2"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x90\x8E", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x90\x8E"},
      {"caf\xE9", "caf\xC3\xA9"},
      {"\xFF", "\xC3\xBF"},
      // One stray byte makes the whole text Latin-1, also its UTF-8-looking part.
      {"\xC3\xA9\xE9", "\xC3\x83\xC2\xA9\xC3\xA9"},
      // Malformed UTF-8: overlong "/", a surrogate, cut short, beyond U+10FFFF.
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"ab\xE2\x82", "ab\xC3\xA2\xC2\x82"},
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
      {std::string("Info\0tail", 9), "Info"},  // the text ends at its first NUL
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8FromAnsi(c.ansi), c.utf8) << c.ansi;
  }
}

TEST(GtkMenuLabel, AmpersandMarksTheMnemonicAndATabStartsTheShortcut) {
  const struct {
    const char *label, *gtk, *shortcut;
  } cases[] = {
      {"&Load...", "_Load...", ""},        {"Save", "Save", ""},
      {"Sa&ve &As", "Sa_ve _As", ""},      {"Cut && Paste", "Cut & Paste", ""},
      {"my_file.scr", "my__file.scr", ""}, {"&&&x", "&_x", ""},
      {"Trailing&", "Trailing", ""},       {"&Open\tCtrl+O", "_Open", "Ctrl+O"},
      {"&Caf\xE9", "_Caf\xC3\xA9", ""},
  };
  for (const auto& c : cases) {
    std::string shortcut = "left over";
    EXPECT_EQ(MenuLabel(c.label, &shortcut), c.gtk) << c.label;
    EXPECT_EQ(shortcut, c.shortcut) << c.label;
    EXPECT_EQ(MenuLabel(c.label, nullptr), c.gtk) << c.label;
  }
}

// X keycodes of a standard PC keyboard (the kernel's numbers plus 8).
struct Key {
  unsigned keycode;
  unsigned keyval;
  UINT scan;
};
constexpr Key kKeys[] = {
    {9, GDK_KEY_Escape, 0x01},     {10, GDK_KEY_1, 0x02},          {19, GDK_KEY_0, 0x0B},
    {22, GDK_KEY_BackSpace, 0x0E}, {23, GDK_KEY_Tab, 0x0F},        {24, GDK_KEY_q, 0x10},
    {36, GDK_KEY_Return, 0x1C},    {37, GDK_KEY_Control_L, 0x1D},  {38, GDK_KEY_a, 0x1E},
    {50, GDK_KEY_Shift_L, 0x2A},   {52, GDK_KEY_z, 0x2C},          {62, GDK_KEY_Shift_R, 0x36},
    {64, GDK_KEY_Alt_L, 0x38},     {65, GDK_KEY_space, 0x39},      {67, GDK_KEY_F1, 0x3B},
    {76, GDK_KEY_F10, 0x44},       {95, GDK_KEY_F11, 0x57},        {96, GDK_KEY_F12, 0x58},
    {104, GDK_KEY_KP_Enter, 0x9C}, {105, GDK_KEY_Control_R, 0x9D}, {108, GDK_KEY_Alt_R, 0xB8},
    {110, GDK_KEY_Home, 0xC7},     {111, GDK_KEY_Up, 0xC8},        {113, GDK_KEY_Left, 0xCB},
    {114, GDK_KEY_Right, 0xCD},    {116, GDK_KEY_Down, 0xD0},      {119, GDK_KEY_Delete, 0xD3},
    {133, GDK_KEY_Super_L, 0xDB},
};

// Keycodes give set-1 scan codes, extended keys above 0x80; key symbols the same.
TEST(GtkKeys, KeycodesAndKeySymbolsGiveSet1ScanCodes) {
  for (const Key& k : kKeys) {
    EXPECT_EQ(ScanCodeFromKeycode(k.keycode), k.scan) << "keycode " << k.keycode;
    EXPECT_EQ(ScanCodeFromKeyval(k.keyval), k.scan) << "keyval 0x" << std::hex << k.keyval;
  }
  EXPECT_EQ(ScanCodeFromKeyval('m'), 0x32u);
  EXPECT_EQ(ScanCodeFromKeyval('9'), 0x0Au);
}

TEST(GtkKeys, UnknownKeysGiveNoScanCode) {
  for (const unsigned keycode : {0u, 7u, 8u + 84u, 8u + 117u, 8u + 120u, 255u}) {
    EXPECT_EQ(ScanCodeFromKeycode(keycode), 0u) << "keycode " << keycode;
  }
  EXPECT_EQ(ScanCodeFromKeyval(GDK_KEY_eacute), 0u);
  EXPECT_EQ(ScanCodeFromKeyval(0x1000000u), 0u);
}

// Every scan code the display can send is one the layer turns into a key.
TEST(GtkKeys, TheLayerKnowsEveryScanCodeTheDisplaySends) {
  const HKL layout = GetKeyboardLayout(0);
  for (unsigned keycode = 8; keycode < 256; ++keycode) {
    const UINT scan = ScanCodeFromKeycode(keycode);
    if (scan == 0) {
      continue;
    }
    const UINT code = scan >= 0x80 ? 0xE000 | (scan & 0x7F) : scan;
    EXPECT_NE(MapVirtualKeyExA(code, MAPVK_VSC_TO_VK, layout), 0u)
        << "keycode " << keycode << " scan 0x" << std::hex << scan;
  }
}

bool Lists(const std::vector<std::string>& globs, const char* name) {
  for (const std::string& glob : globs) {
    if (fnmatch(glob.c_str(), name, 0) == 0) {
      return true;
    }
  }
  return false;
}

TEST(GtkFilePatterns, StarDotStarListsEveryFile) {
  for (const char* patterns : {"*.*", "*.*;", "*", " *.* ", "*.scr;*.*"}) {
    const std::vector<std::string> globs = GlobPatterns(patterns);
    EXPECT_TRUE(Lists(globs, "testcard.scr")) << patterns;
    EXPECT_TRUE(Lists(globs, "README")) << patterns;
    EXPECT_TRUE(Lists(globs, "caf\xE9")) << patterns;
  }
}

TEST(GtkFilePatterns, PatternsMatchWithoutRegardToCase) {
  const std::vector<std::string> globs = GlobPatterns("*.scr;*.bin");
  EXPECT_TRUE(Lists(globs, "testcard.scr"));
  EXPECT_TRUE(Lists(globs, "TESTCARD.SCR"));
  EXPECT_TRUE(Lists(globs, "dump.Bin"));
  EXPECT_FALSE(Lists(globs, "testcard.scrx"));
  EXPECT_FALSE(Lists(globs, "testcard.png"));
  EXPECT_FALSE(Lists(globs, "scr"));
}

TEST(GtkFilePatterns, EmptyPatternsAreDropped) {
  EXPECT_TRUE(GlobPatterns("").empty());
  EXPECT_TRUE(GlobPatterns(";; ;").empty());
  EXPECT_EQ(GlobPatterns(";*.scr;;").size(), 1u);
  EXPECT_TRUE(Lists(GlobPatterns(" *.scr ;"), "a.scr"));
}

// It keeps the layer's pixels to draw from, so a left-out releasePixels or
// destroyWindow would leave it reading freed memory.
TEST(GtkDisplayTable, FillsEveryOperationBesideTheHeadlessDisplay) {
  EXPECT_EQ(&DisplayInUse(), &HeadlessDisplay());  // as a test program starts
  const DisplayOperations& d = GtkDisplay();
  const bool filled[] = {
      d.open != nullptr,           d.screenSize != nullptr,     d.createWindow != nullptr,
      d.setGeometry != nullptr,    d.showWindow != nullptr,     d.activateWindow != nullptr,
      d.setTitle != nullptr,       d.setMenu != nullptr,        d.present != nullptr,
      d.releasePixels != nullptr,  d.destroyWindow != nullptr,  d.setCursor != nullptr,
      d.movePointer != nullptr,    d.capturePointer != nullptr, d.wait != nullptr,
      d.showMessageBox != nullptr, d.showFileDialog != nullptr, d.refuseFile != nullptr,
      d.closeDialog != nullptr,
  };

  for (size_t i = 0; i < std::size(filled); ++i) {
    EXPECT_TRUE(filled[i]) << "operation " << i << " in declaration order";
  }
  EXPECT_NE(d.present, HeadlessDisplay().present);
}

}  // namespace

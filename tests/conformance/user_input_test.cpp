// What the toolkit relies on from the platform's window part: menus,
// accelerators, keyboard translation, focus, activation, capture and enabling,
// and the STATIC control's clicks. Against real Win32 (under Wine) and against
// our layer.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win32.h"
#include "tests/conformance/user_recording.h"

using namespace recording;

namespace {

// ---------------------------------------------------------------------------
// Menus

const Sequence WmSetMenu = {
    {WM_WINDOWPOSCHANGING, kSent},  {WM_NCCALCSIZE, kSent | kWParam, "w", TRUE},
    {WM_WINDOWPOSCHANGED, kSent},   {WM_MOVE, kSent | kDefWinProc},
    {WM_SIZE, kSent | kDefWinProc},
};

const Sequence WmSetMenuAgain = {
    {WM_WINDOWPOSCHANGING, kSent},
    {WM_NCCALCSIZE, kSent | kWParam, "w", TRUE},
    {WM_WINDOWPOSCHANGED, kSent},
};

// The viewer sizes its window with AdjustWindowRect(…, FALSE) for its
// picture, then sets the menu bar, which takes its height from the picture.
TEST_F(UserTest, WindowSizedForItsClientAreaLosesTheMenuBarsHeight) {
  const DWORD style = WS_CAPTION | WS_SYSMENU;
  RECT outer{0, 0, 768, 596};
  ASSERT_TRUE(AdjustWindowRect(&outer, style, FALSE));
  RECT withMenu{0, 0, 768, 596};
  AdjustWindowRect(&withMenu, style, TRUE);
  EXPECT_EQ(outer.top - withMenu.top, GetSystemMetrics(SM_CYMENU));
  HWND w = Make("w", style, nullptr, 0, 50, 50, outer.right - outer.left, outer.bottom - outer.top);
  RECT client;
  ASSERT_TRUE(GetClientRect(w, &client));
  EXPECT_EQ(client.right, 768);
  EXPECT_EQ(client.bottom, 596);
  RECT window;
  GetWindowRect(w, &window);
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  EXPECT_EQ(origin.x - window.left, -outer.left);
  EXPECT_EQ(origin.y - window.top, -outer.top);
  ShowWindow(w, SW_SHOWNORMAL);
  Flush();

  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "M");
  EXPECT_TRUE(SetMenu(w, bar));
  ExpectSequence(WmSetMenu, "SetMenu");
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 768);
  EXPECT_EQ(client.bottom, 596 - GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(GetMenu(w), bar);
  EXPECT_TRUE(SetMenu(w, bar));  // the menu library redisplays this way
  ExpectSequence(WmSetMenuAgain, "SetMenu (same menu again)");
  GetClientRect(w, &client);
  EXPECT_EQ(client.bottom, 596 - GetSystemMetrics(SM_CYMENU));
}

TEST_F(UserTest, EnableMenuItemFindsCommandsInSubmenusAndAnswersThePreviousState) {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  HMENU recent = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, 1, "&Load...");
  AppendMenuA(file, MF_SEPARATOR, 0xFFFFFFFF, nullptr);
  AppendMenuA(recent, MF_STRING, 13, "Rocks.tga");
  AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), "Recents");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "File");

  EXPECT_EQ(EnableMenuItem(bar, 13, MF_BYCOMMAND | MF_GRAYED), static_cast<BOOL>(MF_ENABLED));
  EXPECT_EQ(EnableMenuItem(bar, 13, MF_BYCOMMAND | MF_GRAYED), static_cast<BOOL>(MF_GRAYED));
  EXPECT_EQ(static_cast<UINT>(EnableMenuItem(bar, 99, MF_BYCOMMAND | MF_GRAYED)), 0xFFFFFFFFu);
  EXPECT_EQ(GetMenuState(bar, 13, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(GetMenuState(bar, 1, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);
  EXPECT_EQ(EnableMenuItem(bar, 13, MF_BYCOMMAND | MF_ENABLED), static_cast<BOOL>(MF_GRAYED));

  // What a display reads to show the bar.
  EXPECT_EQ(GetMenuItemCount(file), 3);
  EXPECT_EQ(GetSubMenu(file, 2), recent);
  EXPECT_EQ(GetMenuItemID(file, 0), 1u);
  EXPECT_EQ(GetMenuItemID(file, 2), 0xFFFFFFFFu);
  EXPECT_NE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
  char text[32];
  EXPECT_EQ(GetMenuStringA(bar, 1, text, sizeof text, MF_BYCOMMAND), 8);
  EXPECT_STREQ(text, "&Load...");
  EXPECT_EQ(GetMenuStringA(file, 2, text, sizeof text, MF_BYPOSITION), 7);
  EXPECT_STREQ(text, "Recents");
  EXPECT_TRUE(DestroyMenu(bar));
  EXPECT_FALSE(IsMenu(recent));
}

// ---------------------------------------------------------------------------
// Keyboard

const Sequence WmAccelerator = {
    {WM_COMMAND, kSent | kWParam | kLParam, "w", MAKEWPARAM(64002, 1), 0}};

// The toolkit's Tab and Shift+Tab accelerators, and the thread's key state
// it checks Tab by.
TEST_F(UserTest, AcceleratorsMatchKeyAndModifiersAndSendWmCommand) {
  HWND w = MakeShown();
  ACCEL entries[2] = {{FVIRTKEY | FNOINVERT, VK_TAB, 64001},
                      {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, 64002}};
  HACCEL table = CreateAcceleratorTableA(entries, 2);
  ASSERT_NE(table, nullptr);
  BYTE keys[256] = {};
  keys[VK_SHIFT] = 0x80;
  keys[VK_TAB] = 0x80;
  SetKeyboardState(keys);
  EXPECT_LT(GetKeyState(VK_TAB), 0);
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x80, 0);
  MSG tab{w, WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {0, 0}};
  EXPECT_NE(TranslateAcceleratorA(w, table, &tab), 0);
  ExpectSequence(WmAccelerator, "TranslateAcceleratorA(Shift+Tab)");

  keys[VK_CONTROL] = 0x80;  // Ctrl+Shift+Tab is neither
  SetKeyboardState(keys);
  EXPECT_EQ(TranslateAcceleratorA(w, table, &tab), 0);
  MSG up{w, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001u), 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorA(w, table, &up), 0);
  EXPECT_TRUE(recorded.empty());
  EXPECT_TRUE(DestroyAcceleratorTable(table));
}

TEST_F(UserTest, TranslateMessagePostsTheCharacterOfAKeyDown) {
  HWND w = MakeShown();
  BYTE keys[256] = {};
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  MSG down{w, WM_KEYDOWN, 'A', 0x001E0001, 0, {0, 0}};
  EXPECT_TRUE(TranslateMessage(&down));
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(m.lParam, 0x001E0001);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  MSG alt{w, WM_SYSKEYDOWN, 'A', 0x201E0001, 0, {0, 0}};
  EXPECT_TRUE(TranslateMessage(&alt));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_SYSCHAR));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>('a'));
  for (const MSG& nothing : {MSG{w, WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001u), 0, {0, 0}},
                             MSG{w, WM_KEYDOWN, VK_SHIFT, 0x002A0001, 0, {0, 0}}}) {
    EXPECT_TRUE(TranslateMessage(&nothing));  // key messages, though nothing comes of them
  }
  MSG other{w, WM_USER, 0, 0, 0, {0, 0}};
  EXPECT_FALSE(TranslateMessage(&other));
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_CHAR, WM_SYSCHAR, PM_REMOVE));
}

// The keyboard library's typed characters: scan code to virtual key, then
// the character under the thread's Shift, Caps Lock and Ctrl.
TEST_F(UserTest, UsLayoutMapsScanCodesToKeysAndCharacters) {
  HKL layout = GetKeyboardLayout(0);
  // DirectInput's numbers of E0 keys (0xC8, 0x9C) are no scan codes.
  const UINT keysOfScans[][2] = {{0x39, VK_SPACE}, {0x1E, 'A'},     {0x1C, VK_RETURN},
                                 {0x2A, VK_SHIFT}, {0x47, VK_HOME}, {0x4A, VK_SUBTRACT},
                                 {0x02, '1'},      {0xC8, 0},       {0x9C, 0}};
  for (const auto& [scan, vk] : keysOfScans) {
    EXPECT_EQ(MapVirtualKeyExA(scan, MAPVK_VSC_TO_VK, layout), vk) << std::hex << scan;
  }

  // Caps Lock and Shift cancel out for letters; a key going up types nothing.
  enum : unsigned { kShift = 1, kCaps = 2, kCtrl = 4 };
  const struct {
    UINT vk, scan;
    unsigned state;
    int count;
    WORD c;
  } chars[] = {{'A', 0x1E, 0, 1, 'a'},         {'A', 0x1E, kShift, 1, 'A'},
               {'1', 0x02, kShift, 1, '!'},    {'A', 0x1E, kShift | kCaps, 1, 'a'},
               {'A', 0x1E, kCaps, 1, 'A'},     {'1', 0x02, kCaps, 1, '1'},
               {'A', 0x1E, kCtrl, 1, 1},       {VK_SPACE, 0x39, 0, 1, ' '},
               {VK_RETURN, 0x1C, 0, 1, '\r'},  {VK_ESCAPE, 0x01, 0, 1, 0x1B},
               {VK_SUBTRACT, 0x4A, 0, 1, '-'}, {VK_F1, 0x3B, 0, 0, 0},
               {VK_SHIFT, 0x2A, 0, 0, 0},      {'A', 0x1E | 0x8000, 0, 0, 0}};
  for (const auto& k : chars) {
    BYTE keys[256] = {};
    keys[VK_SHIFT] = (k.state & kShift) != 0 ? BYTE{0x80} : BYTE{0};
    keys[VK_CAPITAL] = (k.state & kCaps) != 0 ? BYTE{1} : BYTE{0};
    keys[VK_CONTROL] = (k.state & kCtrl) != 0 ? BYTE{0x80} : BYTE{0};
    WORD c = 0;
    EXPECT_EQ(ToAsciiEx(k.vk, k.scan, keys, &c, 0, layout), k.count)
        << "vk " << k.vk << " state " << k.state;
    if (k.count == 1) {
      EXPECT_EQ(c, k.c) << "vk " << k.vk << " state " << k.state;
    }
  }
}

// ---------------------------------------------------------------------------
// Focus, activation, capture, enabling

const Sequence WmSetActiveOther = {
    {WM_NCACTIVATE, kSent | kWParam, "a", FALSE},
    {WM_ACTIVATE, kSent | kWParam, "a", WA_INACTIVE},
    {WM_NCACTIVATE, kSent | kWParam, "b", TRUE},
    {WM_ACTIVATE, kSent | kWParam, "b", WA_ACTIVE},
    {WM_KILLFOCUS, kSent, "a"},
    {WM_SETFOCUS, kSent, "b"},
};

const Sequence WmSetFocusChild = {{WM_KILLFOCUS, kSent, "a"}, {WM_SETFOCUS, kSent, "c"}};

const Sequence WmDisableFocus = {
    {WM_CANCELMODE, kSent, "c"},
    {WM_KILLFOCUS, kSent | kWParam, "c", 0},
    {WM_ENABLE, kSent | kWParam, "c", FALSE},
};

const Sequence WmDisableAgain = {{WM_CANCELMODE, kSent, "c"}};

const Sequence WmEnable = {{WM_ENABLE, kSent | kWParam, "c", TRUE}};

TEST_F(UserTest, ActivationFocusAndEnabling) {
  HWND a = MakeShown("a");
  HWND b = MakeShown("b");
  SetActiveWindow(a);
  Flush();
  EXPECT_EQ(SetActiveWindow(b), a);
  ExpectSequence(WmSetActiveOther, "SetActiveWindow(other window)");
  EXPECT_EQ(GetActiveWindow(), b);
  EXPECT_EQ(GetFocus(), b);
  EXPECT_EQ(GetForegroundWindow(), b);

  SetActiveWindow(a);
  HWND c = Make("c", WS_CHILD | WS_VISIBLE, a, 1, 0, 0, 20, 20);
  Flush();
  EXPECT_EQ(SetFocus(c), a);
  ExpectSequence(WmSetFocusChild, "SetFocus(child)");
  EXPECT_EQ(GetFocus(), c);

  EXPECT_FALSE(EnableWindow(c, FALSE));
  ExpectSequence(WmDisableFocus, "EnableWindow(focus, FALSE)");
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_FALSE(IsWindowEnabled(c));
  EXPECT_TRUE(EnableWindow(c, FALSE));  // disabled already: no WM_ENABLE
  ExpectSequence(WmDisableAgain, "EnableWindow(disabled window, FALSE)");
  EXPECT_TRUE(EnableWindow(c, TRUE));
  ExpectSequence(WmEnable, "EnableWindow(TRUE)");
  EXPECT_TRUE(IsWindowEnabled(c));

  DWORD process = 0;
  EXPECT_EQ(GetWindowThreadProcessId(a, &process), GetCurrentThreadId());
  EXPECT_EQ(process, GetCurrentProcessId());
}

// Live sizing ends when its window loses the capture.
TEST_F(UserTest, CaptureChangesTellTheWindowThatLosesIt) {
  HWND a = MakeShown("a");
  HWND c = Make("c", WS_CHILD | WS_VISIBLE, a, 1, 0, 0, 20, 20);
  Flush();
  EXPECT_EQ(SetCapture(a), nullptr);
  EXPECT_TRUE(recorded.empty());
  EXPECT_EQ(GetCapture(), a);
  const Sequence moved = {
      {WM_CAPTURECHANGED, kSent | kLParam, "a", 0, reinterpret_cast<LPARAM>(c)}};
  EXPECT_EQ(SetCapture(c), a);
  ExpectSequence(moved, "SetCapture(another window)");
  const Sequence released = {{WM_CAPTURECHANGED, kSent | kLParam, "c", 0, 0}};
  EXPECT_TRUE(ReleaseCapture());
  ExpectSequence(released, "ReleaseCapture");
  EXPECT_EQ(GetCapture(), nullptr);
}

// ---------------------------------------------------------------------------
// The STATIC control: the image gadget is one, with SS_NOTIFY

const Sequence WmStaticClick = {{WM_COMMAND, kSent | kWParam, "w", MAKEWPARAM(42, STN_CLICKED)}};

const Sequence WmStaticDoubleClick = {
    {WM_COMMAND, kSent | kWParam, "w", MAKEWPARAM(42, STN_DBLCLK)}};

TEST_F(UserTest, StaticWithNotifyReportsClicksToItsParent) {
  HWND w = MakeShown();
  HWND s = Make("s", WS_CHILD | WS_VISIBLE | SS_NOTIFY, w, 42, 0, 0, 30, 30, 0, "STATIC");
  ASSERT_NE(s, nullptr);
  Flush();
  EXPECT_NE(GetClassLongPtrA(s, GCL_STYLE) & CS_DBLCLKS, 0u);
  EXPECT_EQ(SendMessageA(s, WM_NCHITTEST, 0, 0), HTCLIENT);
  SendMessageA(s, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ExpectSequence(WmStaticClick, "WM_LBUTTONDOWN on SS_NOTIFY static");
  SendMessageA(s, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ExpectSequence({}, "WM_LBUTTONUP on SS_NOTIFY static");
  SendMessageA(s, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  ExpectSequence(WmStaticDoubleClick, "WM_LBUTTONDBLCLK on SS_NOTIFY static");

  // The control asks its parent for the brush of its background.
  InvalidateRect(s, nullptr, TRUE);
  UpdateWindow(s);
  EXPECT_TRUE(std::any_of(recorded.begin(), recorded.end(), [s](const Recorded& r) {
    return r.message == WM_CTLCOLORSTATIC && r.lParam == reinterpret_cast<LPARAM>(s);
  }));
  recorded.clear();

  HWND quiet = Make("q", WS_CHILD | WS_VISIBLE, w, 43, 40, 0, 30, 30, 0, "STATIC");
  Flush();
  EXPECT_EQ(SendMessageA(quiet, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
  SendMessageA(quiet, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ExpectSequence({}, "WM_LBUTTONDOWN on a static without SS_NOTIFY");

  // A client edge takes two pixels on each side.
  HWND edged = Make("e", WS_CHILD | WS_VISIBLE | SS_NOTIFY, w, 44, 0, 0, 772, 580, WS_EX_CLIENTEDGE,
                    "STATIC");
  RECT client;
  GetClientRect(edged, &client);
  EXPECT_EQ(client.right, 768);
  EXPECT_EQ(client.bottom, 576);
  Flush();
}

}  // namespace

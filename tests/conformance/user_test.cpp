// What the toolkit relies on from the platform's window part, first a window's
// life: the messages a window gets at creation and their order, classes, the
// queue's priorities and waits, destruction order, subclassing, properties,
// the close box, and relations between windows. The same source runs against
// real Win32 (under Wine) and against our layer; user_recording.h records the
// messages. Paint and geometry are in user_paint_test.cpp, menus, keyboard,
// focus and the STATIC control in user_input_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/win32.h"
#include "tests/conformance/user_recording.h"

using namespace recording;

namespace {

// ---------------------------------------------------------------------------
// Creation and classes

const Sequence WmCreateOverlapped = {
    {WM_GETMINMAXINFO, kSent},
    {WM_NCCREATE, kSent},
    {WM_NCCALCSIZE, kSent | kWParam, "w", FALSE},
    {WM_CREATE, kSent},
};

const Sequence WmShowOverlapped = {
    {WM_SHOWWINDOW, kSent | kWParam, "w", TRUE},
    {WM_WINDOWPOSCHANGING, kSent},
    {WM_ACTIVATEAPP, kSent | kWParam | kOptional, "w", TRUE},
    {WM_NCACTIVATE, kSent | kWParam, "w", TRUE},
    {WM_ACTIVATE, kSent | kWParam, "w", WA_ACTIVE},
    {WM_SETFOCUS, kSent},
    {WM_ERASEBKGND, kSent | kOptional},
    {WM_WINDOWPOSCHANGED, kSent},
    {WM_SIZE, kSent | kWParam, "w", SIZE_RESTORED},
    {WM_MOVE, kSent},
};

const Sequence WmFirstPaint = {{WM_PAINT, kPosted},
                               {WM_ERASEBKGND, kSent | kDefWinProc | kOptional}};

const Sequence WmCreateVisibleChild = {
    {WM_NCCREATE, kSent, "c"},
    {WM_NCCALCSIZE, kSent | kWParam, "c", FALSE},
    {WM_CREATE, kSent, "c"},
    {WM_SIZE, kSent | kWParam | kLParam, "c", SIZE_RESTORED, MAKELPARAM(50, 30)},
    {WM_MOVE, kSent | kLParam, "c", 0, MAKELPARAM(10, 20)},
    {WM_PARENTNOTIFY, kSent | kWParam, "w", MAKEWPARAM(WM_CREATE, 7)},
    {WM_SHOWWINDOW, kSent | kWParam, "c", TRUE},
    {WM_WINDOWPOSCHANGING, kSent, "c"},
    {WM_ERASEBKGND, kSent | kOptional, "c"},
    {WM_WINDOWPOSCHANGED, kSent, "c"},
};

TEST_F(UserTest, CreateAndFirstShowSendWhatAWindowReliesOn) {
  HWND w = Make("w", WS_CAPTION | WS_SYSMENU);
  ASSERT_NE(w, nullptr);
  ExpectSequence(WmCreateOverlapped, "CreateWindowExA (overlapped)");
  // An overlapped window always has a caption and clips its siblings.
  EXPECT_EQ(GetWindowLongA(w, GWL_STYLE) & (WS_CLIPSIBLINGS | WS_CAPTION | WS_VISIBLE),
            static_cast<LONG>(WS_CLIPSIBLINGS | WS_CAPTION));

  EXPECT_FALSE(ShowWindow(w, SW_SHOWNORMAL));
  ExpectSequence(WmShowOverlapped, "ShowWindow(SW_SHOWNORMAL)");
  EXPECT_EQ(GetActiveWindow(), w);
  EXPECT_EQ(GetFocus(), w);
  EXPECT_TRUE(IsWindowVisible(w));
  Pump();
  ExpectSequence(WmFirstPaint, "first paint");

  HWND c = Make("c", WS_CHILD | WS_VISIBLE, w, 7, 10, 20, 50, 30);
  ASSERT_NE(c, nullptr);
  ExpectSequence(WmCreateVisibleChild, "CreateWindowExA (visible child)");
  EXPECT_EQ(GetParent(c), w);
  // The gadget library renumbers its controls.
  EXPECT_EQ(SetWindowLongPtrA(c, GWLP_ID, -1), 7);
  EXPECT_EQ(GetWindowLongPtrA(c, GWLP_ID), -1);
}

// The toolkit registers a class per window, unregisters it after the window
// and registers the name again for the next window of that number.
TEST_F(UserTest, ClassesAreRegisteredOnceAndKeptWhileTheyHaveWindows) {
  SetLastError(0);
  EXPECT_EQ(Make("x", WS_CAPTION, nullptr, 0, 0, 0, 10, 10, 0, "NoSuchClassHere"), nullptr);
  EXPECT_EQ(GetLastError(), 1411u);  // ERROR_CLASS_DOES_NOT_EXIST

  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KelpieOnce";
  ASSERT_NE(RegisterClassA(&wc), 0);
  EXPECT_EQ(RegisterClassA(&wc), 0);  // the name is taken
  HWND w = Make("w", WS_CAPTION, nullptr, 0, 0, 0, 100, 100, 0, "KelpieOnce");
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(UnregisterClassA("KelpieOnce", GetModuleHandleA(nullptr)));
  char name[8];
  EXPECT_EQ(GetClassNameA(w, name, 5), 4);
  EXPECT_STREQ(name, "Kelp");
  DestroyWindow(w);
  EXPECT_TRUE(UnregisterClassA("KelpieOnce", GetModuleHandleA(nullptr)));
  EXPECT_NE(RegisterClassA(&wc), 0);
  EXPECT_TRUE(UnregisterClassA("KelpieOnce", GetModuleHandleA(nullptr)));
  recorded.clear();
}

// ---------------------------------------------------------------------------
// The queue

// Sent messages run at once; posted ones come before WM_QUIT, and WM_PAINT
// last, only for visible windows and again until the window is validated.
TEST_F(UserTest, QueueOrderAndPaint) {
  HWND hidden = Make("h", WS_CAPTION);
  HWND w = MakeShown();
  EXPECT_EQ(SendMessageA(w, WM_USER, 1, 2), 0);
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].flags, kSent);
  recorded.clear();

  InvalidateRect(hidden, nullptr, TRUE);
  InvalidateRect(w, nullptr, FALSE);
  PostQuitMessage(3);
  PostMessageA(w, WM_USER + 1, 0, 0);
  PostMessageA(w, WM_USER + 2, 0, 0);
  MSG m;
  // Looking without removing leaves the message where it was.
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
  std::vector<UINT> order;
  for (int i = 0; i < 10 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD); ++i) {
    order.push_back(m.message);
    EXPECT_EQ(m.message == WM_QUIT ? m.wParam : 3u, 3u);
    if (m.message == WM_PAINT &&
        (m.hwnd != w || std::count(order.begin(), order.end(), m.message) == 2)) {
      ValidateRect(m.hwnd, nullptr);
    }
  }
  const std::vector<UINT> want = {WM_USER + 1, WM_USER + 2, WM_QUIT, WM_PAINT, WM_PAINT};
  EXPECT_EQ(order, want);
}

// The toolkit's event wait: GetMessageA without a time limit, else
// MsgWaitForMultipleObjects with one. That wait may end with nothing to
// retrieve (Wine's does now and then; the toolkit then peeks in vain and
// reports no event): such a wake is taken and the wait resumed for the rest
// of its time. With nothing posted it must end in WAIT_TIMEOUT; a posted
// message ends it.
TEST_F(UserTest, GetMessageAndTimedWaits) {
  using Clock = std::chrono::steady_clock;
  HWND w = MakeShown();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(50);
  DWORD waited = WAIT_OBJECT_0;
  for (int wakes = 0; wakes < 100 && waited != WAIT_TIMEOUT; ++wakes) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(deadline - Clock::now(), Clock::duration::zero()));
    waited =
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    MSG m{};
    if (waited == WAIT_OBJECT_0 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      ADD_FAILURE() << "nothing was posted, yet the wait gave " << MessageName(m.message);
    }
  }
  EXPECT_EQ(waited, static_cast<DWORD>(WAIT_TIMEOUT));
  PostMessageA(w, WM_USER, 5, 6);
  // The message is there already: the long limit only matters should it not end the wait.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_OBJECT_0));
  MSG m{};
  EXPECT_TRUE(GetMessageA(&m, nullptr, 0, 0));
  EXPECT_EQ(m.hwnd, w);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_EQ(m.lParam, 6);
  PostQuitMessage(9);
  EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
  EXPECT_EQ(m.wParam, 9u);
}

// ---------------------------------------------------------------------------
// Destruction

const Sequence WmDestroyTree = {
    {WM_WINDOWPOSCHANGING, kSent, "p"},
    {WM_WINDOWPOSCHANGED, kSent, "p"},
    // The owned window goes first, whole.
    {WM_WINDOWPOSCHANGING, kSent, "o"},
    {WM_WINDOWPOSCHANGED, kSent, "o"},
    {WM_NCACTIVATE, kSent | kWParam | kOptional, "o", FALSE},
    {WM_ACTIVATE, kSent | kWParam | kOptional, "o", WA_INACTIVE},
    {WM_NCACTIVATE, kSent | kOptional, "p"},
    {WM_ACTIVATE, kSent | kOptional, "p"},
    {WM_KILLFOCUS, kSent | kOptional, "o"},
    {WM_SETFOCUS, kSent | kOptional, "p"},
    {WM_DESTROY, kSent, "o"},
    {WM_DESTROY, kSent, "oc"},
    {WM_NCDESTROY, kSent, "oc"},
    {WM_NCDESTROY, kSent, "o"},
    // Then the window and its children: WM_DESTROY parent first,
    // WM_NCDESTROY children first.
    {WM_NCACTIVATE, kSent | kWParam | kOptional, "p", FALSE},
    {WM_ACTIVATE, kSent | kWParam | kOptional, "p", WA_INACTIVE},
    {WM_ACTIVATEAPP, kSent | kWParam | kOptional, "p", FALSE},
    {WM_KILLFOCUS, kSent | kOptional, "p"},
    {WM_DESTROY, kSent, "p"},
    {WM_DESTROY, kSent, "c1"},
    {WM_DESTROY, kSent, "c11"},
    {WM_DESTROY, kSent, "c2"},
    {WM_NCDESTROY, kSent, "c11"},
    {WM_NCDESTROY, kSent, "c1"},
    {WM_NCDESTROY, kSent, "c2"},
    {WM_NCDESTROY, kSent, "p"},
};

TEST_F(UserTest, DestroyWindowTakesOwnedWindowsChildrenAndTheMenu) {
  HWND p = Make("p", WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
  HWND c1 = Make("c1", WS_CHILD | WS_VISIBLE, p, 1, 0, 0, 50, 50);
  Make("c11", WS_CHILD | WS_VISIBLE, c1, 2, 0, 0, 20, 20);
  Make("c2", WS_CHILD | WS_VISIBLE, p, 3, 60, 0, 50, 50);
  HWND o = Make("o", WS_CAPTION | WS_VISIBLE, p, 0, 100, 100, 100, 80);
  Make("oc", WS_CHILD | WS_VISIBLE, o, 4, 0, 0, 10, 10);
  HMENU bar = CreateMenu();
  HMENU popup = CreatePopupMenu();
  AppendMenuA(popup, MF_STRING, 1, "Item");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "Menu");
  ASSERT_TRUE(SetMenu(p, bar));
  SetActiveWindow(p);
  // Messages for the window that are still queued are dropped with it.
  PostMessageA(p, WM_USER, 0, 0);
  recorded.clear();

  EXPECT_TRUE(DestroyWindow(p));
  ExpectSequence(WmDestroyTree, "DestroyWindow");
  EXPECT_FALSE(IsWindow(p));
  EXPECT_FALSE(IsWindow(o));
  EXPECT_FALSE(IsMenu(bar));
  EXPECT_FALSE(IsMenu(popup));
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_REMOVE));
}

// The menu and gadget libraries subclass windows, keep the procedure they
// replaced in a property and let go of it at WM_NCDESTROY, the last message:
// the window must still be whole then, properties and menu included.
WNDPROC subclassed = nullptr;
struct {
  int calls = 0;
  UINT last = 0;
  bool isWindow = false;
  HANDLE property = nullptr;
  HMENU menu = nullptr;
} subclass;

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ++subclass.calls;
  subclass.last = message;
  if (message == WM_NCDESTROY) {
    subclass.isWindow = IsWindow(window) != FALSE;
    subclass.property = GetPropA(window, "fx_menu_callback");
    subclass.menu = GetMenu(window);
  }
  return CallWindowProcA(subclassed, window, message, wParam, lParam);
}

TEST_F(UserTest, SubclassSeesEveryMessageAndTheWholeWindowAtWmNcDestroy) {
  HWND w = MakeShown();
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "M");
  SetMenu(w, bar);
  subclassed = reinterpret_cast<WNDPROC>(  // NOLINT(performance-no-int-to-ptr)
      SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
  EXPECT_EQ(subclassed, RecordingProc);
  // The window library replaces and removes its number property.
  EXPECT_TRUE(SetPropA(w, "Fx_WindowID", reinterpret_cast<HANDLE>(1)));
  EXPECT_TRUE(SetPropA(w, "Fx_WindowID", reinterpret_cast<HANDLE>(5)));
  EXPECT_EQ(RemovePropA(w, "Fx_WindowID"), reinterpret_cast<HANDLE>(5));
  EXPECT_EQ(RemovePropA(w, "Fx_WindowID"), nullptr);
  EXPECT_EQ(GetPropA(w, "Fx_WindowID"), nullptr);
  SetPropA(w, "fx_menu_callback", reinterpret_cast<HANDLE>(subclassed));
  Flush();
  subclass = {};
  EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 0);
  EXPECT_EQ(subclass.calls, 1);
  ASSERT_EQ(recorded.size(), 1u);  // handed on to the recording procedure

  DestroyWindow(w);
  EXPECT_EQ(subclass.last, static_cast<UINT>(WM_NCDESTROY));
  EXPECT_EQ(recorded.back().message, static_cast<UINT>(WM_NCDESTROY));
  EXPECT_TRUE(subclass.isWindow);
  EXPECT_EQ(subclass.property, reinterpret_cast<HANDLE>(subclassed));
  EXPECT_EQ(subclass.menu, bar);
  EXPECT_FALSE(IsMenu(bar));  // gone with the window, after WM_NCDESTROY
  recorded.clear();
}

const Sequence WmDestroyChild = {
    {WM_PARENTNOTIFY, kSent | kWParam, "w", MAKEWPARAM(WM_DESTROY, 9)},
    {WM_SHOWWINDOW, kSent | kWParam, "c", FALSE},
    {WM_WINDOWPOSCHANGING, kSent, "c"},
    {WM_ERASEBKGND, kSent, "w"},
    {WM_WINDOWPOSCHANGED, kSent, "c"},
    {WM_DESTROY, kSent, "c"},
    {WM_NCDESTROY, kSent, "c"},
};

TEST_F(UserTest, DestroyingAChildTellsItsParent) {
  HWND w = MakeShown();
  HWND c = Make("c", WS_CHILD | WS_VISIBLE, w, 9, 0, 0, 20, 20);
  Flush();
  EXPECT_TRUE(DestroyWindow(c));
  ExpectSequence(WmDestroyChild, "DestroyWindow(child)");
  Pump();  // the parent repaints where the child was
  ASSERT_FALSE(recorded.empty());
  EXPECT_EQ(recorded.front().message, static_cast<UINT>(WM_PAINT));
  recorded.clear();
}

// ---------------------------------------------------------------------------
// Closing

const Sequence WmSysCommandClose = {
    {WM_SYSCOMMAND, kPosted | kWParam, "w", SC_CLOSE},
    {WM_CLOSE, kSent | kDefWinProc},
    {WM_WINDOWPOSCHANGING, kSent | kDefWinProc},
    {WM_WINDOWPOSCHANGED, kSent | kDefWinProc},
    {WM_NCACTIVATE, kSent | kWParam | kDefWinProc, "w", FALSE},
    {WM_ACTIVATE, kSent | kWParam | kDefWinProc, "w", WA_INACTIVE},
    {WM_ACTIVATEAPP, kSent | kWParam | kDefWinProc | kOptional, "w", FALSE},
    {WM_KILLFOCUS, kSent | kDefWinProc},
    {WM_DESTROY, kSent | kDefWinProc},
    {WM_NCDESTROY, kSent | kDefWinProc},
};

const Sequence WmCloseKept = {{WM_SYSCOMMAND, kPosted | kWParam, "w", SC_CLOSE},
                              {WM_CLOSE, kSent | kDefWinProc}};

TEST_F(UserTest, CloseBoxCommandBecomesWmCloseWhichDestroysByDefault) {
  HWND w = MakeShown();
  keepOnClose = true;
  PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  ExpectSequence(WmCloseKept, "SC_CLOSE, WM_CLOSE handled");
  EXPECT_TRUE(IsWindow(w));

  keepOnClose = false;
  PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  ExpectSequence(WmSysCommandClose, "SC_CLOSE, WM_CLOSE left to DefWindowProcA");
  EXPECT_FALSE(IsWindow(w));
}

// ---------------------------------------------------------------------------
// Relations

std::vector<HWND> enumerated;

BOOL CALLBACK Collect(HWND window, LPARAM) {
  enumerated.push_back(window);
  return TRUE;
}

// Tab moves through the children in EnumChildWindows' order; closing a
// window activates its owner; the requester disables the thread's
// top-level windows through EnumWindows.
TEST_F(UserTest, ChildrenAreEnumeratedDepthFirstInCreationOrder) {
  HWND p = MakeShown("p");
  HWND c1 = Make("c1", WS_CHILD, p, 1, 0, 0, 10, 10);
  HWND c11 = Make("c11", WS_CHILD, c1, 2, 0, 0, 5, 5);
  HWND c2 = Make("c2", WS_CHILD, p, 3, 0, 0, 10, 10);
  enumerated.clear();
  EXPECT_TRUE(EnumChildWindows(p, Collect, 0));
  EXPECT_EQ(enumerated, (std::vector<HWND>{c1, c11, c2}));
  EXPECT_TRUE(IsChild(p, c11));
  EXPECT_FALSE(IsChild(c2, c11));

  HWND owned = Make("o", WS_CAPTION, p, 0, 0, 0, 50, 50);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), p);
  EXPECT_EQ(GetWindow(c1, GW_OWNER), nullptr);
  EXPECT_EQ(GetParent(owned), nullptr);  // owned, not a child
  EXPECT_EQ(GetParent(c11), c1);
  EXPECT_FALSE(IsChild(p, owned));

  enumerated.clear();
  EnumWindows(Collect, 0);
  EXPECT_EQ(std::count(enumerated.begin(), enumerated.end(), owned), 1);
  EXPECT_EQ(std::count(enumerated.begin(), enumerated.end(), c1), 0);
  recorded.clear();
}

}  // namespace

// Windows and the event pump: opening under numbers, the flags, the events
// that EventWait hands out one per call, closing, and Tab focus cycling.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/toolkit_fixture.h"

namespace {

constexpr uint32_t kSizable = 0xCF0000;  // caption, system menu, sizing border, boxes

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartToolkitServices();
    DrainEvents();
  }
  void TearDown() override {
    for (intptr_t number : opened_) {
      WindowClose(number);
    }
    DrainEvents();
  }
  // Opens a window away from the pointer's usual spot and remembers to close it.
  HWND Open(intptr_t number, uint32_t flags = WINDOW_FLAGS_DEFAULT, int32_t width = 200,
            int32_t height = 120, HWND parent = nullptr) {
    const intptr_t result = WindowOpen(number, 20, 20, width, height, "test", flags, parent);
    EXPECT_NE(result, 0);
    const intptr_t id = number == OBJECT_ANY ? result : number;
    opened_.push_back(id);
    return WindowHandle(id);
  }
  std::vector<intptr_t> opened_;
};

std::string ClassNameOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The keyboard state `keys` with `down` pressed as well, made the thread's.
void SetKeysDown(const BYTE* keys, std::initializer_list<int> down) {
  BYTE state[256];
  std::copy(keys, keys + 256, state);
  for (int key : down) {
    state[key] = 0x80;
  }
  SetKeyboardState(state);
}

// ---------------------------------------------------------------------------
// Opening

TEST_F(WindowTest, NumberedAndAnyNumberWindowsGetTheirClassPropertyAndSize) {
  HWND window = Open(3);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ClassNameOf(window), "WindowClass_3");
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(window, "Fx_WindowID")), 4);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 120);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 20);
  EXPECT_EQ(outer.top, 20);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetClassLongPtrA(window, GCL_STYLE) & CS_DBLCLKS, static_cast<ULONG_PTR>(CS_DBLCLKS));

  const intptr_t number = WindowOpen(OBJECT_ANY, 20, 20, 100, 80, nullptr, WINDOW_FLAGS_DEFAULT);
  ASSERT_NE(number, 0);
  opened_.push_back(number);
  HWND any = WindowHandle(number);
  ASSERT_NE(any, nullptr);
  EXPECT_NE(reinterpret_cast<intptr_t>(any), number);
  EXPECT_EQ(ClassNameOf(any), "WindowClass_" + std::to_string(number));
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(any, "Fx_WindowID")), number + 1);
  char title[8] = "x";
  GetWindowTextA(any, title, sizeof title);
  EXPECT_STREQ(title, "");  // no title is an empty one

  // Reopening a number closes the window that held it.
  EXPECT_NE(Open(3), window);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowTest, NumbersThatAreNotOpenHaveNoHandle) {
  int local = 0;
  for (intptr_t number : {intptr_t{9}, intptr_t{-5}, reinterpret_cast<intptr_t>(&local)}) {
    EXPECT_EQ(WindowHandle(number), nullptr);
    WindowClose(number);  // nothing to close
  }
}

TEST_F(WindowTest, FlagsZeroGetACaptionInvisibleStaysHiddenAndEightMakesNoGadgetList) {
  HWND plain = Open(1, 0);
  EXPECT_EQ(GetWindowLongPtrA(plain, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(IsWindowVisible(plain));
  EXPECT_EQ(GadgetListParent(), plain);

  HWND hidden = Open(2, WINDOW_INVISIBLE);
  EXPECT_FALSE(IsWindowVisible(hidden));
  EXPECT_EQ(GetWindowLongPtrA(hidden, GWL_STYLE) & WS_CAPTION, WS_CAPTION);

  HWND listed = Open(3);
  Open(4, WINDOW_FLAGS_DEFAULT | WINDOW_NO_GADGET_LIST);
  EXPECT_EQ(GadgetListParent(), listed);
}

TEST_F(WindowTest, CentringFlagsAndDefaultPositionPlaceTheOuterWindow) {
  HWND centred = Open(1, WINDOW_FLAGS_DEFAULT | WINDOW_CENTRE_SCREEN, 300, 200);
  RECT outer{};
  GetWindowRect(centred, &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);

  HWND onParent = Open(2, WINDOW_FLAGS_DEFAULT | WINDOW_CENTRE_PARENT, 180, 100, centred);
  RECT inner{};
  GetWindowRect(onParent, &inner);
  EXPECT_EQ(inner.left, outer.left + ((outer.right - outer.left) - (inner.right - inner.left)) / 2);
  EXPECT_EQ(inner.top, outer.top + ((outer.bottom - outer.top) - (inner.bottom - inner.top)) / 2);
  EXPECT_EQ(GetWindow(onParent, GW_OWNER), centred);

  // Either coordinate left to the platform gives both to it: on the screen.
  for (const POINT at :
       {POINT{WINDOW_POSITION_DEFAULT, 100}, POINT{100, WINDOW_POSITION_DEFAULT}}) {
    ASSERT_NE(WindowOpen(3, at.x, at.y, 100, 80, "default"), 0);
    opened_.push_back(3);
    GetWindowRect(WindowHandle(3), &outer);
    EXPECT_GE(outer.left, 0) << at.x;
    EXPECT_GE(outer.top, 0) << at.x;
  }
}

// ---------------------------------------------------------------------------
// The event pump

TEST_F(WindowTest, MenuCommandRaisesEventMenuWithItsId) {
  HWND window = Open(0);
  DrainEvents();
  // A plain id, ids as unsigned low 16 bits, and an accelerator's command.
  for (WPARAM command : {WPARAM{7}, WPARAM{0xFFFE}, WPARAM{(1u << 16) | 42u}}) {
    PostMessageA(window, WM_COMMAND, command, 0);
    EXPECT_EQ(EventWait(), EVENT_MENU);
    EXPECT_EQ(EventMenuItem(), static_cast<intptr_t>(command & 0xFFFF));
    EXPECT_EQ(EventWindow(), 0);
  }
}

TEST_F(WindowTest, EachKeyMessageEndsOneCallWithItsOwnNumber) {
  HWND window = Open(0);
  SetFocus(window);
  DrainEvents();
  PostMessageA(window, WM_KEYDOWN, 'A', 0x001E0001);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_KEYDOWN));
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_CHAR));  // posted by TranslateMessage
  PostMessageA(window, WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001u));
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_KEYUP));
  PostMessageA(window, WM_SYSKEYUP, VK_F10, static_cast<LPARAM>(0xC0440001u));
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_SYSKEYUP));
  EXPECT_EQ(EventWait(30), EVENT_NONE);  // a timeout with nothing come is 0
}

TEST_F(WindowTest, CloseBoxGivesTheMouseMessageFirstThenCloseAndTheWindowStays) {
  HWND window = Open(0);
  DrainEvents();
  RECT outer{};
  GetWindowRect(window, &outer);
  const LPARAM at = MAKELPARAM(outer.right - 8, outer.top + 8);
  // The press on the close box, then its release (the platform may wait for it).
  PostMessageA(window, WM_NCLBUTTONDOWN, HTCLOSE, at);
  PostMessageA(window, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_NCLBUTTONDOWN));
  EXPECT_EQ(EventWait(), EVENT_CLOSE);
  EXPECT_EQ(EventWindow(), 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(WindowHandle(0), window);
}

TEST_F(WindowTest, MovesInARowOfOneWindowLeaveOneMoveEvent) {
  HWND window = Open(0);
  DrainEvents();
  for (int i = 1; i <= 3; ++i) {
    SetWindowPos(window, nullptr, 20 + 10 * i, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  ExpectEventSequence("three moves", {{EVENT_MOVE}}, EventsUntilMarker(window));

  // Moves of another window in between are not folded into them.
  HWND other = Open(1);
  DrainEvents();
  int x = 40;
  for (HWND moved : {window, other, other, window}) {
    SetWindowPos(moved, nullptr, x += 10, moved == window ? 300 : 500, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  std::vector<intptr_t> movedWindows;
  PostMessageA(window, kEventMarker, 0, 0);
  for (int32_t e = EventWait(2000); e != static_cast<int32_t>(kEventMarker) && e != EVENT_NONE;
       e = EventWait(2000)) {
    if (e == EVENT_MOVE) {
      movedWindows.push_back(EventWindow());
    }
  }
  EXPECT_EQ(movedWindows, (std::vector<intptr_t>{0, 1, 0}));
}

TEST_F(WindowTest, MaximizeRestoreAndMinimizeGiveTheirEvents) {
  HWND window = Open(0, kSizable);
  DrainEvents();
  // Around the change itself the platforms differ in erasing, moving and
  // activating; the change must give its events back to back.
  const std::vector<ExpectedEvent> around = {
      {EVENT_ACTIVATE, true}, {EVENT_REPAINT, true}, {EVENT_MOVE, true}};
  const std::vector<ExpectedEvent> after = {
      {EVENT_REPAINT, true}, {EVENT_ACTIVATE, true}, {EVENT_REPAINT, true}};
  auto step = [&](std::vector<ExpectedEvent> change) {
    std::vector<ExpectedEvent> all = around;
    all.insert(all.end(), change.begin(), change.end());
    all.insert(all.end(), after.begin(), after.end());
    return all;
  };
  ShowWindow(window, SW_MAXIMIZE);
  ExpectEventSequence("maximize", step({{EVENT_MAXIMIZE}, {EVENT_SIZE}}),
                      EventsUntilMarker(window));
  DrainEvents();
  ShowWindow(window, SW_RESTORE);
  ExpectEventSequence("restore", step({{EVENT_RESTORE}, {EVENT_SIZE}}), EventsUntilMarker(window));
  DrainEvents();
  ShowWindow(window, SW_MINIMIZE);
  ExpectEventSequence("minimize", step({{EVENT_MINIMIZE}, {EVENT_MOVE, true}}),
                      EventsUntilMarker(window));
  DrainEvents();
  ShowWindow(window, SW_RESTORE);
  DrainEvents();
  // A plain resize is a size event alone.
  SetWindowPos(window, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  ExpectEventSequence("resize", step({{EVENT_SIZE}}), EventsUntilMarker(window));
}

TEST_F(WindowTest, QueuedEventsComeOutOnePerCallOldestFirstBeforeNewMessages) {
  HWND window = Open(0);
  DrainEvents();
  PostMessageA(window, WM_USER + 5, 0, 0);
  SendMessageA(window, WM_CLOSE, 0, 0);
  SetWindowPos(window, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(EventWait(0), EVENT_CLOSE);
  EXPECT_EQ(EventWait(0), EVENT_MOVE);
  EXPECT_EQ(EventWait(0), EVENT_CLOSE);
  EXPECT_EQ(EventWait(0), static_cast<int32_t>(WM_USER + 5));
  EXPECT_EQ(EventWait(0), EVENT_NONE);
}

TEST_F(WindowTest, RepaintWithErasedBackgroundGivesFifteenTwice) {
  HWND window = Open(0, WINDOW_FLAGS_DEFAULT | WINDOW_NO_GADGET_LIST);
  UpdateWindow(window);
  DrainEvents();
  InvalidateRect(window, nullptr, TRUE);
  EXPECT_EQ(EventWait(0), static_cast<int32_t>(WM_PAINT));
  EXPECT_EQ(EventWait(0), EVENT_REPAINT);
  EXPECT_EQ(EventWindow(), 0);
  EXPECT_EQ(EventWait(0), EVENT_NONE);
  // Painted straight away, the erase still queues its repaint event.
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  EXPECT_EQ(EventWait(0), EVENT_REPAINT);
  EXPECT_EQ(EventWait(0), EVENT_NONE);
}

TEST_F(WindowTest, GadgetMessagesAndControlCommandsRaiseTheirEvents) {
  HWND window = Open(0);
  HWND proxy = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, window,
                               HandleFrom<HMENU>(-10000), GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(proxy, nullptr);
  DrainEvents();
  PostMessageA(window, MSG_GADGET_EVENT, 123, GADGET_EVENT_DRAG_START);
  EXPECT_EQ(EventWait(), EVENT_GADGET);
  EXPECT_EQ(EventMenuItem(), 123);
  EXPECT_EQ(EventType(), GADGET_EVENT_DRAG_START);
  PostMessageA(window, WM_USER, 0, 0);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_USER));
  EXPECT_EQ(EventType(), -1);  // the next call starts with no sub-kind
  // A mouse notification comes one dispatch later with its click kind; a kind
  // that is no click raises nothing.
  PostMessageA(window, MSG_MOUSE_NOTIFY, 77, WM_RBUTTONDBLCLK);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(MSG_MOUSE_NOTIFY));
  EXPECT_EQ(EventWait(), EVENT_MOUSE_NOTIFY);
  EXPECT_EQ(EventMenuItem(), 77);
  EXPECT_EQ(EventType(), 3);
  PostMessageA(window, MSG_MOUSE_NOTIFY_LATE, 77, WM_MOUSEMOVE);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(MSG_MOUSE_NOTIFY_LATE));
  // A control with the menu proxy id speaks for menu items.
  PostMessageA(window, WM_COMMAND, (5u << 16) | 31u, reinterpret_cast<LPARAM>(proxy));
  EXPECT_EQ(EventWait(), EVENT_MENU);
  EXPECT_EQ(EventMenuItem(), 31);
  // Any other control raises a gadget event with its id and notification code.
  // Its id is the control's own, not the command's low word, which cannot
  // hold a dynamic gadget number.
  SetWindowLongPtrA(proxy, GWLP_ID, 0x10555);
  PostMessageA(window, WM_COMMAND, (5u << 16) | 0x555u, reinterpret_cast<LPARAM>(proxy));
  EXPECT_EQ(EventWait(), EVENT_GADGET);
  EXPECT_EQ(EventMenuItem(), 0x10555);
  EXPECT_EQ(EventType(), 5);
}

TEST_F(WindowTest, BoundsReplaceTheTrackingSizesOnlyWhereSet) {
  HWND window = Open(0, kSizable);
  WindowSetBounds(0, 150, 0, 0, 333);
  MINMAXINFO limits{};
  limits.ptMinTrackSize = {11, 12};
  limits.ptMaxTrackSize = {1001, 1002};
  EXPECT_EQ(SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
  EXPECT_EQ(limits.ptMinTrackSize.x, 150);
  EXPECT_EQ(limits.ptMinTrackSize.y, 12);
  EXPECT_EQ(limits.ptMaxTrackSize.x, 1001);
  EXPECT_EQ(limits.ptMaxTrackSize.y, 333);
}

// ---------------------------------------------------------------------------
// Closing

TEST_F(WindowTest, ClosingAWindowWithAnOwnerActivatesTheOwnerFirst) {
  HWND owner = Open(1);
  HWND owned = Open(2, WINDOW_FLAGS_DEFAULT, 100, 60, owner);
  SetActiveWindow(owned);
  ASSERT_EQ(GetActiveWindow(), owned);
  static HWND activeAtDestroy;
  activeAtDestroy = nullptr;
  // Watch who is active when the owned window's destruction begins.
  static WNDPROC chained;
  chained = HandleFrom<WNDPROC>(SetWindowLongPtrA(
      owned, GWLP_WNDPROC,
      reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_DESTROY) {
          activeAtDestroy = GetActiveWindow();
        }
        return CallWindowProcA(chained, w, m, wp, lp);
      })));
  DrainEvents();
  WindowClose(2);
  EXPECT_EQ(activeAtDestroy, owner);
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_EQ(WindowHandle(2), nullptr);
  // The owner's activation is an event of the owner's.
  bool ownerActivated = false;
  for (int32_t event = EventWait(0); event != EVENT_NONE; event = EventWait(0)) {
    ownerActivated |= event == EVENT_ACTIVATE && EventWindow() == 1;
  }
  EXPECT_TRUE(ownerActivated);
}

TEST_F(WindowTest, QueuedEventsOfAClosedWindowStillComeOutButItsDestructionRaisesNothing) {
  HWND window = Open(5, kSizable);
  DrainEvents();
  SendMessageA(window, WM_CLOSE, 0, 0);
  WindowClose(5);
  EXPECT_EQ(EventWait(0), EVENT_CLOSE);
  EXPECT_EQ(EventWindow(), 5);
  for (int32_t event = EventWait(0); event != EVENT_NONE; event = EventWait(0)) {
    EXPECT_NE(EventWindow(), 5) << "event " << event;
  }
}

TEST_F(WindowTest, ClosedNumbersAreFreeWhetherClosedAloneOrWithTheOwner) {
  HWND owner = Open(1);
  HWND owned = Open(2, WINDOW_FLAGS_DEFAULT, 100, 60, owner);
  WindowClose(1);
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_EQ(WindowHandle(2), nullptr);
  EXPECT_EQ(ClassNameOf(Open(2)), "WindowClass_2");  // the class stayed registered
  // Closed by number, its class goes and a fresh one comes with the number.
  WindowClose(2);
  EXPECT_EQ(WindowHandle(2), nullptr);
  WNDCLASSA info{};
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "WindowClass_2", &info));
  EXPECT_EQ(ClassNameOf(Open(2)), "WindowClass_2");
}

TEST_F(WindowTest, LibraryEndClosesEveryWindow) {
  HWND a = Open(1);
  const intptr_t dynamic = WindowOpen(OBJECT_ANY, 30, 30, 50, 50, "d", WINDOW_FLAGS_DEFAULT);
  ASSERT_NE(dynamic, 0);
  HWND b = WindowHandle(dynamic);
  WindowLibraryEnd();
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(IsWindow(b));
  EXPECT_EQ(WindowHandle(dynamic), nullptr);
}

// ---------------------------------------------------------------------------
// Tab and Shift+Tab

class FocusTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window_ = Open(0);
    SetActiveWindow(window_);
    // Tab stops a, b, c, with a disabled, a hidden and a non-stop control between.
    a_ = Child(WS_TABSTOP);
    Child(WS_TABSTOP | WS_DISABLED);
    b_ = Child(WS_TABSTOP);
    Child(0);
    hidden_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_TABSTOP, 0, 0, 10, 10, window_,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    c_ = Child(WS_TABSTOP);
  }
  HWND Child(DWORD style) {
    return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, window_,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  HWND window_ = nullptr;
  HWND a_ = nullptr;
  HWND b_ = nullptr;
  HWND c_ = nullptr;
  HWND hidden_ = nullptr;
};

TEST_F(FocusTest, CyclesVisitTabStopsBothWaysAndWrap) {
  ASSERT_EQ(GetActiveWindow(), window_);
  const struct {
    bool backward;
    HWND from, expected[4];
  } cycles[] = {{false, window_, {a_, b_, c_, a_}}, {true, window_, {c_, b_, a_, c_}}};
  for (const auto& cycle : cycles) {
    SetFocus(cycle.from);
    for (HWND expected : cycle.expected) {
      FocusCycle(cycle.backward);
      EXPECT_EQ(GetFocus(), expected) << (cycle.backward ? "backward" : "forward");
    }
  }
  // From a control that is no tab stop: forward changes nothing, backward
  // goes to the last.
  SetFocus(hidden_);
  FocusCycle(false);
  EXPECT_EQ(GetFocus(), hidden_);
  FocusCycle(true);
  EXPECT_EQ(GetFocus(), c_);
}

TEST_F(FocusTest, TabKeysCycleThroughTheWindowsAccelerators) {
  SetFocus(a_);
  DrainEvents();
  PostMessageA(a_, WM_KEYDOWN, VK_TAB, 0x000F0001);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_KEYDOWN));
  EXPECT_EQ(GetFocus(), b_);

  BYTE keys[256];
  GetKeyboardState(keys);
  SetKeysDown(keys, {VK_SHIFT});
  PostMessageA(b_, WM_KEYDOWN, VK_TAB, 0x000F0001);
  EXPECT_EQ(EventWait(), static_cast<int32_t>(WM_KEYDOWN));
  SetKeyboardState(keys);
  EXPECT_EQ(GetFocus(), a_);
  // Neither key raised an event: nothing is left over.
  EXPECT_EQ(EventWait(0), EVENT_NONE);
}

// A window class whose name starts like the rich-edit classes and answers
// their options query.
LRESULT readOnlyOption = 0;
LRESULT CALLBACK RichStubProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 0x44E) {
    return readOnlyOption;  // EM_GETOPTIONS
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(FocusTest, OnlyToolkitWindowsHaveAcceleratorsAndAnEditableRichEditsTabIsItsOwn) {
  EXPECT_EQ(ActiveAccelerators(nullptr), nullptr);
  EXPECT_EQ(ActiveAccelerators(a_), nullptr);
  WNDCLASSA stub{};
  stub.lpfnWndProc = RichStubProc;
  stub.hInstance = GetModuleHandleA(nullptr);
  stub.lpszClassName = "RichStub";
  RegisterClassA(&stub);
  HWND rich = CreateWindowExA(0, "RichStub", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10,
                              window_, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(rich, nullptr);
  SetFocus(rich);
  HACCEL table = ActiveAccelerators(window_);
  ASSERT_NE(table, nullptr);

  BYTE keys[256];
  GetKeyboardState(keys);
  SetKeysDown(keys, {VK_TAB});
  readOnlyOption = 0;
  EXPECT_EQ(ActiveAccelerators(window_), nullptr);
  readOnlyOption = 0x800;  // ECO_READONLY
  EXPECT_EQ(ActiveAccelerators(window_), table);
  readOnlyOption = 0;
  SetKeysDown(keys, {VK_TAB, VK_CONTROL});  // Ctrl+Tab is no Tab for the control
  EXPECT_EQ(ActiveAccelerators(window_), table);
  SetKeyboardState(keys);
  EXPECT_EQ(ActiveAccelerators(window_), table);  // Tab up

  DestroyWindow(rich);
  UnregisterClassA("RichStub", GetModuleHandleA(nullptr));
}

}  // namespace

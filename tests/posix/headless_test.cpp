// The headless display and what our layer makes of a user's input: keys by
// scan code, clicks and double clicks reaching the window under the point,
// the close box, menu choices, moves and sizes by the window manager, the
// pixels the screen shows, the scripted steps that stand in for a user while
// the thread waits, and what the layer does for operations a display leaves
// out.

#include "platform/posix/headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/testing.h"
#include "platform/win32.h"

namespace {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Seen> seen;
bool keepOnClose = true;
std::map<HWND, COLORREF> paintColours;  // what WM_PAINT fills a window's client area with

LRESULT CALLBACK TestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SETCURSOR && message != WM_NCHITTEST && message != WM_GETMINMAXINFO) {
    seen.push_back(Seen{window, message, wParam, lParam});
  }
  if (message == WM_CLOSE && keepOnClose) {
    return 0;
  }
  if (message == WM_PAINT && paintColours.count(window) != 0) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    HBRUSH brush = CreateSolidBrush(paintColours[window]);
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    EndPaint(window, &ps);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Everything queued, translated and dispatched as a program's loop does.
std::vector<UINT> Pump() {
  std::vector<UINT> retrieved;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    retrieved.push_back(m.message);
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return retrieved;
}

const Seen* Find(UINT message, HWND window = nullptr) {
  for (const Seen& s : seen) {
    if (s.message == message && (window == nullptr || s.window == window)) {
      return &s;
    }
  }
  return nullptr;
}

int Count(UINT message) {
  int n = 0;
  for (const Seen& s : seen) {
    n += s.message == message ? 1 : 0;
  }
  return n;
}

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = TestProc;
    // A system colour index + 1 stands for that colour's brush.
    const auto background = static_cast<INT_PTR>(COLOR_BTNFACE + 1);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(background);  // NOLINT(performance-no-int-to-ptr)
    wc.lpszClassName = "HeadlessPlain";
    RegisterClassA(&wc);
    keepOnClose = true;
    paintColours.clear();
    seen.clear();
  }

  void TearDown() override {
    HeadlessClearSteps();
    for (HWND w : made_) {
      if (IsWindow(w)) {
        DestroyWindow(w);
      }
    }
    Pump();
    seen.clear();
  }

  HWND Top(const char* cls = "HeadlessPlain", int width = 300, int height = 200,
           DWORD style = WS_CAPTION | WS_SYSMENU) {
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    HWND w = CreateWindowExA(0, cls, "Top", style | WS_VISIBLE, 50, 60, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    made_.push_back(w);
    Pump();
    seen.clear();
    return w;
  }

  HWND Child(HWND parent, int x, int y, int width, int height, int id,
             const char* cls = "HeadlessPlain", DWORD style = 0) {
    // A child's "menu" is its id.
    auto menu =
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));  // NOLINT(performance-no-int-to-ptr)
    HWND w = CreateWindowExA(0, cls, nullptr, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                             parent, menu, nullptr, nullptr);
    Pump();
    seen.clear();
    return w;
  }

 private:
  std::vector<HWND> made_;
};

// ---------------------------------------------------------------------------
// Keyboard

TEST_F(HeadlessTest, KeysArriveWithTheirScanCodesAndTranslateToCharacters) {
  HWND w = Top();
  ASSERT_EQ(GetFocus(), w);
  HeadlessKeyDown(0x1E);                  // 'a'
  EXPECT_EQ(GetKeyState('A') & 0x80, 0);  // the thread's key state follows retrieved keys
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, w);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(m.lParam, 0x001E0001);  // scan code, one repeat, up before
  EXPECT_NE(GetKeyState('A') & 0x80, 0);
  TranslateMessage(&m);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>('a'));

  HeadlessKeyUp(0x1E);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(static_cast<DWORD>(m.lParam) & 0xC0000000u, 0xC0000000u);
  EXPECT_EQ(GetKeyState('A') & 0x80, 0);
}

TEST_F(HeadlessTest, PostedMessagesComeBeforeInputAndInputBeforePaint) {
  HWND w = Top();
  HeadlessKeyDown(0x1E);
  InvalidateRect(w, nullptr, FALSE);
  PostMessageA(w, WM_USER, 0, 0);
  HeadlessMouseMove(w, 3, 4);
  std::vector<UINT> order;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    order.push_back(m.message);
    DispatchMessageA(&m);
  }
  const std::vector<UINT> want = {WM_USER, WM_KEYDOWN, WM_MOUSEMOVE, WM_PAINT};
  EXPECT_EQ(order, want);
  HeadlessKeyUp(0x1E);
  Pump();
}

// Without a focus keys go to the active window as system keys; a disabled
// window gets none, yet the key state follows them and sticks nowhere.
TEST_F(HeadlessTest, KeysWithoutAFocusOrForADisabledWindow) {
  HWND w = Top();
  SetFocus(nullptr);
  HeadlessKeyPress(0x39);
  const std::vector<UINT> system = {WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP};
  EXPECT_EQ(Pump(), system);
  EXPECT_EQ(Find(WM_SYSKEYDOWN)->window, w);

  SetFocus(w);
  HeadlessKeyDown(0x1E);
  Pump();
  EXPECT_NE(GetKeyState('A') & 0x80, 0);
  EnableWindow(w, FALSE);
  HeadlessKeyUp(0x1E);
  HeadlessKeyPress(0x39);
  EXPECT_TRUE(Pump().empty());
  EXPECT_EQ(GetKeyState('A') & 0x80, 0);  // not stuck down
  EnableWindow(w, TRUE);
}

// ---------------------------------------------------------------------------
// Mouse

TEST_F(HeadlessTest, ClicksGoToTheChildUnderThePointInItsClientCoordinates) {
  HWND w = Top();
  HWND c = Child(w, 100, 50, 40, 30, 5);
  HeadlessClick(w, 110, 60);
  std::vector<UINT> got = Pump();
  const std::vector<UINT> want = {WM_LBUTTONDOWN, WM_LBUTTONUP};
  EXPECT_EQ(got, want);
  const Seen* down = Find(WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(down->window, c);
  EXPECT_EQ(down->lParam, MAKELPARAM(10, 10));
  EXPECT_EQ(down->wParam, static_cast<WPARAM>(MK_LBUTTON));

  // Outside the child the parent gets it; a right click likewise.
  seen.clear();
  HeadlessClick(w, 5, 6, 1);
  Pump();
  const Seen* right = Find(WM_RBUTTONDOWN);
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(right->window, w);
  EXPECT_EQ(right->lParam, MAKELPARAM(5, 6));
}

TEST_F(HeadlessTest, StaticControlsTakeClicksOnlyWithSsNotify) {
  HWND w = Top();
  Child(w, 0, 0, 50, 50, 41, "STATIC");
  HWND loud = Child(w, 60, 0, 50, 50, 42, "STATIC", SS_NOTIFY);
  HeadlessClick(w, 10, 10);  // through the transparent static to the parent
  Pump();
  const Seen* down = Find(WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(down->window, w);
  EXPECT_EQ(Find(WM_COMMAND), nullptr);
  seen.clear();
  HeadlessClick(w, 70, 10);
  Pump();
  const Seen* command = Find(WM_COMMAND);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->wParam, MAKEWPARAM(42, STN_CLICKED));
  EXPECT_EQ(command->lParam, reinterpret_cast<LPARAM>(loud));
  seen.clear();
  HeadlessDoubleClick(w, 70, 10);  // STATIC asks for double clicks
  Pump();
  ASSERT_EQ(Count(WM_COMMAND), 2);
  EXPECT_EQ(seen.back().wParam, MAKEWPARAM(42, STN_DBLCLK));
  seen.clear();
  HeadlessClick(w, 70, 10);  // two separate clicks are no double click
  HeadlessClick(w, 70, 10);
  Pump();
  ASSERT_EQ(Count(WM_COMMAND), 2);
  EXPECT_EQ(seen.back().wParam, MAKEWPARAM(42, STN_CLICKED));
}

TEST_F(HeadlessTest, CapturedMouseKeepsComingInTheCaptureWindowsCoordinates) {
  HWND w = Top();
  HWND c = Child(w, 100, 50, 40, 30, 5);
  SetCapture(c);
  HeadlessMouseMove(w, 10, 20);
  HeadlessMouseMoveOnScreen(5, 5);  // off the window altogether
  Pump();
  ASSERT_EQ(Count(WM_MOUSEMOVE), 1);  // moves in a row collapse into the latest
  const Seen* move = Find(WM_MOUSEMOVE);
  EXPECT_EQ(move->window, c);
  POINT origin{0, 0};
  ClientToScreen(c, &origin);
  EXPECT_EQ(static_cast<SHORT>(LOWORD(move->lParam)), 5 - origin.x);
  EXPECT_EQ(static_cast<SHORT>(HIWORD(move->lParam)), 5 - origin.y);
  ReleaseCapture();
}

// ---------------------------------------------------------------------------
// The window manager

TEST_F(HeadlessTest, CloseBoxIsAButtonPressThatDefWindowProcTurnsIntoWmClose) {
  HWND w = Top();
  HeadlessCloseBox(w);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_NCLBUTTONDOWN));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>(HTCLOSE));
  DispatchMessageA(&m);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_NCLBUTTONDOWN));
  EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(Find(WM_SYSCOMMAND)->wParam, static_cast<WPARAM>(SC_CLOSE));
  EXPECT_TRUE(IsWindow(w));  // this procedure keeps the window

  keepOnClose = false;
  HeadlessCloseBox(w);
  Pump();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(HeadlessWindow(w).exists);
}

// The viewer's window: its picture height kept under the menu bar, and menu
// choices posting WM_COMMAND, greyed ones refused.
TEST_F(HeadlessTest, MenuChoicesPostWmCommandUnlessGreyed) {
  HWND w = Top("HeadlessPlain", 768, 596);
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  HMENU more = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, 1, "&Load...");
  AppendMenuA(file, MF_STRING | MF_GRAYED, 3, "Save As...");
  AppendMenuA(more, MF_STRING, 12, "Yeah");
  AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(more), "Even more !");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "File");
  SetMenu(w, bar);
  const HeadlessWindowState state = HeadlessWindow(w);
  EXPECT_EQ(state.menu, bar);
  EXPECT_EQ(state.client.right - state.client.left, 768);
  EXPECT_EQ(state.client.bottom - state.client.top, 576);
  Pump();
  seen.clear();

  EXPECT_TRUE(HeadlessChooseMenu(w, 12));
  EXPECT_NE(Find(WM_INITMENU), nullptr);
  EXPECT_EQ(Count(WM_INITMENUPOPUP), 2);  // the title's popup, then the submenu
  EXPECT_EQ(Find(WM_COMMAND), nullptr);   // posted, not sent
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(m.wParam, MAKEWPARAM(12, 0));
  EXPECT_EQ(m.lParam, 0);

  EXPECT_FALSE(HeadlessChooseMenu(w, 3));
  EXPECT_FALSE(HeadlessChooseMenu(w, 99));
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EnableMenuItem(bar, 3, MF_BYCOMMAND | MF_ENABLED);
  EXPECT_TRUE(HeadlessChooseMenu(w, 3));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(m.wParam), 3);
}

TEST_F(HeadlessTest, MovesAndSizesByTheUserReachTheWindow) {
  HWND w = Top("HeadlessPlain", 300, 200, WS_OVERLAPPEDWINDOW);
  RECT before;
  GetWindowRect(w, &before);
  HeadlessMove(w, 100, 120);
  HeadlessMove(w, 140, 150);
  ASSERT_EQ(Count(WM_MOVE), 2);
  RECT after;
  GetWindowRect(w, &after);
  EXPECT_EQ(after.left, 140);
  EXPECT_EQ(after.top, 150);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  EXPECT_EQ(seen.back().lParam, MAKELPARAM(origin.x, origin.y));
  EXPECT_EQ(Count(WM_SIZE), 0);

  seen.clear();
  HeadlessSize(w, 400, 300);
  const Seen* size = Find(WM_SIZE);
  ASSERT_NE(size, nullptr);
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(size->lParam, MAKELPARAM(client.right, client.bottom));
  GetWindowRect(w, &after);
  EXPECT_EQ(after.right - after.left, 400);
  EXPECT_EQ(after.bottom - after.top, 300);
  EXPECT_TRUE(GetUpdateRect(w, nullptr, FALSE));  // the grown part asks to be painted
  EXPECT_EQ(HeadlessPixels(w).width, client.right);

  // A size below the tracking minimum is refused, and the display told so.
  HeadlessSize(w, 10, 10);
  GetWindowRect(w, &after);
  EXPECT_EQ(after.right - after.left, GetSystemMetrics(SM_CXMINTRACK));
  EXPECT_EQ(HeadlessWindow(w).outer.right - HeadlessWindow(w).outer.left,
            GetSystemMetrics(SM_CXMINTRACK));

  const struct {
    void (*act)(HWND);
    WPARAM kind;
    int shown;
  } states[] = {{HeadlessMinimize, SIZE_MINIMIZED, SW_SHOWMINIMIZED},
                {HeadlessRestore, SIZE_RESTORED, SW_SHOWNORMAL}};
  for (const auto& [act, kind, shown] : states) {
    seen.clear();
    act(w);
    ASSERT_NE(Find(WM_SIZE), nullptr);
    EXPECT_EQ(Find(WM_SIZE)->wParam, kind);
    EXPECT_EQ(HeadlessWindow(w).shown, shown);
  }
}

// A click activates an inactive window; another program coming to the front
// takes the activation, and the user's choice brings it back.
TEST_F(HeadlessTest, ActivationComesAndGoesWithTheUser) {
  HWND a = Top();
  HWND b = Top();
  ASSERT_EQ(GetActiveWindow(), b);
  HeadlessClick(a, 10, 10);
  Pump();
  EXPECT_EQ(GetActiveWindow(), a);
  EXPECT_EQ(GetFocus(), a);
  const Seen* activate = Find(WM_ACTIVATE, a);
  ASSERT_NE(activate, nullptr);
  EXPECT_EQ(LOWORD(activate->wParam), WA_CLICKACTIVE);
  EXPECT_NE(Find(WM_LBUTTONDOWN, a), nullptr);
  EXPECT_EQ(HeadlessFrontWindow(), a);

  HeadlessActivate(nullptr);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const Seen& s) {
    return s.message == WM_ACTIVATEAPP && s.wParam == FALSE;
  }));
  HeadlessActivate(b);
  EXPECT_EQ(GetForegroundWindow(), b);
}

// A window procedure may destroy its window in any message that the layer
// sends while it makes, moves, shows or minimizes the window. The call then
// gives up: no record and no native window outlive the window.
UINT destroyOn = 0;        // the message on which SelfDestroyingProc destroys its window
HWND destroyed = nullptr;  // the window it destroyed

LRESULT CALLBACK SelfDestroyingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == destroyOn) {
    destroyOn = 0;
    destroyed = window;
    DestroyWindow(window);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(HeadlessTest, AWindowDestroyedByItsProcedureMidCallLeavesNothingBehind) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = SelfDestroyingProc;
  wc.lpszClassName = "HeadlessSelfDestroying";
  RegisterClassA(&wc);
  auto make = [](DWORD visible) {
    return CreateWindowExA(0, "HeadlessSelfDestroying", "", WS_OVERLAPPEDWINDOW | visible, 10, 10,
                           200, 150, nullptr, nullptr, nullptr, nullptr);
  };
  auto create = [&] { make(WS_VISIBLE); };
  auto move = [&] { SetWindowPos(make(WS_VISIBLE), nullptr, 30, 40, 250, 180, SWP_NOZORDER); };
  auto show = [&] { ShowWindow(make(0), SW_SHOW); };
  auto hide = [&] { ShowWindow(make(WS_VISIBLE), SW_HIDE); };
  auto maximize = [&] { ShowWindow(make(WS_VISIBLE), SW_MAXIMIZE); };
  auto restore = [&] {
    HWND w = make(WS_VISIBLE);
    ShowWindow(w, SW_MINIMIZE);
    ShowWindow(w, SW_RESTORE);
  };
  const struct {
    const char* call;
    std::function<void()> act;
    std::vector<UINT> messages;
  } cases[] = {
      {"CreateWindowExA",
       create,
       {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SHOWWINDOW,
        WM_WINDOWPOSCHANGING, WM_ACTIVATE, WM_SETFOCUS, WM_ERASEBKGND, WM_WINDOWPOSCHANGED, WM_SIZE,
        WM_MOVE}},
      {"SetWindowPos", move, {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED}},
      {"ShowWindow(SW_SHOW)", show, {WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_ACTIVATE}},
      {"ShowWindow(SW_HIDE)", hide, {WM_SHOWWINDOW, WM_WINDOWPOSCHANGED, WM_ACTIVATE}},
      {"ShowWindow(SW_MAXIMIZE)", maximize, {WM_GETMINMAXINFO, WM_NCCALCSIZE, WM_SIZE}},
      {"ShowWindow(SW_RESTORE)", restore, {WM_QUERYOPEN}},
  };
  Pump();
  const size_t before = PosixLiveWindows();
  for (const auto& [call, act, messages] : cases) {
    for (UINT message : messages) {
      SCOPED_TRACE(std::string(call) + " destroyed on message " + std::to_string(message));
      destroyOn = message;
      destroyed = nullptr;
      act();
      Pump();
      ASSERT_EQ(destroyOn, 0u) << "the message never came";
      EXPECT_FALSE(IsWindow(destroyed));
      EXPECT_FALSE(HeadlessWindow(destroyed).exists);
      EXPECT_EQ(PosixLiveWindows(), before);
      EXPECT_EQ(GetActiveWindow(), nullptr);
    }
  }
}

// ---------------------------------------------------------------------------
// Pixels

TEST_F(HeadlessTest, ScreenShowsChildrenOverTheirParent) {
  HWND w = Top();
  HWND c = Child(w, 10, 20, 30, 40, 1);
  paintColours[c] = RGB(0, 0, 200);
  // The parent has no WS_CLIPCHILDREN: the child is repainted after it.
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);
  HeadlessImage shown = HeadlessPixels(w);
  ASSERT_EQ(shown.width, 300);
  ASSERT_EQ(shown.height, 200);
  EXPECT_EQ(shown.Colour(5, 5), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(shown.Colour(10, 20), RGB(0, 0, 200));
  EXPECT_EQ(shown.Colour(39, 59), RGB(0, 0, 200));
  EXPECT_EQ(shown.Colour(40, 59), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(shown.Colour(39, 60), GetSysColor(COLOR_BTNFACE));

  // A hidden child gives its place back to the parent.
  ShowWindow(c, SW_HIDE);
  UpdateWindow(w);
  EXPECT_EQ(HeadlessPixels(w).Colour(15, 25), GetSysColor(COLOR_BTNFACE));
}

TEST_F(HeadlessTest, WindowContextsDrawAndShowAtOnceAndClipToTheirWindow) {
  HWND w = Top("HeadlessPlain", 300, 200, WS_OVERLAPPEDWINDOW);
  HWND c = Child(w, 50, 50, 20, 20, 1);
  HDC dc = GetDC(c);
  ASSERT_NE(dc, nullptr);
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  RECT big{-10, -10, 100, 100};
  FillRect(dc, &big, green);
  DeleteObject(green);
  const int presents = HeadlessWindow(w).presents;
  ReleaseDC(c, dc);
  EXPECT_GT(HeadlessWindow(w).presents, presents);
  const HeadlessImage shown = HeadlessPixels(w);
  EXPECT_EQ(shown.Colour(50, 50), RGB(0, 255, 0));
  EXPECT_EQ(shown.Colour(69, 69), RGB(0, 255, 0));
  EXPECT_EQ(shown.Colour(70, 69), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(shown.Colour(49, 50), GetSysColor(COLOR_BTNFACE));

  // The direct path: a window context's pixels, at its own origin.
  dc = GetDC(c);
  DC_PIXELS pixels{};
  ASSERT_TRUE(GetDCPixels(dc, &pixels));
  EXPECT_EQ(pixels.width, 20);
  pixels.bits[3 * pixels.stride + 2] = 0x00123456;
  EXPECT_EQ(GetPixel(dc, 2, 3), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(GetPixel(dc, 20, 0), CLR_INVALID);
  ReleaseDC(c, dc);
  EXPECT_EQ(HeadlessPixels(c).At(2, 3), 0x00123456u);

  // A context out while the user resizes the window follows the new surface.
  dc = GetDC(w);
  HeadlessSize(w, 500, 400);
  RECT client;
  GetClientRect(w, &client);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  FillRect(dc, &client, blue);
  DeleteObject(blue);
  EXPECT_EQ(GetPixel(dc, client.right - 1, client.bottom - 1), RGB(0, 0, 255));
  ReleaseDC(w, dc);
  EXPECT_EQ(HeadlessPixels(w).Colour(client.right - 1, client.bottom - 1), RGB(0, 0, 255));
}

// ---------------------------------------------------------------------------
// Waiting

TEST_F(HeadlessTest, StepsRunWhenTheThreadWouldBlock) {
  HWND w = Top();
  std::vector<int> ran;
  HeadlessAddStep([&] {
    ran.push_back(1);
    HeadlessKeyPress(0x39);
  });
  HeadlessAddStep([&] { ran.push_back(2); });
  EXPECT_EQ(HeadlessStepsLeft(), 2u);
  MSG m;
  ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));  // blocks: step 1 runs
  EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(m.hwnd, w);
  EXPECT_EQ(ran, std::vector<int>{1});
  ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));  // the key's release is there already
  EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(HeadlessStepsLeft(), 1u);

  // A timed wait runs a step too; with none left it times out at once.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  const DWORD before = HeadlessTime();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(HeadlessTime() - before, 5000u);
}

struct Blocked {
  std::string waiter;
};

[[noreturn]] void ThrowBlocked(const char* waiter) { throw Blocked{waiter}; }

// A wait with no step left would hang the test run: it fails instead, with
// the waiting call named, or as the blocked hook decides.
TEST_F(HeadlessTest, BlockingWithNoStepLeftFailsWithTheWaitingCall) {
  EXPECT_DEATH(
      {
        MSG m;
        GetMessageA(&m, nullptr, 0, 0);
      },
      "GetMessageA would wait for input for ever, and no test step is left");
  EXPECT_DEATH(WaitMessage(), "WaitMessage would wait");

  HeadlessBlockedHook previous = HeadlessSetBlockedHook(ThrowBlocked);
  std::string waiter;
  try {
    MSG m;
    GetMessageA(&m, nullptr, 0, 0);
  } catch (const Blocked& b) {
    waiter = b.waiter;
  }
  HeadlessSetBlockedHook(previous);
  EXPECT_EQ(waiter, "GetMessageA");
}

// ---------------------------------------------------------------------------
// A display that leaves operations out: the headless one with entries removed

class PartialDisplayTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    partial_ = HeadlessDisplay();
  }
  void TearDown() override {
    DisplayUse(&HeadlessDisplay());
    HeadlessSetScreenSize(1024, 768);
    HeadlessTest::TearDown();
  }
  DisplayOperations partial_{};
};

TEST_F(PartialDisplayTest, WithoutOpenThereIsNoDisplayAndNoWindowOrBox) {
  partial_.open = nullptr;
  DisplayUse(&partial_);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CreateWindowExA(0, "HeadlessPlain", "Top", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                            nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "kelpie: no display could be opened\n");

  // Another display is opened afresh.
  DisplayUse(&HeadlessDisplay());
  EXPECT_NE(Top(), nullptr);
}

TEST_F(PartialDisplayTest, LeftOutOperationsDoNothingOrAnswerTheirDefault) {
  partial_.screenSize = nullptr;
  partial_.setTitle = nullptr;
  partial_.present = nullptr;
  partial_.setCursor = nullptr;
  partial_.showMessageBox = nullptr;
  DisplayUse(&partial_);
  HeadlessSetScreenSize(640, 480);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);

  HWND w = Top();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(SetWindowTextA(w, "Renamed"));
  EXPECT_EQ(HeadlessWindow(w).title, "Top");
  paintColours[w] = RGB(255, 0, 0);
  InvalidateRect(w, nullptr, TRUE);
  Pump();
  EXPECT_EQ(HeadlessWindow(w).presents, 0);
  const UINT shape = HeadlessCursorShape();
  SetCursor(LoadCursorA(nullptr, shape == 32513 ? IDC_ARROW : IDC_IBEAM));
  EXPECT_EQ(HeadlessCursorShape(), shape);
  HeadlessAnswerMessageBox(IDOK);
  EXPECT_EQ(MessageBoxA(w, "text", "caption", MB_OK), 0);
  EXPECT_EQ(HeadlessLastMessageBox().shown, 0);
  HeadlessClearAnswers();
}

TEST_F(PartialDisplayTest, WithoutWaitATimedWaitSleepsAndAnEndlessOneStops) {
  partial_.wait = nullptr;
  DisplayUse(&partial_);
  HeadlessAddStep([] { HeadlessKeyPress(0x39); });  // never run: nothing waits on the display
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(30));
  EXPECT_EQ(HeadlessStepsLeft(), 1u);
  EXPECT_DEATH(WaitMessage(), "WaitMessage would wait for ever: no display reports anything");
}

}  // namespace

// The thread's message queue. Sent messages run at once (one thread owns
// every window); GetMessageA and PeekMessageA take posted messages first,
// then WM_QUIT, then input, then a WM_PAINT made up for the first window
// that needs painting. Input is turned into its window message when it is
// looked at: the capture, the focus and hit testing decide where it goes
// then, as on Win32, and the key state changes as it is retrieved.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

namespace {

struct QueuedInput {
  InputEvent event;
  bool resolved = false;
  bool dropped = false;
  MSG message{};
};

struct Queue {
  std::deque<MSG> posted;
  std::deque<QueuedInput> input;
  bool quit = false;
  int quitCode = 0;
  MSG last{};  // GetMessagePos, GetMessageTime
  // The last button press, for double clicks.
  HWND clickWindow = nullptr;
  UINT clickMessage = 0;
  DWORD clickTime = 0;
  POINT clickPoint{};
};

Queue& TheQueue() {
  static auto* queue = new Queue;
  return *queue;
}

bool InRange(UINT message, UINT low, UINT high) {
  return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool ForWindow(HWND target, HWND filter) {
  if (filter == nullptr) {
    return true;
  }
  if (filter == FromNumber<HWND>(-1)) {
    return target == nullptr;
  }
  return target == filter || IsChild(filter, target);
}

WPARAM MouseKeys() {
  WPARAM keys = 0;
  if (KeyIsDown(VK_LBUTTON)) {
    keys |= MK_LBUTTON;
  }
  if (KeyIsDown(VK_RBUTTON)) {
    keys |= MK_RBUTTON;
  }
  if (KeyIsDown(VK_MBUTTON)) {
    keys |= MK_MBUTTON;
  }
  if (KeyIsDown(VK_SHIFT)) {
    keys |= MK_SHIFT;
  }
  if (KeyIsDown(VK_CONTROL)) {
    keys |= MK_CONTROL;
  }
  return keys;
}

bool IsButtonDown(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

// Turns a key into WM_KEYDOWN/WM_KEYUP or their WM_SYS* forms for the focus,
// or for the active window when nothing has the focus.
bool ResolveKey(QueuedInput* q) {
  const InputEvent& e = q->event;
  const bool down = e.message == WM_KEYDOWN;
  HWND target = GetFocus();
  bool sys = false;
  if (target == nullptr) {
    target = GetActiveWindow();
    sys = true;
  }
  const bool alt = e.vk == VK_MENU ? down : KeyIsDown(VK_MENU);
  if (alt && !KeyIsDown(VK_CONTROL)) {
    sys = true;
  }
  if (e.vk == VK_F10) {
    sys = true;
  }
  const Window* w = Peek(target);
  if (w == nullptr || !IsEnabledTree(w)) {
    return false;
  }
  UINT message = down ? WM_KEYDOWN : WM_KEYUP;
  if (sys) {
    message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
  }
  const bool wasDown = KeyIsDown(e.vk);
  q->message = MSG{target, message, e.vk, KeyLParam(e.scan, down, wasDown, alt), e.time, e.screen};
  return true;
}

// Finds the window under the point (or the capture) and makes the client or
// non-client mouse message, a double click where the class asks for them.
bool ResolveMouse(QueuedInput* q) {
  Queue& queue = TheQueue();
  const InputEvent& e = q->event;
  HWND target = GetCapture();
  int hit = HTCLIENT;
  if (e.kind == InputEvent::kNonClient) {
    target = e.target;
    hit = e.hitTest;
  } else if (target == nullptr) {
    HWND top = e.target;
    if (top == nullptr) {
      const HWND at = WindowFromPoint(e.screen);
      top = at != nullptr ? TopLevelOf(at) : nullptr;
    }
    target = top != nullptr ? WindowAtPoint(top, e.screen, &hit) : nullptr;
  }
  const Window* w = Peek(target);
  if (w == nullptr || !IsEnabledTree(w)) {
    return false;
  }
  UINT message = e.message;
  LPARAM lParam;
  WPARAM wParam;
  if (hit == HTCLIENT) {
    POINT p = e.screen;
    ScreenToClient(target, &p);
    lParam = MAKELPARAM(p.x, p.y);
    wParam = MouseKeys();
    if (e.message != WM_MOUSEMOVE) {
      // The button state already counts this press or release.
      const WPARAM bit = e.message <= WM_LBUTTONUP   ? MK_LBUTTON
                         : e.message <= WM_RBUTTONUP ? MK_RBUTTON
                                                     : MK_MBUTTON;
      wParam = IsButtonDown(e.message) ? (wParam | bit) : (wParam & ~bit);
    }
  } else {
    message = e.message - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
    wParam = static_cast<WPARAM>(hit);
    lParam = MAKELPARAM(e.screen.x, e.screen.y);
  }
  if (IsButtonDown(e.message) && e.kind == InputEvent::kMouse) {
    const int dx = std::abs(e.screen.x - queue.clickPoint.x);
    const int dy = std::abs(e.screen.y - queue.clickPoint.y);
    const bool again = queue.clickWindow == target && queue.clickMessage == e.message &&
                       e.time - queue.clickTime <= GetDoubleClickTime() &&
                       dx <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                       dy <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    const bool classAllows = hit != HTCLIENT || (w->cls->info.style & CS_DBLCLKS) != 0;
    if (again && classAllows) {
      message += WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
      queue.clickWindow = nullptr;
    } else {
      queue.clickWindow = target;
      queue.clickMessage = e.message;
      queue.clickTime = e.time;
      queue.clickPoint = e.screen;
    }
  }
  q->message = MSG{target, message, wParam, lParam, e.time, e.screen};
  q->event.hitTest = hit;
  return true;
}

bool Resolve(QueuedInput* q) {
  if (!q->resolved) {
    q->resolved = true;
    q->dropped = q->event.kind == InputEvent::kKey ? !ResolveKey(q) : !ResolveMouse(q);
  }
  return !q->dropped;
}

// What retrieving an input message does besides handing it out: the key
// state, and for the mouse the cursor shape and activation by a click.
// False when the click was eaten by WM_MOUSEACTIVATE.
bool Retrieve(QueuedInput* q) {
  const MSG& m = q->message;
  KeyStateAfterRetrieval(m, q->event);
  if (q->event.kind == InputEvent::kKey || GetCapture() != nullptr) {
    return true;
  }
  const HWND target = m.hwnd;
  const UINT mouse = q->event.message;
  const Window* after = SendAndPeek(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                                    MAKELPARAM(q->event.hitTest, mouse));
  if (!IsButtonDown(mouse) || after == nullptr) {
    return true;
  }
  const HWND top = TopLevelOf(target);
  if (top == GetActiveWindow() || Peek(top) == nullptr) {
    return true;
  }
  const LRESULT how = Send(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                           MAKELPARAM(q->event.hitTest, mouse));
  if (how == MA_ACTIVATE || how == MA_ACTIVATEANDEAT) {
    ActivateWindow(top, true);
    DisplayActivateWindow(top);
  }
  return how != MA_ACTIVATEANDEAT && how != MA_NOACTIVATEANDEAT;
}

// One pass over the queue; true with `out` filled when a message was found.
bool TakeMessage(MSG* out, HWND filter, UINT low, UINT high, bool remove) {
  Queue& queue = TheQueue();
  ReapDestroyed();
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!ForWindow(it->hwnd, filter) || !InRange(it->message, low, high)) {
      continue;
    }
    *out = *it;
    if (remove) {
      queue.posted.erase(it);
    }
    return true;
  }
  if (queue.quit && (filter == nullptr || filter == FromNumber<HWND>(-1)) &&
      InRange(WM_QUIT, low, high)) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, Now(), CursorPosition()};
    if (remove) {
      queue.quit = false;
    }
    return true;
  }
  for (size_t i = 0; i < queue.input.size();) {
    QueuedInput& q = queue.input[i];
    if (!Resolve(&q)) {
      // Input that no window takes still moves the keys and buttons, or a
      // key released meanwhile would stay down.
      KeyStateAfterRetrieval(q.message, q.event);
      queue.input.erase(queue.input.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (!ForWindow(q.message.hwnd, filter) || !InRange(q.message.message, low, high)) {
      ++i;
      continue;
    }
    if (!remove) {
      *out = q.message;
      return true;
    }
    QueuedInput taken = q;
    queue.input.erase(queue.input.begin() + static_cast<std::ptrdiff_t>(i));
    if (!Retrieve(&taken)) {
      continue;
    }
    if (Peek(taken.message.hwnd) == nullptr) {
      continue;
    }
    *out = taken.message;
    return true;
  }
  if (InRange(WM_PAINT, low, high)) {
    if (HWND window = NextWindowToPaint(filter)) {
      *out = MSG{window, WM_PAINT, 0, 0, Now(), CursorPosition()};
      return true;
    }
  }
  return false;
}

void Remember(const MSG& message) { TheQueue().last = message; }

}  // namespace

void QueueInput(const InputEvent& event) {
  Queue& queue = TheQueue();
  // Moves in a row collapse into the latest one, as on Win32.
  if (event.kind == InputEvent::kMouse && event.message == WM_MOUSEMOVE && !queue.input.empty()) {
    QueuedInput& last = queue.input.back();
    if (last.event.kind == InputEvent::kMouse && last.event.message == WM_MOUSEMOVE &&
        !last.resolved) {
      last.event = event;
      return;
    }
  }
  QueuedInput q;
  q.event = event;
  queue.input.push_back(q);
}

bool QueueHasMessages(UINT wakeMask) {
  Queue& queue = TheQueue();
  if ((wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0 &&
      (!queue.posted.empty() || queue.quit)) {
    return true;
  }
  if ((wakeMask & QS_INPUT) != 0 && !queue.input.empty()) {
    return true;
  }
  return (wakeMask & QS_PAINT) != 0 && NextWindowToPaint(nullptr) != nullptr;
}

DWORD Now() {
  using namespace std::chrono;
  return static_cast<DWORD>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD LastMessageTime() { return TheQueue().last.time; }

// Messages posted to a window that is gone are never delivered.
void PurgeWindowMessages(HWND window) {
  Queue& queue = TheQueue();
  queue.posted.erase(std::remove_if(queue.posted.begin(), queue.posted.end(),
                                    [&](const MSG& m) { return m.hwnd == window; }),
                     queue.posted.end());
}

}  // namespace user

using namespace user;

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    MSG m{};
    if (!TakeMessage(&m, window, filterMin, filterMax, (remove & PM_REMOVE) != 0)) {
      return FALSE;
    }
    if (message != nullptr) {
      *message = m;
    }
    if ((remove & PM_REMOVE) != 0) {
      Remember(m);
    }
    return TRUE;
  });
}

BOOL GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  return OrOutOfMemory(BOOL{-1}, [&]() -> BOOL {
    MSG m{};
    while (!TakeMessage(&m, window, filterMin, filterMax, true)) {
      DisplayWait(INFINITE, "GetMessageA");
    }
    if (message != nullptr) {
      *message = m;
    }
    Remember(m);
    return m.message == WM_QUIT ? FALSE : TRUE;
  });
}

BOOL WaitMessage() {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (!QueueHasMessages(QS_ALLINPUT)) {
      DisplayWait(INFINITE, "WaitMessage");
    }
    return TRUE;
  });
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE*, BOOL, DWORD milliseconds,
                                DWORD wakeMask) {
  return OrOutOfMemory(WAIT_FAILED, [&]() -> DWORD {
    if (count != 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return WAIT_FAILED;
    }
    if (QueueHasMessages(wakeMask)) {
      return WAIT_OBJECT_0;
    }
    if (milliseconds == 0) {
      return WAIT_TIMEOUT;
    }
    DisplayWait(milliseconds, "MsgWaitForMultipleObjects");
    return QueueHasMessages(wakeMask) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  });
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (window != nullptr && Find(window) == nullptr) {
      return FALSE;
    }
    TheQueue().posted.push_back(MSG{window, message, wParam, lParam, Now(), CursorPosition()});
    return TRUE;
  });
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    return PostMessageA(nullptr, message, wParam, lParam);
  });
}

void PostQuitMessage(int exitCode) {
  Allocated([&] {
    Queue& queue = TheQueue();
    queue.quit = true;
    queue.quitCode = exitCode;
  });
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return OrOutOfMemory(LRESULT{0}, [&]() -> LRESULT {
    if (Find(window) == nullptr) {
      return 0;
    }
    return Send(window, message, wParam, lParam);
  });
}

LRESULT DispatchMessageA(const MSG* message) {
  return OrOutOfMemory(LRESULT{0}, [&]() -> LRESULT {
    if (message == nullptr || message->hwnd == nullptr) {
      return 0;
    }
    if (Find(message->hwnd) == nullptr) {
      return 0;
    }
    return Send(message->hwnd, message->message, message->wParam, message->lParam);
  });
}

BOOL TranslateMessage(const MSG* message) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (message == nullptr) {
      return FALSE;
    }
    const UINT m = message->message;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN && m != WM_KEYUP && m != WM_SYSKEYUP) {
      return FALSE;
    }
    if (m == WM_KEYUP || m == WM_SYSKEYUP) {
      return TRUE;
    }
    BYTE keys[256];
    GetKeyboardState(keys);
    WORD out = 0;
    const UINT scan = (static_cast<UINT>(message->lParam) >> 16) & 0xFF;
    if (ToAsciiEx(static_cast<UINT>(message->wParam), scan, keys, &out, 0, GetKeyboardLayout(0)) ==
        1) {
      PostMessageA(message->hwnd, m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, out & 0xFF,
                   message->lParam);
    }
    return TRUE;
  });
}

DWORD GetMessagePos() {
  const MSG& m = TheQueue().last;
  return static_cast<DWORD>(MAKELONG(m.pt.x, m.pt.y));
}

LONG GetMessageTime() { return static_cast<LONG>(TheQueue().last.time); }

BOOL InSendMessage() { return FALSE; }

// ---------------------------------------------------------------------------
// Accelerators

namespace {

std::map<HACCEL, std::vector<ACCEL>>& Tables() {
  static auto* tables = new std::map<HACCEL, std::vector<ACCEL>>;
  return *tables;
}

}  // namespace

HACCEL CreateAcceleratorTableA(LPACCEL entries, int count) {
  return OrOutOfMemory(HACCEL{}, [&]() -> HACCEL {
    if (entries == nullptr || count <= 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    static uintptr_t next = 0x30000;
    auto handle = FromParam<HACCEL>(next);
    next += 4;
    Tables()[handle].assign(entries, entries + count);
    return handle;
  });
}

BOOL DestroyAcceleratorTable(HACCEL table) { return Tables().erase(table) != 0 ? TRUE : FALSE; }

int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG message) {
  return OrOutOfMemory(0, [&]() -> int {
    if (window == nullptr || message == nullptr) {
      return 0;
    }
    auto it = Tables().find(table);
    if (it == Tables().end()) {
      SetLastError(ERROR_INVALID_ACCEL_HANDLE);
      return 0;
    }
    const UINT m = message->message;
    const bool keyDown = m == WM_KEYDOWN || m == WM_SYSKEYDOWN;
    const bool character = m == WM_CHAR || m == WM_SYSCHAR;
    if (!keyDown && !character) {
      return 0;
    }
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    for (const ACCEL& a : it->second) {
      const bool virtualKey = (a.fVirt & FVIRTKEY) != 0;
      if (virtualKey != keyDown || a.key != message->wParam) {
        continue;
      }
      if (virtualKey &&
          (((a.fVirt & FSHIFT) != 0) != shift || ((a.fVirt & FCONTROL) != 0) != control)) {
        continue;
      }
      if (((a.fVirt & FALT) != 0) != alt) {
        continue;
      }
      if (Find(window) == nullptr) {
        return 0;
      }
      SendMessageA(window, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
      return 1;
    }
    return 0;
  });
}

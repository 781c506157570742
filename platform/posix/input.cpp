// The keyboard: a US layout (scan codes, virtual keys, characters), the
// thread's key state as retrieved messages leave it, the asynchronous state
// as the display reports it, and the input calls displays make.

#include "platform/posix/input.h"

#include <cstring>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

namespace {

// The US layout's set-1 scan codes 0x00..0x58 without the E0 prefix. Scan
// code 0x37 is the keypad's multiply key (E0 37 is Print Screen).
constexpr BYTE kScanToVk[0x60] = {
    0,           VK_ESCAPE,    '1',           '2',         '3',
    '4',         '5',          '6',           '7',         '8',
    '9',         '0',          VK_OEM_MINUS,  VK_OEM_PLUS, VK_BACK,
    VK_TAB,      'Q',          'W',           'E',         'R',
    'T',         'Y',          'U',           'I',         'O',
    'P',         VK_OEM_4,     VK_OEM_6,      VK_RETURN,   VK_CONTROL,
    'A',         'S',          'D',           'F',         'G',
    'H',         'J',          'K',           'L',         VK_OEM_1,
    VK_OEM_7,    VK_OEM_3,     VK_SHIFT,      VK_OEM_5,    'Z',
    'X',         'C',          'V',           'B',         'N',
    'M',         VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2,    VK_SHIFT,
    VK_MULTIPLY, VK_MENU,      VK_SPACE,      VK_CAPITAL,  VK_F1,
    VK_F2,       VK_F3,        VK_F4,         VK_F5,       VK_F6,
    VK_F7,       VK_F8,        VK_F9,         VK_F10,      VK_NUMLOCK,
    VK_SCROLL,   VK_HOME,      VK_UP,         VK_PRIOR,    VK_SUBTRACT,
    VK_LEFT,     VK_CLEAR,     VK_RIGHT,      VK_ADD,      VK_END,
    VK_DOWN,     VK_NEXT,      VK_INSERT,     VK_DELETE,   0,
    0,           VK_OEM_102,   VK_F11,        VK_F12,      0,
    0,           VK_LWIN,      VK_RWIN,       VK_APPS,     0,
    0,
};

// Keys that send an E0 prefix, by their set-1 code.
BYTE ExtendedScanToVk(UINT code) {
  switch (code) {
    case 0x1C:
      return VK_RETURN;
    case 0x1D:
      return VK_CONTROL;
    case 0x35:
      return VK_DIVIDE;
    case 0x37:
      return VK_SNAPSHOT;
    case 0x38:
      return VK_MENU;
    case 0x45:
      return VK_PAUSE;
    case 0x47:
      return VK_HOME;
    case 0x48:
      return VK_UP;
    case 0x49:
      return VK_PRIOR;
    case 0x4B:
      return VK_LEFT;
    case 0x4D:
      return VK_RIGHT;
    case 0x4F:
      return VK_END;
    case 0x50:
      return VK_DOWN;
    case 0x51:
      return VK_NEXT;
    case 0x52:
      return VK_INSERT;
    case 0x53:
      return VK_DELETE;
    case 0x5B:
      return VK_LWIN;
    case 0x5C:
      return VK_RWIN;
    case 0x5D:
      return VK_APPS;
    default:
      return 0;
  }
}

// The keypad's digit keys with Num Lock on, from home (0x47) to delete (0x53).
constexpr BYTE kKeypadNumbers[13] = {VK_NUMPAD7, VK_NUMPAD8, VK_NUMPAD9, 0,          VK_NUMPAD4,
                                     VK_NUMPAD5, VK_NUMPAD6, 0,          VK_NUMPAD1, VK_NUMPAD2,
                                     VK_NUMPAD3, VK_NUMPAD0, VK_DECIMAL};

struct ShiftPair {
  BYTE vk;
  char plain;
  char shifted;
};

constexpr ShiftPair kCharacters[] = {
    {'1', '1', '!'},          {'2', '2', '@'},           {'3', '3', '#'},
    {'4', '4', '$'},          {'5', '5', '%'},           {'6', '6', '^'},
    {'7', '7', '&'},          {'8', '8', '*'},           {'9', '9', '('},
    {'0', '0', ')'},          {VK_OEM_MINUS, '-', '_'},  {VK_OEM_PLUS, '=', '+'},
    {VK_OEM_4, '[', '{'},     {VK_OEM_6, ']', '}'},      {VK_OEM_1, ';', ':'},
    {VK_OEM_7, '\'', '"'},    {VK_OEM_3, '`', '~'},      {VK_OEM_5, '\\', '|'},
    {VK_OEM_COMMA, ',', '<'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
    {VK_OEM_102, '\\', '|'},  {VK_SPACE, ' ', ' '},      {VK_MULTIPLY, '*', '*'},
    {VK_ADD, '+', '+'},       {VK_SUBTRACT, '-', '-'},   {VK_DIVIDE, '/', '/'},
    {VK_RETURN, '\r', '\r'},  {VK_BACK, '\b', '\b'},     {VK_TAB, '\t', '\t'},
    {VK_ESCAPE, 0x1B, 0x1B},
};

const HKL kUsLayout = FromNumber<HKL>(0x04090409);

struct KeyState {
  BYTE sync[256] = {};       // GetKeyState: as retrieved messages left it
  BYTE async[256] = {};      // GetAsyncKeyState: as the display reported it
  BYTE scanCodes[256] = {};  // DirectInput numbering, as retrieved
  POINT cursor{};
};

KeyState& Keys() {
  static KeyState keys;  // made without allocating
  return keys;
}

// The left/right key of a generic Shift, Control or Alt key press.
BYTE SidedKey(UINT scan) {
  switch (scan) {
    case 0x2A:
      return VK_LSHIFT;
    case 0x36:
      return VK_RSHIFT;
    case 0x1D:
      return VK_LCONTROL;
    case 0x9D:
      return VK_RCONTROL;
    case 0x38:
      return VK_LMENU;
    case 0xB8:
      return VK_RMENU;
    default:
      return 0;
  }
}

void SetDown(BYTE* table, UINT vk, bool down) {
  if (down) {
    if ((table[vk] & 0x80) == 0) {
      table[vk] ^= 0x01;  // toggled by each press
    }
    table[vk] |= 0x80;
  } else {
    table[vk] &= 0x7F;
  }
}

UINT VkToScan(UINT vk) {
  switch (vk) {
    case VK_LSHIFT:
      return 0x2A;
    case VK_RSHIFT:
      return 0x36;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return 0x1D;
    case VK_LMENU:
    case VK_RMENU:
      return 0x38;
    default:
      break;
  }
  for (UINT scan = 1; scan < sizeof kScanToVk; ++scan) {
    if (kScanToVk[scan] == vk) {
      return scan;
    }
  }
  for (UINT code = 1; code < 0x80; ++code) {
    if (ExtendedScanToVk(code) == vk) {
      return code;
    }
  }
  return 0;
}

}  // namespace

UINT ScanToVirtualKey(UINT scan) {
  UINT vk = 0;
  if (scan >= 0x80) {
    vk = ExtendedScanToVk(scan & 0x7F);
  } else if (scan < sizeof kScanToVk) {
    vk = kScanToVk[scan];
    if (scan >= 0x47 && scan <= 0x53 && (Keys().async[VK_NUMLOCK] & 0x01) != 0 &&
        kKeypadNumbers[scan - 0x47] != 0) {
      vk = kKeypadNumbers[scan - 0x47];
    }
  }
  return vk != 0 ? vk : 0xFF;
}

LPARAM KeyLParam(UINT scan, bool down, bool wasDown, bool alt) {
  DWORD l = 1 | ((scan & 0x7F) << 16);
  if (scan >= 0x80) {
    l |= 1u << 24;
  }
  if (alt) {
    l |= 1u << 29;
  }
  if (wasDown || !down) {
    l |= 1u << 30;
  }
  if (!down) {
    l |= 1u << 31;
  }
  return static_cast<LPARAM>(l);
}

bool KeyIsDown(UINT vk) { return vk < 256 && (Keys().sync[vk] & 0x80) != 0; }

bool KeyWasDownAsync(UINT vk) { return vk < 256 && (Keys().async[vk] & 0x80) != 0; }

void AsyncKeyState(UINT vk, bool down) { SetDown(Keys().async, vk & 0xFF, down); }

void KeyStateAfterRetrieval(const MSG& message, const InputEvent& event) {
  KeyState& k = Keys();
  if (event.kind == InputEvent::kKey) {
    const bool down = event.message == WM_KEYDOWN;
    SetDown(k.sync, event.vk & 0xFF, down);
    if (const BYTE sided = SidedKey(event.scan)) {
      SetDown(k.sync, sided, down);
    }
    k.scanCodes[event.scan & 0xFF] = down ? 0x80 : 0;
    return;
  }
  switch (event.message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      if (event.kind == InputEvent::kMouse) {
        SetDown(k.sync, VK_LBUTTON, event.message == WM_LBUTTONDOWN);
      }
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      SetDown(k.sync, VK_RBUTTON, event.message == WM_RBUTTONDOWN);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      SetDown(k.sync, VK_MBUTTON, event.message == WM_MBUTTONDOWN);
      break;
    default:
      break;
  }
  (void)message;
}

POINT CursorPosition() { return Keys().cursor; }

void SetCursorPosition(POINT screen) { Keys().cursor = screen; }

}  // namespace user

using namespace user;

// ---------------------------------------------------------------------------
// Key state and layout

SHORT GetKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) {
    return 0;
  }
  const BYTE b = Keys().sync[virtualKey];
  return static_cast<SHORT>(((b & 0x80) != 0 ? 0x8080 : 0) | (b & 0x01));
}

SHORT GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) {
    return 0;
  }
  return static_cast<SHORT>((Keys().async[virtualKey] & 0x80) != 0 ? 0x8000 : 0);
}

BOOL GetKeyboardState(PBYTE keyState) {
  if (keyState == nullptr) {
    return FALSE;
  }
  std::memcpy(keyState, Keys().sync, 256);
  return TRUE;
}

BOOL SetKeyboardState(PBYTE keyState) {
  if (keyState == nullptr) {
    return FALSE;
  }
  std::memcpy(Keys().sync, keyState, 256);
  return TRUE;
}

HKL GetKeyboardLayout(DWORD) { return kUsLayout; }

UINT MapVirtualKeyExA(UINT code, UINT mapType, HKL) {
  switch (mapType) {
    case MAPVK_VK_TO_VSC:
      return VkToScan(code);
    case MAPVK_VSC_TO_VK:
    case MAPVK_VSC_TO_VK_EX: {
      UINT vk = 0;
      if ((code & 0xFF00) == 0xE000) {
        vk = ExtendedScanToVk(code & 0xFF);
      } else if (code < sizeof kScanToVk) {
        vk = kScanToVk[code];
      }
      if (mapType == MAPVK_VSC_TO_VK_EX) {
        const UINT sided = SidedKey((code & 0xFF00) == 0xE000 ? (code & 0x7F) | 0x80 : code);
        if (sided != 0) {
          vk = sided;
        }
      }
      return vk;
    }
    case MAPVK_VK_TO_CHAR:
      if (code >= 'A' && code <= 'Z') {
        return code;
      }
      for (const ShiftPair& p : kCharacters) {
        if (p.vk == code) {
          return static_cast<BYTE>(p.plain);
        }
      }
      return 0;
    default:
      return 0;
  }
}

int ToAsciiEx(UINT virtualKey, UINT scanCode, const BYTE* keyState, LPWORD out, UINT, HKL) {
  if (out == nullptr || keyState == nullptr || (scanCode & 0x8000) != 0) {
    return 0;
  }
  auto down = [&](UINT vk) { return (keyState[vk] & 0x80) != 0; };
  const bool shift = down(VK_SHIFT) || down(VK_LSHIFT) || down(VK_RSHIFT);
  const bool control = down(VK_CONTROL) || down(VK_LCONTROL) || down(VK_RCONTROL);
  const bool alt = down(VK_MENU) || down(VK_LMENU) || down(VK_RMENU);
  const bool caps = (keyState[VK_CAPITAL] & 0x01) != 0;
  const bool numLock = (keyState[VK_NUMLOCK] & 0x01) != 0;
  if (control && alt) {
    return 0;
  }
  WORD c = 0;
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    if (control) {
      c = static_cast<WORD>(virtualKey - 'A' + 1);
    } else {
      c = static_cast<WORD>(shift != caps ? virtualKey : virtualKey - 'A' + 'a');
    }
  } else if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9) {
    if (!numLock) {
      return 0;
    }
    c = static_cast<WORD>('0' + virtualKey - VK_NUMPAD0);
  } else if (virtualKey == VK_DECIMAL) {
    if (!numLock) {
      return 0;
    }
    c = '.';
  } else if (control) {
    switch (virtualKey) {
      case VK_OEM_4:
        c = 0x1B;
        break;
      case VK_OEM_5:
        c = 0x1C;
        break;
      case VK_OEM_6:
        c = 0x1D;
        break;
      case VK_SPACE:
        c = ' ';
        break;
      case VK_RETURN:
        c = '\n';
        break;
      case VK_BACK:
        c = 0x7F;
        break;
      case VK_ESCAPE:
        c = 0x1B;
        break;
      default:
        return 0;
    }
  } else {
    for (const ShiftPair& p : kCharacters) {
      if (p.vk == virtualKey) {
        c = static_cast<BYTE>(shift ? p.shifted : p.plain);
        break;
      }
    }
    if (c == 0) {
      return 0;
    }
  }
  *out = c;
  return 1;
}

// ---------------------------------------------------------------------------
// Input calls of the display

void InputKey(UINT scanCode, bool down, DWORD time) {
  Allocated([&] {
    scanCode &= 0xFF;
    const UINT vk = ScanToVirtualKey(scanCode);
    AsyncKeyState(vk, down);
    if (const BYTE sided = SidedKey(scanCode)) {
      AsyncKeyState(sided, down);
    }
    InputEvent e;
    e.kind = InputEvent::kKey;
    e.message = down ? WM_KEYDOWN : WM_KEYUP;
    e.scan = scanCode;
    e.vk = vk;
    e.screen = CursorPosition();
    e.time = time;
    QueueInput(e);
  });
}

namespace {

POINT ToScreen(HWND window, POINT point) {
  if (window != nullptr) {
    ClientToScreen(window, &point);
  }
  return point;
}

}  // namespace

void InputMouseMove(HWND window, POINT point, DWORD time) {
  Allocated([&] {
    InputEvent e;
    e.kind = InputEvent::kMouse;
    e.message = WM_MOUSEMOVE;
    e.target = window;
    e.screen = ToScreen(window, point);
    e.time = time;
    SetCursorPosition(e.screen);
    QueueInput(e);
  });
}

void InputMouseButton(HWND window, POINT point, int button, bool down, DWORD time) {
  Allocated([&] {
    if (button < 0 || button > 2) {
      return;
    }
    static const UINT keys[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
    AsyncKeyState(keys[button], down);
    InputEvent e;
    e.kind = InputEvent::kMouse;
    e.message = static_cast<UINT>(WM_LBUTTONDOWN + 3 * button + (down ? 0 : 1));
    e.target = window;
    e.screen = ToScreen(window, point);
    e.time = time;
    SetCursorPosition(e.screen);
    QueueInput(e);
  });
}

void InputFrameButton(HWND window, int hitTest, DWORD time) {
  Allocated([&] {
    const Window* w = Peek(window);
    if (w == nullptr) {
      return;
    }
    const RECT r = ScreenRect(w);
    InputEvent e;
    e.kind = InputEvent::kNonClient;
    e.message = WM_LBUTTONDOWN;
    e.target = window;
    e.hitTest = hitTest;
    // A point on that part of the frame, for the message's lParam.
    switch (hitTest) {
      case HTCLOSE:
        e.screen = POINT{r.right - kFixedFrame - kCaption / 2, r.top + kFixedFrame + kCaption / 2};
        break;
      case HTLEFT:
      case HTTOPLEFT:
      case HTBOTTOMLEFT:
        e.screen = POINT{r.left, hitTest == HTLEFT ? (r.top + r.bottom) / 2
                                                   : (hitTest == HTTOPLEFT ? r.top : r.bottom - 1)};
        break;
      case HTRIGHT:
      case HTTOPRIGHT:
      case HTBOTTOMRIGHT:
        e.screen =
            POINT{r.right - 1, hitTest == HTRIGHT ? (r.top + r.bottom) / 2
                                                  : (hitTest == HTTOPRIGHT ? r.top : r.bottom - 1)};
        break;
      case HTTOP:
        e.screen = POINT{(r.left + r.right) / 2, r.top};
        break;
      case HTBOTTOM:
        e.screen = POINT{(r.left + r.right) / 2, r.bottom - 1};
        break;
      default:
        e.screen = POINT{(r.left + r.right) / 2, r.top + kFixedFrame + kCaption / 2};
        break;
    }
    e.time = time;
    QueueInput(e);
  });
}

void InputCloseBox(HWND window, DWORD time) { InputFrameButton(window, HTCLOSE, time); }

void InputActivate(HWND window) {
  Allocated([&] {
    if (window == nullptr) {
      ActivateWindow(nullptr, false);
      return;
    }
    const HWND top = TopLevelOf(window);
    const Window* w = Peek(top);
    if (w == nullptr || (w->style & WS_DISABLED) != 0) {
      return;
    }
    ActivateWindow(top, false);
  });
}

void InputMoved(HWND window, POINT position) {
  Allocated([&] {
    const Window* w = Peek(window);
    if (w == nullptr || !IsTopLevel(w)) {
      return;
    }
    SetWindowPosInternal(window, nullptr, position.x, position.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

void InputSized(HWND window, LONG width, LONG height) {
  Allocated([&] {
    const Window* w = Peek(window);
    if (w == nullptr || !IsTopLevel(w)) {
      return;
    }
    SetWindowPosInternal(window, nullptr, 0, 0, static_cast<int>(width), static_cast<int>(height),
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The program may have kept the window from taking that size.
    if ((w = Peek(window)) != nullptr && w->native &&
        (Width(w->rect) != width || Height(w->rect) != height)) {
      DisplaySetGeometry(window, w->rect, w->client);
    }
  });
}

void InputShowState(HWND window, int command) {
  Allocated([&] {
    const Window* w = Peek(window);
    if (w == nullptr || !IsTopLevel(w)) {
      return;
    }
    if (command == SW_MINIMIZE || command == SW_MAXIMIZE || command == SW_RESTORE) {
      ShowWindow(window, command);
    }
  });
}

void InputScanCodeState(BYTE state[256]) { std::memcpy(state, Keys().scanCodes, 256); }

// ---------------------------------------------------------------------------
// The pointer

BOOL GetCursorPos(LPPOINT point) {
  if (point == nullptr) {
    return FALSE;
  }
  *point = CursorPosition();
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  SetCursorPosition(POINT{x, y});
  DisplayMovePointer(POINT{x, y});
  return TRUE;
}

#include "toolkit/window/window.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "toolkit/base/memory.h"
#include "toolkit/base/object.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/window_data.h"
#include "toolkit/gfx/gadget.h"
#include "toolkit/window/sizing.h"

namespace {

constexpr int32_t kWindowTableStep = 16;
constexpr int32_t kAcceleratorCount = 2;
constexpr const char kMdiGadgetProperty[] = "Fx_MDI_Gadget";
constexpr const char kMdiChildClass[] = "MDI_ChildClass";
constexpr intptr_t kMenuProxyId = -10000;  // a control that speaks for menu items
constexpr UINT kRichEditGetOptions = 0x44E;
constexpr LRESULT kRichEditReadOnly = 0x800;
constexpr UINT kMdiDestroy = 0x221;
constexpr uint32_t kStyleMaximize = 0x1000000;
constexpr uint32_t kStyleMinimize = 0x20000000;
constexpr uint32_t kStyleCaption = 0xC00000;

using PaintHook = LRESULT (*)(HDC dc, HWND window);

struct WindowRecord {
  HWND window;  // 0 marks a free slot
  ACCEL* accelerators;
  HACCEL acceleratorTable;
  WNDPROC callback;
  int32_t acceleratorCount;
  HBRUSH backgroundBrush;
  HWND mdiClient;
  PaintHook paintHook;
  uint16_t bounds[4];  // min width, min height, max width, max height; 0 = none
  int32_t minMax;      // 1 while minimized or maximized
};

struct QueuedEvent {
  QueuedEvent* next;
  int32_t code;
  intptr_t window;
};

struct EventState {
  intptr_t itemId;
  intptr_t eventWindow;
  int32_t eventType;
  int32_t pending;
  WPARAM wParam;
  LPARAM lParam;
  QueuedEvent* head;
  QueuedEvent* tail;
  WNDPROC globalCallback;
  LPARAM dropData;
};

ObjectTable* windowTable = nullptr;
EventState* events = nullptr;
// A close request is never dropped: when no node can be had for it, it takes
// this one, so that the program can always be ended.
QueuedEvent closeReserve{};
bool closeReserveQueued = false;
HICON classIcon = nullptr;
HCURSOR classCursor = nullptr;

WindowRecord* Lookup(intptr_t number) {
  return static_cast<WindowRecord*>(ObjectLookup(windowTable, number));
}

void ClassName(intptr_t number, char (&name)[40]) {
  std::snprintf(name, sizeof name, "WindowClass_%" PRIdPTR, number);
}

void EventQueuePush(int32_t code, intptr_t number) {
  if (events == nullptr) {
    return;
  }
  if (events->tail != nullptr && events->tail->code == code && events->tail->window == number) {
    return;
  }
  auto* node = static_cast<QueuedEvent*>(ProgramAllocate(sizeof(QueuedEvent)));
  if (node == nullptr && code == EVENT_CLOSE && !closeReserveQueued) {
    closeReserve = {};
    closeReserveQueued = true;
    node = &closeReserve;
  }
  if (node == nullptr) {
    return;  // dropped
  }
  node->code = code;
  node->window = number;
  if (events->tail != nullptr) {
    events->tail->next = node;
  } else {
    events->head = node;
  }
  events->tail = node;
}

void Raise(int32_t code, intptr_t item) {
  events->pending = code;
  events->itemId = item;
}

// Frees what the toolkit made for a window whose platform window is gone.
void ReleaseWindowResources(ACCEL* accelerators, HACCEL table, HBRUSH brush) {
  if (accelerators != nullptr) {
    ProgramFree(accelerators);
    DestroyAcceleratorTable(table);
  }
  if (brush != nullptr) {
    DeleteObject(brush);
  }
}

BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) {
  SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

BOOL CALLBACK CollectTabStop(HWND child, LPARAM list) {
  if (IsWindowEnabled(child) && IsWindowVisible(child) &&
      (GetWindowLongPtrA(child, GWL_STYLE) & WS_TABSTOP) != 0) {
    FromWord<std::vector<HWND>*>(list)->push_back(child);
  }
  return TRUE;
}

WORD LowWord(WPARAM value) { return static_cast<WORD>(value & 0xFFFF); }
WORD HighWord(WPARAM value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }

LRESULT HandleCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  HWND control = FromWord<HWND>(lParam);
  if (GadgetForwardMessage(control, window, WM_COMMAND, wParam, lParam) != DEFAULT_PROCESSING) {
    return 0;
  }
  if (control != nullptr) {
    events->eventType = HighWord(wParam);
    const intptr_t id = GetWindowLongPtrA(control, GWLP_ID);
    if (id == kMenuProxyId) {
      Raise(EVENT_MENU, LowWord(wParam));
    } else {
      Raise(EVENT_GADGET, id);
    }
  } else if (HighWord(wParam) != 0 && LowWord(wParam) == CMD_FOCUS_NEXT) {
    FocusCycle(false);  // Tab's accelerator
  } else if (HighWord(wParam) != 0 && LowWord(wParam) == CMD_FOCUS_PREV) {
    FocusCycle(true);
  } else {
    Raise(EVENT_MENU, LowWord(wParam));  // a menu, or any other accelerator
  }
  return 0;
}

LRESULT HandleSize(HWND window, HWND found, intptr_t number, WindowRecord* record, WPARAM kind) {
  if (number == -1) {
    return DEFAULT_PROCESSING;
  }
  if (window != found) {
    return 1;
  }
  switch (kind) {
    case SIZE_MINIMIZED:
      if (record != nullptr) {
        record->minMax = 1;
      }
      EventQueuePush(EVENT_MINIMIZE, number);
      break;
    case SIZE_MAXIMIZED:
      if (record != nullptr) {
        record->minMax = 1;
      }
      EventQueuePush(EVENT_MAXIMIZE, number);
      EventQueuePush(EVENT_SIZE, number);
      break;
    case SIZE_RESTORED:
      if (record != nullptr && record->minMax != 0) {
        record->minMax = 0;
        EventQueuePush(EVENT_RESTORE, number);
      }
      EventQueuePush(EVENT_SIZE, number);
      break;
    default:
      EventQueuePush(EVENT_SIZE, number);
      break;
  }
  return 0;
}

LRESULT HandleEraseBackground(HWND window, intptr_t number, WindowRecord* record, HDC dc) {
  LRESULT result = DEFAULT_PROCESSING;
  if (record != nullptr && record->backgroundBrush != nullptr) {
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, record->backgroundBrush);
    result = 1;
  } else if (record != nullptr && record->window == window && record->paintHook != nullptr) {
    result = record->paintHook(dc, window);
  }
  EventQueuePush(EVENT_REPAINT, number);
  return result;
}

// A toolkit window destroyed by the platform (with its owner, say) rather
// than by WindowClose: its number must not keep naming a dead handle.
void ForgetDestroyedWindow(HWND window, intptr_t number, WindowRecord* record) {
  RemovePropA(window, kWindowIdProperty);
  if (RemovePropA(window, kDropAcceptProperty) != nullptr) {
    RevokeDragDrop(window);
  }
  ReleaseWindowResources(record->accelerators, record->acceleratorTable, record->backgroundBrush);
  ObjectFree(windowTable, number);
}

}  // namespace

void WindowLibraryInit() {
  if (windowTable != nullptr) {
    return;
  }
  windowTable = ObjectTableCreate(sizeof(WindowRecord), kWindowTableStep, WindowClose);
  events = static_cast<EventState*>(ServiceStateCreate(sizeof(EventState), nullptr));
  classIcon = LoadIconA(ProgramModuleHandle(), MAKEINTRESOURCEA(1));
  classCursor = LoadCursorA(nullptr, IDC_ARROW);
  SizingLibraryInit();
}

void WindowLibraryEnd() {
  ObjectFreeAll(windowTable);
  if (events != nullptr) {
    events->dropData = 0;
  }
}

intptr_t WindowOpen(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    const char* title, uint32_t flags, HWND parent) {
  if (events == nullptr) {
    return 0;
  }
  auto* record = static_cast<WindowRecord*>(ObjectSlot(windowTable, number));
  if (record == nullptr) {
    return 0;
  }
  const intptr_t id = number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record) : number;

  char className[40];
  ClassName(id, className);
  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = ToolkitWindowProc;
  windowClass.hInstance = ProgramModuleHandle();
  windowClass.hIcon = classIcon;
  windowClass.hCursor = classCursor;
  windowClass.hbrBackground = FromWord<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);

  const bool gadgetList = (flags & WINDOW_NO_GADGET_LIST) == 0;
  flags &= ~WINDOW_NO_GADGET_LIST;
  if ((flags & ~(WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT | WINDOW_INVISIBLE)) == 0) {
    flags |= kStyleCaption;
  }
  const bool visible = (flags & WINDOW_INVISIBLE) == 0;
  flags &= ~WINDOW_INVISIBLE;
  const DWORD style = flags & ~(WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT);

  RECT outer{0, 0, width, height};
  AdjustWindowRect(&outer, style, FALSE);
  int32_t outerWidth = outer.right - outer.left;
  int32_t outerHeight = outer.bottom - outer.top;

  if ((flags & WINDOW_CENTRE_SCREEN) != 0) {
    const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (outerWidth > screenWidth) {
      outerWidth = screenWidth;
    }
    if (outerHeight > screenHeight) {
      outerHeight = screenHeight;
    }
    x = (screenWidth - outerWidth) / 2;
    y = (screenHeight - outerHeight) / 2;
  } else if ((flags & WINDOW_CENTRE_PARENT) != 0) {
    HWND reference = parent != nullptr ? parent : GetActiveWindow();
    if (reference != nullptr) {
      RECT area{};
      GetWindowRect(reference, &area);
      x = area.left + (area.right - area.left - outerWidth) / 2;
      y = area.top + (area.bottom - area.top - outerHeight) / 2;
      if (x < 0) {
        x = 0;
      }
      if (y < 0) {
        y = 0;
      }
    }
  } else if (x == WINDOW_POSITION_DEFAULT || y == WINDOW_POSITION_DEFAULT) {
    x = CW_USEDEFAULT;
    y = CW_USEDEFAULT;
  }

  HWND window =
      CreateWindowExA(0, className, title != nullptr ? title : "", style, x, y, outerWidth,
                      outerHeight, parent, nullptr, ProgramModuleHandle(), nullptr);
  if (window == nullptr) {
    UnregisterClassA(className, ProgramModuleHandle());
    ObjectFree(windowTable, id);
    return 0;
  }
  record->window = window;
  if (!SetPropA(window, kWindowIdProperty, FromWord<HANDLE>(id + 1))) {
    // Without its number the window would raise no events, not even a close.
    DestroyWindow(window);
    UnregisterClassA(className, ProgramModuleHandle());
    ObjectFree(windowTable, id);
    return 0;
  }

  if (visible) {
    int show = SW_SHOWNORMAL;
    if ((style & kStyleMaximize) != 0) {
      show = SW_SHOWMAXIMIZED;
    } else if ((style & kStyleMinimize) != 0) {
      show = SW_SHOWMINIMIZED;
    }
    ShowWindow(window, show);
  }
  // The record may have moved if a message handler above grew the table.
  record = Lookup(id);
  if (record == nullptr) {
    return 0;
  }
  record->minMax = (style & (kStyleMaximize | kStyleMinimize)) != 0 ? 1 : 0;
  record->acceleratorCount = kAcceleratorCount;
  record->accelerators = static_cast<ACCEL*>(ProgramAllocate(sizeof(ACCEL) * kAcceleratorCount));
  if (record->accelerators != nullptr) {
    record->accelerators[0] = {FVIRTKEY | FNOINVERT, VK_TAB, CMD_FOCUS_NEXT};
    record->accelerators[1] = {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CMD_FOCUS_PREV};
    record->acceleratorTable = CreateAcceleratorTableA(record->accelerators, kAcceleratorCount);
  }
  record->mdiClient = nullptr;
  if (gadgetList) {
    GadgetListUse(window);
  }
  return number == OBJECT_ANY ? id : reinterpret_cast<intptr_t>(window);
}

HWND WindowHandle(intptr_t number) {
  WindowRecord* record = Lookup(number);
  return record != nullptr ? record->window : nullptr;
}

void WindowSetBounds(intptr_t number, uint16_t minWidth, uint16_t minHeight, uint16_t maxWidth,
                     uint16_t maxHeight) {
  if (WindowRecord* record = Lookup(number)) {
    record->bounds[0] = minWidth;
    record->bounds[1] = minHeight;
    record->bounds[2] = maxWidth;
    record->bounds[3] = maxHeight;
  }
}

void WindowClose(intptr_t number) {
  WindowRecord* record = Lookup(number);
  if (record == nullptr) {
    return;
  }
  // Copies: destroying the window runs message handlers that may touch the table.
  HWND window = record->window;
  HWND mdiClient = record->mdiClient;
  ACCEL* accelerators = record->accelerators;
  HACCEL acceleratorTable = record->acceleratorTable;
  HBRUSH brush = record->backgroundBrush;

  HWND owner = GetWindow(window, GW_OWNER);
  if (owner != nullptr && mdiClient == nullptr) {
    SetActiveWindow(owner);
  }
  RemovePropA(window, kWindowIdProperty);
  if (RemovePropA(window, kDropAcceptProperty) != nullptr) {
    RevokeDragDrop(window);
  }
  if (mdiClient != nullptr) {
    SendMessageA(mdiClient, kMdiDestroy, reinterpret_cast<WPARAM>(window), 0);
  } else {
    DestroyWindow(window);
    char className[40];
    ClassName(number, className);
    UnregisterClassA(className, ProgramModuleHandle());
  }
  ReleaseWindowResources(accelerators, acceleratorTable, brush);
  ObjectFree(windowTable, number);
}

int32_t EventWait(int32_t timeout) {
  if (events == nullptr) {
    return EVENT_NONE;
  }
  events->dropData = 0;
  events->eventType = -1;

  if (QueuedEvent* oldest = events->head) {
    events->head = oldest->next;
    if (events->head == nullptr) {
      events->tail = nullptr;
    }
    events->eventWindow = oldest->window;
    events->pending = 0;
    const int32_t code = oldest->code;
    if (oldest == &closeReserve) {
      closeReserveQueued = false;
    } else {
      ProgramFree(oldest);
    }
    return code;
  }

  MSG message{};
  if (timeout == -1) {
    GetMessageA(&message, nullptr, 0, 0);
  } else if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
    if (timeout == 0) {
      return EVENT_NONE;
    }
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), QS_ALLINPUT) ==
        WAIT_TIMEOUT) {
      return EVENT_NONE;
    }
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
      return EVENT_NONE;
    }
  }

  HWND active = GetActiveWindow();
  HACCEL accelerators = ActiveAccelerators(active);
  if (accelerators == nullptr || TranslateAcceleratorA(active, accelerators, &message) == 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  if (events->pending != 0) {
    const int32_t code = events->pending;
    events->pending = 0;
    return code;
  }
  events->wParam = message.wParam;
  events->lParam = message.lParam;
  return static_cast<int32_t>(message.message);
}

intptr_t EventMenuItem() { return events != nullptr ? events->itemId : 0; }
intptr_t EventWindow() { return events != nullptr ? events->eventWindow : -1; }
int32_t EventType() { return events != nullptr ? events->eventType : -1; }

HACCEL ActiveAccelerators(HWND active) {
  if ((GetKeyState(VK_TAB) & 0x80) != 0 && (GetKeyState(VK_CONTROL) & 0x80) == 0 &&
      (GetKeyState(VK_SHIFT) & 0x80) == 0 && (GetKeyState(VK_MENU) & 0x80) == 0) {
    HWND focus = GetFocus();
    char name[5] = {};
    if (focus != nullptr && GetClassNameA(focus, name, sizeof name) > 0 &&
        std::strncmp(name, "Rich", 4) == 0 &&
        (SendMessageA(focus, kRichEditGetOptions, 0, 0) & kRichEditReadOnly) == 0) {
      return nullptr;  // an editable rich-edit control takes the Tab as a key
    }
  }
  if (active == nullptr) {
    return nullptr;
  }
  const auto property = reinterpret_cast<intptr_t>(GetPropA(active, kWindowIdProperty));
  if (property == 0) {
    return nullptr;
  }
  WindowRecord* record = Lookup(property - 1);
  return record != nullptr ? record->acceleratorTable : nullptr;
}

void FocusCycle(bool backward) {
  HWND container = GetActiveWindow();
  HWND focus = GetFocus();
  HWND current = focus != nullptr && IsChild(container, focus) ? focus : nullptr;
  if (current != nullptr) {
    for (HWND window = focus; window != nullptr; window = GetParent(window)) {
      char name[50] = {};
      GetClassNameA(window, name, sizeof name);
      if (std::strcmp(name, kMdiChildClass) == 0) {
        container = window;
        if (window == focus) {
          current = nullptr;
        }
      }
    }
  }
  if (container == nullptr) {
    return;
  }

  std::vector<HWND> candidates;
  EnumChildWindows(container, CollectTabStop, reinterpret_cast<LPARAM>(&candidates));
  if (candidates.empty()) {
    return;
  }
  size_t at = candidates.size();
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (candidates[i] == current) {
      at = i;
    }
  }
  const bool known = at < candidates.size();
  if (!backward) {
    if (current == nullptr) {
      SetFocus(candidates.front());
    } else if (known) {
      SetFocus(at + 1 < candidates.size() ? candidates[at + 1] : candidates.front());
    }
  } else if (known && at > 0) {
    SetFocus(candidates[at - 1]);
  } else {
    SetFocus(candidates.back());
  }
}

LRESULT GadgetForwardMessage(HWND control, HWND parent, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  if (control == nullptr) {
    return DEFAULT_PROCESSING;
  }
  const intptr_t id = GetWindowLongPtrA(control, GWLP_ID);
  if (reinterpret_cast<intptr_t>(GetPropA(control, kGadgetIdProperty)) != id) {
    return DEFAULT_PROCESSING;
  }
  GadgetRecord* record = GadgetLookup(id);
  if (record == nullptr || record->window != control || record->type == nullptr ||
      record->type->messageHandler == nullptr) {
    return DEFAULT_PROCESSING;
  }
  return record->type->messageHandler(record, parent, message, wParam, lParam);
}

LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = WindowEventProc(window, message, wParam, lParam);
  if (message != WM_SIZE) {
    if (auto client = static_cast<HWND>(GetPropA(window, kMdiGadgetProperty))) {
      if (message == WM_COMMAND && lParam == 0) {
        return DefFrameProcA(window, client, message, 0, 0);
      }
      if (result == DEFAULT_PROCESSING || message == WM_SETFOCUS || message == WM_MENUCHAR) {
        return DefFrameProcA(window, client, message, wParam, lParam);
      }
      return result;
    }
  }
  if (result != DEFAULT_PROCESSING) {
    return result;
  }
  SetLastError(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT WindowEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT sizing = LiveSizingProc(window, message, wParam, lParam);
  if (sizing != DEFAULT_PROCESSING) {
    return sizing;
  }
  if (events == nullptr) {
    return DEFAULT_PROCESSING;
  }

  HWND found = window;
  intptr_t property = 0;
  while (found != nullptr) {
    property = reinterpret_cast<intptr_t>(GetPropA(found, kWindowIdProperty));
    if (property != 0) {
      break;
    }
    found = GetParent(found);
  }
  const intptr_t number = property != 0 ? property - 1 : -1;
  WindowRecord* record = property != 0 ? Lookup(number) : nullptr;

  WNDPROC callback =
      record != nullptr && record->callback != nullptr ? record->callback : events->globalCallback;
  if (callback != nullptr) {
    const LRESULT answer = CallWindowProcA(callback, window, message, wParam, lParam);
    if (answer != CALLBACK_CONTINUE) {
      return answer;
    }
  }
  events->eventWindow = number;

  switch (message) {
    case WM_MOVE:
      if (number != -1) {
        EventQueuePush(EVENT_MOVE, number);
      }
      return 0;
    case WM_SIZE:
      return HandleSize(window, found, number, record, wParam);
    case WM_ACTIVATE:
      if (LowWord(wParam) != 0) {
        EventQueuePush(EVENT_ACTIVATE, number);
      }
      return 1;
    case WM_CLOSE:
      if (number != -1) {
        EventQueuePush(EVENT_CLOSE, number);
      }
      return 0;
    case WM_ERASEBKGND:
      return HandleEraseBackground(window, number, record,
                                   FromWord<HDC>(static_cast<intptr_t>(wParam)));
    case WM_SYSCOLORCHANGE:
      if (record != nullptr && record->mdiClient == nullptr) {
        EnumChildWindows(window, SendSysColorChange, 0);
      }
      return DEFAULT_PROCESSING;
    case WM_GETMINMAXINFO: {
      if (record == nullptr || lParam == 0) {
        return DEFAULT_PROCESSING;
      }
      auto* limits = FromWord<MINMAXINFO*>(lParam);
      if (record->bounds[0] != 0) {
        limits->ptMinTrackSize.x = record->bounds[0];
      }
      if (record->bounds[1] != 0) {
        limits->ptMinTrackSize.y = record->bounds[1];
      }
      if (record->bounds[2] != 0) {
        limits->ptMaxTrackSize.x = record->bounds[2];
      }
      if (record->bounds[3] != 0) {
        limits->ptMaxTrackSize.y = record->bounds[3];
      }
      return 0;
    }
    case WM_NOTIFY:
      if (lParam == 0) {
        return DEFAULT_PROCESSING;
      }
      return GadgetForwardMessage(FromWord<const NMHDR*>(lParam)->hwndFrom, window, message, wParam,
                                  lParam);
    case WM_COMMAND:
      return HandleCommand(window, wParam, lParam);
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case MSG_GADGET_PRIVATE:
      return GadgetForwardMessage(FromWord<HWND>(lParam), window, message, wParam, lParam);
    case MSG_MOUSE_NOTIFY:
      PostMessageA(window, MSG_MOUSE_NOTIFY_LATE, wParam, lParam);
      return 0;
    case MSG_MOUSE_NOTIFY_LATE:
      Raise(EVENT_MOUSE_NOTIFY, static_cast<intptr_t>(wParam));
      switch (lParam) {
        case WM_LBUTTONDOWN:
          events->eventType = 0;
          break;
        case WM_RBUTTONDOWN:
          events->eventType = 1;
          break;
        case WM_LBUTTONDBLCLK:
          events->eventType = 2;
          break;
        case WM_RBUTTONDBLCLK:
          events->eventType = 3;
          break;
        default:
          events->pending = 0;
          break;
      }
      return 0;
    case MSG_GADGET_EVENT:
      Raise(EVENT_GADGET, static_cast<intptr_t>(wParam));
      events->eventType = static_cast<int32_t>(lParam);
      return 0;
    case MSG_DROP_WINDOW:
      events->pending = EVENT_DROP_WINDOW;
      events->dropData = lParam;
      return 0;
    case MSG_DROP_GADGET:
      Raise(EVENT_DROP_GADGET, static_cast<intptr_t>(wParam));
      events->dropData = lParam;
      return 0;
    case WM_NCDESTROY:
      if (record != nullptr && record->window == window) {
        ForgetDestroyedWindow(window, number, record);
      }
      return DEFAULT_PROCESSING;
    default:
      return DEFAULT_PROCESSING;
  }
}

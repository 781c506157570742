// Focus, activation, foreground, capture and enabling, with the messages
// Win32 sends for each change.

#include <algorithm>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

Activation& TheActivation() {
  static auto* activation = new Activation;
  return *activation;
}

namespace {

void SendActivateApp(bool active) {
  const std::vector<HWND> tops = TopLevels();
  for (HWND top : tops) {
    Send(top, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
  }
}

bool CanActivate(const Window* w, HWND leaving) {
  return w != nullptr && w->handle != leaving && !w->destroying && (w->style & WS_VISIBLE) != 0 &&
         (w->style & WS_DISABLED) == 0;
}

}  // namespace

void ActivateWindow(HWND window, bool byMouse) {
  Activation& s = TheActivation();
  const HWND old = s.active;
  if (old == window) {
    return;
  }
  if (window != nullptr && Peek(window) == nullptr) {
    return;
  }
  if (Peek(old) != nullptr) {
    Send(old, WM_NCACTIVATE, FALSE, reinterpret_cast<LPARAM>(window));
    Send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0),
         reinterpret_cast<LPARAM>(window));
  }
  if (window != nullptr && Peek(window) == nullptr) {
    window = nullptr;
  }
  s.active = window;
  if (window == nullptr) {
    if (s.foreground) {
      s.foreground = false;
      SendActivateApp(false);
    }
    if (s.focus != nullptr) {
      SetFocus(nullptr);
    }
    return;
  }
  // The active window comes to the top of the screen's z-order.
  std::vector<HWND>& tops = TopLevels();
  tops.erase(std::remove(tops.begin(), tops.end(), window), tops.end());
  tops.insert(tops.begin(), window);
  if (!s.foreground) {
    s.foreground = true;
    SendActivateApp(true);
  }
  if (s.active != window) {
    return;
  }
  Send(window, WM_NCACTIVATE, TRUE, reinterpret_cast<LPARAM>(old));
  Send(window, WM_ACTIVATE, MAKEWPARAM(byMouse ? WA_CLICKACTIVE : WA_ACTIVE, IsIconic(window)),
       reinterpret_cast<LPARAM>(old));
  // The focus follows the activation whether or not the window procedure
  // left WM_ACTIVATE to DefWindowProcA.
  if (s.active == window && !IsIconic(window) && s.focus != window && !IsChild(window, s.focus)) {
    SetFocus(window);
  }
}

void ActivateOther(HWND leaving) {
  const Window* w = Peek(leaving);
  HWND next = nullptr;
  if (w != nullptr && CanActivate(Peek(w->owner), leaving)) {
    next = w->owner;
  }
  if (next == nullptr) {
    for (HWND top : TopLevels()) {
      if (CanActivate(Peek(top), leaving)) {
        next = top;
        break;
      }
    }
  }
  ActivateWindow(next, false);
  if (next != nullptr) {
    DisplayActivateWindow(next);
  }
}

void ForgetWindow(HWND window) {
  Activation& s = TheActivation();
  if (s.active == window) {
    ActivateOther(window);
  }
  if (s.focus == window) {
    SetFocus(nullptr);
  }
  if (s.capture == window) {
    ReleaseCapture();
  }
}

}  // namespace user

using namespace user;

HWND SetFocus(HWND window) {
  return OrOutOfMemory(HWND{}, [&]() -> HWND {
    Activation& s = TheActivation();
    const HWND old = s.focus;
    if (window == nullptr) {
      if (old != nullptr) {
        s.focus = nullptr;
        Send(old, WM_KILLFOCUS, 0, 0);
      }
      return old;
    }
    Window* w = Find(window);
    if (w == nullptr) {
      return nullptr;
    }
    const HWND top = TopLevelOf(window);
    if (IsIconic(top)) {
      return nullptr;
    }
    if (s.active != top) {
      ActivateWindow(top, false);
      if (Peek(window) == nullptr || s.active != top) {
        return nullptr;
      }
    }
    const HWND previous = s.focus;
    if (previous == window) {
      return previous;
    }
    s.focus = window;
    if (previous != nullptr) {
      Send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    }
    if (s.focus == window) {
      Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
  });
}

HWND GetFocus() { return Peek(TheActivation().focus) != nullptr ? TheActivation().focus : nullptr; }

HWND SetActiveWindow(HWND window) {
  return OrOutOfMemory(HWND{}, [&]() -> HWND {
    Activation& s = TheActivation();
    const HWND old = s.active;
    if (window != nullptr) {
      Window* w = Find(window);
      if (w == nullptr) {
        return nullptr;
      }
      window = TopLevelOf(window);
    }
    ActivateWindow(window, false);
    if (window != nullptr && s.active == window) {
      DisplayActivateWindow(window);
    }
    return old;
  });
}

HWND GetActiveWindow() {
  return Peek(TheActivation().active) != nullptr ? TheActivation().active : nullptr;
}

BOOL SetForegroundWindow(HWND window) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (Find(window) == nullptr) {
      return FALSE;
    }
    SetActiveWindow(window);
    return TRUE;
  });
}

HWND GetForegroundWindow() {
  const Activation& s = TheActivation();
  return s.foreground ? GetActiveWindow() : nullptr;
}

HWND SetCapture(HWND window) {
  return OrOutOfMemory(HWND{}, [&]() -> HWND {
    Activation& s = TheActivation();
    const HWND old = s.capture;
    if (window != nullptr && Find(window) == nullptr) {
      return nullptr;
    }
    s.capture = window;
    if (old != nullptr && old != window) {
      Send(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    }
    DisplayCapturePointer(TopLevelOf(window));
    return Peek(old) != nullptr ? old : nullptr;
  });
}

BOOL ReleaseCapture() {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    Activation& s = TheActivation();
    const HWND old = s.capture;
    s.capture = nullptr;
    if (old != nullptr) {
      DisplayCapturePointer(nullptr);
      Send(old, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
  });
}

HWND GetCapture() {
  return Peek(TheActivation().capture) != nullptr ? TheActivation().capture : nullptr;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    Window* w = Find(window);
    if (w == nullptr) {
      return FALSE;
    }
    const bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable && wasDisabled) {
      w->style &= ~static_cast<DWORD>(WS_DISABLED);
      Send(window, WM_ENABLE, TRUE, 0);
    } else if (!enable) {
      // Asked to disable, a window is told to end any mode it is in, even
      // when it was disabled already.
      w = SendAndPeek(window, WM_CANCELMODE, 0, 0);
      if (w == nullptr || wasDisabled) {
        return wasDisabled ? TRUE : FALSE;
      }
      w->style |= WS_DISABLED;
      const HWND focus = TheActivation().focus;
      if (focus == window || IsChild(window, focus)) {
        SetFocus(nullptr);
      }
      Send(window, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled ? TRUE : FALSE;
  });
}

BOOL IsWindowEnabled(HWND window) {
  const Window* w = Peek(window);
  return w != nullptr && (w->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

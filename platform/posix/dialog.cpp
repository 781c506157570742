// Modal dialogs: the loop that runs the thread's messages while the display
// shows a dialog, the display's reports of what the user did in it, and
// MessageBoxA.
//
// A dialog is no window of ours. While one is up it holds the activation:
// the program stays in front, but none of its windows is active and
// GetForegroundWindow answers null, so a requester opened from inside the
// loop finds no owner of ours to disable and enable again under the dialog.

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/posix/comdlg.h"
#include "platform/posix/dialog_internal.h"
#include "platform/posix/display.h"
#include "platform/posix/input.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

namespace {

std::vector<ModalDialog*>& Dialogs() {
  static std::vector<ModalDialog*> dialogs;  // made without allocating
  return dialogs;
}

bool CanActivate(HWND window) {
  const Window* w = Peek(window);
  return w != nullptr && IsTopLevel(w) && !w->destroying && (w->style & WS_VISIBLE) != 0 &&
         (w->style & WS_DISABLED) == 0;
}

// The dialog comes to the front: the active window is told it lost the
// activation, and the focus goes, while the program stays in front.
bool TakeActivation() {
  Activation& s = TheActivation();
  const HWND old = s.active;
  if (Peek(old) == nullptr) {
    return false;
  }
  Send(old, WM_NCACTIVATE, FALSE, 0);
  Send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0), 0);
  if (s.active == old) {
    s.active = nullptr;
  }
  if (s.focus != nullptr) {
    SetFocus(nullptr);
  }
  return true;
}

// The dialog went: its owner becomes active, or the topmost window that can
// be, unless the user has made another window active meanwhile or another
// program is in front.
void ReturnActivation(HWND owner) {
  Activation& s = TheActivation();
  if (s.active != nullptr || !s.foreground) {
    return;
  }
  HWND next = CanActivate(owner) ? owner : nullptr;
  if (next == nullptr) {
    const std::vector<HWND> tops = TopLevels();
    for (HWND top : tops) {
      if (CanActivate(top)) {
        next = top;
        break;
      }
    }
  }
  if (next != nullptr) {
    ActivateWindow(next, false);
    DisplayActivateWindow(next);
  }
}

// A dialog's time on the screen: the owner (and with `allWindows` every
// top-level window) disabled, the activation taken; all given back when it
// ends, also when a test's blocked hook throws out of the loop.
class ModalScope {
 public:
  // What needs memory comes first: when it cannot be had, the constructor
  // throws with nothing changed.
  ModalScope(ModalDialog* dialog, HWND owner, bool allWindows) : dialog_(dialog), owner_(owner) {
    // Only what this disables is enabled again afterwards.
    if (owner != nullptr && IsWindowEnabled(owner) != FALSE) {
      disabled_.push_back(owner);
    }
    if (allWindows) {
      for (HWND top : TopLevels()) {
        if (top != owner && IsWindowEnabled(top) != FALSE) {
          disabled_.push_back(top);
        }
      }
    }
    Dialogs().push_back(dialog);
    for (HWND window : disabled_) {
      EnableWindow(window, FALSE);
    }
    tookActivation_ = OrOutOfMemory(false, [] { return TakeActivation(); });
  }

  ~ModalScope() {
    DisplayCloseDialog();
    std::vector<ModalDialog*>& dialogs = Dialogs();
    dialogs.erase(std::find(dialogs.begin(), dialogs.end(), dialog_));
    for (HWND window : disabled_) {
      if (IsWindow(window) != FALSE) {
        EnableWindow(window, TRUE);
      }
    }
    // An outer dialog keeps the activation until it goes itself.
    if (tookActivation_ && dialogs.empty()) {
      ReturnActivation(owner_);
    }
  }

  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  ModalDialog* dialog_;
  HWND owner_;
  std::vector<HWND> disabled_;
  bool tookActivation_ = false;
};

}  // namespace

ModalEnd RunModal(ModalDialog* dialog, HWND owner, const char* waiter,
                  const std::function<bool()>& show, bool allWindows) {
  if (!DisplayOpen() || !show()) {
    return ModalEnd::kNotShown;
  }
  std::optional<ModalScope> scope;
  if (!Allocated([&] { scope.emplace(dialog, owner, allWindows); })) {
    DisplayCloseDialog();
    return ModalEnd::kNotShown;
  }
  while (!dialog->done) {
    // Owned windows go with their owner.
    if (owner != nullptr && IsWindow(owner) == FALSE) {
      return ModalEnd::kAbandoned;
    }
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      if (m.message == WM_QUIT) {
        // Whoever runs the loop outside the dialog has to see it too.
        PostQuitMessage(static_cast<int>(m.wParam));
        return ModalEnd::kAbandoned;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
      continue;
    }
    DisplayWait(INFINITE, waiter);
  }
  return ModalEnd::kAnswered;
}

}  // namespace user

using namespace user;

// ---------------------------------------------------------------------------
// The display's reports

namespace {

// Hands a report to the newest dialog. One that cannot be judged for want of
// memory ends the dialog as failed rather than leave it up and deaf.
void Report(const std::function<bool(ModalDialog*)>& judge) {
  std::vector<ModalDialog*>& dialogs = Dialogs();
  if (dialogs.empty()) {
    return;
  }
  ModalDialog* top = dialogs.back();
  bool ends = false;
  if (!Allocated([&] { ends = judge(top); })) {
    top->outOfMemory = true;
    ends = true;
  }
  top->done = top->done || ends;
}

}  // namespace

void InputMessageBoxAction(int action) {
  Report([action](ModalDialog* top) { return top->boxAction && top->boxAction(action); });
}

void InputFileDialogAnswer(const std::vector<std::string>& paths, size_t filter) {
  Report([&](ModalDialog* top) { return top->fileAnswer && top->fileAnswer(paths, filter); });
}

// ---------------------------------------------------------------------------
// MessageBoxA

namespace {

std::vector<int> Buttons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return {IDOK};
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      return {IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE:
      return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default:
      return {};
  }
}

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return OrOutOfMemory(0, [&]() -> int {
    const std::vector<int> buttons = Buttons(type);
    if (buttons.empty()) {
      SetLastError(ERROR_INVALID_MSGBOX_STYLE);
      return 0;
    }
    if (owner != nullptr) {
      if (Find(owner) == nullptr) {
        return 0;  // Find has set ERROR_INVALID_WINDOW_HANDLE
      }
      owner = TopLevelOf(owner);  // a child owns nothing; its top-level window does
    }
    const bool hasCancel = std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end();
    const bool onlyOk = buttons.size() == 1;

    DisplayMessageBoxRequest request;
    request.owner = owner;
    request.text = text != nullptr ? text : "";
    request.caption = caption != nullptr ? caption : "Error";
    request.style = type;
    request.buttons = buttons;
    const size_t defaultIndex = (type & MB_DEFMASK) >> 8;
    request.defaultButton = buttons[defaultIndex < buttons.size() ? defaultIndex : 0];
    request.closeBox = hasCancel || onlyOk;

    int result = 0;
    ModalDialog dialog;
    dialog.boxAction = [&](int action) {
      if (action == INPUT_BOX_ENTER) {
        action = request.defaultButton;
      } else if (action == INPUT_BOX_ESCAPE || action == INPUT_BOX_CLOSE) {
        // Cancel where there is one; a lone OK button stands for it.
        if (!request.closeBox) {
          return false;
        }
        action = hasCancel ? IDCANCEL : IDOK;
      }
      if (std::find(buttons.begin(), buttons.end(), action) == buttons.end()) {
        return false;
      }
      result = action;
      return true;
    };
    // Task-modal without an owner: the thread's windows all wait for the box.
    const bool task = (type & MB_MODEMASK) == MB_TASKMODAL && owner == nullptr;
    const ModalEnd end = RunModal(
        &dialog, owner, "MessageBoxA", [&] { return DisplayShowMessageBox(request); }, task);
    if (end == ModalEnd::kNotShown || dialog.outOfMemory) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    return result;
  });
}

// The modal loop that the message box and the file dialogs share
// (dialog.cpp, comdlg.cpp). Nothing outside platform/posix includes this.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/posix/user.h"

namespace user {

// One dialog that is up. The display's reports go to the newest one; a
// judge answers true when the report ends the dialog.
struct ModalDialog {
  std::function<bool(int action)> boxAction;  // message boxes
  std::function<bool(const std::vector<std::string>& paths, size_t filter)> fileAnswer;
  bool done = false;
  bool outOfMemory = false;  // a report could not be judged: the dialog failed
};

enum class ModalEnd {
  kAnswered,   // a report ended it
  kNotShown,   // the display could not show it
  kAbandoned,  // WM_QUIT came (and was posted again), or the owner went
};

// Shows the dialog through `show`, disables `owner` (a top-level window or
// null), or with `allWindows` every top-level window, and takes the
// activation from the program's windows while the thread's messages run;
// afterwards what this disabled is enabled again and the activation returns
// to the owner.
ModalEnd RunModal(ModalDialog* dialog, HWND owner, const char* waiter,
                  const std::function<bool()>& show, bool allWindows = false);

}  // namespace user

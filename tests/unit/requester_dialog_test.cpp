// File requester and message box against the platform's real dialogs, answered
// from a thread timer that fires inside the dialog's own modal loop: the
// result, the windows disabled while the dialog is up and restored after it,
// and the owner the dialog gets. Our layer's dialogs are not windows; its
// headless display answers them from scripted steps instead.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/runtime_fixture.h"
#include "toolkit/io/requester.h"

namespace {

BOOL CALLBACK NoteDialog(HWND w, LPARAM out) {
  char name[16] = {};
  GetClassNameA(w, name, sizeof name);
  if (std::string(name) == "#32770" && IsWindowVisible(w)) {
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }
  return TRUE;
}

// The newest visible dialog (#32770) of this thread, or null.
HWND FindDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), NoteDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// What the timer does once a dialog is up; it runs inside the dialog's loop.
std::function<void(HWND dialog)> answer;
int answered = 0;
int ticks = 0;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
  static bool busy = false;
  HWND dialog = FindDialog();
  if (++ticks > 200 && dialog != nullptr) {  // a step went wrong: do not hang
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  if (busy || dialog == nullptr || answered != 0) {
    return;
  }
  busy = true;
  ++answered;
  answer(dialog);
  busy = false;
}

// The file name box: the combo box or edit of the platform's dialog.
HWND NameBox(HWND dialog) {
  for (int id : {0x47C /* cmb13 */, 0x480 /* edt1 */}) {
    if (HWND box = GetDlgItem(dialog, id)) {
      return box;
    }
  }
  return nullptr;
}

class RequesterDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBaseServices();
    RegisterPlainClass("KelpieRequesterTest");
    owner_ = Make(true);
    other_ = Make(true);
    disabled_ = Make(true);
    EnableWindow(disabled_, FALSE);
    SetForegroundWindow(owner_);
    answered = 0;
    ticks = 0;
    timer_ = SetTimer(nullptr, 0, 50, AnswerDialog);
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    for (HWND w : windows_) {
      DestroyWindow(w);
    }
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&m);
    }
  }
  HWND Make(bool visible) {
    HWND w = CreateWindowExA(0, "KelpieRequesterTest", "requester",
                             WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 60, 60, 200, 120,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    windows_.push_back(w);
    return w;
  }
  // Every window of the test is as it was before the requester.
  void ExpectRestored() {
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_TRUE(IsWindowEnabled(other_));
    EXPECT_FALSE(IsWindowEnabled(disabled_));
  }

  HWND owner_ = nullptr;
  HWND other_ = nullptr;
  HWND disabled_ = nullptr;
  UINT_PTR timer_ = 0;
  std::vector<HWND> windows_;
};

TEST_F(RequesterDialogTest, CancelGivesNothingAndRestoresEveryWindow) {
  // The save form is cancelled like the open form.
  answer = [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); };
  EXPECT_EQ(TakeResult([](intptr_t s) { RequestFile(s, 0, "Save", nullptr, "*.*|*.*;", 0, 1); }),
            "");
  EXPECT_EQ(answered, 1);
  ExpectRestored();

  answered = 0;
  bool otherEnabledDuring = true;
  HWND dialogOwner = nullptr;
  std::string nested = "<not asked>";
  answer = [&](HWND dialog) {
    otherEnabledDuring = IsWindowEnabled(other_) != 0;
    dialogOwner = GetWindow(dialog, GW_OWNER);
    // A requester asked for from inside this one's loop gives nothing at once.
    nested = TakeResult([](intptr_t s) { RequestOpenFile(s, "nested", nullptr, "*.*|*.*;", 0); });
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  };
  const std::string result = TakeResult(
      [](intptr_t s) { RequestOpenFile(s, "Please choose file to load", nullptr, "*.*|*.*;", 0); });
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(result, "");
  EXPECT_FALSE(otherEnabledDuring);
  EXPECT_EQ(dialogOwner, owner_);
  EXPECT_EQ(nested, "");
  ExpectRestored();
}

TEST_F(RequesterDialogTest, TypedNameOfAFileThatDoesNotExistIsReturnedAsAFullPath) {
  char folder[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
  const std::string path = std::string(folder) + "kelpie-no-such-screen.scr";
  DeleteFileA(path.c_str());
  answer = [&](HWND dialog) {
    HWND box = NameBox(dialog);
    ASSERT_NE(box, nullptr);
    SetWindowTextA(box, path.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  };
  const std::string result =
      TakeResult([](intptr_t s) { RequestOpenFile(s, "Load", nullptr, "*.*|*.*;", 0); });
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(result, path);
  ExpectRestored();
}

TEST_F(RequesterDialogTest, DialogOpensWithTheProposedNameAndTheChosenFileType) {
  char folder[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
  std::string proposedName = "<not read>";
  LRESULT typeSelected = -1;
  answer = [&](HWND dialog) {
    char text[MAX_PATH] = {};
    GetWindowTextA(NameBox(dialog), text, sizeof text);
    proposedName = text;
    typeSelected = SendDlgItemMessageA(dialog, 0x470 /* cmb1 */, CB_GETCURSEL, 0, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  };
  const std::string defaultFile = std::string(folder) + "proposed.scr";
  TakeResult([&](intptr_t s) {
    RequestOpenFile(s, "Load", defaultFile.c_str(), "Screens|*.scr|All files|*.*", 1);
  });
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(proposedName, "proposed.scr");
  EXPECT_EQ(typeSelected, 1);
  ExpectRestored();
}

TEST_F(RequesterDialogTest, MessageBoxGivesTheButtonThatClosedIt) {
  bool otherEnabledDuring = true;
  HWND boxOwner = nullptr;
  answer = [&](HWND box) {
    otherEnabledDuring = IsWindowEnabled(other_) != 0;
    boxOwner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  };
  EXPECT_EQ(RequestMessage("Info", "Kelpie shows screen files.", 0), IDOK);
  EXPECT_EQ(answered, 1);
  EXPECT_FALSE(otherEnabledDuring);
  EXPECT_EQ(boxOwner, owner_);
  ExpectRestored();

  // Its flags reach the platform unchanged.
  answered = 0;
  answer = [](HWND box) { PostMessageA(box, WM_COMMAND, IDCANCEL, 0); };
  EXPECT_EQ(RequestMessage("Question", "Go on?", MB_OKCANCEL), IDCANCEL);
  ExpectRestored();
}

}  // namespace

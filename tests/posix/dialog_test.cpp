// The message box and the file dialogs of our layer on the headless display:
// the answer for each button set and for Escape and the close box, the modal
// loop that keeps the thread's messages running while a dialog is up, the
// owner disabled and its activation taken for that time, and what a file
// dialog reads from the requester's OPENFILENAMEA and writes back.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/headless.h"
#include "platform/win32.h"
#include "tests/support/temp_files.h"

namespace {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
};

std::vector<Seen> seen;
std::function<void(HWND)> onUser;  // what a window does with WM_USER

// The messages that tell of enabling, activation and focus.
bool Recorded(UINT m) {
  return m == WM_CANCELMODE || m == WM_ENABLE || m == WM_NCACTIVATE || m == WM_ACTIVATE ||
         m == WM_ACTIVATEAPP || m == WM_SETFOCUS || m == WM_KILLFOCUS || m == WM_USER;
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Recorded(message)) {
    seen.push_back(Seen{window, message, message == WM_ACTIVATE ? LOWORD(wParam) : wParam});
  }
  if (message == WM_USER && onUser) {
    onUser(window);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

struct Blocked {
  std::string waiter;
};

[[noreturn]] void ThrowBlocked(const char* waiter) { throw Blocked{waiter}; }

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "KelpieDialogTest";
    RegisterClassA(&wc);
    owner_ = Make("owner");
    other_ = Make("other");
    SetForegroundWindow(owner_);
    Pump();
    seen.clear();
    onUser = nullptr;
    previousHook_ = HeadlessSetBlockedHook(ThrowBlocked);
  }

  void TearDown() override {
    HeadlessSetBlockedHook(previousHook_);
    HeadlessClearSteps();
    HeadlessClearAnswers();
    onUser = nullptr;
    for (HWND w : {owner_, other_}) {
      if (IsWindow(w)) {
        DestroyWindow(w);
      }
    }
    Pump();
  }

  static HWND Make(const char* title) {
    return CreateWindowExA(0, "KelpieDialogTest", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                           200, 120, nullptr, nullptr, nullptr, nullptr);
  }

  static void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }

  // A message box of `type` answered with `answers` in turn.
  static int Box(UINT type, std::initializer_list<int> answers, HWND owner = nullptr) {
    for (int answer : answers) {
      HeadlessAnswerMessageBox(answer);
    }
    return MessageBoxA(owner, "text", "caption", type);
  }

  HWND owner_ = nullptr;
  HWND other_ = nullptr;
  HeadlessBlockedHook previousHook_ = nullptr;
};

// ---------------------------------------------------------------------------
// Message box: buttons and answers

struct ButtonSet {
  UINT type;
  std::vector<int> buttons;
  int escape;  // what Escape and the close box answer; 0: they do nothing
};

const ButtonSet kButtonSets[] = {
    {MB_OK, {IDOK}, IDOK},
    {MB_OKCANCEL, {IDOK, IDCANCEL}, IDCANCEL},
    {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}, 0},
    {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
    {MB_YESNO, {IDYES, IDNO}, 0},
    {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, IDCANCEL},
    {MB_CANCELTRYCONTINUE, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, IDCANCEL},
};

TEST_F(DialogTest, EachButtonSetAnswersWithThePressedButtonOrItsCancel) {
  for (const ButtonSet& set : kButtonSets) {
    SCOPED_TRACE(testing::Message() << "type " << set.type);
    for (int button : set.buttons) {
      EXPECT_EQ(Box(set.type, {button}), button);
    }
    EXPECT_EQ(HeadlessLastMessageBox().buttons, set.buttons);
    EXPECT_EQ(HeadlessLastMessageBox().closeBox, set.escape != 0);
    // A button the box does not show cannot be pressed.
    EXPECT_EQ(Box(set.type, {IDCLOSE, set.buttons.back()}), set.buttons.back());
    for (int action : {HEADLESS_BOX_ESCAPE, HEADLESS_BOX_CLOSE}) {
      if (set.escape != 0) {
        EXPECT_EQ(Box(set.type, {action}), set.escape);
      } else {  // ignored: the box stays up for the next answer
        EXPECT_EQ(Box(set.type, {action, set.buttons[1]}), set.buttons[1]);
      }
    }
  }
  EXPECT_EQ(Box(MB_YESNOCANCEL | MB_DEFBUTTON2, {HEADLESS_BOX_ENTER}), IDNO);
  EXPECT_EQ(Box(MB_OKCANCEL | MB_DEFBUTTON3, {HEADLESS_BOX_ENTER}), IDOK);  // beyond: the first
  EXPECT_EQ(HeadlessAnswersLeft(), 0u);
}

TEST_F(DialogTest, TheBoxShowsWhatItWasGiven) {
  HWND child = CreateWindowExA(0, "KelpieDialogTest", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                               owner_, nullptr, nullptr, nullptr);
  HeadlessAnswerMessageBox(IDOK);
  MessageBoxA(child, "Some text", "Info", MB_OK | MB_ICONINFORMATION);
  HeadlessMessageBoxRecord box = HeadlessLastMessageBox();
  EXPECT_EQ(box.text, "Some text");
  EXPECT_EQ(box.caption, "Info");
  EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(box.owner, owner_);  // a child's top-level window owns the box
  EXPECT_FALSE(box.up);

  HeadlessAnswerMessageBox(IDOK);
  MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
  box = HeadlessLastMessageBox();
  EXPECT_EQ(box.text, "");
  EXPECT_EQ(box.caption, "Error");  // Win32's caption for a box without one
  EXPECT_EQ(box.owner, nullptr);
}

// ---------------------------------------------------------------------------
// The modal loop

TEST_F(DialogTest, OwnerIsDisabledWhileTheBoxIsUpAndActiveAgainAfter) {
  bool checked = false;
  HeadlessAddStep([&] {
    EXPECT_FALSE(IsWindowEnabled(owner_));
    EXPECT_TRUE(IsWindowEnabled(other_));  // only the owner waits for the box
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(HeadlessLastMessageBox().up);
    checked = true;
    HeadlessAnswerMessageBox(IDOK);
  });
  EXPECT_EQ(MessageBoxA(owner_, "t", "c", MB_OK), IDOK);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(GetActiveWindow(), owner_);
  EXPECT_EQ(GetForegroundWindow(), owner_);
  EXPECT_EQ(GetFocus(), owner_);
  EXPECT_EQ(HeadlessFrontWindow(), owner_);
}

TEST_F(DialogTest, OwnerHearsOfDisablingAndActivationInWin32sOrder) {
  HeadlessAddStep([] {
    seen.push_back(Seen{nullptr, 0, 0});  // the box is up
    HeadlessAnswerMessageBox(IDOK);
  });
  MessageBoxA(owner_, "t", "c", MB_OK);
  const std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_CANCELMODE, 0},     {WM_KILLFOCUS, 0},          {WM_ENABLE, FALSE},
      {WM_NCACTIVATE, FALSE}, {WM_ACTIVATE, WA_INACTIVE}, {0, 0},
      {WM_ENABLE, TRUE},      {WM_NCACTIVATE, TRUE},      {WM_ACTIVATE, WA_ACTIVE},
      {WM_SETFOCUS, 0},
  };
  std::vector<std::pair<UINT, WPARAM>> got;
  for (const Seen& e : seen) {
    EXPECT_TRUE(e.message == 0 || e.window == owner_) << "message " << e.message;
    const bool focus = e.message == WM_KILLFOCUS || e.message == WM_SETFOCUS;
    got.emplace_back(e.message, focus ? 0 : e.wParam);  // focus messages name the other window
  }
  EXPECT_EQ(got, expected);
}

// The requester disables the thread's other windows itself before a box:
// the box must not enable them again.
TEST_F(DialogTest, WindowsDisabledBeforeTheBoxStayDisabled) {
  EnableWindow(other_, FALSE);
  HeadlessAddStep([&] {
    EXPECT_FALSE(IsWindowEnabled(owner_));  // a task-modal box without owner takes all
    HeadlessAnswerMessageBox(IDOK);
  });
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK | MB_TASKMODAL), IDOK);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_FALSE(IsWindowEnabled(other_));
  EXPECT_EQ(GetActiveWindow(), owner_);
  EXPECT_EQ(Box(MB_OK, {IDOK}, other_), IDOK);
  EXPECT_FALSE(IsWindowEnabled(other_));
}

TEST_F(DialogTest, BoxEndsOnQuitOrWithItsOwner) {
  HeadlessAddStep([] { PostQuitMessage(3); });
  EXPECT_EQ(MessageBoxA(owner_, "t", "c", MB_OKCANCEL), 0);
  EXPECT_FALSE(HeadlessLastMessageBox().up);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  MSG m;  // the quit reaches the outer loop
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 3u);

  HeadlessAddStep([&] { DestroyWindow(owner_); });
  EXPECT_EQ(MessageBoxA(owner_, "t", "c", MB_OK), 0);
  EXPECT_FALSE(HeadlessLastMessageBox().up);
  EXPECT_EQ(GetActiveWindow(), other_);
}

TEST_F(DialogTest, BoxWithNoAnswerAndNoStepFailsTheTestInsteadOfWaiting) {
  std::string waiter;
  try {
    MessageBoxA(owner_, "t", "Info", MB_OK);
  } catch (const Blocked& b) {
    waiter = b.waiter;
  }
  EXPECT_EQ(waiter, "MessageBoxA");
  // Nothing of the box outlives the failure.
  EXPECT_FALSE(HeadlessLastMessageBox().up);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(GetActiveWindow(), owner_);

  HeadlessSetBlockedHook(nullptr);
  EXPECT_DEATH(MessageBoxA(owner_, "t", "Info", MB_OK),
               "MessageBoxA would wait for input for ever, and no test step is left \\(the "
               "message box \"Info\" is up with no answer queued\\)");
}

// ---------------------------------------------------------------------------
// File dialogs, as the requester fills OPENFILENAMEA

class FileDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    std::memset(buffer_, 0, sizeof buffer_);
    ofn_ = OPENFILENAMEA{};
    ofn_.lStructSize = static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A);
    ofn_.hwndOwner = owner_;
    ofn_.lpstrFile = buffer_;
    ofn_.nMaxFile = sizeof buffer_;
    ofn_.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    cwd_ = std::filesystem::current_path();
  }
  void TearDown() override {
    std::filesystem::current_path(cwd_);
    DialogTest::TearDown();
  }

  // The buffer's bytes up to and including the first double zero.
  std::string List() const {
    size_t n = 0;
    while (n + 1 < sizeof buffer_ && (buffer_[n] != '\0' || buffer_[n + 1] != '\0')) {
      ++n;
    }
    return std::string(buffer_, n + 2);
  }

  TempFolder folder_;
  char buffer_[260];
  OPENFILENAMEA ofn_;
  std::filesystem::path cwd_;
};

// Both kinds of dialog run the thread's messages in their modal loops.
TEST_F(FileDialogTest, PostedMessagesReachOtherWindowsWhileADialogIsUp) {
  const std::function<bool()> dialogs[] = {
      [&] { return Box(MB_OK, {IDOK}, owner_) == IDOK; },
      [&] {
        HeadlessAnswerFileDialog(std::nullopt);
        return !GetOpenFileNameA(&ofn_);
      },
  };
  for (const auto& dialog : dialogs) {
    bool upWhenDelivered = false;
    onUser = [&](HWND) {
      upWhenDelivered = HeadlessLastMessageBox().up || HeadlessLastFileDialog().up;
    };
    PostMessageA(other_, WM_USER, 0, 0);
    EXPECT_TRUE(dialog());
    EXPECT_TRUE(upWhenDelivered);
    // Nothing was left for the program's own loop.
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_EQ(GetActiveWindow(), owner_);
  }
}

TEST_F(FileDialogTest, DialogShowsEveryFieldItWasGivenAndAnswersThePath) {
  const std::string screens = folder_.Write("picture.scr", {1});
  std::strcpy(buffer_, "proposed.scr");
  ofn_.lpstrTitle = "Please choose";
  ofn_.lpstrFilter = "Screens\0*.scr;*.bin\0All files\0*.*\0";
  ofn_.nFilterIndex = 2;
  const std::string initial = folder_.Path();
  ofn_.lpstrInitialDir = initial.c_str();
  // A child's top-level window owns the dialog.
  ofn_.hwndOwner = CreateWindowExA(0, "KelpieDialogTest", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10,
                                   10, owner_, nullptr, nullptr, nullptr);
  HeadlessAddStep([&] {
    EXPECT_FALSE(IsWindowEnabled(owner_));
    HeadlessAnswerFileDialog(screens, 0);
  });
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));

  const HeadlessFileDialogRecord shown = HeadlessLastFileDialog();
  EXPECT_FALSE(shown.save);
  EXPECT_FALSE(shown.up);
  EXPECT_EQ(shown.owner, owner_);
  EXPECT_EQ(shown.title, "Please choose");
  const std::vector<std::pair<std::string, std::string>> filters = {{"Screens", "*.scr;*.bin"},
                                                                    {"All files", "*.*"}};
  EXPECT_EQ(shown.filters, filters);
  EXPECT_EQ(shown.filter, 1u);
  EXPECT_EQ(shown.folder, initial);
  EXPECT_EQ(shown.name, "proposed.scr");

  EXPECT_STREQ(buffer_, screens.c_str());
  EXPECT_EQ(ofn_.nFileOffset, screens.size() - std::strlen("picture.scr"));
  EXPECT_EQ(ofn_.nFilterIndex, 1u);  // the user went to the first type
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(GetActiveWindow(), owner_);
  EXPECT_EQ(std::filesystem::current_path(), cwd_);  // OFN_NOCHANGEDIR
}

TEST_F(FileDialogTest, WhatTheDialogMakesOfMissingFields) {
  ofn_.hwndOwner = nullptr;
  HeadlessAnswerFileDialog(std::nullopt);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  HeadlessFileDialogRecord shown = HeadlessLastFileDialog();
  EXPECT_EQ(shown.title, "Open");
  EXPECT_TRUE(shown.filters.empty());
  EXPECT_EQ(shown.folder, "");  // the current directory
  EXPECT_EQ(shown.owner, nullptr);

  ofn_.lpstrFilter = "A\0*.a\0B\0*.b\0";
  ofn_.nFilterIndex = 9;  // beyond the list: the first
  HeadlessAnswerFileDialog(std::nullopt);
  EXPECT_FALSE(GetSaveFileNameA(&ofn_));
  shown = HeadlessLastFileDialog();
  EXPECT_TRUE(shown.save);
  EXPECT_EQ(shown.title, "Save As");
  EXPECT_EQ(shown.filter, 0u);
}

TEST_F(FileDialogTest, CancelOrAPathThatDoesNotFitAnswersFalse) {
  std::strcpy(buffer_, "keep.scr");
  HeadlessAnswerFileDialog(std::nullopt);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_STREQ(buffer_, "keep.scr");
  EXPECT_TRUE(IsWindowEnabled(owner_));

  const std::string path = folder_.Write(std::string(40, 'n'), {1});
  ofn_.nMaxFile = static_cast<DWORD>(path.size());  // one short of its zero
  HeadlessAnswerFileDialog(path);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  WORD needed = 0;
  std::memcpy(&needed, buffer_, sizeof needed);
  EXPECT_EQ(needed, path.size() + 1);
  EXPECT_FALSE(HeadlessLastFileDialog().up);  // the dialog ended
}

// With OFN_PATHMUSTEXIST a missing folder is refused, and a folder is no
// file; the dialog stays up for the next choice. Names count from the
// dialog's folder, and ".." is left to the kernel: "missing/.." names no
// folder, and "link/.." is the parent of the link's target.
TEST_F(FileDialogTest, ChoicesTheFlagsForbidAreRefusedAndTheDialogStaysUp) {
  const std::string initial = folder_.Path();
  ofn_.lpstrInitialDir = initial.c_str();
  std::filesystem::create_directories(folder_.PathOf("deep/target"));
  std::filesystem::create_directory_symlink(folder_.PathOf("deep/target"), folder_.PathOf("link"));
  const std::string missingFolder = folder_.PathOf("nowhere/x.scr");
  HeadlessAnswerFileDialog(missingFolder);
  HeadlessAnswerFileDialog(folder_.Path());
  HeadlessAnswerFileDialog("missing/../x.scr");
  HeadlessAnswerFileDialog(".//link/./../x.scr");
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::string(buffer_), folder_.PathOf("link/../x.scr"));
  const std::string reached = folder_.Write("deep/x.scr", {1});
  EXPECT_TRUE(std::filesystem::equivalent(buffer_, reached));
  std::vector<std::string> refused;
  for (const auto& [path, why] : HeadlessLastFileDialog().refused) {
    refused.push_back(path);
  }
  EXPECT_EQ(refused, (std::vector<std::string>{missingFolder, folder_.Path(),
                                               folder_.PathOf("missing/../x.scr")}));
}

TEST_F(FileDialogTest, MultipleSelectionListsTheFolderAndTheNames) {
  const std::string a = folder_.Write("a.scr", {1});
  const std::string b = folder_.Write("b.scr", {1});
  ofn_.Flags |= OFN_ALLOWMULTISELECT;
  HeadlessAnswerFileDialogFiles({a, b});
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(List(), folder_.Path() + std::string("\0a.scr\0b.scr\0\0", 14));
  EXPECT_EQ(ofn_.nFileOffset, folder_.Path().size() + 1);

  std::memset(buffer_, 'x', sizeof buffer_);  // one file: its path and the list's end
  HeadlessAnswerFileDialogFiles({a});
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(List(), a + std::string("\0\0", 2));

  // Several files come only where the program allows them.
  ofn_.Flags &= ~static_cast<DWORD>(OFN_ALLOWMULTISELECT);
  HeadlessAnswerFileDialogFiles({a, b});
  HeadlessAnswerFileDialog(b);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(HeadlessLastFileDialog().refused.size(), 1u);
  EXPECT_STREQ(buffer_, b.c_str());
}

}  // namespace

// The message box and the file dialogs of our layer on the headless display:
// the answer for each button set and for Escape and the close box, the modal
// loop that keeps the thread's messages running while a dialog is up, the
// owner disabled and its activation taken for that time, and everything a
// file dialog reads from its OPENFILENAMEA and writes back.

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
bool Recorded(UINT message) {
  switch (message) {
    case WM_CANCELMODE:
    case WM_ENABLE:
    case WM_NCACTIVATE:
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_USER:
      return true;
    default:
      return false;
  }
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

std::string Describe(const std::vector<Seen>& list, HWND owner) {
  std::string text;
  for (const Seen& s : list) {
    text += s.window == owner ? "owner " : "other ";
    text += std::to_string(s.message) + "(" + std::to_string(s.wParam) + ") ";
  }
  return text;
}

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

TEST_F(DialogTest, EachButtonSetAnswersWithThePressedButton) {
  for (const ButtonSet& set : kButtonSets) {
    for (int button : set.buttons) {
      EXPECT_EQ(Box(set.type, {button}), button) << "type " << set.type;
    }
    EXPECT_EQ(HeadlessLastMessageBox().buttons, set.buttons) << "type " << set.type;
    EXPECT_EQ(HeadlessLastMessageBox().closeBox, set.escape != 0) << "type " << set.type;
    // A button the box does not show cannot be pressed.
    EXPECT_EQ(Box(set.type, {IDCLOSE, set.buttons.back()}), set.buttons.back());
  }
  EXPECT_EQ(HeadlessAnswersLeft(), 0u);
}

TEST_F(DialogTest, EscapeAndTheCloseBoxCountAsCancelOrTheOnlyButton) {
  for (const ButtonSet& set : kButtonSets) {
    for (int action : {HEADLESS_BOX_ESCAPE, HEADLESS_BOX_CLOSE}) {
      if (set.escape != 0) {
        EXPECT_EQ(Box(set.type, {action}), set.escape) << "type " << set.type;
      } else {
        // Ignored: the box stays up for the next answer.
        EXPECT_EQ(Box(set.type, {action, set.buttons[1]}), set.buttons[1]) << "type " << set.type;
      }
    }
  }
}

TEST_F(DialogTest, EnterPressesTheDefaultButton) {
  EXPECT_EQ(Box(MB_YESNOCANCEL, {HEADLESS_BOX_ENTER}), IDYES);
  EXPECT_EQ(Box(MB_YESNOCANCEL | MB_DEFBUTTON2, {HEADLESS_BOX_ENTER}), IDNO);
  EXPECT_EQ(Box(MB_YESNOCANCEL | MB_DEFBUTTON3, {HEADLESS_BOX_ENTER}), IDCANCEL);
  EXPECT_EQ(HeadlessLastMessageBox().defaultButton, IDCANCEL);
  // A default beyond the buttons falls back to the first.
  EXPECT_EQ(Box(MB_OKCANCEL | MB_DEFBUTTON3, {HEADLESS_BOX_ENTER}), IDOK);
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

TEST_F(DialogTest, NoBoxForAnUnknownStyleOrOwner) {
  const int shown = HeadlessLastMessageBox().shown;
  SetLastError(0);
  EXPECT_EQ(MessageBoxA(owner_, "t", "c", 7), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MSGBOX_STYLE));
  SetLastError(0);
  HWND gone = Make("gone");
  DestroyWindow(gone);
  EXPECT_EQ(MessageBoxA(gone, "t", "c", MB_OK), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(HeadlessLastMessageBox().shown, shown);
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

// ---------------------------------------------------------------------------
// The modal loop

TEST_F(DialogTest, PostedMessagesReachOtherWindowsWhileTheBoxIsUp) {
  bool upWhenDelivered = false;
  onUser = [&](HWND) { upWhenDelivered = HeadlessLastMessageBox().up; };
  PostMessageA(other_, WM_USER, 0, 0);
  EXPECT_EQ(Box(MB_OK, {IDOK}, owner_), IDOK);
  EXPECT_TRUE(upWhenDelivered);
  // Nothing was left for the program's own loop.
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_REMOVE));
}

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
  bool same = seen.size() == expected.size();
  for (size_t i = 0; same && i < seen.size(); ++i) {
    const bool wParamMatters = seen[i].message != WM_KILLFOCUS && seen[i].message != WM_SETFOCUS;
    same = seen[i].message == expected[i].first &&
           (!wParamMatters || seen[i].wParam == expected[i].second) &&
           (seen[i].message == 0 || seen[i].window == owner_);
  }
  EXPECT_TRUE(same) << Describe(seen, owner_);
}

TEST_F(DialogTest, AnOwnerDisabledBeforeStaysDisabled) {
  EnableWindow(owner_, FALSE);
  EXPECT_EQ(Box(MB_OK, {IDOK}, owner_), IDOK);
  EXPECT_FALSE(IsWindowEnabled(owner_));
}

TEST_F(DialogTest, TaskModalBoxWithoutOwnerDisablesEveryWindow) {
  EnableWindow(other_, FALSE);
  HeadlessAddStep([&] {
    EXPECT_FALSE(IsWindowEnabled(owner_));
    HeadlessAnswerMessageBox(IDOK);
  });
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK | MB_TASKMODAL), IDOK);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_FALSE(IsWindowEnabled(other_));  // it was disabled before
  EXPECT_EQ(GetActiveWindow(), owner_);
}

TEST_F(DialogTest, QuitEndsTheBoxAndReachesTheOuterLoop) {
  HeadlessAddStep([] { PostQuitMessage(3); });
  EXPECT_EQ(MessageBoxA(owner_, "t", "c", MB_OKCANCEL), 0);
  EXPECT_FALSE(HeadlessLastMessageBox().up);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 3u);
}

TEST_F(DialogTest, BoxGoesWithItsOwner) {
  HeadlessAddStep([&] { DestroyWindow(owner_); });
  EXPECT_EQ(MessageBoxA(owner_, "t", "c", MB_OK), 0);
  EXPECT_FALSE(HeadlessLastMessageBox().up);
  EXPECT_EQ(GetActiveWindow(), other_);
}

TEST_F(DialogTest, BoxOpenedInsideTheLoopOfAnotherTakesItsOwnAnswer) {
  HWND activeAfterInner = owner_;
  int inner = 0;
  onUser = [&](HWND) {
    inner = MessageBoxA(nullptr, "inner", "inner", MB_YESNO);
    activeAfterInner = GetActiveWindow();
  };
  PostMessageA(other_, WM_USER, 0, 0);
  HeadlessAnswerMessageBox(IDNO);  // the inner box opens first
  HeadlessAnswerMessageBox(IDCANCEL);
  EXPECT_EQ(MessageBoxA(owner_, "outer", "outer", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(inner, IDNO);
  EXPECT_EQ(activeAfterInner, nullptr);  // the outer box still held the activation
  EXPECT_EQ(GetActiveWindow(), owner_);
  EXPECT_TRUE(IsWindowEnabled(owner_));
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
// File dialogs

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
    ofn_.lpstrInitialDir = nullptr;
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

TEST_F(FileDialogTest, DialogShowsEveryFieldItWasGiven) {
  const std::string screens = folder_.Write("picture.scr", {1});
  std::strcpy(buffer_, "proposed.scr");
  ofn_.lpstrTitle = "Please choose";
  ofn_.lpstrFilter = "Screens\0*.scr;*.bin\0All files\0*.*\0";
  ofn_.nFilterIndex = 2;
  const std::string initial = folder_.Path();
  ofn_.lpstrInitialDir = initial.c_str();
  ofn_.lpstrDefExt = "scr";
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
  EXPECT_EQ(shown.extension, "scr");
  EXPECT_EQ(shown.flags, ofn_.Flags);

  EXPECT_STREQ(buffer_, screens.c_str());
  EXPECT_EQ(ofn_.nFileOffset, screens.size() - std::strlen("picture.scr"));
  EXPECT_EQ(ofn_.nFileExtension, screens.size() - std::strlen("scr"));
  EXPECT_EQ(ofn_.nFilterIndex, 1u);  // the user went to the first type
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(GetActiveWindow(), owner_);
}

TEST_F(FileDialogTest, WhatTheDialogMakesOfMissingFields) {
  ofn_.hwndOwner = nullptr;
  HeadlessAnswerFileDialog(std::nullopt);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  HeadlessFileDialogRecord shown = HeadlessLastFileDialog();
  EXPECT_EQ(shown.title, "Open");
  EXPECT_TRUE(shown.filters.empty());
  EXPECT_EQ(shown.folder, "");  // the current directory
  EXPECT_EQ(shown.name, "");
  EXPECT_EQ(shown.owner, nullptr);

  // A path in the file buffer opens in its folder, whatever the initial one.
  const std::string proposed = folder_.PathOf("name.scr");
  std::strcpy(buffer_, proposed.c_str());
  ofn_.lpstrInitialDir = "/elsewhere";
  ofn_.lpstrFilter = "A\0*.a\0B\0*.b\0";
  ofn_.nFilterIndex = 9;  // beyond the list: the first
  HeadlessAnswerFileDialog(std::nullopt);
  EXPECT_FALSE(GetSaveFileNameA(&ofn_));
  shown = HeadlessLastFileDialog();
  EXPECT_TRUE(shown.save);
  EXPECT_EQ(shown.title, "Save As");
  EXPECT_EQ(shown.folder, folder_.Path());
  EXPECT_EQ(shown.name, "name.scr");
  EXPECT_EQ(shown.filter, 0u);
}

TEST_F(FileDialogTest, IndexZeroSelectsTheCustomFilter) {
  char custom[32] = "Mine\0*.mine\0";
  ofn_.lpstrCustomFilter = custom;
  ofn_.nMaxCustFilter = sizeof custom;
  ofn_.lpstrFilter = "A\0*.a\0";
  ofn_.nFilterIndex = 0;
  const std::string file = folder_.Write("x.mine", {1});
  HeadlessAnswerFileDialog(file);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  const HeadlessFileDialogRecord shown = HeadlessLastFileDialog();
  ASSERT_EQ(shown.filters.size(), 2u);
  EXPECT_EQ(shown.filters[0], (std::pair<std::string, std::string>{"Mine", "*.mine"}));
  EXPECT_EQ(shown.filter, 0u);
  EXPECT_EQ(ofn_.nFilterIndex, 0u);  // still the custom one

  ofn_.lpstrCustomFilter = nullptr;  // none kept: index 0 is the first entry
  HeadlessAnswerFileDialog(file, 0);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(HeadlessLastFileDialog().filters.size(), 1u);
  EXPECT_EQ(ofn_.nFilterIndex, 1u);
}

TEST_F(FileDialogTest, OnlyTheTwoStructureSizesAreTaken) {
  const int shown = HeadlessLastFileDialog().shown;
  for (DWORD size : {0u, 76u, static_cast<DWORD>(sizeof(OPENFILENAMEA) - 1)}) {
    if (size == OPENFILENAME_SIZE_VERSION_400A) {
      continue;
    }
    ofn_.lStructSize = size;
    EXPECT_FALSE(GetOpenFileNameA(&ofn_)) << size;
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE)) << size;
  }
  EXPECT_EQ(HeadlessLastFileDialog().shown, shown);
  ofn_.lStructSize = sizeof(OPENFILENAMEA);
  HeadlessAnswerFileDialog(std::nullopt);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(HeadlessLastFileDialog().shown, shown + 1);
}

TEST_F(FileDialogTest, HooksAndTemplatesAreNotServed) {
  for (DWORD flag : {OFN_ENABLEHOOK, OFN_ENABLETEMPLATE, OFN_ENABLETEMPLATEHANDLE}) {
    ofn_.Flags |= flag;
    EXPECT_FALSE(GetOpenFileNameA(&ofn_));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_DIALOGFAILURE));
    ofn_.Flags &= ~flag;
  }
}

TEST_F(FileDialogTest, CancelAnswersFalseAndLeavesTheBuffer) {
  std::strcpy(buffer_, "keep.scr");
  SetLastError(0);
  HeadlessAnswerFileDialog(std::nullopt);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_STREQ(buffer_, "keep.scr");
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(FileDialogTest, PathThatDoesNotFitFailsWithTheSizeItNeeds) {
  const std::string name(40, 'n');
  const std::string path = folder_.Write(name, {1});
  ofn_.nMaxFile = static_cast<DWORD>(path.size());  // one short of its zero
  HeadlessAnswerFileDialog(path);
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  WORD needed = 0;
  std::memcpy(&needed, buffer_, sizeof needed);
  EXPECT_EQ(needed, path.size() + 1);
  EXPECT_FALSE(HeadlessLastFileDialog().up);  // the dialog ended

  ofn_.nMaxFile = needed;
  HeadlessAnswerFileDialog(path);
  EXPECT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_STREQ(buffer_, path.c_str());
}

TEST_F(FileDialogTest, ChoicesTheFlagsForbidAreRefusedAndTheDialogStaysUp) {
  const std::string missingFolder = folder_.PathOf("nowhere/x.scr");
  const std::string missingFile = folder_.PathOf("x.scr");
  HeadlessAnswerFileDialog(missingFolder);
  HeadlessAnswerFileDialog(folder_.Path());  // a folder is no file
  HeadlessAnswerFileDialog(missingFile);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_STREQ(buffer_, missingFile.c_str());  // without OFN_FILEMUSTEXIST it will do
  std::vector<std::string> refused;
  for (const auto& [path, why] : HeadlessLastFileDialog().refused) {
    refused.push_back(path);
  }
  EXPECT_EQ(refused, (std::vector<std::string>{missingFolder, folder_.Path()}));

  ofn_.Flags |= OFN_FILEMUSTEXIST;
  const std::string there = folder_.Write("there.scr", {1});
  HeadlessAnswerFileDialog(missingFile);
  HeadlessAnswerFileDialog(there);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_STREQ(buffer_, there.c_str());
  EXPECT_EQ(HeadlessLastFileDialog().refused.size(), 1u);

  // Without OFN_PATHMUSTEXIST even a missing folder is taken.
  ofn_.Flags &= ~static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  HeadlessAnswerFileDialog(missingFolder);
  ASSERT_TRUE(GetSaveFileNameA(&ofn_));
  EXPECT_STREQ(buffer_, missingFolder.c_str());
}

TEST_F(FileDialogTest, NamesCountFromTheDialogsFolderAndGetTheDefaultExtension) {
  const std::string initial = folder_.Path();
  ofn_.lpstrInitialDir = initial.c_str();
  ofn_.lpstrDefExt = "scr";
  HeadlessAnswerFileDialog("sub/../plain");
  ASSERT_TRUE(GetSaveFileNameA(&ofn_));
  EXPECT_EQ(std::string(buffer_), folder_.PathOf("plain.scr"));
  EXPECT_EQ(ofn_.Flags & OFN_EXTENSIONDIFFERENT, 0u);

  HeadlessAnswerFileDialog("other.bin");
  ASSERT_TRUE(GetSaveFileNameA(&ofn_));
  EXPECT_EQ(std::string(buffer_), folder_.PathOf("other.bin"));
  EXPECT_NE(ofn_.Flags & OFN_EXTENSIONDIFFERENT, 0u);

  // A name ending in a point keeps it, and its extension offset is 0.
  ofn_.lpstrDefExt = nullptr;
  HeadlessAnswerFileDialog("dot.");
  ASSERT_TRUE(GetSaveFileNameA(&ofn_));
  EXPECT_EQ(std::string(buffer_), folder_.PathOf("dot."));
  EXPECT_EQ(ofn_.nFileExtension, 0u);
  HeadlessAnswerFileDialog("bare");
  ASSERT_TRUE(GetSaveFileNameA(&ofn_));
  EXPECT_EQ(ofn_.nFileExtension, std::strlen(buffer_));  // its end
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

  ofn_.Flags &= ~static_cast<DWORD>(OFN_EXPLORER);  // the old form: spaces between
  HeadlessAnswerFileDialogFiles({a, b});
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::string(buffer_), folder_.Path() + " a.scr b.scr");

  // Several files come from one folder, and only where the program allows them.
  ofn_.Flags |= OFN_EXPLORER;
  TempFolder elsewhere;
  const std::string c = elsewhere.Write("c.scr", {1});
  HeadlessAnswerFileDialogFiles({a, c});
  HeadlessAnswerFileDialog(b);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(HeadlessLastFileDialog().refused.size(), 1u);
  ofn_.Flags &= ~static_cast<DWORD>(OFN_ALLOWMULTISELECT);
  HeadlessAnswerFileDialogFiles({a, b});
  HeadlessAnswerFileDialog(b);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(HeadlessLastFileDialog().refused.size(), 1u);
  EXPECT_STREQ(buffer_, b.c_str());
}

TEST_F(FileDialogTest, CurrentDirectoryFollowsTheChoiceUnlessAskedNotTo) {
  const std::string file = folder_.Write("f.scr", {1});
  HeadlessAnswerFileDialog(file);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::filesystem::current_path(), cwd_);

  ofn_.Flags &= ~static_cast<DWORD>(OFN_NOCHANGEDIR);
  HeadlessAnswerFileDialog(file);
  ASSERT_TRUE(GetOpenFileNameA(&ofn_));
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(folder_.Path()));
}

TEST_F(FileDialogTest, MessagesKeepRunningWhileTheDialogIsUp) {
  bool upWhenDelivered = false;
  onUser = [&](HWND) { upWhenDelivered = HeadlessLastFileDialog().up; };
  PostMessageA(other_, WM_USER, 0, 0);
  HeadlessAddStep([] { HeadlessAnswerFileDialog(std::nullopt); });
  EXPECT_FALSE(GetOpenFileNameA(&ofn_));
  EXPECT_TRUE(upWhenDelivered);
  EXPECT_EQ(GetActiveWindow(), owner_);
}

}  // namespace

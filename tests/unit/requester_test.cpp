// File requester: what the dialog is handed (filter list, folder and proposed
// name, structure form and flags), what its answer becomes, valid names, and
// the guard that disables the program's other windows while a requester is up.

#include "toolkit/io/requester.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/runtime_fixture.h"
#include "toolkit/io/requester_internal.h"

namespace {

// A path written with "/" in the platform's own separator.
std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') {
      c = REQUEST_FOLDER_SEPARATOR;
    }
  }
  return path;
}

// A literal's bytes, embedded zeros included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

class RequestSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { StartBaseServices(); }
  void TearDown() override {
    RequestDialogRelease(&setup_);
    TakeResult([](intptr_t start) { RequestFileResult(start, 0, FALSE); });
  }
  const OPENFILENAMEA& Prepare(const char* defaultFile, const char* patterns = "*.*|*.*;",
                               int32_t position = 0, int32_t flags = 0,
                               const char* title = "Please choose file to load") {
    RequestDialogRelease(&setup_);
    EXPECT_TRUE(RequestDialogPrepare(&setup_, flags, title, defaultFile, patterns, position));
    return setup_.dialog;
  }
  // The filter list up to and including its closing empty string.
  std::string FilterBytes() const {
    const char* p = setup_.dialog.lpstrFilter;
    size_t length = 0;
    while (p[length] != '\0' || p[length + 1] != '\0') {
      ++length;
    }
    return std::string(p, length + 2);
  }
  std::string InitialDirectory() const {
    return setup_.dialog.lpstrInitialDir != nullptr ? setup_.dialog.lpstrInitialDir : "<null>";
  }
  std::string ProposedName() const { return setup_.dialog.lpstrFile; }

  RequestDialogSetup setup_{};
};

// ---------------------------------------------------------------------------
// Names

TEST(FileNameIsValidTest, PlainNamesAndHighBytesAreValidAbsentEmptyReservedAndControlBytesNot) {
  for (const char* name :
       {"screen.scr", "a", " ", "name with spaces.scr", "-.", "\x80\xFF.scr", "caf\xE9", "~$x"}) {
    EXPECT_EQ(FileNameIsValid(name), 1) << name;
  }
  for (const char* name :
       {static_cast<const char*>(nullptr), "", "\x01", "a\x1F", "\tname", "na\nme"}) {
    EXPECT_EQ(FileNameIsValid(name), 0) << (name != nullptr ? name : "(null)");
  }
  for (const char reserved : std::string("\"\\/:*?<>|")) {
    for (const std::string& name : {std::string(1, reserved), std::string("a") + reserved + "b",
                                    std::string("ab") + reserved}) {
      EXPECT_EQ(FileNameIsValid(name.c_str()), 0) << name;
    }
  }
}

// ---------------------------------------------------------------------------
// What the dialog is handed

TEST_F(RequestSetupTest, PatternFieldsBecomeTheDialogsZeroSeparatedListCountedFromOne) {
  EXPECT_EQ(Prepare(nullptr, "*.*|*.*;", 0).nFilterIndex, 1u);
  EXPECT_EQ(FilterBytes(), Bytes("*.*\0*.*;\0\0"));

  EXPECT_EQ(Prepare(nullptr, "Screens|*.scr|All files|*.*", 1).nFilterIndex, 2u);
  EXPECT_EQ(FilterBytes(), Bytes("Screens\0*.scr\0All files\0*.*\0\0"));

  Prepare(nullptr, nullptr);
  EXPECT_EQ(std::string(setup_.dialog.lpstrFilter, 2), Bytes("\0\0"));
}

TEST_F(RequestSetupTest, SingleAndMultipleSelectionUseTheFourHundredFormTheirBufferAndFlags) {
  const OPENFILENAMEA& d = Prepare(nullptr, "*.*|*.*;", 0, 0, "Please choose file to load");
  // The 76-byte form on 32-bit Windows: the structure up to lpTemplateName.
  EXPECT_EQ(d.lStructSize, offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
  EXPECT_EQ(d.lStructSize, sizeof(void*) == 4 ? 76u : 136u);
  EXPECT_EQ(d.Flags, static_cast<DWORD>(0x8080C));
  EXPECT_EQ(d.nMaxFile, 260u);
  EXPECT_EQ(d.lpstrFile, RequestNameBuffer());
  EXPECT_STREQ(d.lpstrTitle, "Please choose file to load");
  EXPECT_EQ(d.hwndOwner, nullptr);
  EXPECT_EQ(d.lpstrCustomFilter, nullptr);
  EXPECT_EQ(d.lpstrDefExt, nullptr);
  EXPECT_EQ(d.lpfnHook, nullptr);
  EXPECT_EQ(Prepare(nullptr, "*.*|*.*;", 0, 0, nullptr).lpstrTitle, nullptr);

  const OPENFILENAMEA& m = Prepare(nullptr, "*.*|*.*;", 0, REQUEST_MULTIPLE);
  EXPECT_EQ(m.nMaxFile, 512000u);
  EXPECT_EQ(m.Flags, static_cast<DWORD>(0x80A0C));
  EXPECT_EQ(m.lpstrFile[0], '\0');
  EXPECT_EQ(m.lpstrFile[511999], '\0');
}

TEST_F(RequestSetupTest, DefaultFileSplitsIntoFolderAndProposedName) {
  const struct {
    const char* given;  // "/" standing for the platform's separator
    const char* folder;
    const char* name;
  } cases[] = {
      {nullptr, "<null>", ""},  // the dialog chooses the folder
      {"screens/zx/manic.scr", "screens/zx", "manic.scr"},
      {"/abs/dir/name.scr", "/abs/dir", "name.scr"},
      {"screens/zx/", "screens/zx", ""},  // trailing separator
      {"screens/*.scr", "screens", ""},   // wildcard name
      {"screens/a:b", "screens", ""},
      {"manic.scr", "", "manic.scr"},  // an empty folder, not an absent one
      // A separator only at the very start splits nothing: the whole text is
      // the name, which a separator makes invalid.
      {"/manic.scr", "", ""},
  };
  for (const auto& c : cases) {
    const std::string given = c.given != nullptr ? Native(c.given) : "";
    SCOPED_TRACE(c.given != nullptr ? c.given : "(none)");
    Prepare(c.given != nullptr ? given.c_str() : nullptr);
    EXPECT_EQ(InitialDirectory(), Native(c.folder));
    EXPECT_EQ(ProposedName(), c.name);
    if (c.given != nullptr) {
      EXPECT_EQ(given, Native(c.given));  // cut in a copy only
    }
  }
}

TEST_F(RequestSetupTest, NameThatDoesNotFitTheBufferIsNotProposed) {
  const std::string fits(259, 'n');
  Prepare(("dir" + std::string(1, REQUEST_FOLDER_SEPARATOR) + fits).c_str());
  EXPECT_EQ(ProposedName(), fits);
  EXPECT_EQ(setup_.dialog.lpstrFile[259], '\0');

  const std::string tooLong(260, 'n');
  Prepare(("dir" + std::string(1, REQUEST_FOLDER_SEPARATOR) + tooLong).c_str());
  EXPECT_EQ(ProposedName(), "");
  EXPECT_EQ(InitialDirectory(), "dir");  // the folder still applies

  Prepare(tooLong.c_str());
  EXPECT_EQ(ProposedName(), "");

  // The multiple-selection buffer is large enough for it.
  Prepare(tooLong.c_str(), "*.*|*.*;", 0, REQUEST_MULTIPLE);
  EXPECT_EQ(ProposedName(), tooLong);
}

// The dialog said FNERR_BUFFERTOOSMALL and left the size it needs in the
// buffer's first two bytes: the next dialog gets a buffer of that size, with
// the proposal that now fits; a size no larger than the buffer's asks nothing.
TEST_F(RequestSetupTest, BufferTooSmallGrowsTheBufferToTheSizeTheDialogNeeds) {
  const std::string name(300, 'n');
  Prepare(("dir" + std::string(1, REQUEST_FOLDER_SEPARATOR) + name).c_str());
  EXPECT_EQ(ProposedName(), "");
  for (const WORD needed : {WORD{260}, WORD{2}}) {
    std::memcpy(setup_.dialog.lpstrFile, &needed, sizeof needed);
    EXPECT_FALSE(RequestDialogGrow(&setup_)) << needed;
    EXPECT_EQ(setup_.dialog.nMaxFile, 260u);
  }
  const WORD needed = 4097;
  std::memcpy(setup_.dialog.lpstrFile, &needed, sizeof needed);
  ASSERT_TRUE(RequestDialogGrow(&setup_));
  EXPECT_EQ(setup_.dialog.nMaxFile, 4097u);
  EXPECT_EQ(setup_.dialog.lpstrFile, RequestNameBuffer());
  EXPECT_EQ(ProposedName(), name);
  EXPECT_EQ(setup_.dialog.lpstrFile[4096], '\0');
  EXPECT_EQ(InitialDirectory(), "dir");
}

// ---------------------------------------------------------------------------
// What the dialog's answer becomes

class RequestResultTest : public RequestSetupTest {
 protected:
  // The dialog's answer: `bytes` written at the start of the name buffer.
  void Answer(const std::string& bytes) {
    ASSERT_LE(bytes.size(), setup_.dialog.nMaxFile);
    std::memcpy(setup_.dialog.lpstrFile, bytes.data(), bytes.size());
  }
  std::string Result(int32_t flags, BOOL chosen) {
    return TakeResult([&](intptr_t start) { RequestFileResult(start, flags, chosen); });
  }
};

TEST_F(RequestResultTest, ChosenFileGivesItsPathAndFreesTheBuffer) {
  Prepare(nullptr);
  Answer(Native("/home/user/screens/manic.scr") + '\0');
  EXPECT_EQ(Result(0, TRUE), Native("/home/user/screens/manic.scr"));
  EXPECT_EQ(RequestNameBuffer(), nullptr);
}

TEST_F(RequestResultTest, CancelOrABufferWithoutATerminatorGivesNothing) {
  Prepare(Native("dir/proposed.scr").c_str());
  EXPECT_EQ(Result(0, FALSE), "");
  EXPECT_EQ(RequestNameBuffer(), nullptr);

  Prepare(nullptr);
  Answer(std::string(260, 'x'));
  EXPECT_EQ(Result(0, TRUE), "");
  EXPECT_EQ(RequestNameBuffer(), nullptr);

  Prepare(nullptr, "*.*|*.*;", 0, REQUEST_MULTIPLE);
  Answer(std::string("x") + '\0' + '\0');
  EXPECT_EQ(Result(REQUEST_MULTIPLE, FALSE), "");
}

TEST_F(RequestResultTest, MultipleSelectionJoinsTheFolderAndTheFirstName) {
  // One file: its path, and the buffer kept empty for further names.
  Prepare(nullptr, "*.*|*.*;", 0, REQUEST_MULTIPLE);
  Answer(Native("/d/a.scr") + Bytes("\0\0"));
  EXPECT_EQ(Result(REQUEST_MULTIPLE, TRUE), Native("/d/a.scr"));
  ASSERT_NE(RequestNameBuffer(), nullptr);
  EXPECT_EQ(RequestNameBuffer()[0], '\0');
  EXPECT_EQ(RequestNextNameOffset(), 0);

  const std::string names = std::string("a.scr") + '\0' + "b.scr" + '\0' + '\0';
  Prepare(nullptr, "*.*|*.*;", 0, REQUEST_MULTIPLE);
  const std::string folder = Native("/d/zx");
  Answer(folder + '\0' + names);
  EXPECT_EQ(Result(REQUEST_MULTIPLE, TRUE), Native("/d/zx/a.scr"));
  ASSERT_NE(RequestNameBuffer(), nullptr);
  const int32_t next = RequestNextNameOffset();
  EXPECT_EQ(next, static_cast<int32_t>(folder.size() + 1 + 6));
  EXPECT_STREQ(RequestNameBuffer() + next, "b.scr");

  const struct {
    std::string folder, result;
  } cases[] = {
      // A folder that already ends in a separator (a drive's root) gets no other.
      {Native("/"), Native("/a.scr")},
      // The folder must fit the directory buffer: 258 + separator + zero = 260.
      {std::string(258, 'f'), std::string(258, 'f') + REQUEST_FOLDER_SEPARATOR + "a.scr"},
      {std::string(259, 'f'), ""},
  };
  for (const auto& c : cases) {
    Prepare(nullptr, "*.*|*.*;", 0, REQUEST_MULTIPLE);
    Answer(c.folder + '\0' + names);
    EXPECT_EQ(Result(REQUEST_MULTIPLE, TRUE), c.result) << c.folder.size();
  }
}

// ---------------------------------------------------------------------------
// The guard and the owner, over real top-level windows of this thread

class ModalGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBaseServices();
    RegisterPlainClass("KelpieGuardTest");
  }
  void TearDown() override {
    for (HWND w : windows_) {
      DestroyWindow(w);
    }
  }
  HWND Make(bool visible) {
    HWND w = CreateWindowExA(0, "KelpieGuardTest", "guard",
                             WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 40, 40, 160, 100,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    windows_.push_back(w);
    return w;
  }
  std::vector<HWND> windows_;
};

TEST_F(ModalGuardTest, DisablesTheOtherVisibleEnabledWindowsAndRestoresExactlyOnce) {
  HWND owner = Make(true);
  HWND other = Make(true);
  HWND disabledBefore = Make(true);
  HWND hidden = Make(false);
  EnableWindow(disabledBefore, FALSE);
  SetForegroundWindow(owner);
  ASSERT_EQ(GetForegroundWindow(), owner);
  EXPECT_EQ(RequestOwner(), owner);

  ModalGuard(1);
  EXPECT_TRUE(IsWindowEnabled(owner));  // the dialog keeps its owner from input itself
  EXPECT_FALSE(IsWindowEnabled(other));
  EXPECT_FALSE(IsWindowEnabled(disabledBefore));
  EXPECT_TRUE(IsWindowEnabled(hidden));

  ModalGuard(0);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_FALSE(IsWindowEnabled(disabledBefore));  // stays as it was
  EXPECT_TRUE(IsWindowEnabled(hidden));

  // Restoring empties the list: disabled by someone else afterwards, a window
  // is left alone by a second restore.
  EnableWindow(other, FALSE);
  ModalGuard(0);
  EXPECT_FALSE(IsWindowEnabled(other));
}

TEST_F(ModalGuardTest, WindowDestroyedWhileDisabledIsForgotten) {
  HWND owner = Make(true);
  HWND doomed = Make(true);
  HWND kept = Make(true);
  SetForegroundWindow(owner);
  ModalGuard(1);
  DestroyWindow(doomed);
  windows_.erase(std::find(windows_.begin(), windows_.end(), doomed));
  ModalGuard(0);
  EXPECT_TRUE(IsWindowEnabled(kept));
  // Nothing of the destroyed window is left to restore later.
  EnableWindow(kept, FALSE);
  ModalGuard(0);
  EXPECT_FALSE(IsWindowEnabled(kept));
}

}  // namespace

// File requester on our layer where only our layer can set the scene: memory
// that runs out while the requester prepares or guards, another program in
// the foreground, and chosen paths up to the longest the kernel opens.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/headless.h"
#include "platform/posix/testing.h"
#include "tests/support/runtime_fixture.h"
#include "tests/support/temp_files.h"
#include "toolkit/io/requester.h"
#include "toolkit/io/requester_internal.h"

namespace {

class RequesterPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBaseServices();
    RegisterPlainClass("KelpieRequesterPosixTest");
  }
  void TearDown() override {
    PosixHeapFailAllocation(0);
    for (HWND w : windows_) {
      DestroyWindow(w);
    }
  }
  HWND Make() {
    HWND w = CreateWindowExA(0, "KelpieRequesterPosixTest", "w", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             10, 10, 120, 80, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    windows_.push_back(w);
    return w;
  }
  std::vector<HWND> windows_;
};

TEST_F(RequesterPosixTest, PreparationWithoutItsBlocksHoldsNothing) {
  // The name buffer, the filter text and the copy of the default file, in turn.
  for (uint64_t failing = 1; failing <= 3; ++failing) {
    RequestDialogSetup setup{};
    PosixHeapFailAllocation(failing);
    EXPECT_FALSE(RequestDialogPrepare(&setup, 0, "t", "dir/name.scr", "*.*|*.*;", 0))
        << "allocation " << failing;
    PosixHeapFailAllocation(0);
    EXPECT_EQ(RequestNameBuffer(), nullptr) << "allocation " << failing;
    EXPECT_EQ(setup.filter, nullptr) << "allocation " << failing;
    EXPECT_EQ(setup.defaultCopy, nullptr) << "allocation " << failing;
  }
  RequestDialogSetup setup{};
  EXPECT_TRUE(RequestDialogPrepare(&setup, 0, "t", "dir/name.scr", "*.*|*.*;", 0));
  RequestDialogRelease(&setup);
  const intptr_t start = ScratchPosition();
  RequestFileResult(start, 0, FALSE);
  char* value = nullptr;
  StringAssignResult(&value, start);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(RequestNameBuffer(), nullptr);
}

TEST_F(RequesterPosixTest, WindowTheGuardCannotNoteStaysEnabled) {
  HWND owner = Make();
  HWND first = Make();
  HWND second = Make();
  SetForegroundWindow(owner);
  PosixHeapFailAllocation(1);  // the list entry of the first window it meets
  ModalGuard(1);
  PosixHeapFailAllocation(0);
  EXPECT_EQ((IsWindowEnabled(first) ? 0 : 1) + (IsWindowEnabled(second) ? 0 : 1), 1);
  ModalGuard(0);
  EXPECT_TRUE(IsWindowEnabled(first));
  EXPECT_TRUE(IsWindowEnabled(second));
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(RequesterPosixTest, WithAnotherProgramInFrontThereIsNoOwnerAndEveryWindowIsDisabled) {
  HWND first = Make();
  HWND second = Make();
  HeadlessActivate(nullptr);
  ASSERT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_EQ(RequestOwner(), nullptr);
  ModalGuard(1);
  EXPECT_FALSE(IsWindowEnabled(first));
  EXPECT_FALSE(IsWindowEnabled(second));
  ModalGuard(0);
  EXPECT_TRUE(IsWindowEnabled(first));
  EXPECT_TRUE(IsWindowEnabled(second));
}

// A path that does not fit the 260-byte buffer makes the dialog fail with
// FNERR_BUFFERTOOSMALL; the requester asks again with the size the dialog
// named, and the second choice comes back whole.
TEST_F(RequesterPosixTest, PathLongerThanTheBufferIsAskedForAgainAndComesBackWhole) {
  TempFolder folder;
  std::string deep = folder.Path();
  while (deep.size() < 3900) {
    deep += "/" + std::string(100, 'd');
  }
  std::filesystem::create_directories(deep);
  const auto pathOf = [](const std::string& in, size_t length) {
    return in + "/" + std::string(length - in.size() - 1, 'n');
  };
  const struct {
    std::string path;
    int dialogs;
  } cases[] = {
      {pathOf(folder.Path(), 259), 1},
      {pathOf(folder.Path(), 260), 2},
      {pathOf(deep, 4095), 2},  // PATH_MAX with its terminating zero
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.size());
    HeadlessAnswerFileDialog(c.path);
    HeadlessAnswerFileDialog(c.path);
    const int shown = HeadlessLastFileDialog().shown;
    const std::string result = TakeResult(
        [](intptr_t start) { RequestOpenFile(start, "t", nullptr, "*.*|*.*;", 0); });
    EXPECT_EQ(result, c.path);
    EXPECT_EQ(HeadlessLastFileDialog().shown - shown, c.dialogs);
    EXPECT_EQ(RequestNameBuffer(), nullptr);
    HeadlessClearAnswers();
  }
}

}  // namespace

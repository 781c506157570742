// The whole viewer, driven as a user drives it on the headless display: each
// test queues what the user does as steps that run whenever the program waits,
// runs the entry routine to its end and checks what the window showed.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/posix/headless.h"
#include "tests/support/image_diff.h"
#include "tests/support/screen_oracle.h"
#include "tests/support/temp_files.h"
#include "toolkit/base/window_data.h"
#include "toolkit/gfx/image.h"
#include "toolkit/window/menu.h"
#include "toolkit/window/window.h"
#include "viewer/app/app.h"
#include "viewer/render/render.h"

namespace {

constexpr UINT kScanSpace = 0x39;
constexpr UINT kScanA = 0x1E;

std::vector<unsigned char> RandomScreen(unsigned seed, size_t size = 6912) {
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(size);
  for (auto& b : bytes) {
    b = static_cast<unsigned char>(random());
  }
  return bytes;
}

// What the picture must be after rendering `screen` (6912 bytes).
oracle::Image Expected(const std::vector<unsigned char>& screen, int mode) {
  return oracle::Oracle(screen.data(), mode);
}

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessSetBlockedHook([](const char* waiter) {
      throw std::runtime_error(std::string("the viewer waits in ") + waiter + " with no step left");
    });
  }

  // Runs the program with the steps queued so far; the last step closes it.
  void Run() {
    Step([] { HeadlessCloseBox(Main()); });
    try {
      exitCode_ = KelpieMain();
    } catch (const std::exception& e) {
      FAIL() << e.what();
    }
    EXPECT_EQ(exitCode_, 0);
  }

  static void Step(std::function<void()> step) { HeadlessAddStep(std::move(step)); }
  static HWND Main() { return WindowHandle(MAIN_WINDOW); }

  // Chooses "&Load..." and answers the dialog with `path` (nullopt: Cancel).
  static void StepLoad(const std::optional<std::string>& path) {
    Step([path] {
      HeadlessAnswerFileDialog(path);
      ASSERT_TRUE(HeadlessChooseMenu(Main(), MENU_LOAD));
    });
  }

  // Keeps the client area's picture as the next step finds it.
  void StepCapture(oracle::Image* into) {
    Step([into] {
      const HeadlessImage shown = HeadlessPixels(Main());
      ASSERT_EQ(shown.width, oracle::kWidth);
      ASSERT_EQ(shown.height, oracle::kHeight);
      into->assign(oracle::kPixels, 0);
      for (LONG y = 0; y < shown.height; ++y) {
        for (LONG x = 0; x < shown.width; ++x) {
          (*into)[static_cast<size_t>(y) * oracle::kWidth + x] = shown.Colour(x, y);
        }
      }
    });
  }

  static void StepKey(UINT scanCode, bool down) {
    Step([=] { down ? HeadlessKeyDown(scanCode) : HeadlessKeyUp(scanCode); });
  }

  static ::testing::AssertionResult Same(const oracle::Image& shown,
                                         const oracle::Image& expected) {
    return image_diff::ImagesMatch(shown, expected, oracle::kWidth, oracle::kHeight);
  }

  TempFolder folder_;
  int32_t exitCode_ = -1;
};

const oracle::Image kBlack(oracle::kPixels, 0);

TEST_F(ViewerTest, OpensTheMainWindowWithItsMenuAndABlackPicture) {
  HeadlessWindowState state;
  oracle::Image shown;
  Step([&] { state = HeadlessWindow(Main()); });
  StepCapture(&shown);
  Run();
  EXPECT_EQ(state.title, "Kelpie v0.2");
  EXPECT_EQ(state.outer.left, 50);
  EXPECT_EQ(state.outer.top, 50);
  EXPECT_EQ(state.client.right - state.client.left, 768);
  EXPECT_EQ(state.client.bottom - state.client.top, 576);
  EXPECT_NE(state.menu, nullptr);
  EXPECT_TRUE(Same(shown, kBlack));
}

TEST_F(ViewerTest, LoadShowsTheScreenExactlyUnderTheMenuBar) {
  const auto screen = RandomScreen(1);
  const std::string path = folder_.Write("random.scr", screen);
  oracle::Image shown;
  HeadlessFileDialogRecord dialog;
  StepLoad(path);
  Step([&] { dialog = HeadlessLastFileDialog(); });
  StepCapture(&shown);
  Run();
  EXPECT_TRUE(Same(shown, Expected(screen, 0)));

  EXPECT_EQ(dialog.shown, 1);
  EXPECT_EQ(dialog.title, "Please choose file to load");
  ASSERT_EQ(dialog.filters.size(), 1u);
  EXPECT_EQ(dialog.filters[0].first, "*.*");
  EXPECT_EQ(dialog.filters[0].second, "*.*;");
  EXPECT_EQ(dialog.filter, 0u);
  EXPECT_EQ(dialog.name, "");
  EXPECT_FALSE(dialog.save);
  EXPECT_EQ(dialog.flags, 0x8080Cu);
}

TEST_F(ViewerTest, CancellingTheDialogChangesNothing) {
  const auto screen = RandomScreen(2);
  const std::string path = folder_.Write("random.scr", screen);
  oracle::Image loaded, afterCancel;
  StepLoad(path);
  StepCapture(&loaded);
  StepLoad(std::nullopt);
  StepCapture(&afterCancel);
  Run();
  EXPECT_TRUE(Same(loaded, Expected(screen, 0)));
  EXPECT_TRUE(Same(afterCancel, loaded));
}

TEST_F(ViewerTest, WhatCannotBeReadLeavesThePictureAsItWas) {
  const auto screen = RandomScreen(3);
  const std::string path = folder_.Write("random.scr", screen);
  const std::string empty = folder_.Write("empty.scr", {});
  oracle::Image missing, directory, emptyFile;
  HeadlessFileDialogRecord dialog;
  StepLoad(path);
  StepLoad(folder_.PathOf("missing.scr"));
  StepCapture(&missing);
  // The dialog opens a folder instead of returning it; the user then cancels.
  Step([this] {
    HeadlessAnswerFileDialog(folder_.Path());
    HeadlessAnswerFileDialog(std::nullopt);
    ASSERT_TRUE(HeadlessChooseMenu(Main(), MENU_LOAD));
  });
  Step([&] { dialog = HeadlessLastFileDialog(); });
  StepCapture(&directory);
  StepLoad(empty);
  StepCapture(&emptyFile);
  Run();
  const oracle::Image expected = Expected(screen, 0);
  EXPECT_TRUE(Same(missing, expected));
  EXPECT_TRUE(Same(directory, expected));
  ASSERT_EQ(dialog.refused.size(), 1u);
  EXPECT_EQ(dialog.refused[0].first, folder_.Path());
  EXPECT_TRUE(Same(emptyFile, expected));
}

TEST_F(ViewerTest, AShortFileAfterAFullOneShowsTheMixtureAndALongOneItsStart) {
  const auto full = RandomScreen(4);
  const auto shortScreen = RandomScreen(5, 100);
  const auto longScreen = RandomScreen(6, 9000);
  oracle::Image mixture, longShown;
  StepLoad(folder_.Write("full.scr", full));
  StepLoad(folder_.Write("short.scr", shortScreen));
  StepCapture(&mixture);
  StepLoad(folder_.Write("long.scr", longScreen));
  StepCapture(&longShown);
  Run();

  auto mixed = full;
  std::copy(shortScreen.begin(), shortScreen.end(), mixed.begin());
  EXPECT_TRUE(Same(mixture, Expected(mixed, 0)));
  const std::vector<unsigned char> start(longScreen.begin(), longScreen.begin() + 6912);
  EXPECT_TRUE(Same(longShown, Expected(start, 0)));
}

TEST_F(ViewerTest, SpaceBeforeAnyLoadShowsBlackWithoutMarks) {
  oracle::Image shown;
  StepKey(kScanSpace, true);
  StepKey(kScanSpace, false);
  StepCapture(&shown);
  Run();
  EXPECT_TRUE(Same(shown, kBlack));
}

// The first release redraws with darkened marks (no visible change after a
// Load), the second with white ones; nothing happens while the key is down.
TEST_F(ViewerTest, SpaceActsOnReleaseOnceAndAlternatesTheMarks) {
  const auto screen = RandomScreen(7);
  oracle::Image firstUp, secondDown, secondUp, thirdUp;
  StepLoad(folder_.Write("random.scr", screen));
  StepKey(kScanSpace, true);
  StepKey(kScanSpace, false);
  StepCapture(&firstUp);
  StepKey(kScanSpace, true);
  StepCapture(&secondDown);
  StepKey(kScanSpace, false);
  StepCapture(&secondUp);
  StepKey(kScanSpace, true);
  StepKey(kScanSpace, false);
  StepCapture(&thirdUp);
  Run();
  const oracle::Image darkened = Expected(screen, 0);
  const oracle::Image white = Expected(screen, 1);
  EXPECT_TRUE(Same(firstUp, darkened));
  EXPECT_TRUE(Same(secondDown, darkened));
  EXPECT_TRUE(Same(secondUp, white));
  EXPECT_TRUE(Same(thirdUp, darkened));
}

TEST_F(ViewerTest, AHeldSpaceRepeatsNothing) {
  const auto screen = RandomScreen(8);
  oracle::Image held, released;
  StepLoad(folder_.Write("random.scr", screen));
  StepKey(kScanSpace, true);
  StepKey(kScanSpace, false);  // marks turn white at the next release
  for (int i = 0; i < 5; ++i) {
    StepKey(kScanSpace, true);  // the key repeats
  }
  StepCapture(&held);
  StepKey(kScanSpace, false);
  StepCapture(&released);
  Run();
  EXPECT_TRUE(Same(held, Expected(screen, 0)));
  EXPECT_TRUE(Same(released, Expected(screen, 1)));
}

// Both keys come up while the Info box is up, so the next poll finds both
// released: the typed text is "a ", not " ".
TEST_F(ViewerTest, SpaceReleasedTogetherWithAnotherKeyDoesNothing) {
  const auto screen = RandomScreen(9);
  oracle::Image shown;
  StepLoad(folder_.Write("random.scr", screen));
  StepKey(kScanSpace, true);
  StepKey(kScanSpace, false);  // the next release would show white marks
  StepKey(kScanA, true);
  StepKey(kScanSpace, true);
  Step([] { ASSERT_TRUE(HeadlessChooseMenu(Main(), MENU_ABOUT)); });
  Step([] {
    HeadlessKeyUp(kScanA);
    HeadlessKeyUp(kScanSpace);
    HeadlessAnswerMessageBox(IDOK);
  });
  StepCapture(&shown);
  Run();
  EXPECT_TRUE(Same(shown, Expected(screen, 0)));
}

TEST_F(ViewerTest, EveryOtherMenuEntryShowsTheInfoBoxAndNothingElse) {
  const auto screen = RandomScreen(10);
  oracle::Image before, after;
  std::vector<HeadlessMessageBoxRecord> boxes;
  bool stillOpen = false;
  int fileDialogs = -1;
  StepLoad(folder_.Write("random.scr", screen));
  StepCapture(&before);
  for (UINT id : {MENU_SAVE, MENU_LUMEN, MENU_SLATE, MENU_YEAH, MENU_QUIT, MENU_CUT, MENU_COPY,
                  MENU_PASTE, MENU_ABOUT}) {
    Step([id] {
      HeadlessAnswerMessageBox(IDOK);
      ASSERT_TRUE(HeadlessChooseMenu(Main(), id)) << id;
    });
    Step([&] { boxes.push_back(HeadlessLastMessageBox()); });
  }
  Step([&] {
    stillOpen = IsWindow(Main()) != 0;
    fileDialogs = HeadlessLastFileDialog().shown;
  });
  StepCapture(&after);
  Run();
  ASSERT_EQ(boxes.size(), 9u);
  for (size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(boxes[i].shown, static_cast<int>(i) + 1);
    EXPECT_EQ(boxes[i].caption, "Info");
    EXPECT_EQ(boxes[i].text, "Kelpie  ");
    EXPECT_EQ(boxes[i].buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(boxes[i].up);
  }
  EXPECT_TRUE(stillOpen);  // "&Quit" does not quit
  EXPECT_EQ(fileDialogs, 1);
  EXPECT_TRUE(Same(after, before));
}

TEST_F(ViewerTest, GreyedEntriesAndSeparatorsCannotBeChosen) {
  bool saveAs = true, rocks = true, separator = true;
  Step([&] {
    saveAs = HeadlessChooseMenu(Main(), MENU_SAVE_AS);
    rocks = HeadlessChooseMenu(Main(), MENU_ROCKS);
    separator = HeadlessChooseMenu(Main(), MENU_SEPARATOR_ID);
  });
  Run();
  EXPECT_FALSE(saveAs);
  EXPECT_FALSE(rocks);
  EXPECT_FALSE(separator);
  EXPECT_EQ(HeadlessLastMessageBox().shown, 0);
}

// While the dialog is up the program's other windows are disabled; afterwards
// each is as it was.
TEST_F(ViewerTest, TheDialogDisablesOtherWindowsOnlyWhileItIsUp) {
  HWND enabled = nullptr, disabled = nullptr;
  bool enabledDuring = true, disabledDuring = true;
  Step([&] {
    enabled = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 50, 50,
                              nullptr, nullptr, nullptr, nullptr);
    disabled = CreateWindowExA(0, "STATIC", "off", WS_OVERLAPPED | WS_VISIBLE | WS_DISABLED, 0, 0,
                               50, 50, nullptr, nullptr, nullptr, nullptr);
    HeadlessActivate(Main());
    ASSERT_TRUE(HeadlessChooseMenu(Main(), MENU_LOAD));
  });
  Step([&] {  // the dialog is up and waits for its answer
    enabledDuring = IsWindowEnabled(enabled) != 0;
    disabledDuring = IsWindowEnabled(disabled) != 0;
    HeadlessAnswerFileDialog(std::nullopt);
  });
  Step([&] {
    EXPECT_TRUE(IsWindowEnabled(enabled));
    EXPECT_FALSE(IsWindowEnabled(disabled));
    EXPECT_TRUE(IsWindowEnabled(Main()));
  });
  Run();
  EXPECT_FALSE(enabledDuring);
  EXPECT_FALSE(disabledDuring);
}

// Shut-down frees the image before the window goes and closes file 0 after it.
WNDPROC mainProcedure = nullptr;
bool imageGoneAtDestroy = false;
bool fileOpenAtDestroy = false;
std::string loadedPath;

bool FileHeldOpen(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_SHARING_VIOLATION;
  }
  CloseHandle(h);
  return false;
}

LRESULT CALLBACK WatchDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    imageGoneAtDestroy = ImageHandle(SCREEN_IMAGE) == nullptr;
    fileOpenAtDestroy = FileHeldOpen(loadedPath);
  }
  return CallWindowProcA(mainProcedure, window, message, wParam, lParam);
}

TEST_F(ViewerTest, ShutDownFreesTheImageBeforeTheWindowAndClosesTheFileAfter) {
  loadedPath = folder_.Write("random.scr", RandomScreen(11));
  StepLoad(loadedPath);
  Step([] {
    mainProcedure = FromWord<WNDPROC>(
        SetWindowLongPtrA(Main(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchDestroy)));
  });
  Run();
  EXPECT_TRUE(imageGoneAtDestroy);
  EXPECT_TRUE(fileOpenAtDestroy);
  EXPECT_FALSE(FileHeldOpen(loadedPath));
}

LRESULT CALLBACK RefuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    return FALSE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Without a main window every end routine still runs and the exit code is 0.
TEST_F(ViewerTest, AMainWindowThatCannotOpenEndsTheProgramAtOnce) {
  WNDCLASSA refusing{};
  refusing.lpfnWndProc = RefuseCreation;
  refusing.hInstance = GetModuleHandleA(nullptr);
  refusing.lpszClassName = "WindowClass_0";
  ASSERT_NE(RegisterClassA(&refusing), 0);
  EXPECT_EQ(KelpieMain(), 0);  // with a window it would have waited for input and failed
  int windows = 0;
  EnumWindows(
      [](HWND, LPARAM count) -> BOOL {
        ++*FromWord<int*>(count);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  EXPECT_EQ(windows, 0);
}

}  // namespace

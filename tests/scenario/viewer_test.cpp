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
#include "platform/posix/testing.h"
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
  void Run(const std::string& commandLine = "kelpie") {
    Step([] { HeadlessCloseBox(Main()); });
    try {
      exitCode_ = KelpieMain(commandLine.c_str());
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
  static void StepSpace() {
    StepKey(kScanSpace, true);
    StepKey(kScanSpace, false);
  }

  static ::testing::AssertionResult Same(const oracle::Image& shown,
                                         const oracle::Image& expected) {
    return image_diff::ImagesMatch(shown, expected, oracle::kWidth, oracle::kHeight);
  }

  TempFolder folder_;
  int32_t exitCode_ = -1;
};

const oracle::Image kBlack(oracle::kPixels, 0);

// A menu as text: "label:id" for a command (with "*" when greyed),
// "label(...)" for a submenu, "-" for a separator ("-?" with any other id).
std::string MenuText(HMENU menu) {
  std::string text;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char label[64] = {};
    GetMenuStringA(menu, static_cast<UINT>(i), label, sizeof label, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    text += std::string(i == 0 ? "" : " ") + label;
    if (HMENU sub = GetSubMenu(menu, i)) {
      text += "(" + MenuText(sub) + ")";
    } else if ((state & MF_SEPARATOR) != 0) {
      text += GetMenuItemID(menu, i) == 0xFFFFFFFFu ? "-" : "-?";
    } else {
      text += ":" + std::to_string(GetMenuItemID(menu, i)) + ((state & MF_GRAYED) != 0 ? "*" : "");
    }
  }
  return text;
}

TEST_F(ViewerTest, OpensTheMainWindowWithItsMenuAndABlackPicture) {
  HeadlessWindowState state;
  LONG_PTR style = 0;
  std::string menu;
  oracle::Image shown;
  Step([&] {
    state = HeadlessWindow(Main());
    style = GetWindowLongPtrA(Main(), GWL_STYLE);
    menu = MenuText(GetMenu(Main()));
  });
  StepCapture(&shown);
  Run();
  EXPECT_EQ(state.title, "Kelpie v0.2");
  EXPECT_EQ(state.outer.left, 50);
  EXPECT_EQ(state.outer.top, 50);
  EXPECT_EQ(state.client.right - state.client.left, 768);
  EXPECT_EQ(state.client.bottom - state.client.top, 576);
  // A fixed frame: caption and close box, no sizing border, no minimize or
  // maximize box.
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
            WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(menu,
            "File(&Load...:1 Save:2 Save As...:3* - Recents(Lumen.png:5 Slate.jpg:6 Even more "
            "!(Yeah:12) Rocks.tga:13*) - &Quit:7) Edition(Cut:8 Copy:9 Paste:10) ?(About:11)");
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

// A file named on the command line is loaded at start-up without a dialog,
// as a Load would load it: dark marks, and a file that cannot be opened shows
// the black picture. Further arguments are not files to load. (One start-up
// per process: a test each.)
class CommandLineTest : public ViewerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CommandLineTest, TheFirstArgumentIsLoadedAtStartUpWithoutADialog) {
  const auto screen = RandomScreen(5);
  const std::string path = "\"" + folder_.Write("with space.scr", screen) + "\"";
  const std::string missing = folder_.PathOf("missing.scr");
  const bool found = GetParam();
  oracle::Image shown;
  int dialogs = -1;
  Step([&] { dialogs = HeadlessLastFileDialog().shown; });
  StepCapture(&shown);
  Run(found ? "\"/opt/kelpie dir/kelpie\" " + path + " " + missing
            : "kelpie " + missing + " " + path);
  EXPECT_EQ(dialogs, 0);
  EXPECT_TRUE(Same(shown, found ? Expected(screen, 0) : kBlack));
}

INSTANTIATE_TEST_SUITE_P(FoundOrMissing, CommandLineTest, ::testing::Bool());

// Load draws dark marks whatever the space bar chose and leaves that choice
// alone; a cancelled Load and the Info box change nothing, white marks
// included.
TEST_F(ViewerTest, CommandsInEveryMarkState) {
  const auto first = RandomScreen(2);
  const auto second = RandomScreen(12);
  oracle::Image loaded, white, afterCancel, afterInfo, dark;
  StepLoad(folder_.Write("first.scr", first));
  StepSpace();  // the next press draws white marks
  StepLoad(folder_.Write("second.scr", second));
  StepCapture(&loaded);
  StepSpace();
  StepCapture(&white);
  StepLoad(std::nullopt);
  StepCapture(&afterCancel);
  Step([] {
    HeadlessAnswerMessageBox(IDOK);
    ASSERT_TRUE(HeadlessChooseMenu(Main(), MENU_ABOUT));
  });
  StepCapture(&afterInfo);
  StepSpace();
  StepCapture(&dark);
  Run();
  EXPECT_TRUE(Same(loaded, Expected(second, 0)));
  EXPECT_TRUE(Same(white, Expected(second, 1)));
  EXPECT_TRUE(Same(afterCancel, white));
  EXPECT_TRUE(Same(afterInfo, white));
  EXPECT_TRUE(Same(dark, Expected(second, 0)));
}

TEST_F(ViewerTest, WhatCannotBeOpenedLeavesThePictureAsItWas) {
  const auto screen = RandomScreen(3);
  const std::string path = folder_.Write("random.scr", screen);
  oracle::Image missing, directory;
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
  Run();
  const oracle::Image expected = Expected(screen, 0);
  EXPECT_TRUE(Same(missing, expected));
  EXPECT_TRUE(Same(directory, expected));
  ASSERT_EQ(dialog.refused.size(), 1u);
  EXPECT_EQ(dialog.refused[0].first, folder_.Path());
}

// Each file that opens replaces the whole screen, loaded after a full one: a
// short file shows its bytes followed by zeros (below 6144 bytes there are no
// attributes: black), an empty one black, a long one its first 6912 bytes.
TEST_F(ViewerTest, EachFileThatOpensReplacesTheWholeScreen) {
  const std::string full = folder_.Write("full.scr", RandomScreen(4));
  const size_t sizes[] = {100, 6500, 0, 9000};
  std::vector<std::vector<unsigned char>> files;
  std::vector<oracle::Image> shown(std::size(sizes));
  for (size_t i = 0; i < std::size(sizes); ++i) {
    files.push_back(RandomScreen(static_cast<unsigned>(5 + i), sizes[i]));
    StepLoad(full);
    StepLoad(folder_.Write("file" + std::to_string(i) + ".scr", files[i]));
    StepCapture(&shown[i]);
  }
  Run();

  for (size_t i = 0; i < std::size(sizes); ++i) {
    auto screen = files[i];
    screen.resize(6912, 0);
    EXPECT_TRUE(Same(shown[i], Expected(screen, 0))) << sizes[i] << " bytes";
  }
}

// What our layer holds alive: GDI objects, windows, file handles, heap blocks.
struct Live {
  size_t gdiObjects, windows, files, heapBlocks;
  bool operator==(const Live&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Live& l) {
  return out << l.gdiObjects << " GDI objects, " << l.windows << " windows, " << l.files
             << " files, " << l.heapBlocks << " heap blocks";
}
Live CountLive() {
  return Live{PosixLiveGdiObjects(), PosixLiveWindows(), PosixOpenFileHandles(),
              PosixLiveHeapBlocks()};
}

// A thousand Loads, each read and drawn, hold no more than the first:
// whatever a Load takes, the next one gives back.
TEST_F(ViewerTest, AThousandLoadsHoldNoMoreThanTheFirst) {
  constexpr size_t kCycles = 1000;
  const auto first = RandomScreen(12);
  const auto second = RandomScreen(13);
  const std::string paths[] = {folder_.Write("first.scr", first),
                               folder_.Write("second.scr", second)};
  std::vector<Live> live;
  live.reserve(kCycles);
  for (size_t i = 0; i < kCycles; ++i) {
    StepLoad(paths[i % 2]);
    Step([&live] { live.push_back(CountLive()); });
  }
  oracle::Image shown;
  StepCapture(&shown);
  Run();
  ASSERT_EQ(live.size(), kCycles);
  for (size_t i = 1; i < kCycles; ++i) {
    if (live[i] != live[0]) {
      ADD_FAILURE() << "after cycle " << i + 1 << ": " << live[i]
                    << "; after the first: " << live[0];
      break;
    }
  }
  EXPECT_TRUE(Same(shown, Expected(second, 0)));
}

TEST_F(ViewerTest, SpaceBeforeAnyLoadShowsBlackWithoutMarks) {
  oracle::Image shown;
  StepSpace();
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
  StepSpace();
  StepCapture(&firstUp);
  StepKey(kScanSpace, true);
  StepCapture(&secondDown);
  StepKey(kScanSpace, false);
  StepCapture(&secondUp);
  StepSpace();
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
  StepSpace();  // marks turn white at the next release
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
  StepSpace();  // the next release would show white marks
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

// The file dialog and the Info box belong to the main window; while one is up
// the program's other windows are disabled; afterwards each is as it was.
TEST_F(ViewerTest, RequestersBelongToTheMainWindowAndDisableTheOthersWhileUp) {
  HWND enabled = nullptr, disabled = nullptr;
  Step([&] {
    enabled = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 50, 50,
                              nullptr, nullptr, nullptr, nullptr);
    disabled = CreateWindowExA(0, "STATIC", "off", WS_OVERLAPPED | WS_VISIBLE | WS_DISABLED, 0, 0,
                               50, 50, nullptr, nullptr, nullptr, nullptr);
    HeadlessActivate(Main());
  });
  for (const MenuId command : {MENU_LOAD, MENU_ABOUT}) {
    Step([command] { ASSERT_TRUE(HeadlessChooseMenu(Main(), command)); });
    Step([&, command] {  // the requester is up and waits for its answer
      EXPECT_FALSE(IsWindowEnabled(enabled)) << command;
      EXPECT_FALSE(IsWindowEnabled(disabled)) << command;
      if (command == MENU_LOAD) {
        EXPECT_EQ(HeadlessLastFileDialog().owner, Main());
        HeadlessAnswerFileDialog(std::nullopt);
      } else {
        EXPECT_EQ(HeadlessLastMessageBox().owner, Main());
        HeadlessAnswerMessageBox(IDOK);
      }
    });
    Step([&, command] {
      EXPECT_TRUE(IsWindowEnabled(enabled)) << command;
      EXPECT_FALSE(IsWindowEnabled(disabled)) << command;
      EXPECT_TRUE(IsWindowEnabled(Main())) << command;
    });
  }
  Run();
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
  EXPECT_EQ(KelpieMain("kelpie"), 0);  // with a window it would have waited for input and failed
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

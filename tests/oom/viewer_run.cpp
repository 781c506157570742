// One run of the viewer on the headless display for the allocation-failure
// sweep: start-up, a Load through the file dialog, a redraw by the space bar,
// the Info box, a cancelled Load, and the close box. With --fail-heap N the
// Nth allocation of our heaps fails (the malloc shim covers the rest).
//
// Exit codes: 0 everything as without the failure; 10 the run ended but
// showed less than it should (a degradation); 11 the main window never
// opened (a clean refusal); 12 the close box did not end the program.
// --count prints the heap allocations that the run made. Under the malloc
// shim, only the program's own allocations count, not this driver's.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/headless.h"
#include "platform/posix/testing.h"
#include "tests/support/screen_oracle.h"
#include "toolkit/window/window.h"
#include "viewer/app/app.h"

// The malloc shim's, when it is there.
extern "C" __attribute__((weak)) void FailingMallocPause(bool pause);

namespace {

constexpr int kDegraded = 10;
constexpr int kRefused = 11;
constexpr int kUnclosable = 12;
constexpr UINT kScanSpace = 0x39;

bool degraded = false;
bool opened = false;

HWND Main() { return WindowHandle(MAIN_WINDOW); }

void PauseFailures(bool pause) {
  if (FailingMallocPause != nullptr) {
    FailingMallocPause(pause);
  }
}

void Step(std::function<void()> step) { HeadlessAddStep(std::move(step)); }

// A step of this driver's own, whose allocations are no part of the run.
void Scaffold(const std::function<void()>& work) {
  Step([work] {
    PauseFailures(true);
    work();
    PauseFailures(false);
  });
}

void ExpectPicture(const std::vector<unsigned char>& screen, int mode) {
  const oracle::Image expected = oracle::Oracle(screen.data(), mode);
  const HeadlessImage shown = HeadlessPixels(Main());
  if (shown.width != oracle::kWidth || shown.height != oracle::kHeight) {
    degraded = true;
    return;
  }
  for (LONG y = 0; y < shown.height; ++y) {
    for (LONG x = 0; x < shown.width; ++x) {
      if (shown.Colour(x, y) != expected[static_cast<size_t>(y) * oracle::kWidth + x]) {
        degraded = true;
        return;
      }
    }
  }
}

void Choose(UINT id) {
  if (!HeadlessChooseMenu(Main(), id)) {
    degraded = true;
  }
}

void QueueSession(const std::string& screenFile, const std::vector<unsigned char>& screen) {
  Scaffold([screenFile] {
    opened = Main() != nullptr;
    HeadlessAnswerFileDialog(screenFile);
  });
  Step([] { Choose(MENU_LOAD); });
  Scaffold([screen] { ExpectPicture(screen, 0); });
  Step([] { HeadlessKeyPress(kScanSpace); });
  Step([] { HeadlessKeyPress(kScanSpace); });
  Scaffold([screen] {
    ExpectPicture(screen, 1);
    HeadlessAnswerMessageBox(IDOK);
  });
  Step([] { Choose(MENU_ABOUT); });
  Scaffold([] { HeadlessAnswerFileDialog(std::nullopt); });
  Step([] { Choose(MENU_LOAD); });
  Scaffold([screen] { ExpectPicture(screen, 1); });
  Step([] { HeadlessCloseBox(Main()); });
}

}  // namespace

int main(int argc, char** argv) {
  PauseFailures(true);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SCREEN_FILE [--fail-heap N | --count]\n", argv[0]);
    return 2;
  }
  const std::string screenFile = argv[1];
  std::ifstream in(screenFile, std::ios::binary);
  std::vector<unsigned char> screen((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
  screen.resize(6912);
  const bool count = argc > 2 && std::strcmp(argv[2], "--count") == 0;
  if (argc > 3 && std::strcmp(argv[2], "--fail-heap") == 0) {
    PosixHeapFailAllocation(std::strtoull(argv[3], nullptr, 10));
  }
  HeadlessSetBlockedHook([](const char*) { _exit(kUnclosable); });
  QueueSession(screenFile, screen);
  const uint64_t before = PosixHeapAllocationCount();
  PauseFailures(false);
  const int32_t exitCode = KelpieMain("kelpie");
  PauseFailures(true);
  if (count) {
    std::printf("%llu\n", static_cast<unsigned long long>(PosixHeapAllocationCount() - before));
  }
  if (!opened && HeadlessStepsLeft() > 0) {
    return kRefused;
  }
  if (exitCode != 0 || degraded || HeadlessStepsLeft() > 0 || HeadlessAnswersLeft() > 0) {
    return kDegraded;
  }
  return 0;
}

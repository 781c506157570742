// What one Load costs: reading the file, and RenderScreen's 49,152 boxes plus
// the seam pass through the drawing service, beside a plain loop that writes
// the same picture straight into memory (the memory-bound floor); and a whole
// Load, from opening the file to the picture in the window's surface on the
// headless display; and the whole viewer from the release of the space bar to
// its frame presented. A memset of the picture is the floor of them all.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/headless.h"
#include "platform/win32.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/startup.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/gadget.h"
#include "toolkit/gfx/image.h"
#include "toolkit/gfx/image_gadget.h"
#include "toolkit/io/file.h"
#include "toolkit/window/window.h"
#include "viewer/app/app.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

namespace {

constexpr intptr_t kGadget = 123;

// The viewer's start-up, once per process, with a random screen loaded.
const RenderBuffers& StartRuntime() {
  static const RenderBuffers runtime = [] {
    RuntimeSetModuleHandle(GetModuleHandleA(nullptr));
    RuntimeSetProgramHeap(HeapCreate(0, 4096, 0));
    ToolkitStart();
    WindowOpen(0, 50, 50, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT, "bench");
    const RenderBuffers r = RenderBuffersAllocate();
    if (!r.Complete()) {
      std::abort();
    }
    std::mt19937 random(1);
    for (int i = 0; i < SCREEN_SIZE; ++i) {
      r.screen[i] = static_cast<uint8_t>(random() & 0xFF);
    }
    ImageCreate(SCREEN_IMAGE, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT);
    GadgetImageCreate(kGadget, 0, 0, 512, 384, ImageHandle(SCREEN_IMAGE));
    RenderSetState(r.State());
    return r;
  }();
  return runtime;
}

void BM_RenderScreen(benchmark::State& state) {
  StartRuntime();
  for (auto _ : state) {
    benchmark::DoNotOptimize(RenderScreen(0));
    benchmark::ClobberMemory();
  }
  // The image really was drawn.
  DrawBegin(ImageDrawTarget(SCREEN_IMAGE));
  benchmark::DoNotOptimize(DrawReadPixel(SCREEN_IMAGE_WIDTH - 1, SCREEN_IMAGE_HEIGHT - 1));
  DrawEnd();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RenderScreen)->Unit(benchmark::kMicrosecond);

// The same picture, marks included, written by a plain loop into a 32-bit
// buffer: no drawing service, no per-box calls.
void DirectRender(const uint8_t* screen, const uint32_t* palette, uint32_t* out) {
  constexpr ptrdiff_t kStride = SCREEN_IMAGE_WIDTH;
  for (int y = 0; y < SCREEN_LINES; ++y) {
    const int lineOffset = ((y & 0xC0) << 5) | ((y & 0x07) << 8) | ((y & 0x38) << 2);
    uint32_t* row = out + kStride * 3 * y;
    for (int col = 0; col < SCREEN_COLUMNS; ++col) {
      const int a = screen[SCREEN_ATTRIBUTES + (y >> 3) * SCREEN_COLUMNS + col];
      const int bright = (a & 0x40) >> 3;
      const uint32_t ink = palette[(a & 7) | bright];
      const uint32_t paper = palette[((a >> 3) & 7) | bright];
      const int bits = screen[lineOffset + col];
      for (int k = 0; k < 8; ++k) {
        const uint32_t c = (bits & (0x80 >> k)) != 0 ? ink : paper;
        uint32_t* p = row + static_cast<ptrdiff_t>(col * 8 + k) * 3;
        for (int dy = 0; dy < 3; ++dy) {
          p[dy * kStride] = c;
          p[dy * kStride + 1] = c;
          p[dy * kStride + 2] = c;
        }
      }
    }
    for (int col = 1; col < SCREEN_COLUMNS; ++col) {
      const int cur = screen[SCREEN_ATTRIBUTES + (y >> 3) * SCREEN_COLUMNS + col];
      const int left = screen[SCREEN_ATTRIBUTES + (y >> 3) * SCREEN_COLUMNS + col - 1];
      if (cur == left) {
        continue;
      }
      if ((cur & 7) != ((left >> 3) & 7) && (left & 7) != ((cur >> 3) & 7)) {
        continue;
      }
      uint32_t* p = row + static_cast<ptrdiff_t>(col) * 24;
      uint32_t c = *p & 0xCFCFCF;
      if (c < 7) {
        c |= 0x383838;
      }
      p[0] = p[kStride] = p[2 * kStride] = c;
    }
  }
}

void BM_DirectRender(benchmark::State& state) {
  const RenderBuffers& runtime = StartRuntime();
  std::vector<uint32_t> image(static_cast<size_t>(SCREEN_IMAGE_WIDTH) * SCREEN_IMAGE_HEIGHT);
  for (auto _ : state) {
    DirectRender(runtime.screen, runtime.palette, image.data());
    benchmark::DoNotOptimize(image.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DirectRender)->Unit(benchmark::kMicrosecond);

// The floor of any render: one memset of the picture's 32-bit pixels.
void BM_MemsetPicture(benchmark::State& state) {
  std::vector<uint32_t> image(static_cast<size_t>(SCREEN_IMAGE_WIDTH) * SCREEN_IMAGE_HEIGHT);
  uint8_t value = 0;
  for (auto _ : state) {
    std::memset(image.data(), ++value, image.size() * sizeof image[0]);
    benchmark::DoNotOptimize(image.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(image.size() * sizeof image[0]));
}
BENCHMARK(BM_MemsetPicture)->Unit(benchmark::kMicrosecond);

// A screen file with the runtime's random screen, removed with the object.
class ScreenFile {
 public:
  explicit ScreenFile(const uint8_t* screen)
      : path_(std::filesystem::temp_directory_path() /
              ("kelpie-bench-" + std::to_string(GetCurrentProcessId()) + ".scr")) {
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(screen), SCREEN_SIZE);
  }
  ~ScreenFile() { std::filesystem::remove(path_); }
  ScreenFile(const ScreenFile&) = delete;
  ScreenFile& operator=(const ScreenFile&) = delete;
  std::string Name() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// FileOpenRead + FileReadData of a whole screen, as a Load does; each open
// closes the previous file 0, as the viewer's next Load does.
void BM_FileLoad(benchmark::State& state) {
  const RenderBuffers& runtime = StartRuntime();
  const ScreenFile file(runtime.screen);
  const std::string name = file.Name();
  std::vector<uint8_t> buffer(SCREEN_SIZE);
  for (auto _ : state) {
    benchmark::DoNotOptimize(FileOpenRead(0, name.c_str()));
    const int32_t got = FileReadData(0, buffer.data(), SCREEN_SIZE);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
    if (got != SCREEN_SIZE) {
      state.SkipWithError("short read");
      break;
    }
  }
  FileClose(0);
  if (!std::equal(buffer.begin(), buffer.end(), runtime.screen)) {
    state.SkipWithError("file read back wrong");
  }
  state.SetBytesProcessed(state.iterations() * SCREEN_SIZE);
}
BENCHMARK(BM_FileLoad)->Unit(benchmark::kMicrosecond);

// A whole Load as the viewer runs it: open and read the file, render, and hand
// the image to the gadget, which repaints into the window's surface before
// GadgetSetState returns.
void BM_LoadToPresent(benchmark::State& state) {
  const RenderBuffers& runtime = StartRuntime();
  const ScreenFile file(runtime.screen);
  const std::string name = file.Name();
  const std::vector<uint8_t> loaded(runtime.screen, runtime.screen + SCREEN_SIZE);
  const HWND window = WindowHandle(0);
  for (auto _ : state) {
    FileOpenRead(0, name.c_str());
    FileReadData(0, runtime.screen, SCREEN_SIZE);
    RenderScreen(0);
    GadgetSetState(kGadget, reinterpret_cast<intptr_t>(ImageHandle(SCREEN_IMAGE)));
    benchmark::ClobberMemory();
  }
  FileClose(0);
  // The window shows the picture: its bottom-right pixel is the image's.
  DrawBegin(ImageDrawTarget(SCREEN_IMAGE));
  const uint32_t drawn = DrawReadPixel(SCREEN_IMAGE_WIDTH - 1, SCREEN_IMAGE_HEIGHT - 1);
  DrawEnd();
  const HeadlessImage shown = HeadlessPixels(window);
  if (!std::equal(loaded.begin(), loaded.end(), runtime.screen) ||
      shown.Colour(SCREEN_IMAGE_WIDTH - 1, SCREEN_IMAGE_HEIGHT - 1) != drawn) {
    state.SkipWithError("the window does not show the loaded screen");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoadToPresent)->Unit(benchmark::kMicrosecond);

// The viewer itself, driven as a user drives it: from the key-up of space,
// through the viewer's event loop, RenderScreen and the gadget's repaint, to
// the headless display's present of the window's new frame returning. Each
// iteration presses and releases space once: the marks alternate between
// darkened and white as they do for the user.
//
// The viewer's entry routine runs once per process (its start-up keeps tables
// in the heap its end destroys), on a thread of its own that waits in its
// event loop between presses, which the benchmark hands it. Its start-up
// starts the toolkit afresh, so this benchmark must run after those that share
// StartRuntime's toolkit: it is registered last.
namespace space_to_present {

using Clock = std::chrono::steady_clock;
constexpr UINT kScanSpace = 0x39;

// Processor time of the calling thread: on a shared machine the span's own
// work, without the time other processes held the processor.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The display the viewer runs on: the headless one, with each present's end
// noted (on the viewer's thread).
Clock::time_point lastPresent;
double lastPresentThreadSeconds = 0;
int presents = 0;

void NotingPresent(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
                   const RECT& dirty) {
  HeadlessDisplay().present(window, pixels, width, height, stride, dirty);
  lastPresent = Clock::now();
  lastPresentThreadSeconds = ThreadSeconds();
  ++presents;
}

const DisplayOperations& NotingDisplay() {
  static const DisplayOperations display = [] {
    DisplayOperations d = HeadlessDisplay();
    d.present = NotingPresent;
    return d;
  }();
  return display;
}

enum class Request { kNone, kPress, kCheck };

// What the benchmark asks of the viewer's thread and what it answers.
struct Handover {
  std::mutex mutex;
  std::condition_variable changed;
  Request request = Request::kNone;
  bool answered = false;
  bool ok = false;           // a frame was presented / the window shows the image
  double seconds = 0;        // key-up to present, for kPress
  double threadSeconds = 0;  // the viewer thread's processor time in that span
};

// Kept for the life of the process, as the viewer's thread is.
Handover& TheHandover() {
  static auto* handover = new Handover;
  return *handover;
}

void Answer(bool ok, double seconds = 0, double threadSeconds = 0) {
  Handover& h = TheHandover();
  const std::lock_guard<std::mutex> lock(h.mutex);
  h.ok = ok;
  h.seconds = seconds;
  h.threadSeconds = threadSeconds;
  h.answered = true;
  h.changed.notify_all();
}

// Whether the window shows the screen image.
bool ShowsImage() {
  DrawBegin(ImageDrawTarget(SCREEN_IMAGE));
  const uint32_t drawn = DrawReadPixel(SCREEN_IMAGE_WIDTH - 1, SCREEN_IMAGE_HEIGHT - 1);
  DrawEnd();
  const HeadlessImage shown = HeadlessPixels(WindowHandle(MAIN_WINDOW));
  return shown.width == SCREEN_IMAGE_WIDTH &&
         shown.Colour(SCREEN_IMAGE_WIDTH - 1, SCREEN_IMAGE_HEIGHT - 1) == drawn;
}

// A step, run while the viewer waits for events: takes the next request and
// queues the steps that carry it out, the last of which queues this again.
void StepAwaitRequest() {
  HeadlessAddStep([] {
    Handover& h = TheHandover();
    Request request = Request::kNone;
    {
      std::unique_lock<std::mutex> lock(h.mutex);
      h.changed.wait(lock, [&h] { return h.request != Request::kNone; });
      request = std::exchange(h.request, Request::kNone);
    }
    if (request == Request::kCheck) {
      Answer(ShowsImage());
      StepAwaitRequest();
      return;
    }
    HeadlessKeyDown(kScanSpace);
    HeadlessAddStep([] {
      const int before = presents;
      const double releasedThreadSeconds = ThreadSeconds();
      const Clock::time_point released = Clock::now();
      HeadlessKeyUp(kScanSpace);
      // The viewer handles the key-up once this step returns; the next step
      // runs when it waits again.
      HeadlessAddStep([before, released, releasedThreadSeconds] {
        Answer(presents != before, std::chrono::duration<double>(lastPresent - released).count(),
               lastPresentThreadSeconds - releasedThreadSeconds);
        StepAwaitRequest();
      });
    });
  });
}

// Hands the viewer a request and waits for its answer.
Handover& Ask(Request request) {
  Handover& h = TheHandover();
  std::unique_lock<std::mutex> lock(h.mutex);
  h.request = request;
  h.answered = false;
  h.changed.notify_all();
  h.changed.wait(lock, [&h] { return h.answered; });
  return h;
}

// Starts the viewer on its own thread once, with a random screen loaded from
// the command line, and waits until it first waits for events; whether the
// window then showed the loaded picture.
bool StartViewer() {
  static const bool started = [] {
    std::vector<uint8_t> screen(SCREEN_SIZE);
    std::mt19937 random(2);
    for (uint8_t& b : screen) {
      b = static_cast<uint8_t>(random() & 0xFF);
    }
    const ScreenFile file(screen.data());
    const std::string commandLine = "kelpie " + file.Name();
    DisplayUse(&NotingDisplay());
    StepAwaitRequest();
    std::thread([commandLine] { KelpieMain(commandLine.c_str()); }).detach();
    return Ask(Request::kCheck).ok;
  }();
  return started;
}

}  // namespace space_to_present

void BM_SpaceReleasedToPresent(benchmark::State& state) {
  using namespace space_to_present;
  if (!StartViewer()) {
    state.SkipWithError("the viewer did not show the loaded picture");
    return;
  }
  double threadSeconds = 0;
  for (auto _ : state) {
    const Handover& h = Ask(Request::kPress);
    if (!h.ok) {
      state.SkipWithError("releasing space presented no frame");
      break;
    }
    state.SetIterationTime(h.seconds);
    threadSeconds += h.threadSeconds;
  }
  if (!Ask(Request::kCheck).ok) {
    state.SkipWithError("the window does not show the screen image");
  }
  // The viewer's processor time per press (the CPU column is the benchmark
  // thread's, which only waits).
  state.counters["viewer_cpu_us"] =
      benchmark::Counter(threadSeconds * 1e6, benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SpaceReleasedToPresent)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

// Starts every toolkit library a window test needs, in the toolkit's start-up
// order, once per process (natively each test has a process of its own; under
// Wine a whole suite shares one), and helpers for driving the event pump.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "toolkit/base/list.h"
#include "toolkit/base/memory.h"
#include "toolkit/base/object.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/startup.h"
#include "toolkit/base/string.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/gadget.h"
#include "toolkit/gfx/image.h"
#include "toolkit/io/file.h"
#include "toolkit/window/menu.h"
#include "toolkit/window/window.h"

inline void StartToolkitServices() {
  static bool started = false;
  if (started) return;
  started = true;
  if (ProgramHeap() == nullptr) {
    RuntimeSetModuleHandle(GetModuleHandleA(nullptr));
    RuntimeSetProgramHeap(HeapCreate(0, 4096, 0));
  }
  ToolkitStart();
}

// Creating operations answer handles as pointer-sized numbers.
template <typename T>
T HandleFrom(intptr_t value) {
  return reinterpret_cast<T>(value);  // NOLINT(performance-no-int-to-ptr)
}

// A message nobody else sends: posted behind whatever a step left in the
// thread's queue, it marks where that step's events end.
constexpr UINT kEventMarker = WM_APP + 0x4B;

// Every event up to (not including) the marker posted to `window` now; the
// toolkit's queued events come first, then the messages already posted.
inline std::vector<int32_t> EventsUntilMarker(HWND window, int limit = 200) {
  std::vector<int32_t> seen;
  PostMessageA(window, kEventMarker, 0, 0);
  for (int i = 0; i < limit; ++i) {
    const int32_t event = EventWait(2000);
    if (event == static_cast<int32_t>(kEventMarker)) return seen;
    if (event == EVENT_NONE) break;
    seen.push_back(event);
  }
  ADD_FAILURE() << "the marker never came out of EventWait";
  return seen;
}

// Takes everything the thread has waiting, queued events and messages alike.
inline void DrainEvents() {
  for (int i = 0; i < 1000 && EventWait(0) != EVENT_NONE; ++i) {
  }
}

// An expected event of a step; optional ones may be missing (the platforms
// differ in whether, say, an activation or move comes with a change).
struct ExpectedEvent {
  int32_t code;
  bool optional = false;
};

// Compares a step's events with what it must give and prints both side by
// side on a mismatch.
inline void ExpectEventSequence(const char* step, const std::vector<ExpectedEvent>& expected,
                                const std::vector<int32_t>& actual) {
  size_t e = 0;
  size_t a = 0;
  bool matched = true;
  while (e < expected.size() || a < actual.size()) {
    if (e < expected.size() && a < actual.size() && expected[e].code == actual[a]) {
      ++e;
      ++a;
    } else if (e < expected.size() && expected[e].optional) {
      ++e;
    } else {
      matched = false;
      break;
    }
  }
  if (matched) return;
  std::string table = "expected        actual\n";
  const size_t rows = expected.size() > actual.size() ? expected.size() : actual.size();
  for (size_t i = 0; i < rows; ++i) {
    std::string left = i < expected.size() ? std::to_string(expected[i].code) +
                                                 (expected[i].optional ? " (optional)" : "")
                                           : "-";
    left.resize(16, ' ');
    table += left + (i < actual.size() ? std::to_string(actual[i]) : "-") + "\n";
  }
  ADD_FAILURE() << step << ": events differ\n" << table;
}

// The viewer's menu, in the order it builds it.
inline void BuildViewerMenu() {
  MenuAddTitle("File");
  MenuAddItem(1, "&Load...");
  MenuAddItem(2, "Save");
  MenuAddItem(3, "Save As...");
  MenuAddBar();
  MenuOpenSub("Recents");
  MenuAddItem(5, "Lumen.png");
  MenuAddItem(6, "Slate.jpg");
  MenuOpenSub("Even more !");
  MenuAddItem(12, "Yeah");
  MenuCloseSub();
  MenuAddItem(13, "Rocks.tga");
  MenuCloseSub();
  MenuAddBar();
  MenuAddItem(7, "&Quit");
  MenuAddTitle("Edition");
  MenuAddItem(8, "Cut");
  MenuAddItem(9, "Copy");
  MenuAddItem(10, "Paste");
  MenuAddTitle("?");
  MenuAddItem(11, "About");
}

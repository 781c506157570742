// The message recorder of the window part's conformance tests (user_test.cpp,
// user_paint_test.cpp, user_input_test.cpp) and their fixture.
//
// Message sequences are checked as whole: every message a recording window
// gets is compared with the expected array of the call, entries marked
// optional may be missing. Messages of the platform's own plumbing (icons,
// text, IME, non-client painting) are not recorded.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace recording {

enum : unsigned {
  kSent = 1u << 0,
  kPosted = 1u << 1,
  kDefWinProc = 1u << 2,  // sent while a DefWindowProcA of a recording window ran
  kOptional = 1u << 3,
  kWParam = 1u << 4,  // wParam must match
  kLParam = 1u << 5,  // lParam must match
  // A known gap of our layer: real Win32 sends this message and our layer
  // does not yet. Required on Win32; on our layer it must be missing, so that
  // mending the gap fails the test until the mark is removed.
  kGapOfOurLayer = 1u << 6,
};

struct Msg {
  UINT message;
  unsigned flags;
  const char* window = "w";
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

using Sequence = std::vector<Msg>;

struct Recorded {
  HWND window;
  UINT message;
  unsigned flags;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Recorded> recorded;
inline std::map<HWND, std::string> names;
inline const char* pendingName = nullptr;  // the window being made, for its creation's messages
inline bool keepOnClose = false;           // WM_CLOSE does not destroy, as the toolkit's procedure
inline const char* kClass = "KelpieRecorder";

const char* MessageName(UINT m);

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterRecorder();

// Takes everything the queue holds, recording posted messages as such.
void Pump();

// Pumps, then forgets what was recorded.
void Flush();

// Compares what was recorded with the expected sequence and prints both side
// by side when they differ, as a failure at the caller's line. Messages marked
// kGapOfOurLayer are expected on Win32 only.
void ExpectSequence(const Sequence& want, const char* call, const char* file = __builtin_FILE(),
                    int line = __builtin_LINE());

class UserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterRecorder();
    keepOnClose = false;
    Flush();
  }

  void TearDown() override {
    for (HWND w : made_) {
      if (IsWindow(w)) {
        DestroyWindow(w);
      }
    }
    Flush();
    names.clear();
    BYTE keys[256] = {};
    SetKeyboardState(keys);
  }

  HWND Make(const char* name, DWORD style, HWND parent = nullptr, int id = 0, int x = 40,
            int y = 40, int width = 300, int height = 200, DWORD exStyle = 0,
            const char* cls = kClass) {
    pendingName = name;
    HWND w = CreateWindowExA(
        exStyle, cls, name, style, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),  // NOLINT(performance-no-int-to-ptr)
        GetModuleHandleA(nullptr), nullptr);
    pendingName = nullptr;
    if (w != nullptr) {
      names[w] = name;
      made_.push_back(w);
    }
    return w;
  }

  // A visible top-level window, painted, with nothing left in the queue.
  HWND MakeShown(const char* name = "w", DWORD style = WS_CAPTION | WS_SYSMENU) {
    HWND w = Make(name, style);
    ShowWindow(w, SW_SHOWNORMAL);
    UpdateWindow(w);
    Flush();
    return w;
  }

 private:
  std::vector<HWND> made_;
};

}  // namespace recording

#include "tests/conformance/user_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace recording {

namespace {

int defWinProcDepth = 0;
const MSG* dispatching = nullptr;

// The platform's own plumbing, which nothing of the toolkit looks at, and the
// pointer's moves: the X server's pointer may rest over a test window.
bool IsNoise(UINT m) {
  return m == WM_GETICON || m == WM_GETTEXT || m == WM_GETTEXTLENGTH || m == WM_NCPAINT ||
         m == WM_SYNCPAINT || m == 0x0093 || m == 0x0094 || m == 0x00AE || m == 0x00AF ||
         m == 0x003D || m == 0x030F || m == 0x031F || (m >= 0x0281 && m <= 0x0291) ||
         m == WM_SETCURSOR || m == WM_NCHITTEST || m == WM_MOUSEACTIVATE || m == WM_MOUSEMOVE ||
         m == WM_NCMOUSEMOVE;
}

void Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsNoise(message)) {
    return;
  }
  if (pendingName != nullptr && names.count(window) == 0) {
    names[window] = pendingName;
  }
  unsigned flags = kSent;
  if (dispatching != nullptr && dispatching->hwnd == window && dispatching->message == message) {
    flags = kPosted;
    dispatching = nullptr;
  } else if (defWinProcDepth > 0) {
    flags |= kDefWinProc;
  }
  recorded.push_back(Recorded{window, message, flags, wParam, lParam});
}

}  // namespace

const char* MessageName(UINT m) {
  // clang-format off
#define N(x) {x, #x},
  static const std::map<UINT, const char*> known = {
      N(WM_CREATE) N(WM_DESTROY) N(WM_MOVE) N(WM_SIZE) N(WM_ACTIVATE) N(WM_SETFOCUS)
      N(WM_KILLFOCUS) N(WM_ENABLE) N(WM_PAINT) N(WM_CLOSE) N(WM_ERASEBKGND) N(WM_SHOWWINDOW)
      N(WM_ACTIVATEAPP) N(WM_CANCELMODE) N(WM_CHILDACTIVATE) N(WM_GETMINMAXINFO)
      N(WM_WINDOWPOSCHANGING) N(WM_WINDOWPOSCHANGED) N(WM_NCCREATE) N(WM_NCDESTROY)
      N(WM_NCCALCSIZE) N(WM_NCACTIVATE) N(WM_COMMAND) N(WM_SYSCOMMAND) N(WM_CTLCOLORSTATIC)
      N(WM_PARENTNOTIFY) N(WM_CAPTURECHANGED) N(WM_USER)};
#undef N
  // clang-format on
  const auto it = known.find(m);
  if (it != known.end()) {
    return it->second;
  }
  static char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%04x", m);
  return buffer;
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Record(window, message, wParam, lParam);
  if (message == WM_CLOSE && keepOnClose) {
    return 0;
  }
  ++defWinProcDepth;
  const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
  --defWinProcDepth;
  return result;
}

void RegisterRecorder() {
  static bool done = false;
  if (done) {
    return;
  }
  done = true;
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // A system colour index + 1 stands for that colour's brush.
  const auto background = static_cast<INT_PTR>(COLOR_BTNFACE + 1);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(background);  // NOLINT(performance-no-int-to-ptr)
  wc.lpszClassName = kClass;
  ASSERT_NE(RegisterClassA(&wc), 0);
}

// Takes everything the queue holds, recording posted messages as such.
void Pump() {
  MSG m;
  for (int i = 0; i < 1000 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (m.message != WM_QUIT) {
      dispatching = &m;
      DispatchMessageA(&m);
      dispatching = nullptr;
    }
  }
}

void Flush() {
  Pump();
  recorded.clear();
}

namespace {

std::string Describe(const Msg& e) {
  char line[200];
  int n = std::snprintf(line, sizeof line, "%-8s %-22s%s%s%s", e.window, MessageName(e.message),
                        (e.flags & kPosted) != 0 ? " posted" : " sent",
                        (e.flags & kDefWinProc) != 0 ? " defwinproc" : "",
                        (e.flags & kOptional) != 0        ? " optional"
                        : (e.flags & kGapOfOurLayer) != 0 ? " (gap of our layer)"
                                                          : "");
  if ((e.flags & kWParam) != 0) {
    n += std::snprintf(line + n, sizeof line - n, " w=%llu",
                       static_cast<unsigned long long>(e.wParam));
  }
  if ((e.flags & kLParam) != 0) {
    std::snprintf(line + n, sizeof line - n, " l=%lld", static_cast<long long>(e.lParam));
  }
  return line;
}

const char* NameOf(HWND window) {
  const auto it = names.find(window);
  return it != names.end() ? it->second.c_str() : "?";
}

bool Matches(const Msg& e, const Recorded& r) {
  const unsigned must = e.flags & (kPosted | kSent | kDefWinProc);
  return e.message == r.message && std::string(NameOf(r.window)) == e.window &&
         (r.flags & must) == must && ((e.flags & kWParam) == 0 || e.wParam == r.wParam) &&
         ((e.flags & kLParam) == 0 || e.lParam == r.lParam);
}

// Where matching `want` against what was recorded stopped: both positions
// at the ends means the sequences match.
struct Comparison {
  size_t i = 0;
  size_t j = 0;
  bool Matched(const Sequence& want) const { return i == want.size() && j == recorded.size(); }
};

Comparison Compare(const Sequence& want) {
  Comparison at;
  while (at.i < want.size() || at.j < recorded.size()) {
    if (at.i < want.size() && at.j < recorded.size() && Matches(want[at.i], recorded[at.j])) {
      ++at.i;
      ++at.j;
    } else if (at.i < want.size() && (want[at.i].flags & kOptional) != 0) {
      ++at.i;
    } else {
      break;
    }
  }
  return at;
}

std::string SideBySide(const Sequence& want, const Comparison& at, const char* call) {
  std::string table = std::string(call) + ": expected | actual\n";
  for (size_t k = 0; k < std::max(want.size(), recorded.size()); ++k) {
    std::string left = k < want.size() ? Describe(want[k]) : "";
    left.resize(64, ' ');
    const Recorded* r = k < recorded.size() ? &recorded[k] : nullptr;
    const std::string right = r != nullptr ? Describe({r->message, r->flags | kWParam | kLParam,
                                                       NameOf(r->window), r->wParam, r->lParam})
                                           : "";
    table.append(k == at.i || k == at.j ? "> " : "  ").append(left).append(" | ");
    table.append(right).append("\n");
  }
  return table;
}

// `want` as our layer should answer it: without its gap entries, except the
// one at `kept`.
Sequence OnOurLayer(const Sequence& want, size_t kept = SIZE_MAX) {
  Sequence here;
  for (size_t k = 0; k < want.size(); ++k) {
    if ((want[k].flags & kGapOfOurLayer) == 0 || k == kept) {
      here.push_back(want[k]);
    }
  }
  return here;
}

}  // namespace

void ExpectSequence(const Sequence& want, const char* call, const char* file, int line) {
#ifdef _WIN32
  const Sequence& here = want;
#else
  const Sequence here = OnOurLayer(want);
#endif
  const Comparison at = Compare(here);
  if (!at.Matched(here)) {
    std::string table = SideBySide(here, at, call);
    for (size_t k = 0; k < want.size() && here.size() != want.size(); ++k) {
      const Sequence mended = OnOurLayer(want, k);
      if ((want[k].flags & kGapOfOurLayer) != 0 && Compare(mended).Matched(mended)) {
        table = "a known gap of our layer is mended: remove the kGapOfOurLayer mark of " +
                Describe(want[k]) + "\n" + SideBySide(mended, Compare(mended), call);
      }
    }
    ADD_FAILURE_AT(file, line) << table;
  }
  recorded.clear();
}

}  // namespace recording

// The headless display: a screen in memory, driven by tests.
//
// Implements (DisplayOperations, display.h): open, screenSize,
// createWindow, setGeometry, showWindow, activateWindow, setTitle, setMenu,
// present (a copy of each window's pixels, as a screen keeps them),
// destroyWindow, setCursor, movePointer, capturePointer, wait (gives a
// dialog that is up its queued answer, else runs the test's queued steps),
// showMessageBox, showFileDialog, refuseFile, closeDialog (recorded for the
// test to read). Leaves out releasePixels: it keeps no pointer to them.
// Test interface: headless.h.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <utility>

#include "platform/posix/display.h"
#include "platform/posix/headless.h"
#include "platform/posix/input.h"

namespace {

struct NativeWindow {
  HeadlessWindowState state;
  LONG width = 0;  // of the presented pixels
  LONG height = 0;
  std::vector<DWORD> pixels;
};

struct FileAnswer {
  std::vector<std::string> paths;  // none: Cancel
  int filter = -1;
};

// A dialog that is up, newest last.
struct OpenDialog {
  bool box = false;  // a message box, else a file dialog
  int number = 0;    // its kind's count when it was shown
  size_t filter = 0;
};

void DefaultBlockedHook(const char* waiter);

struct Screen {
  LONG width = 1024;
  LONG height = 768;
  std::map<HWND, NativeWindow> windows;
  std::deque<std::function<void()>> steps;
  HeadlessBlockedHook blocked = DefaultBlockedHook;
  DWORD clock = 1000;
  UINT cursor = 0;
  POINT pointer{};
  HWND front = nullptr;
  HWND captured = nullptr;

  std::vector<OpenDialog> dialogs;
  std::deque<int> boxAnswers;
  std::deque<FileAnswer> fileAnswers;
  HeadlessMessageBoxRecord lastBox;
  HeadlessFileDialogRecord lastFile;
};

Screen& TheScreen() {
  static auto* screen = new Screen;
  return *screen;
}

NativeWindow* Native(HWND window) {
  auto& windows = TheScreen().windows;
  auto it = windows.find(window);
  return it != windows.end() ? &it->second : nullptr;
}

DWORD Tick() { return TheScreen().clock += 16; }

POINT ClientPointOfTop(HWND window, int x, int y, HWND* top) {
  POINT p{x, y};
  HWND t = window;
  while (t != nullptr && (GetWindowLongPtrA(t, GWL_STYLE) & WS_CHILD) != 0) {
    t = GetParent(t);
  }
  MapWindowPoints(window, t, &p, 1);
  *top = t;
  return p;
}

void DefaultBlockedHook(const char* waiter) {
  const Screen& s = TheScreen();
  std::string dialog;
  if (!s.dialogs.empty()) {
    dialog = s.dialogs.back().box ? " (the message box \"" + s.lastBox.caption + "\""
                                  : " (the file dialog \"" + s.lastFile.title + "\"";
    dialog += " is up with no answer queued)";
  }
  std::fprintf(stderr,
               "headless display: %s would wait for input for ever, and no test step is left%s\n",
               waiter, dialog.c_str());
  std::fflush(stderr);
  std::abort();
}

// The dialog on top takes the next answer of its kind.
bool AnswerDialog() {
  Screen& s = TheScreen();
  if (s.dialogs.empty()) {
    return false;
  }
  const OpenDialog top = s.dialogs.back();
  if (top.box && !s.boxAnswers.empty()) {
    const int answer = s.boxAnswers.front();
    s.boxAnswers.pop_front();
    Tick();
    InputMessageBoxAction(answer);
    return true;
  }
  if (!top.box && !s.fileAnswers.empty()) {
    const FileAnswer answer = std::move(s.fileAnswers.front());
    s.fileAnswers.pop_front();
    Tick();
    InputFileDialogAnswer(answer.paths,
                          answer.filter < 0 ? top.filter : static_cast<size_t>(answer.filter));
    return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// The operations

// Named apart: several share a name with a Win32 call.
namespace {
namespace ops {

bool Open() { return true; }

void ScreenSize(LONG* width, LONG* height) {
  *width = TheScreen().width;
  *height = TheScreen().height;
}

bool CreateWindow(HWND window, LPCSTR title, DWORD, DWORD, const RECT& outer, const RECT& client) {
  NativeWindow& w = TheScreen().windows[window];
  w.state.exists = true;
  w.state.title = title != nullptr ? title : "";
  w.state.outer = outer;
  w.state.client = client;
  return true;
}

void SetGeometry(HWND window, const RECT& outer, const RECT& client) {
  if (NativeWindow* w = Native(window)) {
    w->state.outer = outer;
    w->state.client = client;
  }
}

void ShowWindow(HWND window, int state) {
  if (NativeWindow* w = Native(window)) {
    w->state.shown = state;
  }
}

void ActivateWindow(HWND window) { TheScreen().front = window; }

void SetTitle(HWND window, LPCSTR title) {
  if (NativeWindow* w = Native(window)) {
    w->state.title = title != nullptr ? title : "";
  }
}

void SetMenu(HWND window, HMENU menu) {
  if (NativeWindow* w = Native(window)) {
    w->state.menu = menu;
  }
}

void Present(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
             const RECT& dirty) {
  NativeWindow* w = Native(window);
  if (w == nullptr || pixels == nullptr) {
    return;
  }
  ++w->state.presents;
  if (w->width != width || w->height != height) {
    // A new size: the whole surface is shown afresh.
    w->width = width;
    w->height = height;
    w->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (LONG y = 0; y < height; ++y) {
      std::memcpy(&w->pixels[static_cast<size_t>(y) * static_cast<size_t>(width)],
                  pixels + static_cast<ptrdiff_t>(y) * stride,
                  static_cast<size_t>(width) * sizeof(DWORD));
    }
    return;
  }
  const LONG left = std::max<LONG>(dirty.left, 0);
  const LONG right = std::min(dirty.right, width);
  for (LONG y = std::max<LONG>(dirty.top, 0); y < std::min(dirty.bottom, height); ++y) {
    if (right <= left) {
      break;
    }
    std::memcpy(
        &w->pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(left)],
        pixels + static_cast<ptrdiff_t>(y) * stride + left,
        static_cast<size_t>(right - left) * sizeof(DWORD));
  }
}

void DestroyWindow(HWND window) {
  Screen& s = TheScreen();
  s.windows.erase(window);
  if (s.front == window) {
    s.front = nullptr;
  }
  if (s.captured == window) {
    s.captured = nullptr;
  }
}

void SetCursor(UINT shape) { TheScreen().cursor = shape; }

void MovePointer(POINT screen) { TheScreen().pointer = screen; }

void CapturePointer(HWND window) { TheScreen().captured = window; }

bool ShowMessageBox(const DisplayMessageBoxRequest& request) {
  Screen& s = TheScreen();
  HeadlessMessageBoxRecord& r = s.lastBox;
  r.shown += 1;
  r.up = true;
  r.owner = request.owner;
  r.text = request.text;
  r.caption = request.caption;
  r.style = request.style;
  r.buttons = request.buttons;
  r.defaultButton = request.defaultButton;
  r.closeBox = request.closeBox;
  s.dialogs.push_back(OpenDialog{true, r.shown, 0});
  return true;
}

bool ShowFileDialog(const DisplayFileRequest& request) {
  Screen& s = TheScreen();
  HeadlessFileDialogRecord& r = s.lastFile;
  r.shown += 1;
  r.up = true;
  r.save = request.save;
  r.owner = request.owner;
  r.title = request.title;
  r.filters = request.filters;
  r.filter = request.filter;
  r.folder = request.folder;
  r.name = request.name;
  r.extension = request.extension;
  r.flags = request.flags;
  r.refused.clear();
  s.dialogs.push_back(OpenDialog{false, r.shown, request.filter});
  return true;
}

void RefuseFile(const std::string& path, const char* why) {
  Screen& s = TheScreen();
  if (!s.dialogs.empty() && !s.dialogs.back().box && s.dialogs.back().number == s.lastFile.shown) {
    s.lastFile.refused.emplace_back(path, why != nullptr ? why : "");
  }
}

void CloseDialog() {
  Screen& s = TheScreen();
  if (s.dialogs.empty()) {
    return;
  }
  const OpenDialog top = s.dialogs.back();
  s.dialogs.pop_back();
  if (top.box && top.number == s.lastBox.shown) {
    s.lastBox.up = false;
  } else if (!top.box && top.number == s.lastFile.shown) {
    s.lastFile.up = false;
  }
}

bool Wait(DWORD milliseconds, const char* waiter) {
  Screen& s = TheScreen();
  if (AnswerDialog()) {
    return true;
  }
  if (s.steps.empty()) {
    if (milliseconds == INFINITE) {
      s.blocked(waiter);
      std::fprintf(stderr, "headless display: the blocked hook returned\n");
      std::abort();
    }
    s.clock += milliseconds;
    return false;
  }
  std::function<void()> step = std::move(s.steps.front());
  s.steps.pop_front();
  step();
  return true;
}

}  // namespace ops
}  // namespace

const DisplayOperations& HeadlessDisplay() {
  static constexpr DisplayOperations kTable{
      .open = ops::Open,
      .screenSize = ops::ScreenSize,
      .createWindow = ops::CreateWindow,
      .setGeometry = ops::SetGeometry,
      .showWindow = ops::ShowWindow,
      .activateWindow = ops::ActivateWindow,
      .setTitle = ops::SetTitle,
      .setMenu = ops::SetMenu,
      .present = ops::Present,
      .releasePixels = nullptr,  // a present copies the pixels
      .destroyWindow = ops::DestroyWindow,
      .setCursor = ops::SetCursor,
      .movePointer = ops::MovePointer,
      .capturePointer = ops::CapturePointer,
      .wait = ops::Wait,
      .showMessageBox = ops::ShowMessageBox,
      .showFileDialog = ops::ShowFileDialog,
      .refuseFile = ops::RefuseFile,
      .closeDialog = ops::CloseDialog,
  };
  return kTable;
}

// ---------------------------------------------------------------------------
// headless.h

void HeadlessSetScreenSize(LONG width, LONG height) {
  TheScreen().width = width;
  TheScreen().height = height;
}

void HeadlessKeyDown(UINT scanCode) { InputKey(scanCode, true, Tick()); }

void HeadlessKeyUp(UINT scanCode) { InputKey(scanCode, false, Tick()); }

void HeadlessKeyPress(UINT scanCode) {
  HeadlessKeyDown(scanCode);
  HeadlessKeyUp(scanCode);
}

bool HeadlessType(const char* text) {
  constexpr UINT kShift = 0x2A;
  std::vector<std::pair<UINT, bool>> keys;
  const HKL layout = GetKeyboardLayout(0);
  for (const char* c = text; *c != '\0'; ++c) {
    const char wanted = *c == '\n' ? '\r' : *c;
    bool found = false;
    for (UINT scan = 1; scan < 0x59 && !found; ++scan) {
      for (int shift = 0; shift < 2 && !found; ++shift) {
        BYTE state[256] = {};
        if (shift != 0) {
          state[VK_SHIFT] = 0x80;
        }
        WORD out = 0;
        const UINT vk = MapVirtualKeyExA(scan, MAPVK_VSC_TO_VK, layout);
        if (vk != 0 && ToAsciiEx(vk, scan, state, &out, 0, layout) == 1 &&
            static_cast<char>(out) == wanted) {
          keys.emplace_back(scan, shift != 0);
          found = true;
        }
      }
    }
    if (!found) {
      return false;
    }
  }
  for (const auto& [scan, shift] : keys) {
    if (shift) {
      HeadlessKeyDown(kShift);
    }
    HeadlessKeyPress(scan);
    if (shift) {
      HeadlessKeyUp(kShift);
    }
  }
  return true;
}

void HeadlessMouseMove(HWND window, int x, int y) {
  HWND top = nullptr;
  const POINT p = ClientPointOfTop(window, x, y, &top);
  InputMouseMove(top, p, Tick());
}

void HeadlessMouseMoveOnScreen(int x, int y) { InputMouseMove(nullptr, POINT{x, y}, Tick()); }

void HeadlessMouseDown(HWND window, int x, int y, int button) {
  HWND top = nullptr;
  const POINT p = ClientPointOfTop(window, x, y, &top);
  InputMouseButton(top, p, button, true, Tick());
}

void HeadlessMouseUp(HWND window, int x, int y, int button) {
  HWND top = nullptr;
  const POINT p = ClientPointOfTop(window, x, y, &top);
  InputMouseButton(top, p, button, false, Tick());
}

void HeadlessClick(HWND window, int x, int y, int button) {
  TheScreen().clock += GetDoubleClickTime() + 1;
  HeadlessMouseDown(window, x, y, button);
  HeadlessMouseUp(window, x, y, button);
}

void HeadlessDoubleClick(HWND window, int x, int y, int button) {
  HeadlessClick(window, x, y, button);
  HeadlessMouseDown(window, x, y, button);
  HeadlessMouseUp(window, x, y, button);
}

void HeadlessCloseBox(HWND window) {
  TheScreen().clock += GetDoubleClickTime() + 1;
  InputCloseBox(window, Tick());
}

void HeadlessFrameButton(HWND window, int hitTest) { InputFrameButton(window, hitTest, Tick()); }

bool HeadlessChooseMenu(HWND window, UINT id) {
  Tick();
  return InputMenuCommand(window, id);
}

void HeadlessActivate(HWND window) {
  Tick();
  InputActivate(window);
  if (window != nullptr) {
    TheScreen().front = window;
  }
}

void HeadlessMove(HWND window, int x, int y) {
  Tick();
  InputMoved(window, POINT{x, y});
}

void HeadlessSize(HWND window, int width, int height) {
  Tick();
  InputSized(window, width, height);
}

void HeadlessMinimize(HWND window) { InputShowState(window, SW_MINIMIZE); }

void HeadlessMaximize(HWND window) { InputShowState(window, SW_MAXIMIZE); }

void HeadlessRestore(HWND window) { InputShowState(window, SW_RESTORE); }

DWORD HeadlessImage::At(LONG x, LONG y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) {
    return 0xFFFFFFFF;
  }
  return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

COLORREF HeadlessImage::Colour(LONG x, LONG y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) {
    return CLR_INVALID;
  }
  const DWORD p = At(x, y);
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

HeadlessImage HeadlessPixels(HWND window) {
  HeadlessImage image;
  HWND top = nullptr;
  const POINT origin = ClientPointOfTop(window, 0, 0, &top);
  const NativeWindow* w = Native(top);
  RECT client{};
  if (w == nullptr || !GetClientRect(window, &client)) {
    return image;
  }
  image.width = client.right;
  image.height = client.bottom;
  image.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height),
                      0xFFFFFFFF);
  for (LONG y = 0; y < image.height; ++y) {
    for (LONG x = 0; x < image.width; ++x) {
      const LONG sx = origin.x + x;
      const LONG sy = origin.y + y;
      if (sx < 0 || sy < 0 || sx >= w->width || sy >= w->height) {
        continue;
      }
      image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                   static_cast<size_t>(x)] =
          w->pixels[static_cast<size_t>(sy) * static_cast<size_t>(w->width) +
                    static_cast<size_t>(sx)];
    }
  }
  return image;
}

RECT HeadlessClientRect(HWND window) {
  RECT r{};
  if (!GetClientRect(window, &r)) {
    return r;
  }
  POINT corner{0, 0};
  ClientToScreen(window, &corner);
  r.left += corner.x;
  r.right += corner.x;
  r.top += corner.y;
  r.bottom += corner.y;
  return r;
}

HeadlessWindowState HeadlessWindow(HWND window) {
  const NativeWindow* w = Native(window);
  return w != nullptr ? w->state : HeadlessWindowState{};
}

HWND HeadlessFrontWindow() { return TheScreen().front; }

UINT HeadlessCursorShape() { return TheScreen().cursor; }

POINT HeadlessPointer() { return TheScreen().pointer; }

void HeadlessAnswerMessageBox(int answer) { TheScreen().boxAnswers.push_back(answer); }

void HeadlessAnswerFileDialog(std::optional<std::string> path, int filter) {
  FileAnswer answer;
  if (path.has_value()) {
    answer.paths.push_back(std::move(*path));
  }
  answer.filter = filter;
  TheScreen().fileAnswers.push_back(std::move(answer));
}

void HeadlessAnswerFileDialogFiles(std::vector<std::string> paths) {
  FileAnswer answer;
  answer.paths = std::move(paths);
  TheScreen().fileAnswers.push_back(std::move(answer));
}

size_t HeadlessAnswersLeft() {
  return TheScreen().boxAnswers.size() + TheScreen().fileAnswers.size();
}

void HeadlessClearAnswers() {
  TheScreen().boxAnswers.clear();
  TheScreen().fileAnswers.clear();
}

HeadlessMessageBoxRecord HeadlessLastMessageBox() { return TheScreen().lastBox; }

HeadlessFileDialogRecord HeadlessLastFileDialog() { return TheScreen().lastFile; }

void HeadlessAddStep(std::function<void()> step) { TheScreen().steps.push_back(std::move(step)); }

size_t HeadlessStepsLeft() { return TheScreen().steps.size(); }

void HeadlessClearSteps() { TheScreen().steps.clear(); }

HeadlessBlockedHook HeadlessSetBlockedHook(HeadlessBlockedHook hook) {
  return std::exchange(TheScreen().blocked, hook != nullptr ? hook : DefaultBlockedHook);
}

DWORD HeadlessTime() { return TheScreen().clock; }

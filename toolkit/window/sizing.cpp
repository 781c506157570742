#include "toolkit/window/sizing.h"

#include "toolkit/base/memory.h"
#include "toolkit/window/window.h"

namespace {

constexpr int32_t kArrowStep = 10;
constexpr int32_t kEdgeInset = 2;

// The platform's WMSZ_ numbering of the edges that move.
enum Direction : int32_t {
  kNone = 0,
  kLeft = 1,
  kRight = 2,
  kTop = 3,
  kTopLeft = 4,
  kTopRight = 5,
  kBottom = 6,
  kBottomLeft = 7,
  kBottomRight = 8,
};

struct SizingState {
  int32_t active;
  int32_t restoreCursor;
  POINT savedCursor;
  RECT rectangle;  // outer rectangle in screen coordinates
  int32_t direction;
  MINMAXINFO limits;
  HWND window;  // the window being sized
};

SizingState* sizing = nullptr;

void ShowCursorShape(LPCSTR shape) {
  SetCursor(static_cast<HCURSOR>(
      LoadImageA(nullptr, shape, IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE)));
}

void FillLimits(HWND window) {
  MINMAXINFO& limits = sizing->limits;
  limits = {};
  limits.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_BORDER) != 0) {
    limits.ptMaxPosition = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  } else if ((GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) != 0) {
    limits.ptMaxPosition = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  }
  limits.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  limits.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
}

// Moves the near edge (left or top) to `at` and keeps the extent in limits.
void PlaceNearEdge(LONG& nearEdge, LONG farEdge, LONG at, LONG minimum, LONG maximum) {
  nearEdge = at;
  if (farEdge - nearEdge < minimum) {
    nearEdge = farEdge - minimum;
  } else if (farEdge - nearEdge > maximum) {
    nearEdge = farEdge - maximum;
  }
}

void PlaceFarEdge(LONG nearEdge, LONG& farEdge, LONG at, LONG minimum, LONG maximum) {
  farEdge = at;
  if (farEdge - nearEdge < minimum) {
    farEdge = nearEdge + minimum;
  } else if (farEdge - nearEdge > maximum) {
    farEdge = nearEdge + maximum;
  }
}

void ApplyPoint(POINT point) {
  RECT& r = sizing->rectangle;
  const MINMAXINFO& limits = sizing->limits;
  const int32_t d = sizing->direction;
  if (d == kLeft || d == kTopLeft || d == kBottomLeft) {
    PlaceNearEdge(r.left, r.right, d == kTopLeft ? point.x - kEdgeInset : point.x,
                  limits.ptMinTrackSize.x, limits.ptMaxTrackSize.x);
  }
  if (d == kRight || d == kTopRight || d == kBottomRight) {
    PlaceFarEdge(r.left, r.right, point.x + kEdgeInset, limits.ptMinTrackSize.x,
                 limits.ptMaxTrackSize.x);
  }
  if (d == kTop || d == kTopLeft || d == kTopRight) {
    PlaceNearEdge(r.top, r.bottom, d == kTopLeft ? point.y - kEdgeInset : point.y,
                  limits.ptMinTrackSize.y, limits.ptMaxTrackSize.y);
  }
  if (d == kBottom || d == kBottomLeft || d == kBottomRight) {
    PlaceFarEdge(r.top, r.bottom, point.y + kEdgeInset, limits.ptMinTrackSize.y,
                 limits.ptMaxTrackSize.y);
  }
}

void MoveToRectangle(HWND window) {
  POINT corners[2] = {{sizing->rectangle.left, sizing->rectangle.top},
                      {sizing->rectangle.right, sizing->rectangle.bottom}};
  if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) != 0) {
    MapWindowPoints(nullptr, GetParent(window), corners, 2);
  }
  MoveWindow(window, corners[0].x, corners[0].y, corners[1].x - corners[0].x,
             corners[1].y - corners[0].y, TRUE);
}

void SizeTo(HWND window, POINT point) {
  ApplyPoint(point);
  SendMessageA(window, WM_SIZING, static_cast<WPARAM>(sizing->direction),
               reinterpret_cast<LPARAM>(&sizing->rectangle));
  MoveToRectangle(window);
}

// Picks a new direction and puts the cursor on the edge or corner it names.
void Turn(int32_t direction, LPCSTR shape, LONG x, LONG y) {
  sizing->direction = direction;
  SetCursorPos(x, y);
  ShowCursorShape(shape);
}

void Step(HWND window, POINT point) {
  SetCursorPos(point.x, point.y);
  SizeTo(window, point);
}

void ArrowKey(HWND window, WPARAM key) {
  POINT pt{};
  GetCursorPos(&pt);
  const RECT& r = sizing->rectangle;
  const int32_t d = sizing->direction;
  switch (key) {
    case VK_LEFT:
      if (d == kNone) {
        Turn(kLeft, IDC_SIZEWE, r.left, pt.y);
      } else if (d == kTop) {
        Turn(kTopLeft, IDC_SIZENWSE, r.left + kEdgeInset, r.top + kEdgeInset);
      } else if (d == kBottom) {
        Turn(kBottomLeft, IDC_SIZENESW, r.left, r.bottom - kEdgeInset);
      } else {
        Step(window, {pt.x - kArrowStep, pt.y});
      }
      break;
    case VK_UP:
      if (d == kNone) {
        Turn(kTop, IDC_SIZENS, pt.x, r.top);
      } else if (d == kLeft) {
        Turn(kTopLeft, IDC_SIZENWSE, r.left + kEdgeInset, r.top + kEdgeInset);
      } else if (d == kRight) {
        Turn(kTopRight, IDC_SIZENESW, r.right - kEdgeInset, r.top);
      } else {
        Step(window, {pt.x, pt.y - kArrowStep});
      }
      break;
    case VK_RIGHT:
      if (d == kNone) {
        Turn(kRight, IDC_SIZEWE, r.right - kEdgeInset, pt.y);
      } else if (d == kTop) {
        Turn(kTopRight, IDC_SIZENESW, r.right - kEdgeInset, r.top);
      } else if (d == kBottom) {
        Turn(kBottomRight, IDC_SIZENWSE, r.right - kEdgeInset, r.bottom - kEdgeInset);
      } else {
        Step(window, {pt.x + kArrowStep, pt.y});
      }
      break;
    case VK_DOWN:
      if (d == kNone) {
        Turn(kBottom, IDC_SIZENS, pt.x, r.bottom - kEdgeInset);
      } else if (d == kLeft) {
        Turn(kBottomLeft, IDC_SIZENESW, r.left, r.bottom - kEdgeInset);
      } else if (d == kRight) {
        Turn(kBottomRight, IDC_SIZENWSE, r.right - kEdgeInset, r.bottom - kEdgeInset);
      } else {
        Step(window, {pt.x, pt.y + kArrowStep});
      }
      break;
    default:
      break;
  }
}

LRESULT Start(HWND window, WPARAM command) {
  BOOL fullDrag = FALSE;
  if (!SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0) || !fullDrag) {
    return DEFAULT_PROCESSING;
  }
  sizing->direction = static_cast<int32_t>(command & 0xF);
  sizing->active = 1;
  sizing->window = window;
  GetWindowRect(window, &sizing->rectangle);
  FillLimits(window);
  if (GetKeyState(VK_LBUTTON) == 0) {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  }
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  if (sizing->direction == kNone) {
    sizing->restoreCursor = 1;
    GetCursorPos(&sizing->savedCursor);
    ShowCursorShape(IDC_SIZEALL);
  } else {
    sizing->restoreCursor = 0;
  }
  return 0;
}

LRESULT WhileActive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE: {
      sizing->restoreCursor = 0;
      POINT point{static_cast<int16_t>(lParam & 0xFFFF),
                  static_cast<int16_t>((lParam >> 16) & 0xFFFF)};
      MapWindowPoints(window, nullptr, &point, 1);
      SizeTo(window, point);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
        ReleaseCapture();
        return 0;
      }
      ArrowKey(window, wParam);
      return DEFAULT_PROCESSING;
    case WM_LBUTTONUP:
      ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      PostMessageA(window, WM_EXITSIZEMOVE, 0, 0);
      sizing->active = 0;
      sizing->window = nullptr;
      if (sizing->restoreCursor != 0) {
        SetCursorPos(sizing->savedCursor.x, sizing->savedCursor.y);
      }
      return 0;
    case WM_NCDESTROY:
      // The window went while being sized: there is nothing left to size.
      sizing->active = 0;
      sizing->window = nullptr;
      return DEFAULT_PROCESSING;
    default:
      return DEFAULT_PROCESSING;
  }
}

}  // namespace

void SizingLibraryInit() {
  if (sizing == nullptr) {
    sizing = static_cast<SizingState*>(ServiceStateCreate(sizeof(SizingState), nullptr));
  }
}

bool SizingActive() { return sizing != nullptr && sizing->active != 0; }

LRESULT LiveSizingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (sizing == nullptr) {
    return DEFAULT_PROCESSING;
  }
  if (sizing->active == 0) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_SIZE) {
      return Start(window, wParam);
    }
    return DEFAULT_PROCESSING;
  }
  // One loop at a time, for the window that started it.
  if (window != sizing->window) {
    return DEFAULT_PROCESSING;
  }
  return WhileActive(window, message, wParam, lParam);
}

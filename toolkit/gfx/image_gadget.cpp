#include "toolkit/gfx/image_gadget.h"

#include "toolkit/base/runtime.h"
#include "toolkit/base/window_data.h"
#include "toolkit/gfx/gadget.h"

namespace {

constexpr DWORD kImageGadgetStyle = WS_CHILD | WS_VISIBLE | SS_NOTIFY;
constexpr int32_t kClientEdgeExtra = 4;

GadgetType imageType{};
bool imageTypeReady = false;
WNDPROC staticProc = nullptr;  // the STATIC class's own procedure
int32_t cxDrag = 0;
int32_t cyDrag = 0;
bool rightDoubleClicked = false;  // the next right release ends a double click

intptr_t GetImageState(GadgetRecord* record) {
  return SendMessageA(record->window, STM_GETIMAGE, 0, 0);
}

intptr_t SetImageState(GadgetRecord* record, intptr_t image) {
  return SendMessageA(record->window, STM_SETIMAGE, 0, image);
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (staticProc == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return CallWindowProcA(staticProc, window, message, wParam, lParam);
}

bool IsBitmap(HANDLE image) { return GetObjectType(image) == OBJ_BITMAP; }

// Size of a bitmap, or of an icon's picture; false when none can be taken.
bool ImageSize(HANDLE image, LONG* width, LONG* height) {
  BITMAP bitmap{};
  if (IsBitmap(image)) {
    if (GetObjectA(image, sizeof bitmap, &bitmap) == 0) {
      return false;
    }
    *width = bitmap.bmWidth;
    *height = bitmap.bmHeight;
    return true;
  }
  ICONINFO info{};
  if (!GetIconInfo(static_cast<HICON>(image), &info)) {
    return false;
  }
  bool known = false;
  if (info.hbmColor != nullptr && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap) != 0) {
    *width = bitmap.bmWidth;
    *height = bitmap.bmHeight;
    known = true;
  } else if (info.hbmMask != nullptr && GetObjectA(info.hbmMask, sizeof bitmap, &bitmap) != 0) {
    // A monochrome icon keeps its AND and XOR masks one above the other.
    *width = bitmap.bmWidth;
    *height = bitmap.bmHeight / 2;
    known = true;
  }
  if (info.hbmColor != nullptr) {
    DeleteObject(info.hbmColor);
  }
  if (info.hbmMask != nullptr) {
    DeleteObject(info.hbmMask);
  }
  return known;
}

// Repaints the toolkit window's area under the gadget, background included.
void RepaintBeneath(HWND window) {
  HWND top = WindowFromControl(window);
  RECT area{};
  GetWindowRect(window, &area);
  POINT corners[2] = {{area.left, area.top}, {area.right, area.bottom}};
  ScreenToClient(top, &corners[0]);
  ScreenToClient(top, &corners[1]);
  area = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  RedrawWindow(top, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT SetImage(GadgetRecord* record, HWND window, HANDLE image) {
  record->image = image;
  if (image == nullptr || !IsBitmap(image)) {
    RepaintBeneath(window);
  }
  if (image != nullptr) {
    LONG width = 0;
    LONG height = 0;
    if (ImageSize(image, &width, &height)) {
      if ((GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) {
        width += kClientEdgeExtra;
        height += kClientEdgeExtra;
      }
      SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    }
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  }
  return reinterpret_cast<LRESULT>(image);
}

void Draw(const GadgetRecord* record, HDC dc) {
  if (dc == nullptr || record->image == nullptr) {
    return;
  }
  const UINT kind = IsBitmap(record->image) ? DST_BITMAP : DST_ICON;
  DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(record->image), 0, 0, 0, 0, 0, kind);
}

int32_t LowSigned(LPARAM packed) { return static_cast<int16_t>(packed & 0xFFFF); }
int32_t HighSigned(LPARAM packed) { return static_cast<int16_t>((packed >> 16) & 0xFFFF); }

void DragTest(GadgetRecord* record, HWND window, LPARAM lParam) {
  if (record->dragPending == 0) {
    return;
  }
  const int32_t dx = LowSigned(lParam) - LowSigned(record->pressPosition);
  const int32_t dy = HighSigned(lParam) - HighSigned(record->pressPosition);
  if (dx > cxDrag || dx < -cxDrag || dy > cyDrag || dy < -cyDrag) {
    record->dragPending = 0;
    ReleaseCapture();
    GadgetPostEvent(window, GADGET_EVENT_DRAG_START);
  }
}

LRESULT CALLBACK ImageGadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetRecord* record = GadgetLookup(GetWindowLongPtrA(window, GWLP_ID));
  if (record == nullptr || record->window != window) {
    return PassOn(window, message, wParam, lParam);
  }
  switch (message) {
    case STM_SETIMAGE:
    case STM_SETICON:
      return SetImage(record, window, FromWord<HANDLE>(lParam));
    case STM_GETIMAGE:
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(record->image);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      Draw(record, dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_PRINT:
      Draw(record, FromWord<HDC>(static_cast<intptr_t>(wParam)));
      return 0;
    case WM_ENABLE:
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return 0;
    case WM_LBUTTONDOWN:
      record->dragPending = 1;
      record->pressPosition = lParam;
      SetCapture(window);
      break;
    case WM_MOUSEMOVE:
      DragTest(record, window, lParam);
      break;
    case WM_LBUTTONUP:
      if (record->dragPending != 0) {
        record->dragPending = 0;
        ReleaseCapture();
      }
      break;
    case WM_LBUTTONDBLCLK:
      GadgetPostEvent(window, GADGET_EVENT_LEFT_DOUBLE_CLICK);
      return 0;
    case WM_RBUTTONUP:
      if (rightDoubleClicked) {
        rightDoubleClicked = false;
      } else {
        GadgetPostEvent(window, GADGET_EVENT_RIGHT_CLICK);
      }
      return 0;
    case WM_RBUTTONDBLCLK:
      GadgetPostEvent(window, GADGET_EVENT_RIGHT_DOUBLE_CLICK);
      rightDoubleClicked = true;
      return 0;
    default:
      break;
  }
  return PassOn(window, message, wParam, lParam);
}

}  // namespace

intptr_t GadgetImageCreate(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                           HANDLE image, DWORD extendedStyle) {
  if (!imageTypeReady) {
    imageType.typeCode = GADGET_TYPE_IMAGE;
    imageType.size = static_cast<int32_t>(sizeof imageType);
    imageType.getState = GetImageState;
    imageType.setState = SetImageState;
    cxDrag = GetSystemMetrics(SM_CXDRAG);
    cyDrag = GetSystemMetrics(SM_CYDRAG);
    imageTypeReady = true;
  }
  HWND window = CreateWindowExA(
      extendedStyle, "STATIC", nullptr, kImageGadgetStyle, x, y, width, height, GadgetListParent(),
      FromWord<HMENU>(static_cast<intptr_t>(-1)), ProgramModuleHandle(), nullptr);
  if (window == nullptr) {
    return 0;
  }
  staticProc = FromWord<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ImageGadgetProc)));
  GadgetRecord* record = GadgetSlot(number);
  if (record == nullptr) {
    DestroyWindow(window);
    return 0;
  }
  const intptr_t result = GadgetRegister(number, record, window, &imageType);
  SendMessageA(window, STM_SETIMAGE, 0, reinterpret_cast<LPARAM>(image));
  return result;
}

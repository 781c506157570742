// Cursors and icons: the stock ones (a program here carries no resources),
// which have no pixels, and icons made from bitmaps by CreateIconIndirect;
// and the common-control and OLE set-up calls, which have nothing to set up.

#include <algorithm>
#include <map>

#include "platform/posix/display.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/user_internal.h"

namespace user {

namespace {

constexpr uintptr_t kCursorBase = 0x50000;
constexpr uintptr_t kIconBase = 0x60000;

bool IsStockCursorId(uintptr_t id) {
  return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651 && id != 32647);
}

bool IsStockIconId(uintptr_t id) { return id >= 32512 && id <= 32518; }

HCURSOR StockCursor(LPCSTR name) {
  const auto id = reinterpret_cast<uintptr_t>(name);
  if (!IS_INTRESOURCE(name) || !IsStockCursorId(id)) {
    return nullptr;
  }
  return FromParam<HCURSOR>(kCursorBase + id);
}

HICON StockIcon(LPCSTR name) {
  const auto id = reinterpret_cast<uintptr_t>(name);
  if (!IS_INTRESOURCE(name) || !IsStockIconId(id)) {
    return nullptr;
  }
  return FromParam<HICON>(kIconBase + id);
}

bool IsStock(HICON handle) {
  const auto value = reinterpret_cast<uintptr_t>(handle);
  return (value > kCursorBase && IsStockCursorId(value - kCursorBase)) ||
         (value > kIconBase && IsStockIconId(value - kIconBase));
}

HCURSOR current = nullptr;
int comInitialized = 0;

struct Icon {
  BOOL fIcon = TRUE;
  DWORD xHotspot = 0;
  DWORD yHotspot = 0;
  HBITMAP mask = nullptr;
  HBITMAP colour = nullptr;  // null: a monochrome icon, its mask twice as high
  LONG width = 0;
  LONG height = 0;
};

std::map<HICON, Icon>& Icons() {
  static auto* icons = new std::map<HICON, Icon>;
  return *icons;
}

// A bitmap of the same size and depth (monochrome or the display's 32 bits)
// with the same pixels.
HBITMAP CopyBitmap(HBITMAP source) {
  BITMAP info{};
  if (source == nullptr || GetObjectA(source, sizeof info, &info) == 0) {
    return nullptr;
  }
  HDC memory = CreateCompatibleDC(nullptr);
  HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HBITMAP copy =
      CreateCompatibleBitmap(info.bmBitsPixel == 1 ? memory : screen, info.bmWidth, info.bmHeight);
  if (copy != nullptr) {
    HGDIOBJ previous = SelectObject(memory, copy);
    GdiCopyBitmap(memory, 0, 0, source, info.bmWidth, info.bmHeight);
    SelectObject(memory, previous);
  }
  DeleteDC(screen);
  DeleteDC(memory);
  return copy;
}

}  // namespace

bool IconDraw(HDC dc, int x, int y, HICON handle, int cx, int cy) {
  auto it = Icons().find(handle);
  if (it == Icons().end()) {
    return false;
  }
  const Icon& icon = it->second;
  if (cx == 0 || cy == 0) {
    cx = icon.width;
    cy = icon.height;
  }
  HDC maskDc = CreateCompatibleDC(nullptr);
  HDC colourDc = CreateCompatibleDC(nullptr);
  SelectObject(maskDc, icon.mask);
  if (icon.colour != nullptr) {
    SelectObject(colourDc, icon.colour);
  }
  const int rop = SetROP2(dc, R2_COPYPEN);
  // White in the AND mask leaves the target as it is.
  for (int j = 0; j < std::min<LONG>(cy, icon.height); ++j) {
    for (int i = 0; i < std::min<LONG>(cx, icon.width); ++i) {
      if (GetPixel(maskDc, i, j) != 0) {
        continue;
      }
      const COLORREF c =
          icon.colour != nullptr ? GetPixel(colourDc, i, j) : GetPixel(maskDc, i, j + icon.height);
      SetPixelV(dc, x + i, y + j, c);
    }
  }
  if (rop != 0) {
    SetROP2(dc, rop);
  }
  DeleteDC(colourDc);
  DeleteDC(maskDc);
  return true;
}

}  // namespace user

using namespace user;

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  return OrOutOfMemory(HCURSOR{}, [&]() -> HCURSOR {
    HCURSOR cursor = instance == nullptr ? StockCursor(name) : nullptr;
    if (cursor == nullptr) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    return cursor;
  });
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  return OrOutOfMemory(HICON{}, [&]() -> HICON {
    HICON icon = instance == nullptr ? StockIcon(name) : nullptr;
    if (icon == nullptr) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    return icon;
  });
}

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int, int, UINT flags) {
  return OrOutOfMemory(HANDLE{}, [&]() -> HANDLE {
    if (instance != nullptr || (flags & LR_LOADFROMFILE) != 0) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return nullptr;
    }
    switch (type) {
      case IMAGE_CURSOR:
        return LoadCursorA(nullptr, name);
      case IMAGE_ICON:
        return LoadIconA(nullptr, name);
      default:
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
  });
}

HCURSOR SetCursor(HCURSOR cursor) {
  const HCURSOR previous = current;
  current = cursor;
  if (cursor != previous) {
    const auto value = reinterpret_cast<uintptr_t>(cursor);
    DisplaySetCursor(
        value > kCursorBase && value < kIconBase ? static_cast<UINT>(value - kCursorBase) : 0);
  }
  return previous;
}

HCURSOR GetCursor() { return current; }

HICON CreateIconIndirect(PICONINFO info) {
  return OrOutOfMemory(HICON{}, [&]() -> HICON {
    BITMAP mask{};
    if (info == nullptr || GetObjectA(info->hbmMask, sizeof mask, &mask) == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    Icon icon;
    icon.fIcon = info->fIcon;
    icon.xHotspot = info->xHotspot;
    icon.yHotspot = info->yHotspot;
    icon.width = mask.bmWidth;
    icon.height = info->hbmColor != nullptr ? mask.bmHeight : mask.bmHeight / 2;
    icon.mask = CopyBitmap(info->hbmMask);
    icon.colour = info->hbmColor != nullptr ? CopyBitmap(info->hbmColor) : nullptr;
    if (icon.mask == nullptr || (info->hbmColor != nullptr && icon.colour == nullptr)) {
      DeleteObject(icon.mask);
      DeleteObject(icon.colour);
      return nullptr;
    }
    static uintptr_t next = 0x70000;
    auto handle = FromParam<HICON>(next);
    next += 4;
    Icons()[handle] = icon;
    return handle;
  });
}

BOOL DestroyIcon(HICON handle) {
  // Stock icons and cursors are shared: destroying them does nothing.
  if (IsStock(handle)) {
    return TRUE;
  }
  auto it = Icons().find(handle);
  if (it == Icons().end()) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  DeleteObject(it->second.mask);
  if (it->second.colour != nullptr) {
    DeleteObject(it->second.colour);
  }
  Icons().erase(it);
  return TRUE;
}

BOOL GetIconInfo(HICON handle, PICONINFO info) {
  auto it = Icons().find(handle);
  // Stock icons have no pixels here to hand out as bitmaps.
  if (it == Icons().end() || info == nullptr) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  const Icon& icon = it->second;
  info->fIcon = icon.fIcon;
  info->xHotspot = icon.xHotspot;
  info->yHotspot = icon.yHotspot;
  info->hbmMask = CopyBitmap(icon.mask);
  info->hbmColor = icon.colour != nullptr ? CopyBitmap(icon.colour) : nullptr;
  return TRUE;
}

void InitCommonControls() {}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  return init != nullptr && init->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

HRESULT CoInitialize(LPVOID) { return comInitialized++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (comInitialized > 0) {
    --comInitialized;
  }
}

HRESULT RevokeDragDrop(HWND window) {
  // Nothing registers drop targets here.
  return IsWindow(window) ? DRAGDROP_E_NOTREGISTERED : DRAGDROP_E_INVALIDHWND;
}

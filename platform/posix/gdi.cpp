#include "platform/posix/gdi.h"

#include <strings.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <utility>

#include "platform/posix/gdi_internal.h"
#include "platform/posix/gdi_objects.h"
#include "platform/posix/kernel.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/testing.h"
#include "platform/win32.h"

namespace gdi {

namespace {

// A nominal screen: there is no real one behind the display context.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kScreenBits = 32;

// No single bitmap may need more bytes than this.
constexpr int64_t kMaxBitmapBytes = INT32_MAX;

// Every live record but the stock objects; never destroyed, so it outlives
// every static user. Made in place, so that making it allocates nothing.
std::unordered_set<const Object*>& Registry() {
  using Set = std::unordered_set<const Object*>;
  alignas(Set) static unsigned char storage[sizeof(Set)];
  static Set* registry = new (storage) Set;
  return *registry;
}

void Destroy(Object* object);

// Records a new object; null when it or its record cannot be had.
template <typename T>
T* Register(T* object) {
  if (object == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!Allocated([object] { Registry().insert(object); })) {
    Destroy(object);
    return nullptr;
  }
  return object;
}

Object* StockFind(const void* handle);

void Destroy(Object* object) {
  Registry().erase(object);
  switch (object->kind) {
    case Kind::Bitmap: {
      auto* bitmap = static_cast<Bitmap*>(object);
      std::free(bitmap->bits);
      delete bitmap;
      break;
    }
    case Kind::Brush:
      delete static_cast<Brush*>(object);
      break;
    case Kind::Pen:
      delete static_cast<Pen*>(object);
      break;
    case Kind::Dc:
      delete static_cast<Dc*>(object);
      break;
    case Kind::Font:
      delete static_cast<Font*>(object);
      break;
  }
}

// A context lets go of an object; a deletion that waited for that runs now.
void LetGo(Object* object) {
  if (object == nullptr) {
    return;
  }
  if (--object->selections == 0 && object->deletePending && !object->stock) {
    Destroy(object);
  }
}

// Bitmap memory of `width` x `height` pixels with rows padded to `align`
// bytes; null when the size is out of range or memory runs out.
Bitmap* NewBitmap(int64_t width, int64_t height, WORD bitsPixel, bool dib, bool topDown) {
  const int64_t align = dib ? 4 : 2;
  const int64_t rowBits = width * bitsPixel;
  const int64_t stride = (rowBits + align * 8 - 1) / (align * 8) * align;
  if (width <= 0 || height <= 0 || width > kMaxBitmapBytes || height > kMaxBitmapBytes ||
      stride > kMaxBitmapBytes / height) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* bits = std::calloc(static_cast<size_t>(stride * height), 1);
  auto* bitmap = bits != nullptr ? new (std::nothrow) Bitmap : nullptr;
  if (bitmap == nullptr) {
    std::free(bits);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->width = static_cast<LONG>(width);
  bitmap->height = static_cast<LONG>(height);
  bitmap->bitsPixel = bitsPixel;
  bitmap->dib = dib;
  bitmap->topDown = topDown;
  bitmap->stride = static_cast<size_t>(stride);
  bitmap->bits = static_cast<uint8_t*>(bits);
  return Register(bitmap);
}

// Made without allocating, so that they are there however short memory is.
struct StockObjects {
  Brush brushes[3];  // white, black, null
  Pen pens[3];       // white, black, null
  Bitmap bitmap;     // the 1x1 monochrome bitmap of every new memory context
  uint8_t bitmapRow[2];
  Font fonts[2];  // system, default GUI

  StockObjects() : bitmapRow{} {
    const COLORREF colours[2] = {0xFFFFFF, 0};
    for (int i = 0; i < 3; ++i) {
      brushes[i].stock = pens[i].stock = true;
      brushes[i].null = pens[i].null = i == 2;
      if (i < 2) {
        brushes[i].colour = pens[i].colour = colours[i];
      }
    }
    bitmap.stock = true;
    bitmap.width = bitmap.height = 1;
    bitmap.bitsPixel = 1;
    bitmap.stride = sizeof bitmapRow;
    bitmap.bits = bitmapRow;
    for (Font& font : fonts) {
      font.stock = true;
    }
  }
};

StockObjects& Stock() {
  static StockObjects stock;
  return stock;
}

Object* StockFind(const void* handle) {
  StockObjects& stock = Stock();
  Object* all[] = {&stock.brushes[0], &stock.brushes[1], &stock.brushes[2],
                   &stock.pens[0],    &stock.pens[1],    &stock.pens[2],
                   &stock.bitmap,     &stock.fonts[0],   &stock.fonts[1]};
  for (Object* object : all) {
    if (object == handle) {
      return object;
    }
  }
  return nullptr;
}

template <typename T>
HGDIOBJ Swap(T*& slot, T* object) {
  T* previous = slot;
  if (previous != object) {
    Hold(object);
    slot = object;
    LetGo(previous);
  }
  return previous;
}

}  // namespace

Object* Find(const void* handle) {
  if (handle == nullptr) {
    return nullptr;
  }
  if (Object* stock = StockFind(handle)) {
    return stock;
  }
  auto& registry = Registry();
  auto it = registry.find(static_cast<const Object*>(handle));
  return it == registry.end() ? nullptr : const_cast<Object*>(*it);
}

Dc* FindDc(HDC dc) { return FindAs<Dc>(dc, Kind::Dc); }

void Hold(Object* object) { ++object->selections; }

// ---- contexts --------------------------------------------------------------

Dc* NewDc(bool memory) {
  StockObjects& stock = Stock();
  auto* dc = Register(new (std::nothrow) Dc);
  if (dc == nullptr) {
    return nullptr;
  }
  dc->memory = memory;
  dc->brush = &stock.brushes[0];
  dc->pen = &stock.pens[1];
  dc->font = &stock.fonts[0];
  Hold(dc->brush);
  Hold(dc->pen);
  Hold(dc->font);
  if (memory) {
    dc->bitmap = &stock.bitmap;
    Hold(dc->bitmap);
  }
  return dc;
}

}  // namespace gdi

using namespace gdi;

HDC CreateDCA(LPCSTR driver, LPCSTR, LPCSTR, const DEVMODEA*) {
  if (driver == nullptr || strcasecmp(driver, "DISPLAY") != 0) {
    return nullptr;
  }
  return reinterpret_cast<HDC>(NewDc(false));
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc != nullptr && FindDc(dc) == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<HDC>(NewDc(true));
}

BOOL DeleteDC(HDC handle) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr) {
    return FALSE;
  }
  Registry().erase(dc);
  LetGo(dc->bitmap);
  LetGo(dc->brush);
  LetGo(dc->pen);
  LetGo(dc->font);
  delete dc;
  return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
  if (FindDc(dc) == nullptr) {
    return 0;
  }
  switch (index) {
    case HORZRES:
      return kScreenWidth;
    case VERTRES:
      return kScreenHeight;
    case BITSPIXEL:
      return kScreenBits;
    default:
      return 0;
  }
}

// Compatible with the context: monochrome while a memory context still holds a
// monochrome bitmap, else the display's 32 bits. A zero size gives the stock
// 1x1 monochrome bitmap and negative sizes count as positive, as GDI does.
HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr) {
    return nullptr;
  }
  if (width == 0 || height == 0) {
    return reinterpret_cast<HBITMAP>(&Stock().bitmap);
  }
  const WORD bits = dc->memory && dc->bitmap->bitsPixel == 1 ? 1 : kScreenBits;
  return reinterpret_cast<HBITMAP>(
      NewBitmap(std::abs(int64_t{width}), std::abs(int64_t{height}), bits, false, true));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
  if (bits != nullptr) {
    *bits = nullptr;
  }
  if (info == nullptr || section != nullptr || usage > 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const WORD depth = h.biBitCount;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB ||
      (depth != 16 && depth != 24 && depth != 32) || h.biWidth <= 0 || h.biHeight == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A positive height stores the rows bottom-up.
  Bitmap* bitmap = NewBitmap(h.biWidth, std::abs(int64_t{h.biHeight}), depth, true, h.biHeight < 0);
  if (bitmap != nullptr && bits != nullptr) {
    *bits = bitmap->bits;
  }
  return reinterpret_cast<HBITMAP>(bitmap);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  auto* brush = new (std::nothrow) Brush;
  if (brush != nullptr) {
    brush->colour = colour;
  }
  return reinterpret_cast<HBRUSH>(Register(brush));
}

HPEN CreatePen(int style, int width, COLORREF colour) {
  if (style == PS_NULL) {
    return reinterpret_cast<HPEN>(&Stock().pens[2]);
  }
  if (style != PS_SOLID || width < 0 || width > 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* pen = new (std::nothrow) Pen;
  if (pen != nullptr) {
    pen->colour = colour;
  }
  return reinterpret_cast<HPEN>(Register(pen));
}

HGDIOBJ GetStockObject(int which) {
  StockObjects& stock = Stock();
  switch (which) {
    case WHITE_BRUSH:
      return &stock.brushes[0];
    case BLACK_BRUSH:
      return &stock.brushes[1];
    case NULL_BRUSH:
      return &stock.brushes[2];
    case WHITE_PEN:
      return &stock.pens[0];
    case BLACK_PEN:
      return &stock.pens[1];
    case NULL_PEN:
      return &stock.pens[2];
    case SYSTEM_FONT:
      return &stock.fonts[0];
    case DEFAULT_GUI_FONT:
      return &stock.fonts[1];
    default:
      return nullptr;
  }
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ objectHandle) {
  Dc* dc = FindDc(handle);
  Object* object = Find(objectHandle);
  if (dc == nullptr || object == nullptr || object->deletePending) {
    return nullptr;
  }
  switch (object->kind) {
    case Kind::Brush:
      return Swap(dc->brush, static_cast<Brush*>(object));
    case Kind::Pen:
      return Swap(dc->pen, static_cast<Pen*>(object));
    case Kind::Font:
      return Swap(dc->font, static_cast<Font*>(object));
    case Kind::Bitmap: {
      auto* bitmap = static_cast<Bitmap*>(object);
      if (!dc->memory) {
        return nullptr;
      }
      // A bitmap lives in one context at a time (the stock one excepted).
      if (bitmap != dc->bitmap && !bitmap->stock && bitmap->selections > 0) {
        return nullptr;
      }
      return Swap(dc->bitmap, bitmap);
    }
    case Kind::Dc:
      break;
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ handle) {
  Object* object = Find(handle);
  if (object == nullptr) {
    return FALSE;
  }
  if (object->kind == Kind::Dc) {
    return DeleteDC(static_cast<HDC>(handle));
  }
  if (object->stock) {
    return TRUE;
  }
  if (object->selections > 0) {
    object->deletePending = true;
  } else {
    Destroy(object);
  }
  return TRUE;
}

int GetObjectA(HANDLE handle, int size, LPVOID out) {
  auto* bitmap = FindAs<Bitmap>(handle, Kind::Bitmap);
  if (bitmap == nullptr) {
    return 0;
  }
  constexpr int kSize = static_cast<int>(sizeof(BITMAP));
  if (out == nullptr) {
    return kSize;
  }
  if (size < kSize) {
    return 0;
  }
  BITMAP info{};
  info.bmWidth = bitmap->width;
  info.bmHeight = bitmap->height;
  info.bmWidthBytes = static_cast<LONG>(bitmap->stride);
  info.bmPlanes = 1;
  info.bmBitsPixel = bitmap->bitsPixel;
  info.bmBits = bitmap->dib ? bitmap->bits : nullptr;
  std::memcpy(out, &info, sizeof info);
  return kSize;
}

DWORD GetObjectType(HGDIOBJ handle) {
  Object* object = Find(handle);
  if (object == nullptr) {
    return 0;
  }
  switch (object->kind) {
    case Kind::Dc:
      return static_cast<Dc*>(object)->memory ? OBJ_MEMDC : OBJ_DC;
    case Kind::Bitmap:
      return OBJ_BITMAP;
    case Kind::Brush:
      return OBJ_BRUSH;
    case Kind::Pen:
      return OBJ_PEN;
    case Kind::Font:
      return OBJ_FONT;
  }
  return 0;
}

int SetROP2(HDC handle, int rop) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr || rop < R2_BLACK || rop > R2_WHITE) {
    return 0;
  }
  return std::exchange(dc->rop2, rop);
}

int GetROP2(HDC handle) {
  Dc* dc = FindDc(handle);
  return dc != nullptr ? dc->rop2 : 0;
}

int SetBkMode(HDC handle, int mode) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
    return 0;
  }
  return std::exchange(dc->bkMode, mode);
}

COLORREF SetBkColor(HDC handle, COLORREF colour) {
  Dc* dc = FindDc(handle);
  return dc != nullptr ? std::exchange(dc->bkColour, colour) : CLR_INVALID;
}

COLORREF SetTextColor(HDC handle, COLORREF colour) {
  Dc* dc = FindDc(handle);
  return dc != nullptr ? std::exchange(dc->textColour, colour) : CLR_INVALID;
}

UINT SetTextAlign(HDC handle, UINT align) {
  Dc* dc = FindDc(handle);
  return dc != nullptr ? std::exchange(dc->textAlign, align) : GDI_ERROR;
}

BOOL GdiFlush() { return TRUE; }

HBRUSH GdiCreatePermanentBrush(COLORREF colour) {
  auto* brush = new (std::nothrow) Brush;
  if (brush != nullptr) {
    brush->colour = colour;
    brush->stock = true;
  }
  return reinterpret_cast<HBRUSH>(Register(brush));
}

size_t PosixLiveGdiObjects() { return Registry().size(); }

#include "platform/posix/gdi.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <utility>

#include "platform/posix/gdi_internal.h"
#include "platform/posix/kernel.h"
#include "platform/posix/out_of_memory.h"
#include "platform/posix/rect.h"
#include "platform/posix/testing.h"
#include "platform/win32.h"

namespace {

// A nominal screen: there is no real one behind the display context.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kScreenBits = 32;

// No single bitmap may need more bytes than this.
constexpr int64_t kMaxBitmapBytes = INT32_MAX;

enum class Kind : uint8_t { Dc, Bitmap, Brush, Pen, Font };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  Kind kind;
  bool stock = false;
  bool deletePending = false;  // DeleteObject came while it was selected
  int selections = 0;          // device contexts that hold it
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  LONG width = 0;
  LONG height = 0;
  WORD bitsPixel = 0;  // 1, 16, 24 or 32
  bool dib = false;
  bool topDown = true;
  size_t stride = 0;  // bytes per row
  uint8_t* bits = nullptr;
  // A window's share of a surface that GDI does not own (GdiCreateSurfaceDC):
  // pixels left of clipLeft or above clipTop are not the context's.
  bool external = false;
  LONG clipLeft = 0;
  LONG clipTop = 0;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  bool null = false;
  COLORREF colour = 0;
};

struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  bool null = false;
  COLORREF colour = 0;
};

// Fonts are names only: nothing here draws text.
struct Font : Object {
  Font() : Object(Kind::Font) {}
};

struct Dc : Object {
  Dc() : Object(Kind::Dc) {}
  bool memory = false;
  Bitmap* bitmap = nullptr;  // always set for a memory context
  Brush* brush = nullptr;
  Pen* pen = nullptr;
  Font* font = nullptr;
  int rop2 = R2_COPYPEN;
  int bkMode = OPAQUE;
  COLORREF bkColour = 0xFFFFFF;
  COLORREF textColour = 0;
  UINT textAlign = TA_NOUPDATECP;
};

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

template <typename T>
T* FindAs(const void* handle, Kind kind) {
  Object* object = Find(handle);
  return object != nullptr && object->kind == kind ? static_cast<T*>(object) : nullptr;
}

Dc* FindDc(HDC dc) { return FindAs<Dc>(dc, Kind::Dc); }

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

void Hold(Object* object) { ++object->selections; }

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

// ---- pixels ----------------------------------------------------------------

uint32_t PixelMask(const Bitmap& b) {
  switch (b.bitsPixel) {
    case 1:
      return 1;
    case 16:
      return 0x7FFF;
    default:
      return 0xFFFFFF;
  }
}

// A COLORREF as the bitmap stores it: 0x00RRGGBB at 24 and 32 bits, 5-5-5
// with each channel rounded down at 16, and the nearer of black and white
// (1 = white) for a monochrome bitmap. The top byte of the COLORREF is ignored.
uint32_t ToRaw(const Bitmap& b, COLORREF colour) {
  const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, bl = (colour >> 16) & 0xFF;
  switch (b.bitsPixel) {
    case 1:
      return r + g + bl > 382 ? 1 : 0;
    case 16:
      return (r >> 3) << 10 | (g >> 3) << 5 | (bl >> 3);
    default:
      return r << 16 | g << 8 | bl;
  }
}

// 5-bit channels read back with their top bits repeated below them, as GDI
// reads a 16-bit DIB.
uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }

COLORREF FromRaw(const Bitmap& b, uint32_t raw) {
  switch (b.bitsPixel) {
    case 1:
      return raw != 0 ? 0xFFFFFF : 0;
    case 16:
      return Expand5((raw >> 10) & 31) | Expand5((raw >> 5) & 31) << 8 | Expand5(raw & 31) << 16;
    default:
      return (raw >> 16 & 0xFF) | (raw & 0xFF00) | (raw & 0xFF) << 16;
  }
}

uint8_t* Row(const Bitmap& b, int64_t y) {
  const int64_t row = b.topDown ? y : b.height - 1 - y;
  return b.bits + static_cast<size_t>(row) * b.stride;
}

uint32_t ReadRaw(const Bitmap& b, int64_t x, int64_t y) {
  const uint8_t* row = Row(b, y);
  const auto i = static_cast<size_t>(x);
  switch (b.bitsPixel) {
    case 1:
      return (row[i >> 3] >> (7 - (i & 7))) & 1;
    case 16:
      return row[2 * i] | static_cast<uint32_t>(row[2 * i + 1]) << 8;
    case 24:
      return row[3 * i] | static_cast<uint32_t>(row[3 * i + 1]) << 8 |
             static_cast<uint32_t>(row[3 * i + 2]) << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * i, 4);
      return v;
    }
  }
}

void WriteRaw(const Bitmap& b, int64_t x, int64_t y, uint32_t v) {
  uint8_t* row = Row(b, y);
  const auto i = static_cast<size_t>(x);
  switch (b.bitsPixel) {
    case 1: {
      const auto bit = static_cast<uint8_t>(0x80 >> (i & 7));
      row[i >> 3] = static_cast<uint8_t>(v != 0 ? row[i >> 3] | bit : row[i >> 3] & ~bit);
      break;
    }
    case 16:
      row[2 * i] = static_cast<uint8_t>(v);
      row[2 * i + 1] = static_cast<uint8_t>(v >> 8);
      break;
    case 24:
      row[3 * i] = static_cast<uint8_t>(v);
      row[3 * i + 1] = static_cast<uint8_t>(v >> 8);
      row[3 * i + 2] = static_cast<uint8_t>(v >> 16);
      break;
    default:
      std::memcpy(row + 4 * i, &v, 4);
      break;
  }
}

// The binary raster operation `rop` (R2_*) of pen and destination: rop - 1 is
// the truth table, bit (2 * pen + destination) giving each result bit.
uint32_t Rop2(int rop, uint32_t pen, uint32_t dst) {
  const unsigned table = static_cast<unsigned>(rop - 1);
  uint32_t out = 0;
  if (table & 1) {
    out |= ~pen & ~dst;
  }
  if (table & 2) {
    out |= ~pen & dst;
  }
  if (table & 4) {
    out |= pen & ~dst;
  }
  if (table & 8) {
    out |= pen & dst;
  }
  return out;
}

// Where a context draws: its bitmap with a pixel value and raster operation.
// Each operation clips its boxes once; the row routines then take every
// pixel they are given.
struct Painter {
  const Bitmap* b;
  int rop;

  // The pixels that are the context's.
  RECT Drawable() const {
    return RECT{std::max<LONG>(b->clipLeft, 0), std::max<LONG>(b->clipTop, 0), b->width, b->height};
  }
  // The pixels of [left, right) x [top, bottom) that are the context's.
  RECT Clip(int64_t left, int64_t top, int64_t right, int64_t bottom) const {
    return user::Clipped(left, top, right, bottom, Drawable());
  }
  // Every pixel of `area`, which lies within Drawable().
  void Fill(const RECT& area, uint32_t raw) const {
    const uint32_t pixel = raw & PixelMask(*b);
    if (rop == R2_COPYPEN && b->bitsPixel == 32) {
      // The common case, a plain fill of 32-bit pixels, row by row.
      for (LONG y = area.top; y < area.bottom; ++y) {
        uint8_t* row = Row(*b, y);
        for (LONG x = area.left; x < area.right; ++x) {
          std::memcpy(row + 4 * static_cast<size_t>(x), &pixel, 4);
        }
      }
      return;
    }
    for (LONG y = area.top; y < area.bottom; ++y) {
      for (LONG x = area.left; x < area.right; ++x) {
        WriteRaw(*b, x, y, Rop2(rop, pixel, ReadRaw(*b, x, y)) & PixelMask(*b));
      }
    }
  }
  // Pixels [left, right) x [top, bottom), clipped.
  void FillBox(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t raw) const {
    Fill(Clip(left, top, right, bottom), raw);
  }
};

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

// Right and bottom exclusive, the raster operation ignored. A rectangle given
// back to front covers what PatBlt covers for a negative extent: from one past
// the far edge up to and including the near one.
int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
  Dc* dc = FindDc(handle);
  auto* brush = FindAs<Brush>(brushHandle, Kind::Brush);
  if (dc == nullptr || rect == nullptr || brush == nullptr) {
    return 0;
  }
  if (brush->null || dc->bitmap == nullptr) {
    return 1;
  }
  int64_t left = rect->left, right = rect->right, top = rect->top, bottom = rect->bottom;
  if (right < left) {
    const int64_t far = right + 1;
    right = left + 1;
    left = far;
  }
  if (bottom < top) {
    const int64_t far = bottom + 1;
    bottom = top + 1;
    top = far;
  }
  const Painter painter{dc->bitmap, R2_COPYPEN};
  painter.FillBox(left, top, right, bottom, ToRaw(*dc->bitmap, brush->colour));
  return 1;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr) {
    return FALSE;
  }
  int64_t l = left, t = top, r = right, b = bottom;
  if (l > r) {
    std::swap(l, r);
  }
  if (t > b) {
    std::swap(t, b);
  }
  if (l == r || t == b || dc->bitmap == nullptr) {
    return TRUE;
  }
  const Painter painter{dc->bitmap, dc->rop2};
  const bool pen = !dc->pen->null;
  if (!dc->brush->null) {
    // Without a pen the fill takes the border's place, one pixel short at the
    // right and bottom.
    const int64_t inset = pen ? 1 : 0;
    painter.FillBox(l + inset, t + inset, r - 1, b - 1, ToRaw(*dc->bitmap, dc->brush->colour));
  }
  if (!pen) {
    return TRUE;
  }
  // The closed outline (l, t) -> (x1, t) -> (x1, y1) -> (l, y1) -> (l, t), each
  // edge drawn up to but not including its end point: for a box one pixel
  // across, the pixels between its ends are drawn twice.
  const uint32_t raw = ToRaw(*dc->bitmap, dc->pen->colour);
  const int64_t x1 = r - 1, y1 = b - 1;
  painter.FillBox(l, t, x1, t + 1, raw);
  painter.FillBox(x1, t, x1 + 1, y1, raw);
  painter.FillBox(l + 1, y1, x1 + 1, y1 + 1, raw);
  painter.FillBox(l, t + 1, l + 1, y1 + 1, raw);
  return TRUE;
}

// The raster operation applies here too; a pixel outside the bitmap is
// silently clipped, as GDI reports success for it.
BOOL SetPixelV(HDC handle, int x, int y, COLORREF colour) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr) {
    return FALSE;
  }
  if (dc->bitmap != nullptr) {
    const Painter painter{dc->bitmap, dc->rop2};
    painter.FillBox(x, y, int64_t{x} + 1, int64_t{y} + 1, ToRaw(*dc->bitmap, colour));
  }
  return TRUE;
}

COLORREF GetPixel(HDC handle, int x, int y) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr || dc->bitmap == nullptr) {
    return CLR_INVALID;
  }
  const Bitmap& b = *dc->bitmap;
  const Painter painter{&b, R2_COPYPEN};
  if (user::IsEmpty(painter.Clip(x, y, int64_t{x} + 1, int64_t{y} + 1))) {
    return CLR_INVALID;
  }
  return FromRaw(b, ReadRaw(b, x, y));
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

BOOL GetDCPixels(HDC handle, DC_PIXELS* pixels) {
  Dc* dc = FindDc(handle);
  if (dc == nullptr || pixels == nullptr || dc->bitmap == nullptr || dc->bitmap->bitsPixel != 32 ||
      dc->bitmap->clipLeft > 0 || dc->bitmap->clipTop > 0) {
    return FALSE;
  }
  const Bitmap& b = *dc->bitmap;
  const auto stride = static_cast<LONG>(b.stride / 4);
  pixels->bits = reinterpret_cast<DWORD*>(Row(b, 0));
  pixels->width = b.width;
  pixels->height = b.height;
  pixels->stride = b.topDown ? stride : -stride;
  return TRUE;
}

// ---- surfaces of the window part --------------------------------------------

namespace {

// Points the view at the surface pixel `origin`, keeping only `clip`. The
// view's own extent is clip's right and bottom edges measured from the origin.
void AimView(Bitmap* view, const GdiSurface& surface, POINT origin, RECT clip) {
  clip.left = std::max<LONG>(clip.left, 0);
  clip.top = std::max<LONG>(clip.top, 0);
  clip.right = std::min(clip.right, surface.width);
  clip.bottom = std::min(clip.bottom, surface.height);
  const intptr_t offset = static_cast<intptr_t>(origin.y) * surface.stride + origin.x;
  // In integers: the origin may lie outside the surface, where pointer
  // arithmetic would be undefined.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  view->bits = reinterpret_cast<uint8_t*>(reinterpret_cast<intptr_t>(surface.bits) +
                                          offset * static_cast<intptr_t>(sizeof(DWORD)));
  view->stride = static_cast<size_t>(surface.stride) * sizeof(DWORD);
  view->width = std::max<LONG>(clip.right - origin.x, 0);
  view->height = std::max<LONG>(clip.bottom - origin.y, 0);
  view->clipLeft = clip.left - origin.x;
  view->clipTop = clip.top - origin.y;
  if (clip.right <= clip.left || clip.bottom <= clip.top || surface.bits == nullptr) {
    view->width = view->height = 0;
  }
}

Dc* FindSurfaceDc(HDC handle) {
  Dc* dc = FindDc(handle);
  return dc != nullptr && dc->bitmap != nullptr && dc->bitmap->external ? dc : nullptr;
}

}  // namespace

HDC GdiCreateSurfaceDC(const GdiSurface& surface, POINT origin, RECT clip) {
  auto* view = new (std::nothrow) Bitmap;
  Dc* dc = view != nullptr ? NewDc(false) : nullptr;
  if (dc == nullptr) {
    delete view;
    return nullptr;
  }
  view->bitsPixel = 32;
  view->external = true;
  AimView(view, surface, origin, clip);
  dc->bitmap = view;
  Hold(view);
  return reinterpret_cast<HDC>(dc);
}

void GdiRetargetSurfaceDC(HDC handle, const GdiSurface& surface, POINT origin, RECT clip) {
  if (Dc* dc = FindSurfaceDc(handle)) {
    AimView(dc->bitmap, surface, origin, clip);
  }
}

BOOL GdiDeleteSurfaceDC(HDC handle) {
  Dc* dc = FindSurfaceDc(handle);
  if (dc == nullptr) {
    return FALSE;
  }
  Bitmap* view = dc->bitmap;
  DeleteDC(handle);
  delete view;
  return TRUE;
}

BOOL GdiCopyBitmap(HDC handle, int x, int y, HBITMAP bitmapHandle, int cx, int cy) {
  Dc* dc = FindDc(handle);
  auto* source = FindAs<Bitmap>(bitmapHandle, Kind::Bitmap);
  if (dc == nullptr || source == nullptr) {
    return FALSE;
  }
  if (dc->bitmap == nullptr) {
    return TRUE;
  }
  const Bitmap& target = *dc->bitmap;
  const int64_t width = std::min<int64_t>(cx, source->width);
  const int64_t height = std::min<int64_t>(cy, source->height);
  const RECT area = Painter{&target, R2_COPYPEN}.Clip(x, y, x + width, y + height);
  // Both 32-bit: each holds 0x00RRGGBB, copied as it is, a row at a time in
  // a loop the compiler can widen.
  const bool sameFormat = source->bitsPixel == 32 && target.bitsPixel == 32;
  for (LONG ty = area.top; ty < area.bottom; ++ty) {
    const uint8_t* from = Row(*source, ty - int64_t{y});
    uint8_t* to = Row(target, ty);
    if (sameFormat) {
      from += 4 * (area.left - int64_t{x});
      to += 4 * int64_t{area.left};
      for (LONG n = area.right - area.left; n > 0; --n, from += 4, to += 4) {
        uint32_t pixel;
        std::memcpy(&pixel, from, 4);
        pixel &= 0x00FFFFFFu;
        std::memcpy(to, &pixel, 4);
      }
      continue;
    }
    for (LONG tx = area.left; tx < area.right; ++tx) {
      const COLORREF colour = FromRaw(*source, ReadRaw(*source, tx - int64_t{x}, ty - int64_t{y}));
      WriteRaw(target, tx, ty, ToRaw(target, colour));
    }
  }
  return TRUE;
}

HBRUSH GdiCreatePermanentBrush(COLORREF colour) {
  auto* brush = new (std::nothrow) Brush;
  if (brush != nullptr) {
    brush->colour = colour;
    brush->stock = true;
  }
  return reinterpret_cast<HBRUSH>(Register(brush));
}

size_t PosixLiveGdiObjects() { return Registry().size(); }

// Pixels and drawing: the formats of bitmap memory, raster operations, the
// drawing calls and the window part's surfaces.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "platform/posix/gdi.h"
#include "platform/posix/gdi_internal.h"
#include "platform/posix/gdi_objects.h"
#include "platform/posix/rect.h"
#include "platform/win32.h"

using namespace gdi;

namespace {

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

}  // namespace

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

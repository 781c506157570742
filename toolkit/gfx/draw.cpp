#include "toolkit/gfx/draw.h"

#include <algorithm>
#include <cstdint>
#include <utility>

draw_detail::PlainPixels draw_detail::plainPixels;

namespace {

using draw_detail::plainPixels;
using draw_detail::PlainPixels;
using draw_detail::SwapRedBlue;

struct Drawing {
  HDC context;           // 0: no drawing open
  uint32_t frontColour;  // colour of the pen and brush the drawing selected
  int32_t modeBits;
  uint32_t backgroundColour;
  HBRUSH drawingBrush;  // selected by DrawSetMode when not outlined
  HGDIOBJ furtherObjects[2];
  HBRUSH defaultBrush;
  HPEN defaultPen;
  HGDIOBJ previousBrush;  // what the context held before DrawBegin
  HGDIOBJ previousPen;
  int32_t kind;
  HWND window;
  DrawRelease release;
  // Direct path: the context's own pixels, when the platform shows them, and
  // the raster operation that GDI would apply to them.
  bool direct;
  DC_PIXELS pixels;
  int rop;
};

Drawing state;

int32_t ClampToInt(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// ---- direct path: the same coverage and values as the GDI calls below ----

// The part of [left, right) x [top, bottom) that is the target's pixels, or
// RECT{} when there is none. Each operation clips its boxes once, here; the
// routines that then store pixels take every pixel they are given.
RECT ClipToPixels(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  left = std::max<int64_t>(left, 0);
  top = std::max<int64_t>(top, 0);
  right = std::min<int64_t>(right, state.pixels.width);
  bottom = std::min<int64_t>(bottom, state.pixels.height);
  if (right <= left || bottom <= top) {
    return RECT{};
  }
  return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
              static_cast<LONG>(bottom)};
}

DWORD* PixelAt(int64_t x, int64_t y) { return state.pixels.bits + y * state.pixels.stride + x; }

// The binary raster operation (R2_*) of pen and destination; rop - 1 is its
// truth table, bit (2 * pen + destination) giving each result bit.
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
  return out & 0xFFFFFF;
}

// Every pixel of `area`, which ClipToPixels gave.
void FillArea(const RECT& area, uint32_t pixel) {
  for (LONG y = area.top; y < area.bottom; ++y) {
    DWORD* const begin = PixelAt(area.left, y);
    DWORD* const end = PixelAt(area.right, y);
    if (state.rop == R2_COPYPEN) {
      std::fill(begin, end, pixel);
      continue;
    }
    for (DWORD* p = begin; p != end; ++p) {
      *p = Rop2(state.rop, pixel, *p);
    }
  }
}

// Pixels [left, right) x [top, bottom), clipped.
void PlotArea(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
  FillArea(ClipToPixels(left, top, right, bottom), pixel);
}

// Rectangle(left, top, right, bottom) with a one-pixel pen and, unless
// outlined, a brush, both in `pixel`. GDI draws the border as the closed
// outline through the four corner pixels: for a box one pixel wide or high the
// outline runs over its inner pixels twice (XOR thus leaves them as they were).
void DirectRectangle(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
  if (left > right) {
    std::swap(left, right);
  }
  if (top > bottom) {
    std::swap(top, bottom);
  }
  const bool outlined = (state.modeBits & DRAW_MODE_OUTLINED) != 0;
  if (state.rop == R2_COPYPEN && !outlined) {
    PlotArea(left, top, right, bottom, pixel);
    return;
  }
  if (right - left == 1 || bottom - top == 1) {
    PlotArea(left, top, right, bottom, pixel);
    if (right - left == 1) {
      PlotArea(left, top + 1, right, bottom - 1, pixel);
    } else {
      PlotArea(left + 1, top, right - 1, bottom, pixel);
    }
    return;
  }
  PlotArea(left, top, right, top + 1, pixel);
  PlotArea(left, bottom - 1, right, bottom, pixel);
  PlotArea(left, top + 1, left + 1, bottom - 1, pixel);
  PlotArea(right - 1, top + 1, right, bottom - 1, pixel);
  if (!outlined) {
    PlotArea(left + 1, top + 1, right - 1, bottom - 1, pixel);
  }
}

// ---- GDI path ----

void GdiBox(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  HDC dc = state.context;
  HPEN pen = nullptr;
  HBRUSH brush = nullptr;
  HGDIOBJ previousPen = nullptr;
  HGDIOBJ previousBrush = nullptr;
  // A box in the front colour uses what is selected; any other colour makes
  // its own pen and (unless outlined) brush for this one box.
  const bool ownObjects = colour != state.frontColour;
  if (ownObjects) {
    pen = CreatePen(PS_SOLID, 0, colour);
    previousPen = SelectObject(dc, pen);
    if ((state.modeBits & DRAW_MODE_OUTLINED) == 0) {
      brush = CreateSolidBrush(colour);
      previousBrush = SelectObject(dc, brush);
    }
  }
  Rectangle(dc, x, y, ClampToInt(int64_t{x} + w), ClampToInt(int64_t{y} + h));
  if (ownObjects) {
    if (brush != nullptr) {
      SelectObject(dc, previousBrush);
      DeleteObject(brush);
    }
    SelectObject(dc, previousPen);
    DeleteObject(pen);
  }
}

// Opens DrawBox's small-box path to the drawing's pixels while boxes simply
// replace them, and closes it otherwise.
void UpdatePlainPixels() {
  const bool stores =
      state.direct && state.rop == R2_COPYPEN && (state.modeBits & DRAW_MODE_OUTLINED) == 0;
  plainPixels = stores ? PlainPixels{state.pixels.bits, state.pixels.stride, state.pixels.width,
                                     state.pixels.height}
                       : PlainPixels{};
}

}  // namespace

// Every box DrawBox's small-box path leaves, on either path.
void draw_detail::AnyBox(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  if (state.context == nullptr || w == 0 || h == 0) {
    return;
  }
  // Single pixels go through SetPixelV, which takes no notice of the brush.
  if ((w == 1 || w == -1) && (h == 1 || h == -1)) {
    const int64_t px = w < 0 ? int64_t{x} - 1 : x;
    const int64_t py = h < 0 ? int64_t{y} - 1 : y;
    if (state.direct) {
      PlotArea(px, py, px + 1, py + 1, SwapRedBlue(colour));
    } else if (px >= INT32_MIN && py >= INT32_MIN) {
      SetPixelV(state.context, static_cast<int>(px), static_cast<int>(py), colour);
    }
    return;
  }
  if (state.direct) {
    DirectRectangle(x, y, int64_t{x} + w, int64_t{y} + h, SwapRedBlue(colour));
  } else {
    GdiBox(x, y, w, h, colour);
  }
}

void DrawLibraryInit() {
  state = Drawing{};
  plainPixels = PlainPixels{};
  state.defaultBrush = CreateSolidBrush(0);
  state.defaultPen = CreatePen(PS_SOLID, 0, 0);
}

HDC DrawBegin(const DrawTarget* target) {
  DrawEnd();
  if (target == nullptr) {
    return nullptr;
  }
  state.kind = target->kind;
  state.window = target->window;
  state.release = target->release;
  state.modeBits = 0;
  HDC dc = target->kind == DRAW_TARGET_WINDOW ? GetDC(target->window) : target->deviceContext;
  if (dc == nullptr) {
    return nullptr;
  }
  state.context = dc;
  SetTextAlign(dc, TA_UPDATECP);
  state.previousBrush = SelectObject(dc, state.defaultBrush);
  state.previousPen = SelectObject(dc, state.defaultPen);
  state.furtherObjects[1] = nullptr;
  state.frontColour = 0;
  state.backgroundColour = 0xFFFFFF;
  state.drawingBrush = CreateSolidBrush(0);
  SetTextColor(dc, 0);
  state.direct = GetDCPixels(dc, &state.pixels) != FALSE;
  state.rop = GetROP2(dc);
  UpdatePlainPixels();
  return dc;
}

void DrawEnd() {
  if (state.context == nullptr) {
    return;
  }
  HDC dc = state.context;
  SelectObject(dc, state.previousBrush);
  SelectObject(dc, state.previousPen);
  if (state.drawingBrush != nullptr) {
    DeleteObject(std::exchange(state.drawingBrush, nullptr));
  }
  if (state.furtherObjects[0] != nullptr) {
    DeleteObject(std::exchange(state.furtherObjects[0], nullptr));
  }
  // Closed before the release runs, so that a release routine that asks
  // finds no drawing open.
  state.context = nullptr;
  state.direct = false;
  plainPixels = PlainPixels{};
  if (state.kind == DRAW_TARGET_WINDOW) {
    ReleaseDC(state.window, dc);
  } else if (state.kind == DRAW_TARGET_IMAGE) {
    if (state.release != nullptr) {
      state.release();
    }
  } else {
    DeleteDC(dc);
  }
}

uint32_t DrawReadPixel(int32_t x, int32_t y) {
  if (state.context == nullptr) {
    return DRAW_COLOUR_INVALID;
  }
  if (state.direct) {
    const RECT pixel = ClipToPixels(x, y, int64_t{x} + 1, int64_t{y} + 1);
    return pixel.right > pixel.left ? SwapRedBlue(*PixelAt(x, y)) : DRAW_COLOUR_INVALID;
  }
  return static_cast<uint32_t>(GetPixel(state.context, x, y));
}

void DrawSetMode(int32_t bits) {
  if (state.context == nullptr) {
    return;
  }
  HDC dc = state.context;
  state.modeBits = bits;
  state.rop = (bits & DRAW_MODE_XOR) != 0 ? R2_XORPEN : R2_COPYPEN;
  UpdatePlainPixels();
  SetROP2(dc, state.rop);
  SelectObject(dc, (bits & DRAW_MODE_OUTLINED) != 0 ? GetStockObject(NULL_BRUSH)
                                                    : static_cast<HGDIOBJ>(state.drawingBrush));
  SetBkMode(dc, (bits & DRAW_MODE_TRANSPARENT) != 0 ? TRANSPARENT : OPAQUE);
}

HDC DrawContext() { return state.context; }

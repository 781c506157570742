// The drawing service: one open drawing at a time on a draw target, with
// filled boxes and pixel reads in Colours (0x00BBGGRR).
//
// Where the platform exposes the target's pixels (GetDCPixels) the service
// writes and reads them directly; otherwise it goes through GDI. Both paths
// cover exactly the same pixels with exactly the same values.
#pragma once

#include <cstdint>

#include "platform/win32.h"

constexpr int32_t DRAW_TARGET_WINDOW = 1;
constexpr int32_t DRAW_TARGET_IMAGE = 2;

constexpr int32_t DRAW_MODE_TRANSPARENT = 1;
constexpr int32_t DRAW_MODE_XOR = 2;
constexpr int32_t DRAW_MODE_OUTLINED = 4;

constexpr uint32_t DRAW_COLOUR_INVALID = 0xFFFFFFFF;

using DrawRelease = void (*)();

// Kind 1 takes its context from GetDC(window) and gives it back with
// ReleaseDC; kind 2 draws on `deviceContext` and DrawEnd calls `release`; for
// any other kind DrawEnd deletes the context itself.
struct DrawTarget {
  int32_t kind;         // DRAW_TARGET_WINDOW or DRAW_TARGET_IMAGE
  HWND window;          // kind 1 only
  HDC deviceContext;    // every kind but 1
  DrawRelease release;  // called by DrawEnd for kind 2
  intptr_t furtherWords[8];
};

void DrawLibraryInit();

// The new drawing's device context, or 0 when none could be opened. Any open
// drawing is ended first.
HDC DrawBegin(const DrawTarget* target);
void DrawEnd();
// Fills the w x h box whose top-left pixel is (x, y); a negative size extends
// left of x (above y), a zero size draws nothing. With DRAW_MODE_XOR pixels are
// combined by exclusive or, with DRAW_MODE_OUTLINED only the border is drawn.
inline void DrawBox(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
// The Colour at (x, y), or DRAW_COLOUR_INVALID outside the target or when no
// drawing is open.
uint32_t DrawReadPixel(int32_t x, int32_t y);
void DrawSetMode(int32_t bits);
// The open drawing's device context, or 0: lets a target's owner end the
// drawing before it takes the context away.
HDC DrawContext();

// ---- DrawBox's small-box path, inline so that a loop of boxes costs little
// more than their stores. Nothing outside the drawing service uses these.
namespace draw_detail {

// The pixels that boxes may simply be stored into: those of the open drawing
// while they are directly visible and boxes replace them (no XOR, not
// outlined); `bits` is null otherwise. In types that a pixel store cannot
// alias, so that a loop of boxes need not read them again after each store.
struct PlainPixels {
  DWORD* bits;
  intptr_t stride;
  int64_t width;
  int64_t height;
};
extern PlainPixels plainPixels;

// The boxes the small-box path takes: up to this many pixels across and down.
constexpr int32_t kSmallBox = 4;

// Colour (0x00BBGGRR) to and from a 0x00RRGGBB pixel: red and blue trade
// places and the top byte is dropped, which a byte swap and a shift do at once.
inline uint32_t SwapRedBlue(uint32_t v) { return __builtin_bswap32(v) >> 8; }

template <int32_t kWidth>
void StoreRows(DWORD* row, int32_t h, uint32_t pixel) {
  for (int32_t j = 0; j < h; ++j, row += plainPixels.stride) {
    for (int32_t i = 0; i < kWidth; ++i) {
      row[i] = pixel;
    }
  }
}

// Every box the small-box path does not take.
void AnyBox(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);

}  // namespace draw_detail

inline void DrawBox(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  using namespace draw_detail;
  const PlainPixels& p = plainPixels;
  if (p.bits == nullptr || w <= 0 || h <= 0 || w > kSmallBox || h > kSmallBox || x < 0 || y < 0 ||
      x + int64_t{w} > p.width || y + int64_t{h} > p.height) {
    AnyBox(x, y, w, h, colour);
    return;
  }
  DWORD* row = p.bits + y * p.stride + x;
  const uint32_t pixel = SwapRedBlue(colour);
  switch (w) {
    case 1:
      return StoreRows<1>(row, h, pixel);
    case 2:
      return StoreRows<2>(row, h, pixel);
    case 3:
      return StoreRows<3>(row, h, pixel);
    default:
      return StoreRows<kSmallBox>(row, h, pixel);
  }
}

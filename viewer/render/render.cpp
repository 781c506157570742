#include "viewer/render/render.h"

#include "toolkit/base/memory.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"
#include "viewer/render/screen.h"

namespace {

RenderState state{};

constexpr uint32_t SEAM_DARKEN_MASK = 0xCFCFCF;
constexpr uint32_t SEAM_DARK_FLOOR = 0x383838;  // so that a mark over black still shows
constexpr uint32_t SEAM_WHITE = 0xFFFFFF;

int32_t AttributeAt(int32_t line, int32_t col) {
  const int32_t offset = SCREEN_ATTRIBUTES + (line >> 3) * SCREEN_COLUMNS + col;
  return PeekByte(state.screen + offset);
}

// Everything but the boxes is worked out once per cell, in locals: the boxes'
// stores cannot then make the compiler read the buffers again for each box.
void PixelPass() {
  if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) {
    return;
  }
  const uint8_t* const screen = state.screen;
  const uint32_t* const palette = state.palette;
  uint32_t* const cellColours = state.cellColours;
  int32_t lineOffset = 0;
  for (int32_t y = 0; y < SCREEN_LINES; ++y) {
    const int32_t top = y * SCREEN_SCALE;
    for (int32_t col = 0; col < SCREEN_COLUMNS; ++col) {
      const int32_t a = AttributeAt(y, col);
      const int32_t bright = (a & 0x40) >> 3;
      const uint32_t ink = palette[(a & 7) | bright];
      const uint32_t paper = palette[((a & 0x38) >> 3) | bright];
      cellColours[0] = ink;
      cellColours[1] = paper;
      const int32_t b = PeekByte(screen + lineOffset + col);
      int32_t left = col * 8 * SCREEN_SCALE;
      for (int32_t mask = 0x80; mask != 0; mask >>= 1, left += SCREEN_SCALE) {
        DrawBox(left, top, SCREEN_SCALE, SCREEN_SCALE, (b & mask) != 0 ? ink : paper);
      }
    }
    lineOffset = NextLineOffset(lineOffset);
  }
  DrawEnd();
}

// Marks the left edge of every cell whose ink and paper stand swapped against
// its left neighbour's.
void SeamPass(int32_t seamColourMode) {
  if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) {
    return;
  }
  for (int32_t y = 0; y < SCREEN_LINES; ++y) {
    const int32_t top = y * SCREEN_SCALE;
    int32_t left = AttributeAt(y, 0);
    for (int32_t col = 1; col < SCREEN_COLUMNS; ++col) {
      const int32_t cur = AttributeAt(y, col);
      const bool inkOverPaper = (cur & 7) == ((left >> 3) & 7);
      const bool paperOverInk = (left & 7) == ((cur >> 3) & 7);
      const bool marked = cur != left && (inkOverPaper || paperOverInk);
      left = cur;
      if (!marked) {
        continue;
      }
      const int32_t x = col * 8 * SCREEN_SCALE;
      uint32_t c = SEAM_WHITE;
      if (seamColourMode == 0) {
        // Only this cell's mark covers the pixel, so it is read just before.
        c = DrawReadPixel(x, top) & SEAM_DARKEN_MASK;
        if (c < 7) {
          c |= SEAM_DARK_FLOOR;
        }
      }
      // Swapped ink and paper match both ways and draw the mark twice: on a
      // target that combines rather than replaces pixels that tells.
      if (inkOverPaper) {
        DrawBox(x, top, 1, SCREEN_SCALE, c);
      }
      if (paperOverInk) {
        DrawBox(x, top, 1, SCREEN_SCALE, c);
      }
    }
  }
  DrawEnd();
}

}  // namespace

void RenderSetState(const RenderState& newState) { state = newState; }

void PaletteFill(uint32_t* palette) {
  // 0x00BBGGRR; green runs slightly lower than red and blue at both levels.
  static constexpr uint32_t kColours[16] = {
      0x000000, 0xB40000, 0x0000B4, 0xB400B4, 0x00B200, 0xB4B200, 0x00B2B4, 0xB4B2B4,
      0x000000, 0xFC0000, 0x0000FC, 0xFC00FC, 0x00FE00, 0xFCFE00, 0x00FEFC, 0xFCFEFC,
  };
  for (int32_t i = 0; i < 16; ++i) {
    palette[i] = kColours[i];
  }
}

RenderBuffers RenderBuffersAllocate() {
  RenderBuffers buffers{};
  buffers.screen = static_cast<uint8_t*>(MemoryAllocate(SCREEN_SIZE));
  void* variable = nullptr;
  ArrayAllocate(PALETTE_UPPER_INDEX, sizeof(uint32_t), 0, &variable, 5);
  buffers.palette = static_cast<uint32_t*>(variable);
  variable = nullptr;
  ArrayAllocate(CELL_COLOURS_UPPER_INDEX, sizeof(uint32_t), 0, &variable, 5);
  buffers.cellColours = static_cast<uint32_t*>(variable);
  if (buffers.palette != nullptr) {
    PaletteFill(buffers.palette);
  }
  return buffers;
}

int32_t RenderScreen(int32_t seamColourMode) {
  // Without a buffer and tables there is nothing to read; draw nothing.
  if (state.screen == nullptr || state.palette == nullptr || state.cellColours == nullptr) {
    return 0;
  }
  PixelPass();
  SeamPass(seamColourMode);
  return 0;
}

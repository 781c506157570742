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

void PixelPass() {
  if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) {
    return;
  }
  int32_t lineOffset = 0;
  for (int32_t y = 0; y < SCREEN_LINES; ++y) {
    for (int32_t col = 0; col < SCREEN_COLUMNS; ++col) {
      const int32_t a = AttributeAt(y, col);
      const int32_t bright = (a & 0x40) >> 3;
      state.cellColours[0] = state.palette[(a & 7) | bright];
      state.cellColours[1] = state.palette[((a & 0x38) >> 3) | bright];
      int32_t mask = 1;
      for (int32_t k = 7; k >= 0; --k) {
        const int32_t b = PeekByte(state.screen + lineOffset + col);
        const int32_t entry = (b & mask) == mask ? 0 : 1;
        DrawBox((col * 8 + k) * SCREEN_SCALE, y * SCREEN_SCALE, SCREEN_SCALE, SCREEN_SCALE,
                state.cellColours[entry]);
        mask *= 2;
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
    for (int32_t col = 1; col < SCREEN_COLUMNS; ++col) {
      const int32_t cur = AttributeAt(y, col);
      const int32_t left = AttributeAt(y, col - 1);
      const int32_t x = col * 8 * SCREEN_SCALE;
      // Read before any mark of this pass can cover the pixel.
      uint32_t c = DrawReadPixel(x, y * SCREEN_SCALE) & SEAM_DARKEN_MASK;
      if (c < 7) {
        c |= SEAM_DARK_FLOOR;
      }
      if (cur == left) {
        continue;
      }
      if (seamColourMode != 0) {
        c = SEAM_WHITE;
      }
      if ((cur & 7) == ((left >> 3) & 7)) {
        DrawBox(x, y * SCREEN_SCALE, 1, SCREEN_SCALE, c);
      }
      if ((left & 7) == ((cur >> 3) & 7)) {
        DrawBox(x, y * SCREEN_SCALE, 1, SCREEN_SCALE, c);
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

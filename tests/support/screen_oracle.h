// An independent model of the enlarged picture, marks included, written
// straight from the screen layout (not from NextLineOffset): the oracle of the
// render tests and the render fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace oracle {

constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr size_t kPixels = size_t{kWidth} * kHeight;
using Image = std::vector<uint32_t>;  // kPixels Colours, row-major

// The sixteen Spectrum colours, 0x00BBGGRR, written out independently of
// PaletteFill.
constexpr uint32_t kPalette[16] = {
    0x000000, 0xB40000, 0x0000B4, 0xB400B4, 0x00B200, 0xB4B200, 0x00B2B4, 0xB4B2B4,
    0x000000, 0xFC0000, 0x0000FC, 0xFC00FC, 0x00FE00, 0xFCFE00, 0x00FEFC, 0xFCFEFC,
};

inline int LineOffset(int y) { return ((y & 0xC0) << 5) | ((y & 0x07) << 8) | ((y & 0x38) << 2); }
inline int AttributeOffset(int row, int col) { return 6144 + row * 32 + col; }

inline uint32_t Darkened(uint32_t c) {
  c &= 0xCFCFCF;
  return c < 7 ? (c | 0x383838) : c;
}

inline bool IsSeam(uint8_t cur, uint8_t left) {
  if (cur == left) {
    return false;
  }
  return (cur & 7) == ((left >> 3) & 7) || (left & 7) == ((cur >> 3) & 7);
}

// The whole expected picture, marks included.
inline Image Oracle(const uint8_t* screen, int mode) {
  Image image(kPixels);
  for (int y = 0; y < 192; ++y) {
    for (int x = 0; x < 256; ++x) {
      const uint8_t bits = screen[LineOffset(y) + x / 8];
      const uint8_t attr = screen[AttributeOffset(y / 8, x / 8)];
      const int bright = (attr & 0x40) != 0 ? 8 : 0;
      const bool ink = ((bits >> (7 - x % 8)) & 1) != 0;
      const uint32_t colour = kPalette[(ink ? attr & 7 : (attr >> 3) & 7) + bright];
      for (int dy = 0; dy < 3; ++dy) {
        for (int dx = 0; dx < 3; ++dx) {
          image[(y * 3 + dy) * kWidth + x * 3 + dx] = colour;
        }
      }
    }
  }
  for (int y = 0; y < 192; ++y) {
    for (int col = 1; col < 32; ++col) {
      if (!IsSeam(screen[AttributeOffset(y / 8, col)], screen[AttributeOffset(y / 8, col - 1)])) {
        continue;
      }
      const int x = col * 24;
      const uint32_t mark = mode != 0 ? 0xFFFFFFu : Darkened(image[y * 3 * kWidth + x]);
      for (int dy = 0; dy < 3; ++dy) {
        image[(y * 3 + dy) * kWidth + x] = mark;
      }
    }
  }
  return image;
}

}  // namespace oracle

#include "viewer/render/screen.h"

// One pixel line down, as the Spectrum steps its H/L register pair: the line
// within a character row lives in H's low three bits, the character row in
// L's top three bits, the third in H's bits 3-4.
int32_t NextLineOffset(int32_t offset) {
  int32_t low = offset & 0xFF;
  int32_t high = (offset >> 8) + 1;
  if ((high & 7) != 0) {
    return low | (high << 8);  // same character row
  }
  low += 32;
  if (low > 255) {
    return (low & 0xFF) | (high << 8);  // into the next third
  }
  high -= 8;  // next row, same third
  return low | (high << 8);
}

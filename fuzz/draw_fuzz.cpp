// The drawing service's two paths agree: the same boxes in the same modes,
// drawn on a 32-bit image (written through its pixels) and on a 24-bit one
// (drawn through our GDI), leave the same pixels and read back alike, for any
// rectangle, huge and negative ones included.
//
// Input: a sequence of operations, each a byte choosing a mode change or a
// box (or a pixel read), followed by its operands.
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tests/support/runtime_fixture.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"

namespace {

constexpr int32_t kWidth = 23;
constexpr int32_t kHeight = 17;
constexpr intptr_t kDirectImage = 1;
constexpr intptr_t kGdiImage = 2;

void Start() {
  static const bool started = [] {
    StartBaseServices();
    DrawLibraryInit();
    ImageLibraryInit();
    return true;
  }();
  (void)started;
}

// Draws the input's operations on `image` and returns every pixel, then the
// colours that the reads in the input gave.
std::vector<uint32_t> Play(intptr_t image, int32_t depth, const uint8_t* data, size_t size) {
  if (ImageCreate(image, kWidth, kHeight, depth) == 0 ||
      DrawBegin(ImageDrawTarget(image)) == nullptr) {
    std::abort();
  }
  std::vector<uint32_t> seen;
  FuzzInput in(data, size);
  for (int ops = 0; ops < 64 && !in.Empty(); ++ops) {
    const uint8_t op = in.Byte();
    if (op % 8 == 0) {
      DrawSetMode(in.Byte() & 7);
    } else if (op % 8 == 1) {
      const int32_t x = in.Coordinate(kWidth);
      const int32_t y = in.Coordinate(kHeight);
      seen.push_back(DrawReadPixel(x, y));
    } else {
      const int32_t x = in.Coordinate(kWidth);
      const int32_t y = in.Coordinate(kHeight);
      const int32_t w = in.Coordinate(kWidth);
      const int32_t h = in.Coordinate(kHeight);
      const uint32_t colour = static_cast<uint32_t>(in.Int32()) & 0xFFFFFF;
      DrawBox(x, y, w, h, colour);
    }
  }
  std::vector<uint32_t> pixels;
  pixels.reserve(static_cast<size_t>(kWidth) * kHeight + seen.size());
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      pixels.push_back(DrawReadPixel(x, y));
    }
  }
  pixels.insert(pixels.end(), seen.begin(), seen.end());
  DrawEnd();
  return pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Start();
  const std::vector<uint32_t> direct = Play(kDirectImage, 32, data, size);
  const std::vector<uint32_t> gdi = Play(kGdiImage, 24, data, size);
  if (direct != gdi) {
    std::abort();
  }
  return 0;
}

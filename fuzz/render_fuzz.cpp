// Any bytes are a screen: the first 6912 (a shorter input over zeros) render
// exactly as the layout model says, with darkened or white marks. The picture
// is compared in one pass over the image's own pixels.
#include <cstdlib>
#include <cstring>

#include "tests/support/runtime_fixture.h"
#include "tests/support/screen_oracle.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

namespace {

const RenderBuffers& Started() {
  static const RenderBuffers r = [] {
    StartBaseServices();
    DrawLibraryInit();
    ImageLibraryInit();
    const RenderBuffers started = RenderBuffersAllocate();
    if (!started.Complete() || ImageCreate(SCREEN_IMAGE, oracle::kWidth, oracle::kHeight) == 0) {
      std::abort();
    }
    RenderSetState(started.State());
    return started;
  }();
  return r;
}

// Colour (0x00BBGGRR) as a 0x00RRGGBB pixel.
uint32_t PixelOf(uint32_t colour) {
  return (colour >> 16 & 0xFF) | (colour & 0xFF00) | (colour & 0xFF) << 16;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RenderBuffers& r = Started();
  const int mode = size > 0 ? data[0] & 1 : 0;
  std::memset(r.screen, 0, SCREEN_SIZE);
  std::memcpy(r.screen, data, size < SCREEN_SIZE ? size : SCREEN_SIZE);
  RenderScreen(mode);

  const oracle::Image expected = oracle::Oracle(r.screen, mode);
  const DrawTarget* target = ImageDrawTarget(SCREEN_IMAGE);
  DC_PIXELS pixels{};
  if (target == nullptr || GetDCPixels(target->deviceContext, &pixels) == FALSE ||
      pixels.width != oracle::kWidth || pixels.height != oracle::kHeight) {
    std::abort();
  }
  for (int y = 0; y < oracle::kHeight; ++y) {
    const DWORD* row = pixels.bits + static_cast<intptr_t>(y) * pixels.stride;
    const uint32_t* want = expected.data() + static_cast<size_t>(y) * oracle::kWidth;
    for (int x = 0; x < oracle::kWidth; ++x) {
      if ((row[x] & 0xFFFFFF) != PixelOf(want[x])) {
        std::abort();
      }
    }
  }
  return 0;
}

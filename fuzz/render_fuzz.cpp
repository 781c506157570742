// Any bytes are a screen: the first 6912 (a shorter input over zeros) render
// exactly as the layout model says, with darkened or white marks.
#include <cstdlib>
#include <cstring>

#include "tests/support/runtime_fixture.h"
#include "tests/support/screen_oracle.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

namespace {

struct Render {
  uint32_t* palette = nullptr;
  uint32_t* cellColours = nullptr;
  uint8_t* screen = nullptr;
};

Render& Started() {
  static Render r = [] {
    Render started;
    StartBaseServices();
    DrawLibraryInit();
    ImageLibraryInit();
    void* variable = nullptr;
    ArrayAllocate(PALETTE_UPPER_INDEX, 4, 0, &variable, 5);
    started.palette = static_cast<uint32_t*>(variable);
    ArrayAllocate(CELL_COLOURS_UPPER_INDEX, 4, 0, &variable, 5);
    started.cellColours = static_cast<uint32_t*>(variable);
    started.screen = static_cast<uint8_t*>(MemoryAllocate(SCREEN_SIZE));
    if (started.palette == nullptr || started.cellColours == nullptr || started.screen == nullptr ||
        ImageCreate(SCREEN_IMAGE, oracle::kWidth, oracle::kHeight) == 0) {
      std::abort();
    }
    PaletteFill(started.palette);
    RenderSetState({started.screen, started.palette, started.cellColours});
    return started;
  }();
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Render& r = Started();
  const int mode = size > 0 ? data[0] & 1 : 0;
  std::memset(r.screen, 0, SCREEN_SIZE);
  std::memcpy(r.screen, data, size < SCREEN_SIZE ? size : SCREEN_SIZE);
  RenderScreen(mode);

  const oracle::Image expected = oracle::Oracle(r.screen, mode);
  if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) std::abort();
  for (int y = 0; y < oracle::kHeight; ++y) {
    for (int x = 0; x < oracle::kWidth; ++x) {
      if (DrawReadPixel(x, y) != expected[static_cast<size_t>(y) * oracle::kWidth + x]) {
        std::abort();
      }
    }
  }
  DrawEnd();
  return 0;
}

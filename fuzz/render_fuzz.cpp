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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RenderBuffers& r = Started();
  const int mode = size > 0 ? data[0] & 1 : 0;
  std::memset(r.screen, 0, SCREEN_SIZE);
  std::memcpy(r.screen, data, size < SCREEN_SIZE ? size : SCREEN_SIZE);
  RenderScreen(mode);

  const oracle::Image expected = oracle::Oracle(r.screen, mode);
  if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) {
    std::abort();
  }
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

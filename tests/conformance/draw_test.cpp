// The drawing service's coverage and values, scene by scene, on images of
// every kind. Natively a 32-bit image is drawn through its pixels and a 24-bit
// one through our GDI; under Wine both go through real GDI. All must meet the
// same expectations.
#include "toolkit/gfx/draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/win32.h"
#include "toolkit/base/list.h"
#include "toolkit/base/object.h"
#include "toolkit/base/runtime.h"
#include "toolkit/gfx/image.h"

// Defined in gdi_test.cpp.
::testing::AssertionResult PixelsMatch(HDC dc, int width, int height,
                                       const std::vector<uint32_t>& expected);

namespace {

constexpr int kW = 16;
constexpr int kH = 12;
constexpr uint32_t kInvalid = 0xFFFFFFFF;
const uint32_t kPalette[] = {0x000000, 0xB40000, 0x0000B4, 0xB400B4, 0x00B200,
                             0xB4B200, 0x00B2B4, 0xB4B2B4, 0xFC0000, 0x0000FC,
                             0xFC00FC, 0x00FE00, 0xFCFE00, 0x00FEFC, 0xFCFEFC};

void StartServices() {
  static bool started = false;
  if (started) {
    return;
  }
  started = true;
  RuntimeSetProgramHeap(HeapCreate(0, 4096, 0));
  ListLibraryInit();
  DrawLibraryInit();
  ImageLibraryInit();
}

// What DrawBox must leave, from the coverage rules: the box covers
// [min(x, x+w), max(x, x+w)) likewise in y; outlined boxes only their border;
// XOR combines instead of replacing. A single pixel is set whatever the
// outline bit; a box one pixel across has its inner pixels drawn twice (GDI's
// outline runs over them both ways), which XOR undoes.
struct Model {
  std::vector<uint32_t> px = std::vector<uint32_t>(size_t{kW} * kH, 0);
  int mode = 0;

  void Hit(int x, int y, uint32_t c, int times = 1) {
    if (x < 0 || y < 0 || x >= kW || y >= kH) {
      return;
    }
    uint32_t& p = px[static_cast<size_t>(y) * kW + x];
    for (int i = 0; i < times; ++i) {
      p = (mode & DRAW_MODE_XOR) ? p ^ c : c;
    }
  }
  void Box(int x, int y, int w, int h, uint32_t c) {
    if (w == 0 || h == 0) {
      return;
    }
    const int left = std::min(x, x + w), right = std::max(x, x + w) - 1;
    const int top = std::min(y, y + h), bottom = std::max(y, y + h) - 1;
    if (std::abs(w) == 1 && std::abs(h) == 1) {
      return Hit(left, top, c);
    }
    for (int py = top; py <= bottom; ++py) {
      for (int qx = left; qx <= right; ++qx) {
        const bool edge = qx == left || qx == right || py == top || py == bottom;
        if (!edge && (mode & DRAW_MODE_OUTLINED)) {
          continue;
        }
        const bool inner = (left == right && py != top && py != bottom) ||
                           (top == bottom && qx != left && qx != right);
        Hit(qx, py, c, inner ? 2 : 1);
      }
    }
  }
};

struct Surface {
  const char* name;
  int32_t depth;
};

class DrawScene : public ::testing::TestWithParam<Surface> {
 protected:
  static void SetUpTestSuite() { StartServices(); }
  void SetUp() override {
    image_ = ImageCreate(OBJECT_ANY, kW, kH, GetParam().depth);
    ASSERT_NE(image_, 0);
  }
  void TearDown() override {
    DrawEnd();
    ImageFree(image_);
  }
  void Open() { ASSERT_NE(DrawBegin(ImageDrawTarget(image_)), nullptr); }
  void Mode(int bits) {
    DrawSetMode(bits);
    model_.mode = bits;
  }
  void Box(int x, int y, int w, int h, uint32_t c) {
    DrawBox(x, y, w, h, c);
    model_.Box(x, y, w, h, c);
  }
  // Ends the drawing and reads the image back through a context of its own.
  ::testing::AssertionResult Matches() {
    DrawEnd();
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, ImageHandle(image_));
    auto result = PixelsMatch(dc, kW, kH, model_.px);
    SelectObject(dc, old);
    DeleteDC(dc);
    return result;
  }
  // A backdrop of stripes, so that a stray pixel shows.
  void Backdrop() {
    for (int y = 0; y < kH; ++y) {
      Box(0, y, kW, 1, kPalette[1 + y % 14]);
    }
  }

  intptr_t image_ = 0;
  Model model_;
};

TEST_P(DrawScene, BoxesCoverExactlyTheirPixels) {
  Open();
  Backdrop();
  Box(2, 2, 3, 3, 0xB4B2B4);
  Box(7, 1, 1, 3, 0x00FEFC);
  Box(9, 1, 3, 1, 0xFC00FC);
  Box(9, 4, 2, 2, 0x0000B4);
  Box(13, 2, 1, 1, 0xFCFEFC);
  Box(14, 6, -1, -1, 0xFC0000);
  Box(14, 8, 1, -1, 0x00B200);
  Box(14, 10, -1, 1, 0xB40000);
  Box(8, 10, -3, -2, 0xFCFE00);
  Box(3, 7, 4, -1, 0x000000);  // the front colour: the selected pen and brush
  Box(1, 9, 0, 3, 0xFCFEFC);
  Box(1, 9, 3, 0, 0xFCFEFC);
  EXPECT_TRUE(Matches());
}

TEST_P(DrawScene, BoxesPartlyOutsideAreClipped) {
  Open();
  Backdrop();
  Box(-1, -1, 3, 3, 0xFCFEFC);
  Box(kW - 2, kH - 1, 4, 4, 0x0000FC);
  Box(-5, 2, 3, 3, 0x00FE00);
  Box(kW, 0, 1, 1, 0x00FE00);
  Box(0, 0, -1, -1, 0x00FE00);
  Box(5, -2, 1, 3, 0xFC00FC);
  Box(kW + 2, 4, -4, 2, 0xB4B200);
  EXPECT_TRUE(Matches());
}

TEST_P(DrawScene, XorCombinesCoveredPixels) {
  Open();
  Backdrop();
  Mode(DRAW_MODE_XOR);
  Box(1, 1, 5, 4, 0xFCFEFC);
  Box(3, 2, 5, 5, 0x00B2B4);
  Box(9, 1, 1, 4, 0xFCFEFC);
  Box(11, 2, 4, 1, 0xFCFEFC);
  Box(12, 5, 1, 1, 0xFC00FC);
  Box(13, 9, -1, -1, 0xFC00FC);
  Box(1, 8, 2, 2, 0x0000FC);
  Box(6, 9, 1, 2, 0xB4B2B4);
  Box(kW - 1, kH - 2, 1, 5, 0xFCFEFC);
  Box(-1, 10, 4, 1, 0xB40000);
  EXPECT_TRUE(Matches());
  // A new drawing starts with mode 0 again.
  Open();
  model_.mode = 0;
  Box(2, 2, 3, 3, 0xB40000);
  EXPECT_TRUE(Matches());
}

TEST_P(DrawScene, OutlinedBoxesDrawOnlyTheirBorder) {
  Open();
  Backdrop();
  Mode(DRAW_MODE_OUTLINED);
  Box(1, 1, 3, 3, 0xFCFEFC);
  Box(5, 1, 5, 4, 0x000000);
  Box(11, 1, 1, 1, 0xFCFEFC);
  Box(13, 1, 1, 3, 0x0000FC);
  Box(6, 10, -4, -3, 0xFC00FC);
  Mode(DRAW_MODE_OUTLINED | DRAW_MODE_XOR);
  Box(8, 6, 4, 4, 0xFCFEFC);
  Box(13, 6, 1, 5, 0xFCFEFC);
  Box(kW - 2, kH - 2, 3, 3, 0x00FE00);
  Mode(0);
  Box(1, 6, 2, 5, 0x000000);
  EXPECT_TRUE(Matches());
}

TEST_P(DrawScene, EveryPaletteColourReadsBackExactly) {
  Open();
  EXPECT_EQ(DrawReadPixel(0, 0), 0u);
  for (int i = 0; i < 15; ++i) {
    const int x = (i % 5) * 3, y = (i / 5) * 3;
    Box(x, y, 3, 3, kPalette[i]);
    EXPECT_EQ(DrawReadPixel(x + 1, y + 1), kPalette[i]) << i;
    EXPECT_EQ(DrawReadPixel(x + 2, y), kPalette[i]) << i;
  }
  for (int32_t x : {-1, kW}) {
    EXPECT_EQ(DrawReadPixel(x, 0), kInvalid);
  }
  for (int32_t y : {-1, kH}) {
    EXPECT_EQ(DrawReadPixel(0, y), kInvalid);
  }
  EXPECT_TRUE(Matches());
}

TEST_P(DrawScene, NothingHappensWithoutAnOpenDrawing) {
  DrawBox(1, 1, 3, 3, 0xFCFEFC);
  DrawSetMode(DRAW_MODE_XOR);
  EXPECT_EQ(DrawReadPixel(0, 0), kInvalid);
  Open();
  Box(0, 0, 2, 2, 0xB4B2B4);
  DrawEnd();
  DrawBox(4, 4, 3, 3, 0xFCFEFC);
  EXPECT_EQ(DrawReadPixel(0, 0), kInvalid);
  EXPECT_TRUE(Matches());
}

INSTANTIATE_TEST_SUITE_P(Images, DrawScene,
                         ::testing::Values(Surface{"display", IMAGE_DEPTH_DISPLAY},
                                           Surface{"dib24", 24}, Surface{"dib32", 32}),
                         [](const auto& p) { return std::string(p.param.name); });

// Draw targets of the service's own making, to watch the release step.
class DrawTargets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartServices(); }
  void SetUp() override { releases = 0; }
  void TearDown() override { DrawEnd(); }
  static void CountRelease() { ++releases; }
  static DrawTarget Target(int32_t kind, HDC dc) {
    return DrawTarget{kind, nullptr, dc, CountRelease, {}};
  }
  static inline int releases = 0;
};

TEST_F(DrawTargets, BeginEndsTheOpenDrawingFirst) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  const DrawTarget first = Target(DRAW_TARGET_IMAGE, a), second = Target(DRAW_TARGET_IMAGE, b);
  EXPECT_EQ(DrawBegin(&first), a);
  EXPECT_EQ(DrawBegin(&second), b);
  EXPECT_EQ(releases, 1);
  EXPECT_EQ(DrawBegin(nullptr), nullptr);  // still ends the open one
  EXPECT_EQ(releases, 2);
  EXPECT_EQ(DrawReadPixel(0, 0), kInvalid);
  DrawEnd();
  EXPECT_EQ(releases, 2);
  const DrawTarget empty = Target(DRAW_TARGET_IMAGE, nullptr);
  EXPECT_EQ(DrawBegin(&empty), nullptr);
  DrawEnd();
  EXPECT_EQ(releases, 2);
  const DrawTarget window{
      DRAW_TARGET_WINDOW,
      reinterpret_cast<HWND>(uintptr_t{0x1234}),  // NOLINT(performance-no-int-to-ptr)
      a,
      CountRelease,
      {}};
  EXPECT_EQ(DrawBegin(&window), nullptr);  // no such window: no context
  DeleteDC(a);
  DeleteDC(b);
}

TEST_F(DrawTargets, EndGivesBackWhatTheContextHeld) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBRUSH brush = CreateSolidBrush(0x123456);
  HPEN pen = CreatePen(PS_SOLID, 0, 0x123456);
  SelectObject(dc, brush);
  SelectObject(dc, pen);
  const DrawTarget target = Target(DRAW_TARGET_IMAGE, dc);
  ASSERT_EQ(DrawBegin(&target), dc);
  DrawBox(0, 0, 4, 4, 0xB40000);
  DrawSetMode(DRAW_MODE_OUTLINED);
  DrawBox(0, 0, 4, 4, 0x00B200);
  DrawEnd();
  EXPECT_EQ(releases, 1);
  EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), brush);
  EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), pen);
  DeleteObject(brush);
  DeleteObject(pen);

  // A kind with no release operation of its own: DrawEnd deletes the context.
  const DrawTarget other = Target(0, dc);
  ASSERT_EQ(DrawBegin(&other), dc);
  DrawEnd();
  EXPECT_EQ(releases, 1);
  EXPECT_EQ(GetObjectType(dc), 0u);
}

TEST_F(DrawTargets, ScreenImageStartsBlackAndEndsAtItsEdges) {
  ASSERT_NE(ImageCreate(1, 768, 576), 0);
  ASSERT_NE(DrawBegin(ImageDrawTarget(1)), nullptr);
  int nonBlack = 0;
  for (int32_t y = 0; y < 576; ++y) {
    for (int32_t x = 0; x < 768; ++x) {
      nonBlack += DrawReadPixel(x, y) != 0;
    }
  }
  EXPECT_EQ(nonBlack, 0);
  EXPECT_EQ(DrawReadPixel(-1, 0), kInvalid);
  EXPECT_EQ(DrawReadPixel(768, 0), kInvalid);
  EXPECT_EQ(DrawReadPixel(0, 576), kInvalid);
  DrawBox(765, 573, 3, 3, 0xB4B2B4);
  DrawBox(0, 0, 1, 3, 0xFCFEFC);
  EXPECT_EQ(DrawReadPixel(767, 575), 0xB4B2B4u);
  EXPECT_EQ(DrawReadPixel(764, 575), 0u);
  EXPECT_EQ(DrawReadPixel(0, 2), 0xFCFEFCu);
  EXPECT_EQ(DrawReadPixel(0, 3), 0u);
  EXPECT_EQ(DrawReadPixel(1, 0), 0u);
  DrawEnd();
  ImageFree(1);
}

}  // namespace

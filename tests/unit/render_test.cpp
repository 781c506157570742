// Rendering checked pixel for pixel against an oracle written straight from
// the screen layout (not from NextLineOffset), plus literal colours for the
// cases that matter most.
#include "viewer/render/render.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/image_diff.h"
#include "tests/support/runtime_fixture.h"
#include "tests/support/screen_oracle.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"
#include "viewer/render/screen.h"

namespace {

using namespace oracle;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", value);
  return text;
}

::testing::AssertionResult ImagesEqual(const Image& actual, const Image& expected) {
  return image_diff::ImagesMatch(actual, expected, kWidth, kHeight);
}

// Started once per process: under Wine the whole suite runs in one process,
// and the toolkit's libraries start only once.
const RenderBuffers& StartRuntime() {
  static const RenderBuffers buffers = [] {
    StartBaseServices();  // program heap, strings, lists, memory
    DrawLibraryInit();
    ImageLibraryInit();
    return RenderBuffersAllocate();
  }();
  return buffers;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const RenderBuffers& buffers = StartRuntime();
    ASSERT_TRUE(buffers.Complete());
    ASSERT_NE(ImageCreate(SCREEN_IMAGE, kWidth, kHeight), 0);
    screen_ = buffers.screen;
    std::memset(screen_, 0, SCREEN_SIZE);
    RenderSetState(buffers.State());
  }

  static Image ReadImage() {
    Image image(kPixels, 0xDEADBEEF);
    if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) {
      return image;
    }
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        image[y * kWidth + x] = DrawReadPixel(x, y);
      }
    }
    DrawEnd();
    return image;
  }

  Image Render(int mode) {
    EXPECT_EQ(RenderScreen(mode), 0);
    return ReadImage();
  }

  void Fill(int from, int to, uint8_t value) { std::memset(screen_ + from, value, to - from); }
  void SetAttribute(int row, int col, uint8_t value) { screen_[AttributeOffset(row, col)] = value; }
  void Randomise(unsigned seed) {
    std::mt19937 random(seed);
    for (int i = 0; i < SCREEN_SIZE; ++i) {
      screen_[i] = static_cast<uint8_t>(random() & 0xFF);
    }
  }
  // Sets or clears the leftmost pixel of cell `col` on Spectrum line y.
  void SetLeftPixel(int y, int col, bool ink) {
    uint8_t& byte = screen_[LineOffset(y) + col];
    byte = static_cast<uint8_t>(ink ? (byte | 0x80) : (byte & 0x7F));
  }

  static uint32_t At(const Image& image, int x, int y) { return image[y * kWidth + x]; }

  uint8_t* screen_ = nullptr;
};

TEST(NextLineOffsetTest, StepsWithinRowsAcrossRowsAndThirdsVisitingEveryLineInPictureOrder) {
  EXPECT_EQ(NextLineOffset(0x0000), 0x0100);  // line 0 -> 1
  EXPECT_EQ(NextLineOffset(0x0700), 0x0020);  // 7 -> 8, next character row
  EXPECT_EQ(NextLineOffset(0x07E0), 0x0800);  // 63 -> 64, next third
  EXPECT_EQ(NextLineOffset(0x0F00), 0x0820);  // 71 -> 72
  EXPECT_EQ(NextLineOffset(0x17E0), 0x1800);  // past line 191: the attribute area
  int offset = 0;
  for (int y = 0; y < 192; ++y) {
    ASSERT_EQ(offset, LineOffset(y)) << "line " << y;
    offset = NextLineOffset(offset);
  }
}

TEST_F(RenderTest, AllZeroScreenIsWhollyBlack) {
  EXPECT_TRUE(ImagesEqual(Render(0), Image(kPixels, 0)));
}

// Each render repaints the whole picture: every seed follows another's.
TEST_F(RenderTest, RandomScreensMatchTheOracle) {
  for (unsigned seed : {1u, 2u, 3u, 0xC0FFEEu}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Randomise(seed);
    EXPECT_TRUE(ImagesEqual(Render(seed % 2), Oracle(screen_, seed % 2)));
  }
}

TEST_F(RenderTest, AttributeSelectsInkPaperAndBrightButNotFlash) {
  // Stripes of set and clear bytes so every cell shows both ink and paper.
  for (int i = 0; i < 6144; ++i) {
    screen_[i] = (i & 1) != 0 ? 0xFF : 0x00;
  }

  Fill(6144, 6912, 0x47);  // bright, ink 7, paper 0
  Image image = Render(0);
  EXPECT_TRUE(ImagesEqual(image, Oracle(screen_, 0)));
  EXPECT_EQ(At(image, 24, 0), 0xFCFEFCu);  // byte 1 of line 0 is 0xFF: ink
  EXPECT_EQ(At(image, 0, 0), 0x000000u);   // byte 0 is 0x00: paper

  Fill(6144, 6912, 0x38);  // ink 0, paper 7
  const Image plain = Render(0);
  EXPECT_TRUE(ImagesEqual(plain, Oracle(screen_, 0)));
  EXPECT_EQ(At(plain, 24, 0), 0x000000u);
  EXPECT_EQ(At(plain, 0, 0), 0xB4B2B4u);

  Fill(6144, 6912, 0xB8);  // flash set: paints as 0x38
  EXPECT_TRUE(ImagesEqual(Render(0), plain));
}

TEST_F(RenderTest, BitmapBytesLandOnTheirLinesAndColumns) {
  Fill(6144, 6912, 0x38);
  screen_[0x0000] = 0x80;  // line 0, leftmost pixel
  screen_[0x0100] = 0xFF;  // line 1
  screen_[0x0020] = 0xFF;  // line 8
  const Image image = Render(0);
  EXPECT_TRUE(ImagesEqual(image, Oracle(screen_, 0)));
  for (int x = 0; x < 24; ++x) {
    EXPECT_EQ(At(image, x, 1), x < 3 ? 0x000000u : 0xB4B2B4u) << x;
  }
  for (int y = 3; y < 30; ++y) {
    const bool ink = (y >= 3 && y <= 5) || (y >= 24 && y <= 26);
    EXPECT_EQ(At(image, 12, y), ink ? 0x000000u : 0xB4B2B4u) << "image line " << y;
  }
  EXPECT_EQ(At(image, 24, 4), 0xB4B2B4u);  // only byte column 0 was set
}

TEST_F(RenderTest, OnlyAnInkPaperMatchAcrossTheEdgeMakesAMark) {
  struct Case {
    uint8_t left, cur;
    bool marked;
  };
  const Case cases[] = {
      {0x38, 0x78, false},  // bright differs only
      {0x38, 0x3A, false},  // ink 2 vs ink 0, same paper
      {0x38, 0x3F, true},   // this ink 7 is the left paper 7
      {0x38, 0x07, true},   // fully swapped
      {0x0F, 0x3A, true},   // left ink 7 is this paper 7; this ink 2 is not left paper 1
      {0x3A, 0x3A, false},  // identical
      {0xB8, 0x38, false},  // flash alone differs: passes the equality test, no colour test
      {0xB8, 0x0F, true},   // colour numbers only: the left paper is 7 despite flash
      {0x78, 0x0F, true},   // ... and despite bright
  };
  Fill(6144, 6912, 0x00);
  std::mt19937 random(5);
  for (int i = 0; i < 6144; ++i) {
    screen_[i] = static_cast<uint8_t>(random() & 0xFF);
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    SetAttribute(static_cast<int>(i) * 2, 9, cases[i].left);
    SetAttribute(static_cast<int>(i) * 2, 10, cases[i].cur);
  }
  const Image image = Render(1);
  EXPECT_TRUE(ImagesEqual(image, Oracle(screen_, 1)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const int row = static_cast<int>(i) * 2;
    for (int line = 0; line < 8; ++line) {
      const int y = (row * 8 + line) * 3;
      const bool white = At(image, 240, y) == 0xFFFFFFu;  // palette has no pure white
      EXPECT_EQ(white, cases[i].marked)
          << Hex(cases[i].left) << " | " << Hex(cases[i].cur) << " line " << line;
    }
  }
}

TEST_F(RenderTest, ColumnZeroNeverMarkedAndColumn31MarkedAtX744) {
  Randomise(21);  // identical neighbours are never marked whatever their bitmap
  Fill(6144, 6912, 0x38);
  // Row 0, column 0 swapped against the byte before the attributes and row 3,
  // column 0 against the end of row 2: neither is a left neighbour.
  screen_[6143] = 0x38;
  SetAttribute(0, 0, 0x07);
  SetAttribute(2, 31, 0x38);
  SetAttribute(3, 0, 0x07);
  SetAttribute(5, 30, 0x38);
  SetAttribute(5, 31, 0x07);
  const Image image = Render(1);
  EXPECT_TRUE(ImagesEqual(image, Oracle(screen_, 1)));
  int marked = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      marked += At(image, x, y) == 0xFFFFFFu ? 1 : 0;
    }
  }
  // Seams at column 1 of rows 0 and 3 and at column 31 of row 5, one pixel wide.
  EXPECT_EQ(marked, 3 * 8 * 3);
  for (int y = 40 * 3; y < 48 * 3; ++y) {
    EXPECT_EQ(At(image, 744, y), 0xFFFFFFu) << "y " << y;
  }
}

TEST_F(RenderTest, DarkenedMarkForEveryPaletteColour) {
  struct Expect {
    uint8_t ink;  // colour number plus 8 for bright
    uint32_t under, mark;
  };
  const Expect table[] = {
      {0, 0x000000, 0x383838},  {1, 0xB40000, 0x840000},  {2, 0x0000B4, 0x000084},
      {3, 0xB400B4, 0x840084},  {4, 0x00B200, 0x008200},  {5, 0xB4B200, 0x848200},
      {6, 0x00B2B4, 0x008284},  {7, 0xB4B2B4, 0x848284},  {9, 0xFC0000, 0xCC0000},
      {10, 0x0000FC, 0x0000CC}, {11, 0xFC00FC, 0xCC00CC}, {12, 0x00FE00, 0x00CE00},
      {13, 0xFCFE00, 0xCCCE00}, {14, 0x00FEFC, 0x00CECC}, {15, 0xFCFEFC, 0xCCCECC},
  };
  Fill(0, 6144, 0x80);  // leftmost pixel of every cell is ink
  for (size_t i = 0; i < std::size(table); ++i) {
    const int n = table[i].ink & 7;
    const uint8_t bright = (table[i].ink & 8) != 0 ? 0x40 : 0x00;
    const int row = static_cast<int>(i) + 1;
    // The left cell's paper is this cell's ink; its own ink differs from it.
    SetAttribute(row, 2, static_cast<uint8_t>((n << 3) | ((n + 1) & 7)));
    SetAttribute(row, 3, static_cast<uint8_t>(bright | (((n + 4) & 7) << 3) | n));
  }
  const Image image = Render(0);
  EXPECT_TRUE(ImagesEqual(image, Oracle(screen_, 0)));
  for (size_t i = 0; i < std::size(table); ++i) {
    const int y = (static_cast<int>(i) + 1) * 24;
    EXPECT_EQ(At(image, 73, y), table[i].under) << "colour " << int{table[i].ink};
    for (int dy = 0; dy < 24; ++dy) {
      EXPECT_EQ(At(image, 72, y + dy), table[i].mark) << "colour " << int{table[i].ink};
    }
  }
}

TEST_F(RenderTest, WithoutTheScreenImageNothingIsDrawnAndResultIsZero) {
  Randomise(3);
  ImageFree(SCREEN_IMAGE);
  EXPECT_EQ(RenderScreen(0), 0);
  EXPECT_EQ(ImageHandle(SCREEN_IMAGE), nullptr);
}

}  // namespace

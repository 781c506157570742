// What the toolkit relies on from GDI: the bitmaps the image service makes,
// selection and deletion, Rectangle/FillRect/SetPixelV coverage and the two
// raster operations of the drawing service, GetPixel and the direct pixel
// path. Built against our layer and against real GDI (under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/win32.h"
#include "tests/support/image_diff.h"

#ifdef _WIN32
constexpr bool kLayerShowsPixels = false;  // real GDI keeps a context's pixels to itself
#else
constexpr bool kLayerShowsPixels = true;
#endif

// Compares every pixel of `dc` (read with GetPixel) with `expected`. Shared
// with draw_test.cpp.
::testing::AssertionResult PixelsMatch(HDC dc, int width, int height,
                                       const std::vector<uint32_t>& expected) {
  std::vector<uint32_t> actual(expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    const auto x = static_cast<int>(i % static_cast<size_t>(width));
    const auto y = static_cast<int>(i / static_cast<size_t>(width));
    actual[i] = static_cast<uint32_t>(GetPixel(dc, x, y));
  }
  return image_diff::ImagesMatch(actual, expected, width, height);
}

namespace {

constexpr int kW = 16;
constexpr int kH = 10;

uint32_t Px(COLORREF c) { return static_cast<uint32_t>(c); }

BITMAP InfoOf(HGDIOBJ bitmap) {
  BITMAP info{};
  EXPECT_EQ(GetObjectA(bitmap, static_cast<int>(sizeof info), &info),
            static_cast<int>(sizeof info));
  return info;
}

// A memory context holding a bitmap as the image service makes them: 0 bits =
// compatible with the display, else a bottom-up DIB section of that depth.
struct Surface {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ original;

  explicit Surface(int bits) {
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (bits == 0) {
      bitmap = CreateCompatibleBitmap(display, kW, kH);
    } else {
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
      info.bmiHeader.biWidth = kW;
      info.bmiHeader.biHeight = kH;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = static_cast<WORD>(bits);
      info.bmiHeader.biCompression = BI_RGB;
      void* pixels = nullptr;
      bitmap = CreateDIBSection(display, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    }
    DeleteDC(display);
    dc = CreateCompatibleDC(nullptr);
    original = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, original);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  void Clear(COLORREF colour) {
    const RECT all{0, 0, kW, kH};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
};

// The expected picture, built from GDI's coverage rules pixel by pixel, for
// the two raster operations the drawing service uses.
struct Canvas {
  std::vector<uint32_t> px = std::vector<uint32_t>(size_t{kW} * kH, 0xFFFFFF);

  void Apply(int64_t x, int64_t y, uint32_t colour, int rop, int times = 1) {
    if (x < 0 || y < 0 || x >= kW || y >= kH) {
      return;
    }
    uint32_t& p = px[static_cast<size_t>(y * kW + x)];
    for (int i = 0; i < times; ++i) {
      p = rop == R2_XORPEN ? p ^ colour : colour;
    }
  }
  // Pixels [left, right) x [top, bottom).
  void Fill(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t colour) {
    for (int64_t y = top; y < bottom; ++y) {
      for (int64_t x = left; x < right; ++x) {
        Apply(x, y, colour, R2_COPYPEN);
      }
    }
  }
  // Rectangle: the border on [l, r-1] x [t, b-1] in the pen, the inside in
  // the brush (if any). A 1x1 box has no outline; a box one pixel across gets
  // its inner pixels twice.
  void Rectangle(int l, int t, int r, int b, uint32_t pen, const uint32_t* brush, int rop) {
    if (l > r) {
      std::swap(l, r);
    }
    if (t > b) {
      std::swap(t, b);
    }
    for (int y = t; y < b; ++y) {
      for (int x = l; x < r; ++x) {
        if (x == l || x == r - 1 || y == t || y == b - 1) {
          const bool dot = r - l == 1 && b - t == 1;
          const bool inner =
              (r - l == 1 && y != t && y != b - 1) || (b - t == 1 && x != l && x != r - 1);
          Apply(x, y, pen, rop, dot ? 0 : inner ? 2 : 1);
        } else if (brush != nullptr) {
          Apply(x, y, *brush, rop);
        }
      }
    }
  }
};

TEST(GdiBitmaps, DisplayAndItsCompatibleBitmapsAreTrueColour) {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(GetObjectType(display), static_cast<DWORD>(OBJ_DC));
  EXPECT_EQ(GetDeviceCaps(display, BITSPIXEL), 32);
  HBITMAP bitmap = CreateCompatibleBitmap(display, 5, 3);
  const BITMAP info = InfoOf(bitmap);
  EXPECT_EQ(info.bmWidth, 5);
  EXPECT_EQ(info.bmHeight, 3);
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
  SelectObject(dc, bitmap);
  EXPECT_TRUE(PixelsMatch(dc, 5, 3, std::vector<uint32_t>(15, 0)));
  DeleteDC(dc);
  DeleteObject(bitmap);
  EXPECT_TRUE(DeleteDC(display));
  EXPECT_EQ(CreateDCA("NO-SUCH-DRIVER", nullptr, nullptr, nullptr), nullptr);
  for (int bits : {16, 24, 32}) {
    Surface s(bits);
    EXPECT_EQ(InfoOf(s.bitmap).bmBitsPixel, bits);
    EXPECT_EQ(InfoOf(s.bitmap).bmHeight, kH);
  }
}

TEST(GdiPixels, TrueColourKeepsEveryColourAndSixteenBitsExpandsChannels) {
  const uint32_t palette[] = {0x000000, 0xB40000, 0x0000B4, 0xB400B4, 0x00B200,
                              0xB4B200, 0x00B2B4, 0xB4B2B4, 0xFC0000, 0x0000FC,
                              0xFC00FC, 0x00FE00, 0xFCFE00, 0x00FEFC, 0xFCFEFC};
  for (int bits : {0, 24, 32}) {
    Surface s(bits);
    for (uint32_t c : palette) {
      SetPixelV(s.dc, 3, 4, c);
      EXPECT_EQ(Px(GetPixel(s.dc, 3, 4)), c) << bits << " bits";
    }
    EXPECT_EQ(Px(GetPixel(s.dc, kW, 0)), Px(CLR_INVALID));
  }
  // As real GDI reads a 5-5-5 pixel back: each 5-bit channel v as
  // (v << 3) | (v >> 2).
  const uint32_t sixteen[][2] = {{0xB4B2B4, 0xB5B5B5}, {0xFCFEFC, 0xFFFFFF}, {0x00FE00, 0x00FF00},
                                 {0x070707, 0x000000}, {0x080808, 0x080808}, {0x0000B4, 0x0000B5}};
  Surface s(16);
  for (const auto& [drawn, read] : sixteen) {
    SetPixelV(s.dc, 0, 0, drawn);
    EXPECT_EQ(Px(GetPixel(s.dc, 0, 0)), read) << std::hex << drawn;
  }
}

TEST(GdiPixels, SetPixelVAppliesTheRasterOperation) {
  const struct {
    int rop;
    uint32_t result;
  } cases[] = {{R2_COPYPEN, 0x00FF0F}, {R2_XORPEN, 0x12CB59}};
  for (int bits : {0, 24}) {
    Surface s(bits);
    for (const auto& [rop, result] : cases) {
      SetPixelV(s.dc, 2, 2, 0x123456);
      EXPECT_EQ(SetROP2(s.dc, rop), R2_COPYPEN);
      EXPECT_TRUE(SetPixelV(s.dc, 2, 2, 0x00FF0F));
      SetROP2(s.dc, R2_COPYPEN);
      EXPECT_EQ(Px(GetPixel(s.dc, 2, 2)), result) << "rop " << rop << ", " << bits << " bits";
    }
  }
}

TEST(GdiPixels, GetDCPixelsShowsThirtyTwoBitSurfacesOnly) {
  for (int bits : {0, 32, 24, 16}) {
    SCOPED_TRACE(bits);
    Surface s(bits);
    SetPixelV(s.dc, 1, 2, 0x123456);
    DC_PIXELS px{};
    const bool shown = GetDCPixels(s.dc, &px) != FALSE;
    EXPECT_EQ(shown, kLayerShowsPixels && (bits == 0 || bits == 32));
    if (!shown) {
      continue;
    }
    EXPECT_EQ(px.width, kW);
    EXPECT_EQ(px.height, kH);
    EXPECT_EQ(px.bits[2 * px.stride + 1], 0x563412u);  // 0x00RRGGBB
    px.bits[(kH - 1) * px.stride + kW - 1] = 0xABCDEF;
    EXPECT_EQ(Px(GetPixel(s.dc, kW - 1, kH - 1)), 0xEFCDABu);
  }
  HDC fresh = CreateCompatibleDC(nullptr);
  DC_PIXELS px{};
  EXPECT_FALSE(GetDCPixels(fresh, &px));
  DeleteDC(fresh);
}

// The image service restores what it selected and is refused a bitmap that
// another context holds; deleting what is selected waits for its release.
TEST(GdiObjects, SelectionAndDeletion) {
  HDC a = CreateCompatibleDC(nullptr);
  HDC b = CreateCompatibleDC(nullptr);
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(display, 4, 4);
  HBRUSH brush = CreateSolidBrush(0x0000FF);
  HPEN pen = CreatePen(PS_SOLID, 0, 0x0000FF);
  EXPECT_EQ(SelectObject(a, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(a, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(a, GetStockObject(NULL_BRUSH)), brush);
  EXPECT_EQ(SelectObject(b, brush), GetStockObject(WHITE_BRUSH));  // brushes may be shared
  const HGDIOBJ stock = SelectObject(a, bitmap);
  EXPECT_EQ(GetObjectType(stock), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(SelectObject(b, bitmap), nullptr);  // a bitmap lives in one context
  EXPECT_EQ(SelectObject(display, bitmap), nullptr);

  DeleteObject(pen);  // selected in a: it waits
  EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
  DeleteObject(bitmap);
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  SetPixelV(a, 1, 1, 0x345678);
  EXPECT_EQ(Px(GetPixel(a, 1, 1)), 0x345678u);
  SelectObject(a, GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetObjectType(pen), 0u);
  EXPECT_EQ(SelectObject(a, stock), bitmap);
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  SelectObject(b, GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_FALSE(DeleteObject(brush));
  // Stock objects survive deletion.
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
  DeleteDC(a);
  DeleteDC(b);
  DeleteDC(display);
}

// Scenes of rectangles, filled and outlined, copied and XORed, at every depth,
// each compared pixel for pixel with the coverage rules.
TEST(GdiDrawing, RectangleCoverage) {
  const RECT boxes[] = {{2, 2, 5, 5},   {1, 6, 6, 9},    {7, 1, 8, 4},   {9, 1, 12, 2},
                        {9, 3, 11, 5},  {12, 4, 13, 5},  {13, 1, 13, 4}, {6, 9, 3, 6},
                        {-2, -1, 2, 3}, {14, 6, 18, 11}, {0, -1, 1, 2},  {15, 2, 16, 5}};
  const uint32_t red = 0x0000FF, green = 0x00FF00;  // exact at 16 bits too
  for (int bits : {0, 24, 16}) {
    for (int rop : {R2_COPYPEN, R2_XORPEN}) {
      for (bool filled : {true, false}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, rop " << rop << ", filled " << filled);
        Surface s(bits);
        s.Clear(0xFFFFFF);
        Canvas expected;
        HPEN pen = CreatePen(PS_SOLID, 0, red);
        HBRUSH brush = CreateSolidBrush(green);
        SelectObject(s.dc, pen);
        SelectObject(s.dc, filled ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH));
        SetROP2(s.dc, rop);
        for (const RECT& r : boxes) {
          EXPECT_TRUE(Rectangle(s.dc, r.left, r.top, r.right, r.bottom));
          expected.Rectangle(r.left, r.top, r.right, r.bottom, red, filled ? &green : nullptr, rop);
        }
        EXPECT_TRUE(PixelsMatch(s.dc, kW, kH, expected.px));
        SelectObject(s.dc, GetStockObject(BLACK_PEN));
        SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
        DeleteObject(pen);
        DeleteObject(brush);
      }
    }
  }
}

TEST(GdiDrawing, FillRectIgnoresTheRasterOperation) {
  for (int bits : {0, 24}) {
    Surface s(bits);
    s.Clear(0xFFFFFF);
    Canvas expected;
    SetROP2(s.dc, R2_XORPEN);
    HBRUSH brush = CreateSolidBrush(0x0080FF);
    const RECT inside{1, 1, 4, 3}, clipped{12, 7, 20, 12}, empty{6, 1, 6, 5};
    for (const RECT* r : {&inside, &clipped, &empty}) {
      EXPECT_TRUE(FillRect(s.dc, r, brush));
    }
    expected.Fill(1, 1, 4, 3, 0x0080FF);
    expected.Fill(12, 7, kW, kH, 0x0080FF);
    // Back to front: from one past the far edge up to and including the near one.
    const RECT backwards{9, 5, 6, 2};
    FillRect(s.dc, &backwards, brush);
    expected.Fill(7, 3, 10, 6, 0x0080FF);
    EXPECT_TRUE(FillRect(s.dc, &inside, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
    EXPECT_TRUE(PixelsMatch(s.dc, kW, kH, expected.px)) << bits << " bits";
    DeleteObject(brush);
  }
}

}  // namespace

// What the toolkit relies on from GDI: bitmaps and their layouts, selection and
// deletion, Rectangle/FillRect/SetPixelV coverage and raster operations,
// GetPixel. Built against our layer and against real GDI (under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/win32.h"

#ifdef _WIN32
constexpr bool kLayerShowsPixels = false;  // real GDI keeps a context's pixels to itself
#else
constexpr bool kLayerShowsPixels = true;
#endif

// Compares every pixel of `dc` (read with GetPixel) with `expected`, row by
// row; on a mismatch lists the first differing pixels and draws both images
// as letter maps with a legend. Shared with draw_test.cpp.
::testing::AssertionResult PixelsMatch(HDC dc, int width, int height,
                                       const std::vector<uint32_t>& expected) {
  std::vector<uint32_t> actual(expected.size());
  int wrong = 0;
  std::string message;
  char line[96];
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      actual[i] = static_cast<uint32_t>(GetPixel(dc, x, y));
      if (actual[i] != expected[i] && ++wrong <= 6) {
        std::snprintf(line, sizeof line, "  (%d,%d) expected 0x%06X, got 0x%06X\n", x, y,
                      static_cast<unsigned>(expected[i]), static_cast<unsigned>(actual[i]));
        message += line;
      }
    }
  }
  if (wrong == 0) {
    return ::testing::AssertionSuccess();
  }
  std::map<uint32_t, char> legend;
  auto letter = [&legend](uint32_t c) {
    auto it = legend.find(c);
    if (it != legend.end()) {
      return it->second;
    }
    const char l = static_cast<char>('a' + legend.size() % 26);
    legend.emplace(c, l);
    return l;
  };
  message += "expected | actual | differs\n";
  for (int y = 0; y < height; ++y) {
    std::string e, a, d;
    for (int x = 0; x < width; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      e += letter(expected[i]);
      a += letter(actual[i]);
      d += expected[i] == actual[i] ? '.' : 'X';
    }
    message.append(e).append(" | ").append(a).append(" | ").append(d).append("\n");
  }
  for (const auto& [colour, l] : legend) {
    std::snprintf(line, sizeof line, "  %c = 0x%06X\n", l, static_cast<unsigned>(colour));
    message += line;
  }
  return ::testing::AssertionFailure() << wrong << " pixels differ:\n" << message;
}

namespace {

constexpr int kW = 16;
constexpr int kH = 10;
const auto kBogus =
    reinterpret_cast<HGDIOBJ>(uintptr_t{0x1234});  // NOLINT(performance-no-int-to-ptr)

uint32_t Px(COLORREF c) { return static_cast<uint32_t>(c); }

BITMAP InfoOf(HGDIOBJ bitmap) {
  BITMAP info{};
  EXPECT_EQ(GetObjectA(bitmap, static_cast<int>(sizeof info), &info),
            static_cast<int>(sizeof info));
  return info;
}

HBITMAP MakeDib(int bits, int width, int height, void** pixels = nullptr) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits);
  info.bmiHeader.biCompression = BI_RGB;
  void* unused = nullptr;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, pixels ? pixels : &unused, nullptr, 0);
}

// A memory context holding a bitmap: 0 bits = compatible with the display,
// else a bottom-up DIB of that depth.
struct Surface {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ original;

  explicit Surface(int bits, int width = kW, int height = kH) {
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    bitmap =
        bits == 0 ? CreateCompatibleBitmap(display, width, height) : MakeDib(bits, width, height);
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

// The expected picture, built from GDI's coverage rules pixel by pixel.
struct Canvas {
  std::vector<uint32_t> px = std::vector<uint32_t>(size_t{kW} * kH);

  static uint32_t Combine(int rop, uint32_t pen, uint32_t dst) {
    switch (rop) {
      case R2_XORPEN:
        return dst ^ pen;
      case R2_NOT:
        return ~dst & 0xFFFFFF;
      case R2_NOP:
        return dst;
      default:
        return pen;  // R2_COPYPEN
    }
  }
  void Apply(int64_t x, int64_t y, uint32_t colour, int rop, int times = 1) {
    if (x < 0 || y < 0 || x >= kW || y >= kH) {
      return;
    }
    uint32_t& p = px[static_cast<size_t>(y * kW + x)];
    for (int i = 0; i < times; ++i) {
      p = Combine(rop, colour, p);
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
  // the brush. A 1x1 box has no outline; a box one pixel across gets its inner
  // pixels twice; without a pen the brush covers one pixel less each way.
  void Rectangle(int l, int t, int r, int b, const uint32_t* pen, const uint32_t* brush, int rop) {
    if (l > r) {
      std::swap(l, r);
    }
    if (t > b) {
      std::swap(t, b);
    }
    for (int y = t; y < b; ++y) {
      for (int x = l; x < r; ++x) {
        const bool border = x == l || x == r - 1 || y == t || y == b - 1;
        if (pen == nullptr) {
          if (brush != nullptr && x < r - 1 && y < b - 1) {
            Apply(x, y, *brush, rop);
          }
        } else if (border) {
          const bool dot = r - l == 1 && b - t == 1;
          const bool inner =
              (r - l == 1 && y != t && y != b - 1) || (b - t == 1 && x != l && x != r - 1);
          Apply(x, y, *pen, rop, dot ? 0 : inner ? 2 : 1);
        } else if (brush != nullptr) {
          Apply(x, y, *brush, rop);
        }
      }
    }
  }
};

TEST(GdiContexts, DisplayIsTrueColourAndOtherDriversFail) {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(GetObjectType(display), static_cast<DWORD>(OBJ_DC));
  EXPECT_EQ(GetDeviceCaps(display, BITSPIXEL), 32);
  EXPECT_GT(GetDeviceCaps(display, HORZRES), 0);
  EXPECT_GT(GetDeviceCaps(display, VERTRES), 0);
  HDC memory = CreateCompatibleDC(display);
  EXPECT_EQ(GetObjectType(memory), static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_TRUE(DeleteDC(display));
  EXPECT_EQ(CreateDCA("NO-SUCH-DRIVER", nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateCompatibleDC(static_cast<HDC>(kBogus)), nullptr);
  EXPECT_FALSE(DeleteDC(static_cast<HDC>(kBogus)));
}

TEST(GdiContexts, NewMemoryContextHoldsOneMonochromePixelAndDefaults) {
  HDC dc = CreateCompatibleDC(nullptr);
  // Compatible with a context that still holds its monochrome pixel: monochrome.
  HBITMAP mono = CreateCompatibleBitmap(dc, 3, 2);
  EXPECT_EQ(InfoOf(mono).bmBitsPixel, 1);
  const BITMAP stock = InfoOf(SelectObject(dc, mono));
  EXPECT_EQ(stock.bmWidth, 1);
  EXPECT_EQ(stock.bmHeight, 1);
  EXPECT_EQ(stock.bmBitsPixel, 1);
  DeleteDC(dc);
  DeleteObject(mono);

  HDC fresh = CreateCompatibleDC(nullptr);
  EXPECT_EQ(Px(GetPixel(fresh, 0, 0)), 0u);
  EXPECT_EQ(Px(GetPixel(fresh, 1, 0)), Px(CLR_INVALID));
  EXPECT_EQ(GetROP2(fresh), R2_COPYPEN);
  EXPECT_EQ(SetROP2(fresh, R2_XORPEN), R2_COPYPEN);
  EXPECT_EQ(SetROP2(fresh, 0), 0);
  EXPECT_EQ(SetROP2(fresh, 17), 0);
  EXPECT_EQ(GetROP2(fresh), R2_XORPEN);
  EXPECT_EQ(SetBkMode(fresh, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(fresh, 7), 0);
  DeleteDC(fresh);
}

TEST(GdiBitmaps, CompatibleBitmapsAreZeroedTrueColour) {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(display, 5, 3);
  const BITMAP info = InfoOf(bitmap);
  EXPECT_EQ(info.bmWidth, 5);
  EXPECT_EQ(info.bmHeight, 3);
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_EQ(info.bmWidthBytes, 20);
  EXPECT_EQ(info.bmBits, nullptr);
  EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
  BITMAP small{};
  EXPECT_EQ(GetObjectA(bitmap, 4, &small), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bitmap);
  EXPECT_TRUE(PixelsMatch(dc, 5, 3, std::vector<uint32_t>(15, 0)));
  DeleteDC(dc);
  DeleteObject(bitmap);

  // A zero size gives the 1x1 monochrome bitmap, negative sizes count as
  // positive, and sizes beyond memory fail.
  EXPECT_EQ(InfoOf(CreateCompatibleBitmap(display, 0, 4)).bmBitsPixel, 1);
  HBITMAP flipped = CreateCompatibleBitmap(display, -3, 2);
  EXPECT_EQ(InfoOf(flipped).bmWidth, 3);
  DeleteObject(flipped);
  EXPECT_EQ(CreateCompatibleBitmap(display, 70000, 70000), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(static_cast<HDC>(kBogus), 3, 3), nullptr);
  DeleteDC(display);
}

TEST(GdiBitmaps, DibSectionsStoreRowsBottomUpInTheirFormat) {
  struct Case {
    int bits, height;
    size_t offset;  // bytes from the start of the pixel memory to pixel (1, 0)
    std::vector<uint8_t> bytes;
    LONG widthBytes;
  };
  // COLORREF 0x123456 is red 0x56, green 0x34, blue 0x12.
  const Case cases[] = {
      {24, 2, 8 + 3, {0x12, 0x34, 0x56}, 8},  // B, G, R; rows of 6 bytes padded to 8
      {32, 2, 8 + 4, {0x12, 0x34, 0x56, 0x00}, 8},
      {16, 2, 4 + 2, {0xC2, 0x28}, 4},     // 5-5-5, channels rounded down
      {24, -2, 3, {0x12, 0x34, 0x56}, 8},  // negative height: top-down
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    void* pixels = nullptr;
    HBITMAP bitmap = MakeDib(c.bits, 2, c.height, &pixels);
    ASSERT_NE(bitmap, nullptr);
    const BITMAP info = InfoOf(bitmap);
    EXPECT_EQ(info.bmBits, pixels);
    EXPECT_EQ(info.bmWidthBytes, c.widthBytes);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmBitsPixel, c.bits);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    EXPECT_TRUE(SetPixelV(dc, 1, 0, 0x123456));
    const auto* at = static_cast<const uint8_t*>(pixels) + c.offset;
    EXPECT_EQ(std::vector<uint8_t>(at, at + c.bytes.size()), c.bytes);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  EXPECT_EQ(InfoOf(MakeDib(24, 768, 1)).bmWidthBytes, 2304);
  EXPECT_EQ(MakeDib(12, 4, 4), nullptr);
  EXPECT_EQ(MakeDib(24, 0, 4), nullptr);
  EXPECT_EQ(MakeDib(24, -4, 4), nullptr);
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
    EXPECT_EQ(Px(GetPixel(s.dc, -1, 0)), Px(CLR_INVALID));
    EXPECT_EQ(Px(GetPixel(s.dc, kW, 0)), Px(CLR_INVALID));
    EXPECT_EQ(Px(GetPixel(s.dc, 0, kH)), Px(CLR_INVALID));
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
  EXPECT_EQ(Px(GetPixel(nullptr, 0, 0)), Px(CLR_INVALID));
  EXPECT_EQ(Px(GetPixel(static_cast<HDC>(kBogus), 0, 0)), Px(CLR_INVALID));
}

TEST(GdiPixels, SetPixelVAppliesTheRasterOperation) {
  const struct {
    int rop;
    uint32_t result;
  } cases[] = {{R2_COPYPEN, 0x00FF0F}, {R2_XORPEN, 0x12CB59},     {R2_NOT, 0xEDCBA9},
               {R2_NOP, 0x123456},     {R2_BLACK, 0x000000},      {R2_WHITE, 0xFFFFFF},
               {R2_MASKPEN, 0x003406}, {R2_MERGENOTPEN, 0xFF34F6}};
  for (int bits : {0, 24}) {
    Surface s(bits);
    for (const auto& c : cases) {
      SetPixelV(s.dc, 2, 2, 0x123456);
      SetROP2(s.dc, c.rop);
      EXPECT_TRUE(SetPixelV(s.dc, 2, 2, 0x00FF0F));
      SetROP2(s.dc, R2_COPYPEN);
      EXPECT_EQ(Px(GetPixel(s.dc, 2, 2)), c.result) << "rop " << c.rop << ", " << bits << " bits";
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

TEST(GdiObjects, SelectionReturnsThePreviousObjectOfItsKind) {
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
  EXPECT_EQ(SelectObject(a, bitmap), bitmap);
  EXPECT_EQ(SelectObject(b, bitmap), nullptr);  // a bitmap lives in one context
  EXPECT_EQ(SelectObject(display, bitmap), nullptr);
  EXPECT_EQ(SelectObject(a, kBogus), nullptr);
  EXPECT_EQ(SelectObject(a, nullptr), nullptr);
  EXPECT_EQ(SelectObject(a, b), nullptr);
  EXPECT_EQ(SelectObject(static_cast<HDC>(kBogus), brush), nullptr);
  EXPECT_EQ(SelectObject(a, stock), bitmap);
  EXPECT_NE(SelectObject(b, bitmap), nullptr);  // free again
  DeleteDC(a);
  DeleteDC(b);
  DeleteDC(display);
  for (HGDIOBJ object :
       {static_cast<HGDIOBJ>(bitmap), static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(pen)}) {
    EXPECT_TRUE(DeleteObject(object));
    EXPECT_EQ(GetObjectType(object), 0u);
    EXPECT_FALSE(DeleteObject(object));
  }
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_EQ(GetStockObject(99), nullptr);
}

TEST(GdiObjects, DeletionWaitsWhileSelectedAndSparesStockObjects) {
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
  EXPECT_EQ(CreatePen(PS_NULL, 0, 0), GetStockObject(NULL_PEN));

  Surface s(24);
  HPEN pen = CreatePen(PS_SOLID, 0, 0xFF0000);
  const HGDIOBJ previousPen = SelectObject(s.dc, pen);
  DeleteObject(pen);
  EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
  SelectObject(s.dc, previousPen);
  EXPECT_EQ(GetObjectType(pen), 0u);

  // A selected bitmap stays drawable until its context lets go of it.
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = MakeDib(24, 2, 2);
  SelectObject(dc, bitmap);
  DeleteObject(bitmap);
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  SetPixelV(dc, 1, 1, 0x345678);
  EXPECT_EQ(Px(GetPixel(dc, 1, 1)), 0x345678u);
  DeleteDC(dc);
  EXPECT_EQ(GetObjectType(bitmap), 0u);
}

// Scenes of rectangles in every pen/brush/raster-operation combination, each
// compared pixel for pixel with the coverage rules.
TEST(GdiDrawing, RectangleCoverage) {
  const RECT boxes[] = {{2, 2, 5, 5},   {1, 6, 6, 9},    {7, 1, 8, 4},   {9, 1, 12, 2},
                        {9, 3, 11, 5},  {12, 4, 13, 5},  {13, 1, 13, 4}, {6, 9, 3, 6},
                        {-2, -1, 2, 3}, {14, 6, 18, 11}, {0, -1, 1, 2},  {15, 2, 16, 5}};
  const uint32_t red = 0x0000FF, green = 0x00FF00;  // exact at 16 bits too
  for (int bits : {0, 24, 16}) {
    for (int rop : {R2_COPYPEN, R2_XORPEN, R2_NOT}) {
      for (int kind = 0; kind < 4; ++kind) {
        const bool withPen = (kind & 1) == 0, withBrush = (kind & 2) == 0;
        SCOPED_TRACE(testing::Message() << bits << " bits, rop " << rop << ", pen " << withPen
                                        << ", brush " << withBrush);
        Surface s(bits);
        s.Clear(0xFFFFFF);
        Canvas expected;
        expected.Fill(0, 0, kW, kH, 0xFFFFFF);
        HPEN pen = withPen ? CreatePen(PS_SOLID, 0, red) : nullptr;
        HBRUSH brush = withBrush ? CreateSolidBrush(green) : nullptr;
        SelectObject(s.dc, withPen ? static_cast<HGDIOBJ>(pen) : GetStockObject(NULL_PEN));
        SelectObject(s.dc, withBrush ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH));
        SetROP2(s.dc, rop);
        for (const RECT& r : boxes) {
          EXPECT_TRUE(Rectangle(s.dc, r.left, r.top, r.right, r.bottom));
          expected.Rectangle(r.left, r.top, r.right, r.bottom, withPen ? &red : nullptr,
                             withBrush ? &green : nullptr, rop);
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
    expected.Fill(0, 0, kW, kH, 0xFFFFFF);
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

TEST(GdiWindows, NoWindowHasAContextYet) {
  const auto window =
      reinterpret_cast<HWND>(uintptr_t{0x1234});  // NOLINT(performance-no-int-to-ptr)
  SetLastError(0);
  EXPECT_EQ(GetDC(window), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(ReleaseDC(window, dc), 0);
  EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
  DeleteDC(dc);
  HBITMAP bitmap = MakeDib(24, 1, 1);
  EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(bitmap)));
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  DeleteObject(bitmap);
}

}  // namespace

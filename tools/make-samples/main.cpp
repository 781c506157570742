// make-samples: generates the sample screens in samples/.
//
//   make-samples DIR           writes DIR/testcard.scr and DIR/gradient.scr
//   make-samples --check DIR   exits 1 unless the files in DIR are exactly
//                              what this program writes
//
// Regenerate after changing this file with: build/debug/make-samples samples
// Output is deterministic: the same bytes on every run and platform.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kScreenSize = 6912;
using Screen = std::vector<uint8_t>;

// Attribute: ink 0..7, paper 0..7, bright and flash bits.
constexpr uint8_t kBright = 0x40;
constexpr uint8_t kFlash = 0x80;
uint8_t Attr(int ink, int paper, bool bright = false) {
  return static_cast<uint8_t>((ink & 7) | ((paper & 7) << 3) | (bright ? kBright : 0));
}

int LineOffset(int y) { return ((y & 0xC0) << 5) | ((y & 0x07) << 8) | ((y & 0x38) << 2); }
uint8_t& ByteAt(Screen& s, int y, int col) { return s[LineOffset(y) + col]; }
uint8_t& AttrAt(Screen& s, int row, int col) { return s[6144 + row * 32 + col]; }
void SetPixel(Screen& s, int x, int y) {
  ByteAt(s, y, x / 8) = static_cast<uint8_t>(ByteAt(s, y, x / 8) | (0x80 >> (x % 8)));
}

// A 5x7 capital font of our own, enough for the sample titles; one string per
// row, '#' set.
struct Glyph {
  char letter;
  const char* rows[7];
};
constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
};

const Glyph* FindGlyph(char letter) {
  for (const Glyph& glyph : kFont) {
    if (glyph.letter == letter) {
      return &glyph;
    }
  }
  return nullptr;  // a space, or a letter we do not draw
}

// Text with its top-left at (x, y), each font pixel scale x scale, 6 font
// pixels per letter.
void DrawText(Screen& s, int x, int y, const char* text, int scale) {
  for (; *text != '\0'; ++text, x += 6 * scale) {
    const Glyph* glyph = FindGlyph(*text);
    if (glyph == nullptr) {
      continue;
    }
    for (int gy = 0; gy < 7; ++gy) {
      for (int gx = 0; gx < 5; ++gx) {
        if (glyph->rows[gy][gx] != '#') {
          continue;
        }
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) {
            SetPixel(s, x + gx * scale + dx, y + gy * scale + dy);
          }
        }
      }
    }
  }
}

// Every ink, paper and bright combination, seams of every kind, and bitmaps
// whose shape breaks up if the interleaved line order is wrong.
Screen TestCard() {
  Screen s(kScreenSize, 0);
  // Rows 0..15: paper = row (bright from row 8), ink = column: all 128
  // combinations, four times each. Cells whose ink equals their paper or
  // their left neighbour's paper show seam marks.
  for (int row = 0; row < 16; ++row) {
    for (int col = 0; col < 32; ++col) {
      AttrAt(s, row, col) = Attr(col, row, row >= 8);
    }
  }
  for (int col = 0; col < 32; ++col) {
    const int pair = col / 2;
    const int a = pair & 7;
    const int b = (pair + 3) & 7;
    // Row 16: neighbours fully swapped (both kinds of seam at once).
    AttrAt(s, 16, col) = (col % 2 == 0) ? Attr(a, b, pair >= 8) : Attr(b, a, pair >= 8);
    // Row 17: this ink is the left paper only.
    AttrAt(s, 17, col) = Attr(col, col + 1);
    // Row 18: the left ink is this paper only.
    AttrAt(s, 18, col) = Attr(col + 1, col);
    // Row 19: bright or flash alone differ: no marks.
    const uint8_t plain = Attr(0, 7);
    const uint8_t variants[3] = {plain, static_cast<uint8_t>(plain | kBright),
                                 static_cast<uint8_t>(plain | kFlash)};
    AttrAt(s, 19, col) = variants[col % 3];
    // Row 20: colours differ but neither test holds: no marks.
    const uint8_t others[3] = {Attr(0, 7), Attr(2, 7), Attr(1, 7)};
    AttrAt(s, 20, col) = others[col % 3];
    // Rows 21..23: identical neighbours.
    AttrAt(s, 21, col) = Attr(7, 0);
    AttrAt(s, 22, col) = Attr(0, 6, true);
    AttrAt(s, 23, col) = Attr(5, 1, true);
  }

  // Lines 0..127: a triangle in every cell, one line longer or shorter per
  // pixel line; odd columns mirrored so their leftmost pixel is mostly paper.
  for (int y = 0; y < 128; ++y) {
    const int line = y & 7;
    for (int col = 0; col < 32; ++col) {
      ByteAt(s, y, col) =
          static_cast<uint8_t>((col % 2 == 0) ? (0xFF << line) & 0xFF : 0xFF >> line);
    }
  }
  // Lines 128..167: diagonal stripes across the cell borders.
  for (int y = 128; y < 168; ++y) {
    for (int x = 0; x < 256; ++x) {
      if ((x + y) % 6 < 2) {
        SetPixel(s, x, y);
      }
    }
  }
  // Line 168..175: a one-pixel checkerboard.
  for (int y = 168; y < 176; ++y) {
    for (int col = 0; col < 32; ++col) {
      ByteAt(s, y, col) = (y % 2 == 0) ? 0xAA : 0x55;
    }
  }
  // Lines 176..183: the title.
  DrawText(s, 8, 176, "KELPIE TEST CARD", 1);
  // Lines 184..191: one pixel per line, stepping right: a diagonal per cell.
  for (int y = 184; y < 192; ++y) {
    for (int col = 0; col < 32; ++col) {
      ByteAt(s, y, col) = static_cast<uint8_t>(0x80 >> (y & 7));
    }
  }
  return s;
}

// A title over ordered-dither gradients, one ink per band, normal above and
// bright below: smooth shapes that show any misplaced line or column.
Screen Gradient() {
  static constexpr uint8_t kBayer[8][8] = {
      {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
      {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
      {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
      {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
  };
  Screen s(kScreenSize, 0);
  for (int col = 0; col < 32; ++col) {
    AttrAt(s, 0, col) = Attr(7, 1, true);
    AttrAt(s, 1, col) = Attr(7, 1, true);
  }
  DrawText(s, 4, 1, "KELPIE", 2);
  for (int row = 2; row < 24; ++row) {
    const int band = (row - 2) / 2;  // 11 bands of two character rows
    for (int col = 0; col < 32; ++col) {
      AttrAt(s, row, col) = Attr(band % 7 + 1, 0, band >= 7);
    }
  }
  for (int y = 16; y < 192; ++y) {
    for (int x = 0; x < 256; ++x) {
      // Density grows left to right; odd bands run the other way.
      const int band = (y / 8 - 2) / 2;
      const int level = (band % 2 == 0) ? x / 4 : (255 - x) / 4;
      if (kBayer[y & 7][x & 7] < level) {
        SetPixel(s, x, y);
      }
    }
  }
  return s;
}

struct Sample {
  const char* name;
  Screen (*make)();
};
constexpr Sample kSamples[] = {{"testcard.scr", TestCard}, {"gradient.scr", Gradient}};

bool ReadFile(const std::string& path, Screen* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFile(const std::string& path, const Screen& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string(argv[1]) == "--check";
  if (!(argc == 2 || check)) {
    std::fprintf(stderr, "usage: make-samples [--check] DIR\n");
    return 2;
  }
  const std::string dir = argv[argc - 1];
  int failures = 0;
  for (const Sample& sample : kSamples) {
    const std::string path = dir + "/" + sample.name;
    const Screen made = sample.make();
    if (check) {
      Screen stored;
      if (!ReadFile(path, &stored)) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        ++failures;
      } else if (stored != made) {
        std::fprintf(stderr, "%s: differs from what make-samples generates\n", path.c_str());
        ++failures;
      }
    } else if (!WriteFile(path, made)) {
      std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

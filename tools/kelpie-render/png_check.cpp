// Test helper for kelpie-render's test.sh: reads PNGs back with libpng.
//
//   kelpie-render-png-check size PNG                 prints WIDTHxHEIGHT and "palette
//                                      COLOURS BITS-bit" or "rgb"
//   kelpie-render-png-check pixel PNG X Y            prints the pixel as RRGGBB
//   kelpie-render-png-check same PNG SCREEN MODE     exit 0 when PNG is exactly what
//                                      RenderScreen(MODE) draws for SCREEN
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "toolkit/base/list.h"
#include "toolkit/base/memory.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/string.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

namespace {

// The bit depth in the IHDR chunk, which always comes first: the signature (8
// bytes), the chunk's length and type (8), width and height (8), then the depth.
int HeaderBitDepth(const char* path) {
  std::ifstream in(path, std::ios::binary);
  char header[25];
  return in.read(header, sizeof header) ? static_cast<unsigned char>(header[24]) : 0;
}

struct Png {
  int width = 0, height = 0;
  bool indexed = false;
  unsigned colours = 0;
  // Bits per sample (per index when indexed), as the header says.
  int bitDepth = 0;
  std::vector<png_byte> pixels;  // RGB
  std::string error;
  explicit Png(const char* path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path) != 0) {
      indexed = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
      colours = image.colormap_entries;
      image.format = PNG_FORMAT_RGB;
      pixels.resize(PNG_IMAGE_SIZE(image));
      if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0) {
        width = static_cast<int>(image.width);
        height = static_cast<int>(image.height);
      }
    }
    error = image.message;
    png_image_free(&image);
    bitDepth = HeaderBitDepth(path);
  }
  bool Read() const { return width > 0; }
  uint32_t Rgb(int x, int y) const {
    const png_byte* p = pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
};

// The 768x576 picture that RenderScreen draws for the file's first 6912 bytes
// (the rest zero), as RRGGBB.
bool RenderInProcess(const char* screenPath, int32_t mode, uint32_t* out) {
  RuntimeSetProgramHeap(HeapCreate(0, 4096, 0));
  StringLibraryInit();
  ListLibraryInit();
  DrawLibraryInit();
  ImageLibraryInit();
  MemoryLibraryInit();
  const RenderBuffers buffers = RenderBuffersAllocate();
  if (!buffers.Complete()) {
    return false;
  }
  std::ifstream in(screenPath, std::ios::binary);
  if (!in) {
    return false;
  }
  in.read(reinterpret_cast<char*>(buffers.screen), SCREEN_SIZE);
  if (ImageCreate(SCREEN_IMAGE, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT) == 0) {
    return false;
  }
  RenderSetState(buffers.State());
  RenderScreen(mode);
  if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) {
    return false;
  }
  for (int y = 0; y < SCREEN_IMAGE_HEIGHT; ++y) {
    for (int x = 0; x < SCREEN_IMAGE_WIDTH; ++x) {
      const uint32_t c = DrawReadPixel(x, y);  // 0x00BBGGRR
      out[y * SCREEN_IMAGE_WIDTH + x] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
  }
  DrawEnd();
  return true;
}

int Same(const Png& png, const char* screenPath, int32_t mode) {
  if (png.width != SCREEN_IMAGE_WIDTH || png.height != SCREEN_IMAGE_HEIGHT) {
    std::fprintf(stderr, "size %dx%d\n", png.width, png.height);
    return 1;
  }
  static uint32_t expected[SCREEN_IMAGE_WIDTH * SCREEN_IMAGE_HEIGHT];
  if (!RenderInProcess(screenPath, mode, expected)) {
    std::fprintf(stderr, "%s: cannot render\n", screenPath);
    return 1;
  }
  int differing = 0;
  for (int y = 0; y < png.height; ++y) {
    for (int x = 0; x < png.width; ++x) {
      const uint32_t got = png.Rgb(x, y);
      const uint32_t want = expected[y * SCREEN_IMAGE_WIDTH + x];
      if (got != want && ++differing <= 5) {
        std::fprintf(stderr, "(%d, %d): png %06X, render %06X\n", x, y, got, want);
      }
    }
  }
  if (differing > 0) {
    std::fprintf(stderr, "%d pixels differ\n", differing);
  }
  return differing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    return 2;
  }
  const std::string command = argv[1];
  const Png png(argv[2]);
  if (!png.Read()) {
    std::fprintf(stderr, "%s: not a PNG (%s)\n", argv[2], png.error.c_str());
    return 1;
  }
  if (command == "size" && argc == 3) {
    if (png.indexed) {
      std::printf("%dx%d palette %u %d-bit\n", png.width, png.height, png.colours, png.bitDepth);
    } else {
      std::printf("%dx%d rgb\n", png.width, png.height);
    }
    return 0;
  }
  if (command == "pixel" && argc == 5) {
    const int x = std::atoi(argv[3]);
    const int y = std::atoi(argv[4]);
    if (x < 0 || y < 0 || x >= png.width || y >= png.height) {
      return 1;
    }
    std::printf("%06X\n", png.Rgb(x, y));
    return 0;
  }
  if (command == "same" && argc == 5) {
    return Same(png, argv[3], std::atoi(argv[4]));
  }
  return 2;
}

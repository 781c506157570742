// Test helper for kelpie-render's test.sh: reads PNGs back with stb_image.
//
//   kelpie-render-png-check size PNG                 prints WIDTHxHEIGHTxCHANNELS
//   kelpie-render-png-check pixel PNG X Y            prints the pixel as RRGGBB
//   kelpie-render-png-check same PNG SCREEN MODE     exit 0 when PNG is exactly what
//                                      RenderScreen(MODE) draws for SCREEN
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "toolkit/base/list.h"
#include "toolkit/base/memory.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/string.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace {

struct Png {
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = nullptr;  // RGB, as stored
  explicit Png(const char* path) { pixels = stbi_load(path, &width, &height, &channels, 3); }
  ~Png() { stbi_image_free(pixels); }
  Png(const Png&) = delete;
  Png& operator=(const Png&) = delete;
  uint32_t Rgb(int x, int y) const {
    const stbi_uc* p = pixels + (static_cast<size_t>(y) * width + x) * 3;
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
  if (png.pixels == nullptr) {
    std::fprintf(stderr, "%s: not a PNG (%s)\n", argv[2], stbi_failure_reason());
    return 1;
  }
  if (command == "size" && argc == 3) {
    std::printf("%dx%dx%d\n", png.width, png.height, png.channels);
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

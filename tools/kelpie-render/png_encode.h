// PNG encoding for kelpie-render: with libpng, or on Windows with the
// system's own encoder (WIC). Failures come back as results, never as an exit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngPicture {
  int32_t width = 0;
  int32_t height = 0;
  // 0xRRGGBB per entry; empty when `pixels` holds R, G, B bytes instead.
  std::vector<uint32_t> palette;
  // Rows top to bottom, one palette index (or three bytes) per pixel.
  std::vector<unsigned char> pixels;
};

// The file's bytes in `out`; false with the reason in `error`.
bool PngEncode(const PngPicture& picture, std::vector<unsigned char>* out, std::string* error);

// The layout of a screen file: a 256x192 bitmap in the Spectrum's interleaved
// line order, then 32x24 attribute bytes.
#pragma once

#include <cstdint>

constexpr int32_t SCREEN_SIZE = 6912;
constexpr int32_t SCREEN_BITMAP_SIZE = 6144;
constexpr int32_t SCREEN_ATTRIBUTES = 6144;  // offset of the attribute area
constexpr int32_t SCREEN_COLUMNS = 32;       // bytes per pixel line, cells per row
constexpr int32_t SCREEN_LINES = 192;
constexpr int32_t SCREEN_SCALE = 3;
constexpr int32_t SCREEN_IMAGE_WIDTH = 256 * SCREEN_SCALE;
constexpr int32_t SCREEN_IMAGE_HEIGHT = SCREEN_LINES * SCREEN_SCALE;

// The line offset of the pixel line below the one that starts at `offset`.
int32_t NextLineOffset(int32_t offset);

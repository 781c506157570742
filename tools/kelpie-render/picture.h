// The rendered screen image (768x576, every Spectrum pixel a 3x3 block, seam
// marks one column wide at a cell's left edge) turned into the picture to
// write: at any whole scale, or shrunk to fit a thumbnail's size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/kelpie-render/arguments.h"
#include "tools/kelpie-render/png_encode.h"

// The image's rows, 0x00RRGGBB pixels; `stride` (in pixels) is negative for a
// bottom-up image.
struct ImageRows {
  const uint32_t* top;
  ptrdiff_t stride;
  const uint32_t* Row(int32_t y) const { return top + stride * y; }
};

// What the options make of the 256x192 screen: a whole scale (pixels per
// Spectrum pixel) or, below one, a shrink to width x height; seam marks only
// where a Spectrum pixel is at least two pixels wide, so that a mark never
// hides the pixel it stands on.
struct PictureGeometry {
  int32_t scale;  // 0: shrink
  int32_t width;
  int32_t height;
  int32_t markWidth;  // 0: no marks
};
PictureGeometry GeometryFor(const RenderOptions& options);

// The picture out of the screen image; indexed when its colours fit a palette.
void TakePicture(const ImageRows& image, const PictureGeometry& geometry, PngPicture* picture);

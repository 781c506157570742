#include "tools/kelpie-render/picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "viewer/render/screen.h"

namespace {

constexpr int32_t SCREEN_WIDTH = 256;
constexpr size_t PALETTE_SIZE = 256;
constexpr uint32_t NO_MARK = 0xFFFFFFFF;  // no 0x00RRGGBB colour

// One Spectrum pixel of the image: the colour of its block and of the seam
// mark on its left column, if any.
struct ScreenPixel {
  uint32_t colour;
  uint32_t mark;
};

// The image read once per Spectrum pixel: a block's three rows are the same,
// its second column is never under a mark, its first only at a cell's edge.
std::vector<ScreenPixel> ScreenPixels(const ImageRows& image) {
  std::vector<ScreenPixel> pixels(static_cast<size_t>(SCREEN_WIDTH) * SCREEN_LINES);
  ScreenPixel* out = pixels.data();
  for (int32_t y = 0; y < SCREEN_LINES; ++y) {
    const uint32_t* row = image.Row(y * SCREEN_SCALE);
    for (int32_t x = 0; x < SCREEN_WIDTH; ++x, ++out) {
      const uint32_t* block = row + static_cast<ptrdiff_t>(x) * SCREEN_SCALE;
      out->colour = block[1] & 0xFFFFFF;
      const uint32_t left = block[0] & 0xFFFFFF;
      out->mark = (x % 8 == 0 && left != out->colour) ? left : NO_MARK;
    }
  }
  return pixels;
}

// Palette indices for colours; -1 once more than a palette holds are seen.
class Palette {
 public:
  explicit Palette(std::vector<uint32_t>* colours) : colours_(colours) {
    colours_->clear();
    colours_->reserve(PALETTE_SIZE);
  }
  int Index(uint32_t rgb) {
    if (last_ < colours_->size() && (*colours_)[last_] == rgb) {
      return static_cast<int>(last_);  // runs are long: the previous colour first
    }
    last_ =
        static_cast<size_t>(std::find(colours_->begin(), colours_->end(), rgb) - colours_->begin());
    if (last_ == colours_->size()) {
      if (last_ == PALETTE_SIZE) {
        return -1;
      }
      colours_->push_back(rgb);
    }
    return static_cast<int>(last_);
  }

 private:
  std::vector<uint32_t>* colours_;
  size_t last_ = 0;
};

// Each Spectrum pixel a scale x scale block, marks `markWidth` columns wide;
// every Spectrum line is made once and its copies are taken whole.
void Scale(const std::vector<ScreenPixel>& screen, const PictureGeometry& geometry,
           PngPicture* picture) {
  const auto scale = static_cast<size_t>(geometry.scale);
  const auto width = static_cast<size_t>(geometry.width);
  Palette palette(&picture->palette);
  picture->pixels.resize(width * static_cast<size_t>(geometry.height));
  unsigned char* out = picture->pixels.data();
  const ScreenPixel* pixel = screen.data();
  for (int32_t y = 0; y < SCREEN_LINES; ++y) {
    unsigned char* line = out;
    for (int32_t x = 0; x < SCREEN_WIDTH; ++x, ++pixel, out += scale) {
      // 16 screen colours, their marks and white: a palette always holds them.
      std::memset(out, palette.Index(pixel->colour), scale);
      if (geometry.markWidth > 0 && pixel->mark != NO_MARK) {
        std::memset(out, palette.Index(pixel->mark), static_cast<size_t>(geometry.markWidth));
      }
    }
    for (size_t copy = 1; copy < scale; ++copy, out += width) {
      std::memcpy(out, line, width);
    }
  }
}

// The screen's colours averaged over the area each output pixel covers.
void Shrink(const std::vector<ScreenPixel>& screen, const PictureGeometry& geometry,
            PngPicture* picture) {
  const int32_t width = geometry.width;
  const int32_t height = geometry.height;
  std::vector<uint32_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height));
  // Output pixel (x, y) covers source columns [x * 256 / width, (x + 1) * 256 / width),
  // counted in 1/width (and 1/height) parts of a source pixel.
  for (int32_t y = 0; y < height; ++y) {
    const int64_t top = int64_t{y} * SCREEN_LINES;
    const int64_t bottom = top + SCREEN_LINES;
    for (int32_t x = 0; x < width; ++x) {
      const int64_t left = int64_t{x} * SCREEN_WIDTH;
      const int64_t right = left + SCREEN_WIDTH;
      int64_t sum[3] = {0, 0, 0};
      for (int64_t sy = top / height; sy * height < bottom; ++sy) {
        const int64_t h = std::min(bottom, (sy + 1) * height) - std::max(top, sy * height);
        for (int64_t sx = left / width; sx * width < right; ++sx) {
          const int64_t w = std::min(right, (sx + 1) * width) - std::max(left, sx * width);
          const uint32_t c = screen[static_cast<size_t>(sy * SCREEN_WIDTH + sx)].colour;
          for (int channel = 0; channel < 3; ++channel) {
            sum[channel] += int64_t{(c >> (8 * channel)) & 0xFF} * w * h;
          }
        }
      }
      const int64_t area = int64_t{SCREEN_WIDTH} * SCREEN_LINES;
      uint32_t c = 0;
      for (int channel = 0; channel < 3; ++channel) {
        c |= static_cast<uint32_t>((sum[channel] + area / 2) / area) << (8 * channel);
      }
      rgb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = c;
    }
  }
  Palette palette(&picture->palette);
  picture->pixels.resize(rgb.size());
  for (size_t i = 0; i < rgb.size(); ++i) {
    const int index = palette.Index(rgb[i]);
    if (index < 0) {  // too many colours: R, G, B bytes instead
      picture->palette.clear();
      picture->pixels.resize(rgb.size() * 3);
      for (size_t j = 0; j < rgb.size(); ++j) {
        picture->pixels[3 * j] = static_cast<unsigned char>(rgb[j] >> 16);
        picture->pixels[3 * j + 1] = static_cast<unsigned char>(rgb[j] >> 8);
        picture->pixels[3 * j + 2] = static_cast<unsigned char>(rgb[j]);
      }
      return;
    }
    picture->pixels[i] = static_cast<unsigned char>(index);
  }
}

}  // namespace

PictureGeometry GeometryFor(const RenderOptions& options) {
  int32_t scale = options.scale;
  if (options.size > 0) {
    scale = std::min(SCALE_MAX, options.size / SCREEN_WIDTH);
  }
  if (scale == 0) {
    const int32_t side = options.size;
    return {0, side, std::max(1, (side * SCREEN_LINES + SCREEN_WIDTH / 2) / SCREEN_WIDTH), 0};
  }
  const int32_t markWidth = options.seams && scale >= 2 ? std::max(1, scale / 3) : 0;
  return {scale, SCREEN_WIDTH * scale, SCREEN_LINES * scale, markWidth};
}

void TakePicture(const ImageRows& image, const PictureGeometry& geometry, PngPicture* picture) {
  const std::vector<ScreenPixel> screen = ScreenPixels(image);
  picture->width = geometry.width;
  picture->height = geometry.height;
  if (geometry.scale > 0) {
    Scale(screen, geometry, picture);
  } else {
    Shrink(screen, geometry, picture);
  }
}

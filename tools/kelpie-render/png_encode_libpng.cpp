#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include "tools/kelpie-render/png_encode.h"

namespace {

// Measured over 1,000 varied screens (bench/render_batch.sh's) at 768x576: a
// row that repeats the one above goes filtered "Up" (all zeros), any other
// unfiltered. Against all rows unfiltered that takes a picture from 30 to 17.5
// ms (render and all); libpng's own choice between the two makes the files 23%
// larger. zlib's default strategy, not the "filtered" one libpng picks for
// filtered rows, makes them 1% smaller at the same speed. The level stays 9:
// ImageMagick's PNGs of the same screens take 13.50 MB, ours 13.34 MB at level
// 9 and 13.62 MB at level 8 (which compresses in 10 ms instead of 15.6); no
// setting of zlib's match search below level 9 stays under 13.50 MB. Measured
// too, none faster without more bytes: the RLE strategy (10x faster, 78%
// larger), Sub for the other rows (13% larger), a 4 KB window (1.4x, 5%),
// shorter match chains (2x, 4%), libdeflate (smaller only when slower). The
// pictures whose seam marks take them past 16 colours, 8 bits per index, are
// 59% of the set and 79% of the compression time.
constexpr int COMPRESSION_LEVEL = 9;

struct WriteState {
  std::vector<unsigned char>* out;
  char failure[128];  // libpng's message, copied: it may live in the frame left
};

void OnError(png_structp png, png_const_charp message) {
  auto* state = static_cast<WriteState*>(png_get_error_ptr(png));
  std::snprintf(state->failure, sizeof state->failure, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp /*png*/, png_const_charp /*message*/) {}

bool Append(std::vector<unsigned char>* out, png_bytep data, size_t length) noexcept {
  try {
    out->insert(out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void OnWrite(png_structp png, png_bytep data, size_t length) {
  if (!Append(static_cast<WriteState*>(png_get_io_ptr(png))->out, data, length)) {
    png_error(png, "out of memory");
  }
}

void OnFlush(png_structp /*png*/) {}

// The fewest bits per pixel that hold every palette index.
int IndexBits(size_t colours) {
  if (colours <= 2) {
    return 1;
  }
  if (colours <= 4) {
    return 2;
  }
  return colours <= 16 ? 4 : 8;
}

// libpng leaves by longjmp to here on any error; only trivially destructible
// locals live in this frame.
bool WriteImage(png_structp png, png_infop info, const PngPicture& picture, png_color* colours) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_set_compression_level(png, COMPRESSION_LEVEL);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE | PNG_FILTER_UP);
  const bool indexed = !picture.palette.empty();
  const size_t count = picture.palette.size();
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), indexed ? IndexBits(count) : 8,
               indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  if (indexed) {
    for (size_t i = 0; i < count; ++i) {
      const uint32_t rgb = picture.palette[i];
      colours[i] = {static_cast<png_byte>(rgb >> 16), static_cast<png_byte>(rgb >> 8),
                    static_cast<png_byte>(rgb)};
    }
    png_set_PLTE(png, info, colours, static_cast<int>(count));
  }
  png_write_info(png, info);
  png_set_packing(png);  // one byte per index in, fewer bits out
  const size_t stride = static_cast<size_t>(picture.width) * (indexed ? 1 : 3);
  // The first row starts libpng's row buffers with both filters (it then
  // has no row above: unfiltered); each later row names its own.
  for (int32_t y = 0; y < picture.height; ++y) {
    const unsigned char* row = picture.pixels.data() + stride * static_cast<size_t>(y);
    if (y > 0) {
      const bool repeated = std::memcmp(row, row - stride, stride) == 0;
      png_set_filter(png, PNG_FILTER_TYPE_BASE, repeated ? PNG_FILTER_UP : PNG_FILTER_NONE);
    }
    png_write_row(png, row);
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

bool PngEncode(const PngPicture& picture, std::vector<unsigned char>* out, std::string* error) {
  const size_t stride = static_cast<size_t>(picture.width) * (picture.palette.empty() ? 3 : 1);
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.palette.size() > PNG_MAX_PALETTE_LENGTH ||
      picture.pixels.size() != stride * static_cast<size_t>(picture.height)) {
    *error = "the picture cannot be stored as a PNG";
    return false;
  }
  WriteState state{out, "unknown error"};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    *error = "out of memory";
    return false;
  }
  png_set_write_fn(png, &state, OnWrite, OnFlush);
  png_color colours[PNG_MAX_PALETTE_LENGTH];
  const bool written = WriteImage(png, info, picture, colours);
  if (!written) {
    *error = std::string("the PNG could not be encoded: ") + state.failure;
  }
  png_destroy_write_struct(&png, &info);
  return written;
}

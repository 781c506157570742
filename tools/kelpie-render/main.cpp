// kelpie-render: renders a screen file to an indexed PNG through the same
// toolkit as the viewer (start-up, file service, drawing, screen image).
//
// Exit codes: 0 written; 1 the input could not be read or the output could not
// (or must not) be written: one line on stderr, no file changed; 2 wrong
// arguments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "platform/win32.h"
#include "toolkit/base/list.h"
#include "toolkit/base/memory.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/string.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/image.h"
#include "toolkit/io/file.h"
#include "tools/kelpie-render/arguments.h"
#include "tools/kelpie-render/output_file.h"
#include "tools/kelpie-render/png_encode.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

namespace fs = std::filesystem;

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr size_t PALETTE_SIZE = 256;

constexpr const char* USAGE = "usage: kelpie-render [--white-seams] INPUT OUTPUT.png";

void PrintHelp() {
  std::printf(
      "%s\n\n"
      "Renders the first 6912 bytes of INPUT as a ZX Spectrum screen, three times\n"
      "enlarged (768x576), with attribute-seam marks, and writes it as a PNG.\n"
      "A shorter INPUT leaves the rest of the screen zero.\n\n"
      "  --white-seams  draw the seam marks white instead of darkened\n"
      "  --help         show this text\n\n"
      "Exit status: 0 written, 1 input or output failed, 2 wrong arguments.\n",
      USAGE);
}

void Fail(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "kelpie-render: %s: %s\n", path.c_str(), reason.c_str());
}

std::string OpenErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such file or directory";
    case ERROR_ACCESS_DENIED:
      return "permission denied";
    case ERROR_SHARING_VIOLATION:
      return "in use by another program";
    default:
      return "cannot be opened (error " + std::to_string(error) + ")";
  }
}

std::string ReadErrorText(DWORD error) {
  return error == ERROR_ACCESS_DENIED ? "permission denied"
                                      : "cannot be read (error " + std::to_string(error) + ")";
}

// Any file is a screen, but only a regular one: a FIFO or device could block
// or never end, and a directory holds no bytes.
bool CheckInput(const std::string& input) {
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(input), error);
  if (error) {
    Fail(input, error.message());
    return false;
  }
  if (fs::is_directory(status)) {
    Fail(input, "is a directory");
    return false;
  }
  if (!fs::is_regular_file(status)) {
    Fail(input, "not a regular file");
    return false;
  }
  return true;
}

// Starts the libraries it needs, in the toolkit's order, and ends them again.
class Toolkit {
 public:
  Toolkit() : heap_(HeapCreate(0, 4096, 0)) {
    RuntimeSetProgramHeap(heap_);
    StringLibraryInit();
    ListLibraryInit();
    DrawLibraryInit();
    FileLibraryInit();
    ImageLibraryInit();
    MemoryLibraryInit();
  }
  ~Toolkit() {
    MemoryLibraryEnd();
    ImageLibraryEnd();
    FileLibraryEnd();
    ListLibraryEnd();
    RuntimeSetProgramHeap(nullptr);
    if (heap_ != nullptr) {
      HeapDestroy(heap_);
    }
  }
  Toolkit(const Toolkit&) = delete;
  Toolkit& operator=(const Toolkit&) = delete;

 private:
  HANDLE heap_;
};

// Reads the screen; a short file leaves the rest of the zero-filled buffer as it
// is. The file service counts bytes only, so the platform's last error tells a
// failed read from the end of the file; after a short count, the next read
// reports the error or the end.
bool ReadScreen(unsigned char* screen) {
  int32_t total = 0;
  while (total < SCREEN_SIZE) {
    SetLastError(ERROR_SUCCESS);
    const int32_t got = FileReadData(0, screen + total, SCREEN_SIZE - total);
    if (GetLastError() != ERROR_SUCCESS) {
      return false;
    }
    if (got <= 0) {
      break;
    }
    total += got;
  }
  return true;
}

// Row y (from the top) of a bottom-up 32-bit DIB section, as 0x00RRGGBB.
const uint32_t* ImageRow(const BITMAP& info, int32_t y) {
  return static_cast<const uint32_t*>(info.bmBits) +
         static_cast<size_t>(info.bmHeight - 1 - y) * static_cast<size_t>(info.bmWidthBytes / 4);
}

void TakeRgb(const BITMAP& info, PngPicture* picture) {
  picture->palette.clear();
  picture->pixels.resize(picture->pixels.size() * 3);
  unsigned char* out = picture->pixels.data();
  for (int32_t y = 0; y < info.bmHeight; ++y) {
    const uint32_t* row = ImageRow(info, y);
    for (int32_t x = 0; x < info.bmWidth; ++x) {
      *out++ = static_cast<unsigned char>(row[x] >> 16);
      *out++ = static_cast<unsigned char>(row[x] >> 8);
      *out++ = static_cast<unsigned char>(row[x]);
    }
  }
}

// The picture's rows out of the image (a bottom-up 32-bit DIB section), as
// indices into the colours it holds; as R, G, B bytes should there be more
// than a palette takes.
bool TakePicture(HBITMAP image, PngPicture* picture) {
  BITMAP info{};
  GdiFlush();
  if (GetObjectA(image, static_cast<int>(sizeof info), &info) == 0 || info.bmBits == nullptr ||
      info.bmBitsPixel != 32) {
    return false;
  }
  picture->width = info.bmWidth;
  picture->height = info.bmHeight;
  const auto width = static_cast<size_t>(info.bmWidth);
  const auto pixelCount = width * static_cast<size_t>(info.bmHeight);
  picture->pixels.resize(pixelCount);
  picture->palette.reserve(PALETTE_SIZE);
  size_t last = 0;  // runs are long: try the previous pixel's colour first
  for (int32_t y = 0; y < info.bmHeight; ++y) {
    const uint32_t* row = ImageRow(info, y);
    unsigned char* out = picture->pixels.data() + width * static_cast<size_t>(y);
    for (size_t x = 0; x < width; ++x) {
      const uint32_t rgb = row[x] & 0xFFFFFF;
      std::vector<uint32_t>& palette = picture->palette;
      if (palette.empty() || palette[last] != rgb) {
        last = std::find(palette.begin(), palette.end(), rgb) - palette.begin();
        if (last == palette.size()) {
          if (last == PALETTE_SIZE) {
            TakeRgb(info, picture);
            return true;
          }
          palette.push_back(rgb);
        }
      }
      out[x] = static_cast<unsigned char>(last);
    }
  }
  return true;
}

// The rendered picture, or false after a failure (already reported).
bool RenderFile(const std::string& input, int32_t seamColourMode, PngPicture* picture) {
  Toolkit toolkit;
  const RenderBuffers buffers = RenderBuffersAllocate();
  if (!buffers.Complete() ||
      ImageCreate(SCREEN_IMAGE, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT, 32) == 0) {
    Fail(input, "out of memory");
    return false;
  }
  if (FileOpenRead(0, input.c_str()) == 0) {
    Fail(input, OpenErrorText(GetLastError()));
    return false;
  }
  if (!ReadScreen(buffers.screen)) {
    Fail(input, ReadErrorText(GetLastError()));
    return false;
  }
  RenderSetState(buffers.State());
  // A library that could not start, a pass that could not begin or a brush
  // that could not be made leaves the picture incomplete without a result to
  // say so: the image must take a draw target, and the layer's last error
  // tells the rest.
  SetLastError(ERROR_SUCCESS);
  const bool drawable = ImageDrawTarget(SCREEN_IMAGE) != nullptr;
  RenderScreen(seamColourMode);
  const DWORD renderError = GetLastError();
  if (!drawable || renderError == ERROR_NOT_ENOUGH_MEMORY || renderError == ERROR_OUTOFMEMORY) {
    Fail(input, "out of memory");
    return false;
  }
  if (!TakePicture(ImageHandle(SCREEN_IMAGE), picture)) {
    Fail(input, "the screen image cannot be read");
    return false;
  }
  return true;
}

int Run(int argc, char** argv) {
  const RenderArguments arguments = ParseRenderArguments(argc, argv);
  if (arguments.action == RenderArguments::Action::kHelp) {
    PrintHelp();
    return 0;
  }
  if (arguments.action == RenderArguments::Action::kUsage) {
    if (!arguments.unknownOption.empty()) {
      std::fprintf(stderr, "kelpie-render: unknown option %s\n", arguments.unknownOption.c_str());
    }
    std::fprintf(stderr, "%s\n", USAGE);
    return EXIT_USAGE;
  }
  const int32_t seamColourMode = arguments.seamColourMode;
  const std::string& input = arguments.input;
  const std::string& output = arguments.output;

  if (!CheckInput(input)) {
    return EXIT_FAILED;
  }
  const std::string refusal = OutputRefusal(input, output);
  if (!refusal.empty()) {
    Fail(output, refusal);
    return EXIT_FAILED;
  }
  PngPicture picture;
  if (!RenderFile(input, seamColourMode, &picture)) {
    return EXIT_FAILED;
  }
  std::vector<unsigned char> png;
  std::string error;
  if (!PngEncode(picture, &png, &error) || !ReplaceOutput(output, png, &error)) {
    Fail(output, error);
    return EXIT_FAILED;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("kelpie-render: out of memory\n", stderr);
    return EXIT_FAILED;
  }
}

#include "tools/kelpie-render/render_job.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
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
#include "tools/kelpie-render/output_file.h"
#include "tools/kelpie-render/picture.h"
#include "tools/kelpie-render/png_encode.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

namespace fs = std::filesystem;

namespace {

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
std::string InputRefusal(const std::string& input) {
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(input), error);
  if (error) {
    return error.message();
  }
  if (fs::is_directory(status)) {
    return "is a directory";
  }
  return fs::is_regular_file(status) ? "" : "not a regular file";
}

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

// The screen image's rows: a bottom-up 32-bit DIB section.
bool ReadImage(HBITMAP image, ImageRows* rows) {
  BITMAP info{};
  GdiFlush();
  if (GetObjectA(image, static_cast<int>(sizeof info), &info) == 0 || info.bmBits == nullptr ||
      info.bmBitsPixel != 32 || info.bmWidth != SCREEN_IMAGE_WIDTH ||
      info.bmHeight != SCREEN_IMAGE_HEIGHT) {
    return false;
  }
  const ptrdiff_t stride = info.bmWidthBytes / 4;
  rows->top = static_cast<const uint32_t*>(info.bmBits) + stride * (info.bmHeight - 1);
  rows->stride = -stride;
  return true;
}

// The rendered picture, or the reason why there is none.
std::string RenderFile(const RenderBuffers& buffers, const std::string& input,
                       const RenderOptions& options, PngPicture* picture) {
  if (!buffers.Complete() || ImageHandle(SCREEN_IMAGE) == nullptr) {
    return "out of memory";
  }
  std::fill(buffers.screen, buffers.screen + SCREEN_SIZE, 0);
  if (FileOpenRead(0, input.c_str()) == 0) {
    return OpenErrorText(GetLastError());
  }
  const bool read = ReadScreen(buffers.screen);
  const DWORD readError = GetLastError();
  FileClose(0);
  if (!read) {
    return ReadErrorText(readError);
  }
  // A library that could not start, a pass that could not begin or a brush
  // that could not be made leaves the picture incomplete without a result to
  // say so: the image must take a draw target, and the layer's last error
  // tells the rest.
  SetLastError(ERROR_SUCCESS);
  const bool drawable = ImageDrawTarget(SCREEN_IMAGE) != nullptr;
  RenderScreen(options.seamColourMode);
  const DWORD renderError = GetLastError();
  if (!drawable || renderError == ERROR_NOT_ENOUGH_MEMORY || renderError == ERROR_OUTOFMEMORY) {
    return "out of memory";
  }
  ImageRows rows{};
  if (!ReadImage(ImageHandle(SCREEN_IMAGE), &rows)) {
    return "the screen image cannot be read";
  }
  TakePicture(rows, GeometryFor(options), picture);
  return "";
}

std::string RenderChecked(const RenderBuffers& buffers, const RenderOptions& options,
                          const std::string& input, const std::string& output) {
  std::string refusal = InputRefusal(input);
  if (!refusal.empty()) {
    return input + ": " + refusal;
  }
  refusal = OutputRefusal(input, output);
  if (!refusal.empty()) {
    return output + ": " + refusal;
  }
  PngPicture picture;
  const std::string failure = RenderFile(buffers, input, options, &picture);
  if (!failure.empty()) {
    return input + ": " + failure;
  }
  std::vector<unsigned char> png;
  std::string error;
  if (!PngEncode(picture, &png, &error) || !ReplaceOutput(output, png, &error)) {
    return output + ": " + error;
  }
  return "";
}

}  // namespace

// The libraries it needs, in the toolkit's order; the buffers and the image
// once, for every file.
ScreenRenderer::ScreenRenderer() : heap_(HeapCreate(0, 4096, 0)) {
  RuntimeSetProgramHeap(heap_);
  StringLibraryInit();
  ListLibraryInit();
  DrawLibraryInit();
  FileLibraryInit();
  ImageLibraryInit();
  MemoryLibraryInit();
  buffers_ = RenderBuffersAllocate();
  RenderSetState(buffers_.State());
  ImageCreate(SCREEN_IMAGE, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT, 32);
}

ScreenRenderer::~ScreenRenderer() {
  MemoryLibraryEnd();
  ImageLibraryEnd();
  FileLibraryEnd();
  ListLibraryEnd();
  RuntimeSetProgramHeap(nullptr);
  if (heap_ != nullptr) {
    HeapDestroy(heap_);
  }
}

std::string ScreenRenderer::RenderToPng(const RenderOptions& options, const std::string& input,
                                        const std::string& output) {
  try {
    return RenderChecked(buffers_, options, input, output);
  } catch (const std::bad_alloc&) {
    return input + ": out of memory";
  }
}

// kelpie-render: renders a screen file to an 8-bit RGB PNG through the same
// toolkit as the viewer (start-up, file service, drawing, screen image).
//
// Exit codes: 0 written; 1 the input could not be read or the output could not
// be written (one line on stderr, no output left behind); 2 wrong arguments.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
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
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

// Debian's libstb-dev; only the in-memory writer is used.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace fs = std::filesystem;

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

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

// The rendered picture as rows of R, G, B bytes, or empty after a failure
// (already reported).
std::vector<unsigned char> RenderFile(const std::string& input, int32_t seamColourMode) {
  Toolkit toolkit;
  const RenderBuffers buffers = RenderBuffersAllocate();
  if (!buffers.Complete() ||
      ImageCreate(SCREEN_IMAGE, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT) == 0) {
    Fail(input, "out of memory");
    return {};
  }
  if (FileOpenRead(0, input.c_str()) == 0) {
    Fail(input, OpenErrorText(GetLastError()));
    return {};
  }
  // A short file leaves the rest of the zero-filled buffer as it is.
  FileReadData(0, buffers.screen, SCREEN_SIZE);

  RenderSetState(buffers.State());
  RenderScreen(seamColourMode);

  if (DrawBegin(ImageDrawTarget(SCREEN_IMAGE)) == nullptr) {
    Fail(input, "the screen image cannot be read");
    return {};
  }
  std::vector<unsigned char> rgb;
  rgb.reserve(static_cast<size_t>(SCREEN_IMAGE_WIDTH) * SCREEN_IMAGE_HEIGHT * 3);
  for (int32_t y = 0; y < SCREEN_IMAGE_HEIGHT; ++y) {
    for (int32_t x = 0; x < SCREEN_IMAGE_WIDTH; ++x) {
      const uint32_t colour = DrawReadPixel(x, y);  // 0x00BBGGRR
      rgb.push_back(static_cast<unsigned char>(colour & 0xFF));
      rgb.push_back(static_cast<unsigned char>((colour >> 8) & 0xFF));
      rgb.push_back(static_cast<unsigned char>((colour >> 16) & 0xFF));
    }
  }
  DrawEnd();
  return rgb;
}

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// Writes beside the output and renames into place, so that a failure never
// leaves a partial OUTPUT (nor the temporary file).
bool WriteOutput(const std::string& output, const std::vector<unsigned char>& rgb) {
  std::vector<unsigned char> png;
  if (stbi_write_png_to_func(AppendBytes, &png, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT, 3,
                             rgb.data(), SCREEN_IMAGE_WIDTH * 3) == 0) {
    Fail(output, "the PNG could not be encoded");
    return false;
  }
  const fs::path target(output);
  if (!target.has_filename()) {
    Fail(output, "is not a file name");
    return false;
  }
  const fs::path temp = target.parent_path() / ("." + target.filename().string() + "." +
                                                std::to_string(GetCurrentProcessId()) + ".tmp");

  errno = 0;
  std::FILE* file = std::fopen(temp.string().c_str(), "wb");
  if (file == nullptr) {
    Fail(output, ErrnoText(errno));
    return false;
  }
  int error = 0;
  if (std::fwrite(png.data(), 1, png.size(), file) != png.size()) {
    error = errno;
  }
  if (std::fflush(file) != 0 && error == 0) {
    error = errno;
  }
  if (std::fclose(file) != 0 && error == 0) {
    error = errno;
  }
  if (error != 0) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    Fail(output, ErrnoText(error));
    return false;
  }
  std::error_code renameError;
  fs::rename(temp, target, renameError);
  if (renameError) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    Fail(output, renameError.message());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
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
  const std::vector<unsigned char> rgb = RenderFile(input, seamColourMode);
  if (rgb.empty()) {
    return EXIT_FAILED;
  }
  if (!WriteOutput(output, rgb)) {
    return EXIT_FAILED;
  }
  return 0;
}

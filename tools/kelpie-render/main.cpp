// kelpie-render: renders screen files to indexed PNGs through the same toolkit
// as the viewer (start-up, file service, drawing, screen image).
//
// Exit codes: 0 written; 1 an input could not be read or an output could not
// (or must not) be written: one line each on stderr, that file not changed;
// 2 wrong arguments.
#include <cstdio>
#include <new>
#include <string>

#include "tools/kelpie-render/arguments.h"
#include "tools/kelpie-render/batch.h"
#include "tools/kelpie-render/render_job.h"

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

constexpr const char* USAGE =
    "usage: kelpie-render [OPTIONS] INPUT OUTPUT.png\n"
    "       kelpie-render [OPTIONS] --out-dir DIR INPUT... (- reads names from stdin)";

void PrintHelp() {
  std::printf(
      "%s\n\n"
      "Renders the first 6912 bytes of INPUT as a ZX Spectrum screen, three times\n"
      "enlarged (768x576), with attribute-seam marks, and writes it as a PNG.\n"
      "A shorter INPUT leaves the rest of the screen zero.\n\n"
      "  --out-dir DIR  render every INPUT to DIR/NAME.png, on every core; \"-\"\n"
      "                 reads further inputs from standard input, one a line\n"
      "  --scale N      each Spectrum pixel N x N pixels (1 to 8, default 3)\n"
      "  --size N       fit the picture in N x N pixels (thumbnails)\n"
      "  --white-seams  draw the seam marks white instead of darkened\n"
      "  --no-seams     draw no seam marks (nor below 2 pixels per Spectrum pixel)\n"
      "  --help         show this text\n\n"
      "Exit status: 0 written, 1 an input or output failed, 2 wrong arguments.\n",
      USAGE);
}

int Run(int argc, char** argv) {
  const RenderArguments arguments = ParseRenderArguments(argc, argv);
  switch (arguments.action) {
    case RenderArguments::Action::kHelp:
      PrintHelp();
      return 0;
    case RenderArguments::Action::kUsage:
      if (!arguments.problem.empty()) {
        std::fprintf(stderr, "kelpie-render: %s\n", arguments.problem.c_str());
      }
      std::fprintf(stderr, "%s\n", USAGE);
      return EXIT_USAGE;
    case RenderArguments::Action::kBatch:
      return RunBatch(arguments);
    case RenderArguments::Action::kRender:
      break;
  }
  ScreenRenderer renderer;
  const std::string failure =
      renderer.RenderToPng(arguments.options, arguments.inputs.front(), arguments.output);
  if (!failure.empty()) {
    std::fprintf(stderr, "kelpie-render: %s\n", failure.c_str());
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

// kelpie-render's command line, apart from the program so that it can be
// checked on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t SCALE_DEFAULT = 3;  // the viewer's picture, 768x576
constexpr int32_t SCALE_MAX = 8;
constexpr int32_t SIZE_MAX_SIDE = 16384;

// How each picture is drawn.
struct RenderOptions {
  int32_t seamColourMode = 0;  // 1 with --white-seams
  bool seams = true;           // false with --no-seams
  int32_t scale = SCALE_DEFAULT;
  int32_t size = 0;  // --size: the largest side; 0 when --scale decides
};

struct RenderArguments {
  enum class Action { kRender, kBatch, kHelp, kUsage };
  Action action = Action::kUsage;
  RenderOptions options;
  std::vector<std::string> inputs;  // kRender: one; kBatch: those listed
  std::string output;               // kRender
  std::string outDir;               // kBatch
  bool inputsFromStdin = false;     // kBatch: "-" listed, names follow one a line
  std::string problem;              // kUsage: what was wrong, if more than the count
};

// Options come before "--"; after it every argument is a path. --scale, --size
// and --out-dir take the next argument as their value. Without --out-dir there
// must be INPUT and OUTPUT (a lone "-" is a path); with it, at least one input,
// where a lone "-" before "--" means the names on standard input. The first
// --help wins over anything that follows it.
RenderArguments ParseRenderArguments(int argc, const char* const* argv);

#include "tools/kelpie-render/arguments.h"

namespace {

// A decimal number from `lowest` to `highest`, nothing else; -1 otherwise.
int32_t Number(const std::string& text, int32_t lowest, int32_t highest) {
  if (text.empty() || text.size() > 6) {
    return -1;
  }
  int32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return -1;
    }
    value = value * 10 + (c - '0');
  }
  return value >= lowest && value <= highest ? value : -1;
}

RenderArguments Usage(const std::string& problem) {
  RenderArguments usage;
  usage.problem = problem;
  return usage;
}

}  // namespace

RenderArguments ParseRenderArguments(int argc, const char* const* argv) {
  RenderArguments parsed;
  std::vector<std::string> paths;
  std::vector<bool> stdinMarks;  // per path: a "-" before "--"
  bool optionsEnded = false;
  bool batch = false;
  bool scaleGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      paths.push_back(arg);
      stdinMarks.push_back(!optionsEnded && arg == "-");
      continue;
    }
    if (arg == "--help") {
      parsed = {};
      parsed.action = RenderArguments::Action::kHelp;
      return parsed;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--white-seams") {
      parsed.options.seamColourMode = 1;
    } else if (arg == "--no-seams") {
      parsed.options.seams = false;
    } else if (arg == "--scale" || arg == "--size" || arg == "--out-dir") {
      if (i + 1 == argc) {
        return Usage(arg + " needs a value");
      }
      const std::string value = argv[++i];
      if (arg == "--out-dir") {
        batch = true;
        parsed.outDir = value;
      } else if (arg == "--scale") {
        scaleGiven = true;
        parsed.options.scale = Number(value, 1, SCALE_MAX);
        if (parsed.options.scale < 0) {
          return Usage("--scale takes 1 to " + std::to_string(SCALE_MAX));
        }
      } else {
        parsed.options.size = Number(value, 1, SIZE_MAX_SIDE);
        if (parsed.options.size < 0) {
          return Usage("--size takes 1 to " + std::to_string(SIZE_MAX_SIDE));
        }
      }
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (scaleGiven && parsed.options.size > 0) {
    return Usage("--scale and --size exclude each other");
  }
  if (batch) {
    if (parsed.outDir.empty() || paths.empty()) {
      return Usage(parsed.outDir.empty() ? "--out-dir needs a folder" : "");
    }
    parsed.action = RenderArguments::Action::kBatch;
    for (size_t i = 0; i < paths.size(); ++i) {
      if (stdinMarks[i]) {
        parsed.inputsFromStdin = true;
      } else {
        parsed.inputs.push_back(paths[i]);
      }
    }
    return parsed;
  }
  if (paths.size() == 2) {
    parsed.action = RenderArguments::Action::kRender;
    parsed.inputs = {paths[0]};
    parsed.output = paths[1];
    return parsed;
  }
  return Usage("");
}

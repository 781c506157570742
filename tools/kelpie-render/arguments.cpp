#include "tools/kelpie-render/arguments.h"

#include <vector>

RenderArguments ParseRenderArguments(int argc, const char* const* argv) {
  RenderArguments parsed;
  std::vector<std::string> paths;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded && arg == "--help") {
      parsed.action = RenderArguments::Action::kHelp;
      return parsed;
    }
    if (!optionsEnded && arg == "--white-seams") {
      parsed.seamColourMode = 1;
    } else if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      parsed.unknownOption = arg;
      return parsed;
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() == 2) {
    parsed.action = RenderArguments::Action::kRender;
    parsed.input = paths[0];
    parsed.output = paths[1];
  }
  return parsed;
}

// kelpie-render's command line: any argument list (the input's zero-separated
// texts) is either help, a usage error, or a render of two paths that were
// given, in order, with the seam mode of the options before "--".
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tools/kelpie-render/arguments.h"

namespace {

void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  std::vector<std::string> args{"kelpie-render"};
  while (!in.Empty() && args.size() < 8) {
    args.push_back(in.Text(64));
  }
  std::vector<const char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) {
    argv.push_back(arg.c_str());
  }
  argv.push_back(nullptr);
  const RenderArguments parsed = ParseRenderArguments(static_cast<int>(args.size()), argv.data());

  // The options are what comes before the first "--"; the first of them that
  // is --help or unknown decides, otherwise every other argument is a path.
  size_t end = 1;
  while (end < args.size() && args[end] != "--") {
    ++end;
  }
  bool white = false;
  std::vector<std::string> paths;
  for (size_t i = 1; i < args.size(); ++i) {
    const bool option = i < end && IsOption(args[i]);
    if (option && args[i] == "--help") {
      Check(parsed.action == RenderArguments::Action::kHelp);
      return 0;
    }
    if (option && args[i] != "--white-seams") {
      Check(parsed.action == RenderArguments::Action::kUsage && parsed.unknownOption == args[i]);
      return 0;
    }
    white = white || option;
    if (!option && i != end) {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) {
    Check(parsed.action == RenderArguments::Action::kUsage && parsed.unknownOption.empty());
    return 0;
  }
  Check(parsed.action == RenderArguments::Action::kRender && parsed.input == paths[0] &&
        parsed.output == paths[1] && parsed.seamColourMode == (white ? 1 : 0));
  return 0;
}

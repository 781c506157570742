// kelpie-render's command line: any argument list (the input's zero-separated
// texts) is help, a usage error, a render of two paths or a batch of inputs,
// exactly as a plain model of the grammar says.
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

// The value of --scale or --size, or -1: plain decimal digits in range.
int Value(const std::string& text, int highest) {
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  const int value = std::atoi(text.c_str());
  return value >= 1 && value <= highest ? value : -1;
}

void CheckUsage(const RenderArguments& parsed) {
  Check(parsed.action == RenderArguments::Action::kUsage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  std::vector<std::string> args{"kelpie-render"};
  while (!in.Empty() && args.size() < 10) {
    args.push_back(in.Text(64));
  }
  std::vector<const char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) {
    argv.push_back(arg.c_str());
  }
  argv.push_back(nullptr);
  const RenderArguments parsed = ParseRenderArguments(static_cast<int>(args.size()), argv.data());

  RenderOptions want;
  std::vector<std::string> positional;  // in order, "-" included
  std::vector<std::string> paths;       // without the "-" that mean stdin
  std::string outDir;
  bool batch = false;
  bool stdinMarked = false;
  bool scaleGiven = false;
  bool ended = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (ended || !IsOption(arg)) {
      positional.push_back(arg);
      if (!ended && arg == "-") {
        stdinMarked = true;
      } else {
        paths.push_back(arg);
      }
      continue;
    }
    if (arg == "--help") {
      Check(parsed.action == RenderArguments::Action::kHelp);
      return 0;
    }
    if (arg == "--") {
      ended = true;
    } else if (arg == "--white-seams") {
      want.seamColourMode = 1;
    } else if (arg == "--no-seams") {
      want.seams = false;
    } else if (arg == "--scale" || arg == "--size" || arg == "--out-dir") {
      if (i + 1 == args.size()) {
        CheckUsage(parsed);
        return 0;
      }
      const std::string& value = args[++i];
      if (arg == "--out-dir") {
        batch = true;
        outDir = value;
      } else if (arg == "--scale") {
        scaleGiven = true;
        want.scale = Value(value, SCALE_MAX);
      } else {
        want.size = Value(value, SIZE_MAX_SIDE);
      }
      if (want.scale < 0 || want.size < 0) {
        CheckUsage(parsed);
        return 0;
      }
    } else {
      CheckUsage(parsed);
      Check(parsed.problem == "unknown option " + arg);
      return 0;
    }
  }
  const RenderOptions& got = parsed.options;
  const bool optionsAsWanted = got.seamColourMode == want.seamColourMode &&
                               got.seams == want.seams && got.scale == want.scale &&
                               got.size == want.size;
  const bool conflicting = scaleGiven && want.size > 0;  // --scale and --size together
  const bool batchComplete = batch && !outDir.empty() && (!paths.empty() || stdinMarked);
  if (!conflicting && batchComplete) {
    Check(parsed.action == RenderArguments::Action::kBatch && optionsAsWanted &&
          parsed.outDir == outDir && parsed.inputs == paths &&
          parsed.inputsFromStdin == stdinMarked);
  } else if (!conflicting && !batch && positional.size() == 2) {
    // Outside a batch "-" is a path like any other.
    Check(parsed.action == RenderArguments::Action::kRender && optionsAsWanted &&
          parsed.inputs == std::vector<std::string>{positional[0]} &&
          parsed.output == positional[1]);
  } else {
    CheckUsage(parsed);
  }
  return 0;
}

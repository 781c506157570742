// kelpie-render's command line, apart from the program so that it can be
// checked on its own.
#pragma once

#include <cstdint>
#include <string>

struct RenderArguments {
  enum class Action { kRender, kHelp, kUsage };
  Action action = Action::kUsage;
  int32_t seamColourMode = 0;  // 1 with --white-seams
  std::string input;           // kRender only
  std::string output;
  std::string unknownOption;  // kUsage: the option not understood, if that was the fault
};

// Options come before "--"; after it, or for a lone "-", every argument is a
// path. The first --help wins over anything that follows it.
RenderArguments ParseRenderArguments(int argc, const char* const* argv);

// Compiled into each program that links kelpie_headless (tests, tools,
// benchmarks, fuzzers): the program starts on the headless display.

#include "platform/posix/headless.h"

namespace {

const bool kHeadlessInstalled = [] {
  DisplayUse(&HeadlessDisplay());
  return true;
}();

}  // namespace

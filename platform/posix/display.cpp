// The display in use and the layer's defaults for what it leaves out.

#include "platform/posix/display.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

struct InUse {
  const DisplayOperations* table = nullptr;
  bool tried = false;  // opened (or failed to) since the table was installed
  bool open = false;
};

InUse& TheInUse() {
  static InUse inUse;
  return inUse;
}

}  // namespace

void DisplayUse(const DisplayOperations* display) { TheInUse() = InUse{display}; }

const DisplayOperations& DisplayInUse() {
  static constexpr DisplayOperations kNone{};
  const DisplayOperations* table = TheInUse().table;
  return table != nullptr ? *table : kNone;
}

bool DisplayOpen() {
  InUse& s = TheInUse();
  if (!s.tried) {
    s.tried = true;
    const auto open = DisplayInUse().open;
    s.open = open != nullptr && open();
    if (!s.open) {
      std::fprintf(stderr, "kelpie: no display could be opened\n");
    }
  }
  return s.open;
}

bool DisplayWaitWithoutDisplay(DWORD milliseconds, const char* waiter) {
  if (milliseconds == INFINITE) {
    std::fprintf(stderr, "kelpie: %s would wait for ever: no display reports anything\n", waiter);
    std::abort();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return false;
}

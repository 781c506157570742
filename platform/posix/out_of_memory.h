// How our Win32 calls run out of memory: they never let std::bad_alloc out,
// but end with their documented failure result and ERROR_NOT_ENOUGH_MEMORY,
// as Win32 does. Each call wraps the part of its work that allocates through
// the C++ library, at the point where giving up still leaves its state whole.
#pragma once

#include <new>
#include <utility>

#include "platform/posix/kernel.h"

// work() or, when an allocation inside it fails, `failure`. Other exceptions
// pass (a test's blocked hook throws out of a waiting call).
template <typename Result, typename Work>
Result OrOutOfMemory(Result failure, Work&& work) {
  try {
    return std::forward<Work>(work)();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return failure;
  }
}

// True when `work` (which returns nothing) ran to its end.
template <typename Work>
bool Allocated(Work&& work) {
  return OrOutOfMemory(false, [&] {
    std::forward<Work>(work)();
    return true;
  });
}

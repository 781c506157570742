// Starts the toolkit services a test needs, once per process: natively every
// test runs in a process of its own, under Wine a whole suite shares one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/win32.h"
#include "toolkit/base/list.h"
#include "toolkit/base/memory.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/string.h"

inline void StartBaseServices() {
  if (ProgramHeap() == nullptr) {
    RuntimeSetModuleHandle(GetModuleHandleA(nullptr));
    RuntimeSetProgramHeap(HeapCreate(0, 4096, 0));
  }
  StringLibraryInit();
  ListLibraryInit();
  MemoryLibraryInit();
}

// Runs a string-valued operation and takes its result as a caller does; the
// scratch area must be back where it was.
template <typename Operation>
std::string TakeResult(Operation operation) {
  const intptr_t start = ScratchPosition();
  operation(start);
  char* value = nullptr;
  StringAssignResult(&value, start);
  EXPECT_EQ(ScratchPosition(), start);
  std::string result = value != nullptr ? value : "<null>";
  StringAssign(&value, nullptr);
  return result;
}

// Registers a window class with the default procedure for a test's plain
// windows; registering it again later fails harmlessly.
inline void RegisterPlainClass(const char* name) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

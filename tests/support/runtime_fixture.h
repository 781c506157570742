// Starts the toolkit services a test needs, once per process: natively every
// test runs in a process of its own, under Wine a whole suite shares one.
#pragma once

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

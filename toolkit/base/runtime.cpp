#include "toolkit/base/runtime.h"

namespace {
HANDLE programHeap = nullptr;
HMODULE moduleHandle = nullptr;
}  // namespace

void RuntimeSetProgramHeap(HANDLE heap) { programHeap = heap; }
HANDLE ProgramHeap() { return programHeap; }
void RuntimeSetModuleHandle(HMODULE module) { moduleHandle = module; }
HMODULE ProgramModuleHandle() { return moduleHandle; }

void* ProgramAllocate(size_t size) {
  if (programHeap == nullptr) {
    return nullptr;
  }
  return HeapAlloc(programHeap, HEAP_ZERO_MEMORY, size);
}

void ProgramFree(void* block) {
  if (programHeap != nullptr && block != nullptr) {
    HeapFree(programHeap, 0, block);
  }
}

#include "toolkit/base/memory.h"

#include "platform/win32.h"
#include "toolkit/base/runtime.h"

namespace {
HANDLE memoryHeap = nullptr;

ArrayHeader* HeaderOf(void* element0) { return static_cast<ArrayHeader*>(element0) - 1; }
}  // namespace

void MemoryLibraryInit() {
  if (memoryHeap == nullptr) {
    memoryHeap = HeapCreate(0, 4096, 0);
  }
}

// MemoryAllocate blocks and their heap live until the process ends.
void MemoryLibraryEnd() {}

void* ServiceStateCreate(size_t size, ServiceStateInit initialiser) {
  void* block = ProgramAllocate(size);
  if (block != nullptr && initialiser != nullptr) {
    initialiser(block);
  }
  return block;
}

void* MemoryAllocate(int32_t size) {
  if (size <= 0 || memoryHeap == nullptr) {
    return nullptr;
  }
  return HeapAlloc(memoryHeap, HEAP_ZERO_MEMORY, static_cast<size_t>(size));
}

void ArrayAllocate(int32_t upperIndex, int32_t elementSize, int32_t secondTypeWord, void** variable,
                   int32_t typeCode) {
  *variable = nullptr;
  if (upperIndex < 0 || elementSize <= 0) {
    return;
  }
  const size_t count = static_cast<size_t>(upperIndex) + 1;
  const size_t size = static_cast<size_t>(elementSize);
  if (count > (SIZE_MAX - sizeof(ArrayHeader)) / size) {
    return;
  }
  auto* header = static_cast<ArrayHeader*>(ProgramAllocate(sizeof(ArrayHeader) + count * size));
  if (header == nullptr) {
    return;
  }
  *header = {1, elementSize, secondTypeWord, variable, upperIndex, typeCode};
  *variable = header + 1;
}

void ArrayFree(void* element0) {
  if (element0 != nullptr) {
    ProgramFree(HeaderOf(element0));
  }
}

const ArrayHeader* ArrayHeaderOf(const void* element0) {
  return static_cast<const ArrayHeader*>(element0) - 1;
}

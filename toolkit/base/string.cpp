#include "toolkit/base/string.h"

#include <cstring>

#include "platform/win32.h"

namespace {

constexpr intptr_t kInitialScratch = 16;
// A string block holds its text, a terminating zero and a little slack.
constexpr size_t kBlockSlack = 5;

HANDLE stringHeap = nullptr;
char* scratch = nullptr;
intptr_t scratchCapacity = 0;
intptr_t scratchPosition = 0;

// Stores `length` bytes of `text` and a zero in a fresh block for the variable,
// then frees the old one (the text may lie inside it). When no block can be
// had the variable keeps what it held.
void StoreText(char** variable, const char* text, size_t length) {
  if (stringHeap == nullptr) {
    return;
  }
  auto* block = static_cast<char*>(HeapAlloc(stringHeap, HEAP_NO_SERIALIZE, length + kBlockSlack));
  if (block == nullptr) {
    return;
  }
  std::memcpy(block, text, length);
  block[length] = '\0';
  if (*variable != nullptr) {
    HeapFree(stringHeap, HEAP_NO_SERIALIZE, *variable);
  }
  *variable = block;
}

}  // namespace

void StringLibraryInit() {
  if (stringHeap != nullptr) {
    return;
  }
  stringHeap = HeapCreate(HEAP_NO_SERIALIZE, 4096, 0);
  if (stringHeap == nullptr) {
    return;
  }
  scratch = static_cast<char*>(HeapAlloc(stringHeap, HEAP_NO_SERIALIZE, kInitialScratch));
  scratchCapacity = scratch != nullptr ? kInitialScratch : 0;
  scratchPosition = 0;
}

void StringAssign(char** variable, const char* text) {
  if (text == nullptr) {
    if (*variable != nullptr && stringHeap != nullptr) {
      HeapFree(stringHeap, HEAP_NO_SERIALIZE, *variable);
    }
    *variable = nullptr;
    return;
  }
  StoreText(variable, text, std::strlen(text));
}

void StringAssignResult(char** variable, intptr_t start) {
  if (scratch == nullptr || start < 0 || start > scratchPosition) {
    return;
  }
  StoreText(variable, scratch + start, static_cast<size_t>(scratchPosition - start));
  scratchPosition = start;
}

int32_t StringEqual(const char* a, const char* b) {
  return std::strcmp(a != nullptr ? a : "", b != nullptr ? b : "") == 0 ? 1 : 0;
}

intptr_t ScratchPosition() { return scratchPosition; }

char* ScratchReserve(intptr_t size, intptr_t start) {
  if (scratch == nullptr || size < 0 || start < 0 || start > scratchPosition) {
    return nullptr;
  }
  if (scratchPosition + size >= scratchCapacity - 4) {
    const intptr_t capacity = scratchPosition + size + 16384;
    void* grown = HeapReAlloc(stringHeap, HEAP_NO_SERIALIZE, scratch,
                              static_cast<size_t>(capacity) + kBlockSlack);
    if (grown == nullptr) {
      return nullptr;
    }
    scratch = static_cast<char*>(grown);
    scratchCapacity = capacity;
  }
  scratchPosition = start + size;
  return scratch + start;
}

void ScratchGiveBack(intptr_t count) {
  if (count > 0) {
    scratchPosition -= count < scratchPosition ? count : scratchPosition;
  }
}

// Service state blocks, zero-filled memory blocks, signed byte reads, arrays.
#pragma once

#include <cstddef>
#include <cstdint>

void MemoryLibraryInit();
void MemoryLibraryEnd();

// A zero-filled block of `size` bytes from the program heap, handed to the
// initialiser (when given) once; null when memory runs out.
using ServiceStateInit = void (*)(void* block);
void* ServiceStateCreate(size_t size, ServiceStateInit initialiser);
inline void* ServiceState(void* block) { return block; }

// Zero-filled block from the memory heap; 0 for size <= 0 or when memory runs
// out. Blocks live until the process ends.
void* MemoryAllocate(int32_t size);

inline int32_t PeekByte(const void* address) {
  return static_cast<int8_t>(*static_cast<const uint8_t*>(address));
}

// Elements 0..upperIndex, zero-filled, from the program heap, behind a header
// of six words. `*variable` receives the address of element 0, or null.
void ArrayAllocate(int32_t upperIndex, int32_t elementSize, int32_t secondTypeWord, void** variable,
                   int32_t typeCode);
void ArrayFree(void* element0);

// Array header words, for the array's other users.
struct ArrayHeader {
  int32_t one;
  int32_t elementSize;
  int32_t secondTypeWord;
  void** variable;
  int32_t upperIndex;
  int32_t typeCode;
};
const ArrayHeader* ArrayHeaderOf(const void* element0);

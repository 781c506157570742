// Test hooks of our Win32 subset. Only tests include this; the product never
// calls it and real Win32 has no counterpart.
#pragma once

#include <cstddef>
#include <cstdint>

// Make the Nth heap allocation from now on (1 = the next one) fail, as
// HeapAlloc/HeapReAlloc/HeapCreate do when memory runs out, with
// ERROR_NOT_ENOUGH_MEMORY. Every call of those three counts, except calls
// refused for a bad heap or block. The hook fires once; 0 disarms it.
void PosixHeapFailAllocation(uint64_t nth);

// What the layer holds alive right now, for tests that check a long run
// leaves nothing behind: GDI objects (DCs included, stock objects once made),
// windows, open file handles, and blocks of every heap.
size_t PosixLiveGdiObjects();
size_t PosixLiveWindows();
size_t PosixOpenFileHandles();
size_t PosixLiveHeapBlocks();

// The allocating calls of our heaps so far, counted as the hook counts them.
uint64_t PosixHeapAllocationCount();

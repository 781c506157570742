// Test hooks of our Win32 subset. Only tests include this; the product never
// calls it and real Win32 has no counterpart.
#pragma once

#include <cstdint>

// Make the Nth heap allocation from now on (1 = the next one) fail, as
// HeapAlloc/HeapReAlloc/HeapCreate do when memory runs out. 0 disarms the hook.
void PosixHeapFailAllocation(uint64_t nth);

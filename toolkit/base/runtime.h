// Process-wide facts that the entry routine sets before any library starts:
// the program heap and the module handle.
#pragma once

#include "platform/win32.h"

void RuntimeSetProgramHeap(HANDLE heap);
HANDLE ProgramHeap();
void RuntimeSetModuleHandle(HMODULE module);
HMODULE ProgramModuleHandle();

// Zero-filled block from the program heap, or null.
void* ProgramAllocate(size_t size);
void ProgramFree(void* block);

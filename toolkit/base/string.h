// String values: null or a string-heap block holding 8-bit text and a zero.
// String-valued operations build their result in the scratch area and the
// caller copies it out with StringAssignResult.
#pragma once

#include <cstddef>
#include <cstdint>

void StringLibraryInit();

// `text` null frees the variable's block and leaves null. A string that cannot
// be had leaves the variable unchanged.
void StringAssign(char** variable, const char* text);
// Copies the text from `start` to the scratch position into the variable and
// moves the scratch position back to `start`.
void StringAssignResult(char** variable, intptr_t start);
// 1 when equal (null counts as ""), else 0; exact and case-sensitive.
int32_t StringEqual(const char* a, const char* b);

// Scratch area for string-valued operations: reserve room from `start`, write,
// give back what was not used, then write a terminating zero.
intptr_t ScratchPosition();
char* ScratchReserve(intptr_t size, intptr_t start);
void ScratchGiveBack(intptr_t count);

// The file service: open files under object numbers, read through a 4096-byte
// read-ahead buffer.
#pragma once

#include <cstdint>

#include "platform/win32.h"

constexpr int32_t FILE_MODE_READ = 1;        // existing file, read only
constexpr int32_t FILE_MODE_READ_WRITE = 2;  // opened or made, read and write
constexpr int32_t FILE_MODE_CREATE = 3;      // made anew or truncated

constexpr int32_t FILE_BUFFER_SIZE = 4096;

void FileLibraryInit();
void FileLibraryEnd();

// For a number >= 0 the platform handle, for OBJECT_ANY the new dynamic number;
// 0 on failure. Whatever was open under the number is closed first.
intptr_t FileOpen(int32_t mode, intptr_t number, const char* path);
inline intptr_t FileOpenRead(intptr_t number, const char* path) {
  return FileOpen(FILE_MODE_READ, number, path);
}
// The count of bytes stored into memory (short at the end of the file, 0 for a
// number that is not open).
int32_t FileReadData(intptr_t number, void* memory, int32_t length);
void FileClose(intptr_t number);

#include "toolkit/io/file.h"

#include <cstring>

#include "toolkit/base/object.h"
#include "toolkit/base/runtime.h"

namespace {

struct FileRecord {
  HANDLE handle;  // first: 0 marks a free slot
  unsigned char* buffer;
  int32_t bufferSize;
  int32_t bytesLeft;  // reading: unread bytes; writing: free room
  int32_t fillCount;  // bytes the last refill placed at the buffer's start
  int32_t readState;  // 1: read-ahead (or nothing); 0: bytes wait to be written
};

ObjectTable* fileTable = nullptr;

struct OpenParameters {
  DWORD access;
  DWORD disposition;
};

OpenParameters ParametersFor(int32_t mode) {
  switch (mode) {
    case FILE_MODE_READ_WRITE:
      return {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS};
    case FILE_MODE_CREATE:
      return {GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS};
    default:
      return {GENERIC_READ, OPEN_EXISTING};
  }
}

HANDLE OpenPlatformFile(int32_t mode, const char* path) {
  const OpenParameters p = ParametersFor(mode);
  HANDLE handle = CreateFileA(path, p.access, FILE_SHARE_READ, nullptr, p.disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE && mode == FILE_MODE_CREATE) {
    handle =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0, nullptr);
  }
  return handle;
}

// Platform read of up to `length` bytes; the count it reports is what counts.
int32_t ReadPlatform(HANDLE handle, void* memory, int32_t length) {
  DWORD got = 0;
  ReadFile(handle, memory, static_cast<DWORD>(length), &got, nullptr);
  return got <= static_cast<DWORD>(length) ? static_cast<int32_t>(got) : length;
}

// Writes the bytes waiting in a record that is writing; the count written.
int32_t FileFlush(FileRecord* record) {
  if (record->readState != 0) {
    return 0;
  }
  DWORD written = 0;
  WriteFile(record->handle, record->buffer,
            static_cast<DWORD>(record->bufferSize - record->bytesLeft), &written, nullptr);
  record->bytesLeft = record->bufferSize;
  return static_cast<int32_t>(written);
}

int32_t ReadBuffered(FileRecord* record, unsigned char* memory, int32_t length) {
  if (record->readState == 0) {
    FileFlush(record);
    record->readState = 1;
    record->bytesLeft = 0;
  }
  const int32_t left = record->bytesLeft;
  const unsigned char* next = record->buffer + (record->fillCount - left);
  if (left >= length) {
    std::memcpy(memory, next, static_cast<size_t>(length));
    record->bytesLeft -= length;
    return length;
  }
  std::memcpy(memory, next, static_cast<size_t>(left));
  const int32_t rest = length - left;
  if (rest >= record->bufferSize) {
    record->bytesLeft = 0;
    return left + ReadPlatform(record->handle, memory + left, rest);
  }
  const int32_t got = ReadPlatform(record->handle, record->buffer, record->bufferSize);
  record->fillCount = got;
  const int32_t take = rest < got ? rest : got;
  std::memcpy(memory + left, record->buffer, static_cast<size_t>(take));
  record->bytesLeft = got - take;
  return left + take;
}

}  // namespace

void FileLibraryInit() {
  if (fileTable == nullptr) {
    fileTable = ObjectTableCreate(sizeof(FileRecord), 16, FileClose);
  }
}

void FileLibraryEnd() { ObjectFreeAll(fileTable); }

intptr_t FileOpen(int32_t mode, intptr_t number, const char* path) {
  auto* record = static_cast<FileRecord*>(ObjectSlot(fileTable, number));
  if (record == nullptr || path == nullptr) {
    return 0;
  }
  HANDLE handle = OpenPlatformFile(mode, path);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    if (number == OBJECT_ANY) {
      ObjectFree(fileTable, reinterpret_cast<intptr_t>(record));
    }
    return 0;
  }
  record->handle = handle;
  record->buffer = static_cast<unsigned char*>(HeapAlloc(ProgramHeap(), 0, FILE_BUFFER_SIZE));
  record->bufferSize = FILE_BUFFER_SIZE;
  record->bytesLeft = 0;
  record->fillCount = 0;
  record->readState = 1;
  return number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record)
                              : reinterpret_cast<intptr_t>(handle);
}

int32_t FileReadData(intptr_t number, void* memory, int32_t length) {
  auto* record = static_cast<FileRecord*>(ObjectLookup(fileTable, number));
  if (record == nullptr || memory == nullptr || length <= 0) {
    return 0;
  }
  if (record->buffer == nullptr) {
    return ReadPlatform(record->handle, memory, length);
  }
  return ReadBuffered(record, static_cast<unsigned char*>(memory), length);
}

void FileClose(intptr_t number) {
  if (number == OBJECT_ANY) {
    return;
  }
  auto* record = static_cast<FileRecord*>(ObjectLookup(fileTable, number));
  if (record == nullptr) {
    return;
  }
  if (record->buffer != nullptr) {
    FileFlush(record);
    HeapFree(ProgramHeap(), 0, record->buffer);
  }
  CloseHandle(record->handle);
  ObjectFree(fileTable, number);
}

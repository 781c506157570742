// Kernel part of our Win32 subset over POSIX.
//
// Heaps sit on malloc and keep a table of their blocks, so that a block can be
// checked before it is touched and HeapDestroy can free everything at once.
// File handles are pointers to our own records, checked against the handle
// table before use; share modes are enforced among this process's handles.

#include "platform/posix/kernel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/posix/out_of_memory.h"
#include "platform/posix/testing.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// ---------------------------------------------------------------------------
// Heaps

// Larger requests fail before they reach malloc: nothing here needs them, and
// the sanitizer allocators abort on them instead of returning null.
constexpr SIZE_T kLargestBlock =
    sizeof(void*) >= 8 ? (static_cast<SIZE_T>(1) << 40) : static_cast<SIZE_T>(0x7FFF0000);

struct Heap {
  std::unordered_map<void*, SIZE_T> blocks;  // address -> size the caller asked for
  bool process = false;
};

struct HeapRegistry {
  std::mutex lock;
  std::unordered_set<Heap*> heaps;
  Heap* processHeap = nullptr;
  uint64_t failCountdown = 0;  // PosixHeapFailAllocation; 0 = disarmed
  uint64_t allocations = 0;    // PosixHeapAllocationCount
};

// Never destroyed: heaps that are never destroyed keep their blocks reachable
// to the end of the process (no leak reports for them at exit).
HeapRegistry& Heaps() {
  static HeapRegistry* registry = new HeapRegistry;
  return *registry;
}

// One allocating call; true when the test hook says this one fails.
bool AllocationFails(HeapRegistry& registry) {
  ++registry.allocations;
  if (registry.failCountdown == 0) {
    return false;
  }
  return --registry.failCountdown == 0;
}

LPVOID OutOfMemory() {
  lastError = ERROR_NOT_ENOUGH_MEMORY;
  return nullptr;
}

// Enters a fresh allocation in the heap's table; when the table cannot grow,
// the allocation goes back and the call fails for want of memory.
LPVOID Track(Heap& heap, void* block, SIZE_T bytes) {
  if (block == nullptr) {
    return OutOfMemory();
  }
  try {
    heap.blocks.emplace(block, bytes);
  } catch (const std::bad_alloc&) {
    std::free(block);
    return OutOfMemory();
  }
  return block;
}

// ---------------------------------------------------------------------------
// Files

struct FileKey {
  dev_t device;
  ino_t inode;
  bool operator<(const FileKey& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
};

struct FileRecord {
  int fd = -1;
  DWORD access = 0;
  DWORD share = 0;
  FileKey key{};
  FileRecord() = default;
  FileRecord(const FileRecord&) = delete;
  FileRecord& operator=(const FileRecord&) = delete;
  ~FileRecord() {
    if (fd >= 0) {
      close(fd);
    }
  }
};

struct FileTable {
  std::mutex lock;
  // Keyed by the handle value. A read in progress holds its own reference, so
  // closing the handle meanwhile never pulls the descriptor from under it.
  std::unordered_map<const FileRecord*, std::shared_ptr<FileRecord>> handles;
  std::map<FileKey, std::vector<const FileRecord*>> openFiles;
};

FileTable& Files() {
  static FileTable* table = new FileTable;
  return *table;
}

constexpr DWORD kDataAccess = GENERIC_READ | GENERIC_WRITE;

// Win32's rule: each side's access must be allowed by the other side's share
// mode. A handle without data access takes no part.
bool SharingConflict(const FileTable& table, const FileKey& key, DWORD access, DWORD share) {
  if ((access & kDataAccess) == 0) {
    return false;
  }
  auto it = table.openFiles.find(key);
  if (it == table.openFiles.end()) {
    return false;
  }
  for (const FileRecord* other : it->second) {
    if ((other->access & kDataAccess) == 0) {
      continue;
    }
    if (((access & GENERIC_READ) && !(other->share & FILE_SHARE_READ)) ||
        ((access & GENERIC_WRITE) && !(other->share & FILE_SHARE_WRITE)) ||
        ((other->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
        ((other->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))) {
      return true;
    }
  }
  return false;
}

bool DeleteConflict(const FileTable& table, const FileKey& key) {
  auto it = table.openFiles.find(key);
  if (it == table.openFiles.end()) {
    return false;
  }
  for (const FileRecord* other : it->second) {
    if (!(other->share & FILE_SHARE_DELETE)) {
      return true;
    }
  }
  return false;
}

std::shared_ptr<FileRecord> FindFile(HANDLE handle) {
  FileTable& table = Files();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.handles.find(static_cast<const FileRecord*>(handle));
  return it != table.handles.end() ? it->second : nullptr;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EFAULT:
      return ERROR_NOACCESS;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// Win32 tells a missing file in an existing folder (ERROR_FILE_NOT_FOUND) from
// a path whose folder is missing (ERROR_PATH_NOT_FOUND); ENOENT covers both.
DWORD ErrorForPath(const char* path, int error) {
  if (error != ENOENT) {
    return ErrorFromErrno(error);
  }
  if (path[0] == '\0') {
    return ERROR_PATH_NOT_FOUND;
  }
  std::string_view whole(path);
  while (whole.size() > 1 && whole.back() == '/') {
    whole.remove_suffix(1);
  }
  const size_t slash = whole.rfind('/');
  const std::string folder = slash == std::string_view::npos
                                 ? std::string(".")
                                 : std::string(whole.substr(0, slash == 0 ? 1 : slash));
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return ERROR_FILE_NOT_FOUND;
  }
  return ERROR_PATH_NOT_FOUND;
}

HANDLE FailOpen(DWORD error) {
  lastError = error;
  return INVALID_HANDLE_VALUE;
}

}  // namespace

// ---------------------------------------------------------------------------
// Heaps

namespace {

// Runs `work` on the heap that `handle` names, under the registry's lock. A
// handle that names no heap fails the call with ERROR_INVALID_HANDLE.
template <typename Result, typename Work>
Result WithHeap(HANDLE handle, Result failure, Work&& work) {
  HeapRegistry& registry = Heaps();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto* heap = static_cast<Heap*>(handle);
  if (registry.heaps.count(heap) == 0) {
    lastError = ERROR_INVALID_HANDLE;
    return failure;
  }
  return std::forward<Work>(work)(registry, *heap);
}

}  // namespace

// Heaps always grow: the maximum size is not enforced, and the options only
// matter to Win32's own allocator.
HANDLE HeapCreate(DWORD, SIZE_T, SIZE_T) {
  HeapRegistry& registry = Heaps();
  std::lock_guard<std::mutex> guard(registry.lock);
  if (AllocationFails(registry)) {
    return OutOfMemory();
  }
  Heap* heap = new (std::nothrow) Heap;
  if (heap == nullptr) {
    return OutOfMemory();
  }
  try {
    registry.heaps.insert(heap);
  } catch (const std::bad_alloc&) {
    delete heap;
    return OutOfMemory();
  }
  return heap;
}

BOOL HeapDestroy(HANDLE handle) {
  return WithHeap(handle, FALSE, [](HeapRegistry& registry, Heap& heap) -> BOOL {
    if (heap.process) {
      lastError = ERROR_INVALID_HANDLE;
      return FALSE;
    }
    registry.heaps.erase(&heap);
    for (auto& block : heap.blocks) {
      std::free(block.first);
    }
    delete &heap;
    return TRUE;
  });
}

LPVOID HeapAlloc(HANDLE handle, DWORD flags, SIZE_T bytes) {
  return WithHeap(handle, LPVOID{nullptr}, [&](HeapRegistry& registry, Heap& heap) -> LPVOID {
    if (AllocationFails(registry) || bytes > kLargestBlock) {
      return OutOfMemory();
    }
    // A zero-byte block is still a distinct block, as on Win32.
    void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(bytes ? bytes : 1, 1)
                                             : std::malloc(bytes ? bytes : 1);
    return Track(heap, block, bytes);
  });
}

LPVOID HeapReAlloc(HANDLE handle, DWORD flags, LPVOID block, SIZE_T bytes) {
  return WithHeap(handle, LPVOID{nullptr}, [&](HeapRegistry& registry, Heap& heap) -> LPVOID {
    auto it = heap.blocks.find(block);
    if (it == heap.blocks.end()) {
      lastError = ERROR_INVALID_PARAMETER;
      return nullptr;
    }
    if (AllocationFails(registry) || bytes > kLargestBlock) {
      return OutOfMemory();
    }
    SIZE_T oldSize = it->second;
    // Shrinking keeps the block where it is; the allocation behind it is only
    // ever larger than the recorded size.
    if (bytes <= oldSize) {
      it->second = bytes;
      return block;
    }
    if (flags & HEAP_REALLOC_IN_PLACE_ONLY) {
      return OutOfMemory();
    }
    void* moved = Track(heap, std::malloc(bytes), bytes);
    if (moved == nullptr) {
      return nullptr;
    }
    std::memcpy(moved, block, oldSize);
    if (flags & HEAP_ZERO_MEMORY) {
      std::memset(static_cast<char*>(moved) + oldSize, 0, bytes - oldSize);
    }
    heap.blocks.erase(block);  // `it` may have been invalidated by the emplace
    std::free(block);
    return moved;
  });
}

BOOL HeapFree(HANDLE handle, DWORD, LPVOID block) {
  return WithHeap(handle, FALSE, [&](HeapRegistry&, Heap& heap) -> BOOL {
    // Null, foreign and already freed blocks are refused, never touched.
    if (heap.blocks.erase(block) == 0) {
      lastError = ERROR_INVALID_PARAMETER;
      return FALSE;
    }
    std::free(block);
    return TRUE;
  });
}

SIZE_T HeapSize(HANDLE handle, DWORD, LPCVOID block) {
  return WithHeap(handle, static_cast<SIZE_T>(-1), [&](HeapRegistry&, Heap& heap) -> SIZE_T {
    auto it = heap.blocks.find(const_cast<LPVOID>(block));
    if (it == heap.blocks.end()) {
      lastError = ERROR_INVALID_PARAMETER;
      return static_cast<SIZE_T>(-1);
    }
    return it->second;
  });
}

HANDLE GetProcessHeap() {
  HeapRegistry& registry = Heaps();
  std::lock_guard<std::mutex> guard(registry.lock);
  if (registry.processHeap == nullptr) {
    auto* heap = new Heap;
    heap->process = true;
    registry.heaps.insert(heap);
    registry.processHeap = heap;
  }
  return registry.processHeap;
}

void PosixHeapFailAllocation(uint64_t nth) {
  HeapRegistry& registry = Heaps();
  std::lock_guard<std::mutex> guard(registry.lock);
  registry.failCountdown = nth;
}

size_t PosixLiveHeapBlocks() {
  HeapRegistry& registry = Heaps();
  std::lock_guard<std::mutex> guard(registry.lock);
  size_t blocks = 0;
  for (const Heap* heap : registry.heaps) {
    blocks += heap->blocks.size();
  }
  return blocks;
}

size_t PosixOpenFileHandles() {
  FileTable& table = Files();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.handles.size();
}

uint64_t PosixHeapAllocationCount() {
  HeapRegistry& registry = Heaps();
  std::lock_guard<std::mutex> guard(registry.lock);
  return registry.allocations;
}

// ---------------------------------------------------------------------------
// Files

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD attributes, HANDLE) {
  return OrOutOfMemory(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
      return FailOpen(ERROR_INVALID_PARAMETER);
    }
    if (path == nullptr) {
      return FailOpen(ERROR_PATH_NOT_FOUND);
    }

    const bool canCreate =
        disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    // O_NONBLOCK: a FIFO or a device must never hold the caller up, neither at
    // open nor at read. O_NOCTTY: a terminal named here is only read.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if ((access & kDataAccess) == kDataAccess) {
      flags |= O_RDWR;
    } else if (access & GENERIC_WRITE) {
      flags |= O_WRONLY;
    } else if (access & GENERIC_READ || canCreate || disposition == TRUNCATE_EXISTING) {
      flags |= O_RDONLY;
    } else {
      flags = O_CLOEXEC | O_PATH;  // no data access: the file is only looked at
    }
    const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    FileTable& table = Files();
    std::lock_guard<std::mutex> guard(table.lock);

    // Refuse a sharing conflict before O_TRUNC can touch the file.
    struct stat before {};
    if (disposition != CREATE_NEW && stat(path, &before) == 0 && !S_ISDIR(before.st_mode) &&
        SharingConflict(table, FileKey{before.st_dev, before.st_ino}, access, share)) {
      return FailOpen(ERROR_SHARING_VIOLATION);
    }

    bool existed = true;
    int fd = -1;
    switch (disposition) {
      case CREATE_NEW:
        existed = false;
        fd = open(path, flags | O_CREAT | O_EXCL, mode);
        break;
      case OPEN_EXISTING:
        fd = open(path, flags);
        break;
      case TRUNCATE_EXISTING:
        fd = open(path, flags | O_TRUNC);
        break;
      default:  // OPEN_ALWAYS, CREATE_ALWAYS: learn whether the file was there
        fd = open(path, flags | O_CREAT | O_EXCL, mode);
        existed = fd < 0 && errno == EEXIST;
        if (existed) {
          fd = open(path, flags | O_CREAT | (disposition == CREATE_ALWAYS ? O_TRUNC : 0), mode);
        }
        break;
    }
    if (fd < 0) {
      return FailOpen(ErrorForPath(path, errno));
    }

    auto record = std::make_shared<FileRecord>();
    record->fd = fd;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
      return FailOpen(ErrorFromErrno(errno));
    }
    if (S_ISDIR(info.st_mode)) {
      return FailOpen(ERROR_ACCESS_DENIED);
    }
    record->access = access & kDataAccess;
    record->share = share;
    record->key = FileKey{info.st_dev, info.st_ino};
    // The name may have been replaced between stat and open.
    if (existed && SharingConflict(table, record->key, access, share)) {
      return FailOpen(ERROR_SHARING_VIOLATION);
    }
    try {
      table.openFiles[record->key].push_back(record.get());
      table.handles.emplace(record.get(), record);
    } catch (const std::bad_alloc&) {
      auto it = table.openFiles.find(record->key);
      if (it != table.openFiles.end()) {
        std::erase(it->second, record.get());
        if (it->second.empty()) {
          table.openFiles.erase(it);
        }
      }
      return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
    }
    lastError = existed && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS)
                    ? ERROR_ALREADY_EXISTS
                    : ERROR_SUCCESS;
    return const_cast<FileRecord*>(record.get());
  });
}

namespace {

// The open file behind `file` when a synchronous transfer of `count` bytes in
// the direction of `access` may go ahead; null (last error set) otherwise.
std::shared_ptr<FileRecord> TransferRecord(HANDLE file, DWORD access, LPCVOID buffer, DWORD count,
                                           LPOVERLAPPED overlapped) {
  std::shared_ptr<FileRecord> record = FindFile(file);
  if (record == nullptr) {
    lastError = ERROR_INVALID_HANDLE;
  } else if (overlapped != nullptr) {
    lastError = ERROR_INVALID_PARAMETER;
  } else if (!(record->access & access)) {
    lastError = ERROR_ACCESS_DENIED;
  } else if (buffer == nullptr && count != 0) {
    lastError = ERROR_NOACCESS;
  } else {
    return record;
  }
  return nullptr;
}

}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  if (read != nullptr) {
    *read = 0;
  }
  std::shared_ptr<FileRecord> record =
      TransferRecord(file, GENERIC_READ, buffer, toRead, overlapped);
  if (record == nullptr) {
    return FALSE;
  }
  // Up to toRead bytes: stop at the end of the file, and where a FIFO or a
  // device has nothing more to give right now.
  DWORD done = 0;
  while (done < toRead) {
    ssize_t got = ::read(record->fd, static_cast<char*>(buffer) + done, toRead - done);
    if (got > 0) {
      done += static_cast<DWORD>(got);
      if (read != nullptr) {
        *read = done;
      }
      continue;
    }
    if (got == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
      break;
    }
    if (errno == EINTR) {
      continue;
    }
    if (done != 0) {
      break;  // report what arrived; the error shows on the next call
    }
    lastError = ErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped) {
  if (written != nullptr) {
    *written = 0;
  }
  std::shared_ptr<FileRecord> record =
      TransferRecord(file, GENERIC_WRITE, buffer, toWrite, overlapped);
  if (record == nullptr) {
    return FALSE;
  }
  DWORD done = 0;
  while (done < toWrite) {
    ssize_t put = ::write(record->fd, static_cast<const char*>(buffer) + done, toWrite - done);
    if (put > 0) {
      done += static_cast<DWORD>(put);
      if (written != nullptr) {
        *written = done;
      }
      continue;
    }
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;  // a full FIFO
    }
    if (done != 0) {
      break;
    }
    lastError = put < 0 ? ErrorFromErrno(errno) : ERROR_GEN_FAILURE;
    return FALSE;
  }
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    std::shared_ptr<FileRecord> record;
    {
      FileTable& table = Files();
      std::lock_guard<std::mutex> guard(table.lock);
      auto it = table.handles.find(static_cast<const FileRecord*>(object));
      if (it == table.handles.end()) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
      }
      record = std::move(it->second);
      table.handles.erase(it);
      auto open = table.openFiles.find(record->key);
      if (open != table.openFiles.end()) {
        std::erase(open->second, record.get());
        if (open->second.empty()) {
          table.openFiles.erase(open);
        }
      }
    }
    // The descriptor closes with the last reference, outside the lock.
    return TRUE;
  });
}

BOOL DeleteFileA(LPCSTR path) {
  return OrOutOfMemory(FALSE, [&]() -> BOOL {
    if (path == nullptr) {
      lastError = ERROR_PATH_NOT_FOUND;
      return FALSE;
    }
    FileTable& table = Files();
    std::lock_guard<std::mutex> guard(table.lock);
    struct stat info {};
    if (lstat(path, &info) != 0) {
      lastError = ErrorForPath(path, errno);
      return FALSE;
    }
    if (S_ISDIR(info.st_mode)) {
      lastError = ERROR_ACCESS_DENIED;
      return FALSE;
    }
    // Win32 refuses while a handle does not share delete, and refuses read-only
    // files; GetFileAttributesA reports a file without owner write as read-only.
    if (DeleteConflict(table, FileKey{info.st_dev, info.st_ino})) {
      lastError = ERROR_SHARING_VIOLATION;
      return FALSE;
    }
    if (S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR)) {
      lastError = ERROR_ACCESS_DENIED;
      return FALSE;
    }
    if (unlink(path) != 0) {
      lastError = ErrorForPath(path, errno);
      return FALSE;
    }
    return TRUE;
  });
}

DWORD GetFileAttributesA(LPCSTR path) {
  struct stat info {};
  if (path == nullptr) {
    lastError = ERROR_PATH_NOT_FOUND;
    return INVALID_FILE_ATTRIBUTES;
  }
  if (stat(path, &info) != 0) {
    lastError = ErrorForPath(path, errno);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(info.st_mode)) {
    return FILE_ATTRIBUTE_DIRECTORY;
  }
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if (!(info.st_mode & S_IWUSR)) {
    attributes |= FILE_ATTRIBUTE_READONLY;
  }
  return attributes;
}

// ---------------------------------------------------------------------------
// Modules, process and thread

// GetModuleHandleA lives with the built-in modules (module.cpp).

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One argument as the C runtime's splitting rules read it back: quoted when
// it is empty or holds a blank or a quote; inside quotes, backslashes are
// doubled where a quote follows them, and a quote of its own is escaped.
void AppendQuoted(std::string* line, std::string_view arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) {
    line->append(arg);
    return;
  }
  line->push_back('"');
  size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    line->append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    line->push_back(c);
    backslashes = 0;
  }
  line->append(2 * backslashes, '\\');
  line->push_back('"');
}

// The program name knows no escapes: it runs to the next quote when quoted, so
// a quote in it cannot be kept and is left out.
void AppendProgramName(std::string* line, std::string_view name) {
  std::string plain;
  for (const char c : name) {
    if (c != '"') {
      plain.push_back(c);
    }
  }
  const bool quoted = plain.empty() || std::any_of(plain.begin(), plain.end(), IsBlank);
  line->append(quoted ? "\"" + plain + "\"" : plain);
}

// The arguments the kernel keeps for the process, NUL-separated.
std::string CommandLineFromProc() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::string line;
  size_t start = 0;
  for (size_t end = raw.find('\0'); end != std::string::npos; end = raw.find('\0', start)) {
    const std::string_view arg(raw.data() + start, end - start);
    if (start == 0) {
      AppendProgramName(&line, arg);
    } else {
      line.push_back(' ');
      AppendQuoted(&line, arg);
    }
    start = end + 1;
  }
  return line;
}

}  // namespace

// Built once and kept, as Win32 keeps its copy; "" when memory ran out.
LPSTR GetCommandLineA() {
  static std::mutex lock;
  static std::string line;
  static bool built = false;
  static char none[1] = "";
  const std::lock_guard<std::mutex> guard(lock);
  if (!built) {
    built = OrOutOfMemory(false, [] {
      line = CommandLineFromProc();
      return true;
    });
  }
  return built ? line.data() : none;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(gettid()); }

void ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  _exit(static_cast<int>(exitCode));
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

// What the toolkit relies on from the platform's kernel: private heaps, files,
// process and module identity, the per-thread last error. The same source runs
// against real Win32 (under Wine) and against our layer.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

#define EXPECT_LAST_ERROR(code) EXPECT_EQ(GetLastError(), static_cast<DWORD>(code))

namespace {

bool AllBytesAre(const void* block, size_t size, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(block);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

unsigned char PatternByte(size_t i) { return static_cast<unsigned char>(i * 7 + 3); }

void FillPattern(void* block, size_t size) {
  auto* bytes = static_cast<unsigned char*>(block);
  for (size_t i = 0; i < size; ++i) bytes[i] = PatternByte(i);
}

bool HasPattern(const void* block, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(block);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != PatternByte(i)) return false;
  }
  return true;
}

// Leaves freed, dirty memory behind in the heap, so that a block handed out
// again without being zeroed shows it.
void Dirty(HANDLE heap, SIZE_T size, int count) {
  std::vector<void*> blocks;
  for (int i = 0; i < count; ++i) {
    void* block = HeapAlloc(heap, 0, size);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xA5, size);
    blocks.push_back(block);
  }
  for (void* block : blocks) ASSERT_TRUE(HeapFree(heap, 0, block));
}

// ---------------------------------------------------------------------------
// Heaps

TEST(KernelHeap, ZeroMemoryFillsEveryNewBlock) {
  HANDLE heap = HeapCreate(0, 4096, 0);
  ASSERT_NE(heap, nullptr);
  for (SIZE_T size : {SIZE_T{16}, SIZE_T{1000}, SIZE_T{4096}, SIZE_T{70000}}) {
    Dirty(heap, size, 16);
    for (int i = 0; i < 16; ++i) {
      void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(HeapSize(heap, 0, block), size);
      EXPECT_TRUE(AllBytesAre(block, size, 0)) << "block of " << size << " bytes";
    }
  }
  EXPECT_TRUE(HeapDestroy(heap));
}

// The object tables grow their slot arrays this way: new slots must be zero
// and the old ones must keep their values.
TEST(KernelHeap, ReAllocKeepsContentAndZeroesTheGrownPart) {
  HANDLE heap = HeapCreate(0, 4096, 0);
  ASSERT_NE(heap, nullptr);
  Dirty(heap, 8192, 32);
  SIZE_T size = 50 * 16;
  void* slots = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
  ASSERT_NE(slots, nullptr);
  FillPattern(slots, size);
  for (SIZE_T grown : {SIZE_T{173 * 16}, SIZE_T{300 * 16}, SIZE_T{5000 * 16}}) {
    void* moved = HeapReAlloc(heap, HEAP_ZERO_MEMORY, slots, grown);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, moved), grown);
    EXPECT_TRUE(HasPattern(moved, size)) << "growing " << size << " to " << grown;
    EXPECT_TRUE(AllBytesAre(static_cast<char*>(moved) + size, grown - size, 0))
        << "growing " << size << " to " << grown;
    FillPattern(moved, grown);
    slots = moved;
    size = grown;
  }
  void* shrunk = HeapReAlloc(heap, 0, slots, 100);
  ASSERT_NE(shrunk, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, shrunk), SIZE_T{100});
  EXPECT_TRUE(HasPattern(shrunk, 100));
  // Without the flag the content still moves along.
  void* regrown = HeapReAlloc(heap, 0, shrunk, 20000);
  ASSERT_NE(regrown, nullptr);
  EXPECT_TRUE(HasPattern(regrown, 100));
  EXPECT_TRUE(HeapFree(heap, 0, regrown));
  EXPECT_TRUE(HeapDestroy(heap));
}

TEST(KernelHeap, ImpossibleRequestsFailAndLeaveTheHeapUsable) {
  HANDLE heap = HeapCreate(0, 4096, 0);
  ASSERT_NE(heap, nullptr);
  const SIZE_T huge = ~SIZE_T{0} - 4095;
  EXPECT_EQ(HeapAlloc(heap, HEAP_ZERO_MEMORY, huge), nullptr);
  void* block = HeapAlloc(heap, 0, 64);
  ASSERT_NE(block, nullptr);
  FillPattern(block, 64);
  // A failed HeapReAlloc leaves the old block as it was.
  EXPECT_EQ(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, huge), nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), SIZE_T{64});
  EXPECT_TRUE(HasPattern(block, 64));
  EXPECT_TRUE(HeapFree(heap, 0, block));
  EXPECT_TRUE(HeapDestroy(heap));
}

// The program heap is destroyed at exit with blocks still in it; the menu
// heaps are destroyed instead of freeing their items one by one.
TEST(KernelHeap, DestroyTakesLiveBlocksWithIt) {
  for (int round = 0; round < 3; ++round) {
    HANDLE heap = HeapCreate(0, 4096, 0);
    ASSERT_NE(heap, nullptr);
    void* grown = HeapAlloc(heap, HEAP_ZERO_MEMORY, 32);
    ASSERT_NE(grown, nullptr);
    ASSERT_NE(HeapReAlloc(heap, HEAP_ZERO_MEMORY, grown, 100000), nullptr);
    for (int i = 0; i < 500; ++i) ASSERT_NE(HeapAlloc(heap, HEAP_ZERO_MEMORY, 24 + i), nullptr);
    EXPECT_TRUE(HeapDestroy(heap)) << "round " << round;
  }
}

TEST(KernelHeap, ProcessHeapIsStableAndServesBlocks) {
  HANDLE heap = GetProcessHeap();
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(GetProcessHeap(), heap);
  void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, 300);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(AllBytesAre(block, 300, 0));
  EXPECT_TRUE(HeapFree(heap, 0, block));
}

// ---------------------------------------------------------------------------
// Files

class KernelFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("kelpie-kernel-" + std::to_string(GetCurrentProcessId()) + "-" + test->name());
    std::filesystem::remove_all(dir_);
    ASSERT_TRUE(std::filesystem::create_directories(dir_));
  }

  void TearDown() override {
    for (HANDLE handle : open_) CloseHandle(handle);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::string Folder() const { return dir_.string(); }

  void Put(const char* name, const std::string& content) const {
    std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good());
  }

  std::string Get(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // The handle, or INVALID_HANDLE_VALUE with the last error as CreateFileA
  // left it. Whatever stays open is closed after the test.
  HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) open_.push_back(handle);
    return handle;
  }

  HANDLE OpenRead(const char* name) {
    return Open(Path(name), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  }

  BOOL Close(HANDLE handle) {
    std::erase(open_, handle);
    return CloseHandle(handle);
  }

  static std::string Pattern(size_t size) {
    std::string text(size, '\0');
    FillPattern(text.data(), size);
    return text;
  }

 private:
  std::filesystem::path dir_;
  std::vector<HANDLE> open_;
};

// The viewer asks for 6912 bytes at once and takes the count as what it got.
TEST_F(KernelFile, ReadGivesExactCountsThenShortThenNothing) {
  Put("screen.scr", Pattern(10000));
  HANDLE file = OpenRead("screen.scr");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);

  std::vector<unsigned char> buffer(6912 + 16, 0xEE);
  DWORD got = 12345;
  EXPECT_TRUE(ReadFile(file, buffer.data(), 6912, &got, nullptr));
  EXPECT_EQ(got, DWORD{6912});
  EXPECT_TRUE(HasPattern(buffer.data(), 6912));
  EXPECT_TRUE(AllBytesAre(buffer.data() + 6912, 16, 0xEE));

  std::fill(buffer.begin(), buffer.end(), 0xEE);
  EXPECT_TRUE(ReadFile(file, buffer.data(), 6912, &got, nullptr));
  EXPECT_EQ(got, DWORD{10000 - 6912});
  EXPECT_EQ(std::memcmp(buffer.data(), Pattern(10000).data() + 6912, 10000 - 6912), 0);
  // Memory beyond the count is left as it was.
  EXPECT_TRUE(AllBytesAre(buffer.data() + (10000 - 6912), 6912 + 16 - (10000 - 6912), 0xEE));

  for (int i = 0; i < 2; ++i) {
    got = 12345;
    EXPECT_TRUE(ReadFile(file, buffer.data(), 6912, &got, nullptr)) << "at the end, read " << i;
    EXPECT_EQ(got, DWORD{0}) << "at the end, read " << i;
  }
  got = 12345;
  EXPECT_TRUE(ReadFile(file, buffer.data(), 0, &got, nullptr));
  EXPECT_EQ(got, DWORD{0});
}

TEST_F(KernelFile, EmptyFileReadsZeroBytes) {
  Put("empty.scr", "");
  HANDLE file = OpenRead("empty.scr");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  unsigned char buffer[6912];
  std::memset(buffer, 0x5A, sizeof buffer);
  DWORD got = 12345;
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, DWORD{0});
  EXPECT_TRUE(AllBytesAre(buffer, sizeof buffer, 0x5A));
}

TEST_F(KernelFile, MissingNamesAreReportedAsWin32Does) {
  const std::string missing = Path("missing.scr");
  const std::string noFolder = (std::filesystem::path(Path("no-folder")) / "x.scr").string();

  EXPECT_EQ(Open(missing, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(missing, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA(missing.c_str()));
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(Open(noFolder, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open(noFolder, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(noFolder.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);

  EXPECT_EQ(Open("", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
  // A file named as if it were a folder.
  Put("plain.bin", "x");
  const std::string throughFile = (std::filesystem::path(Path("plain.bin")) / "x").string();
  EXPECT_EQ(Open(throughFile, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
}

TEST_F(KernelFile, FolderIsNeverOpened) {
  const std::string folder = Folder();
  EXPECT_EQ(Open(folder, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(folder, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(folder, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(folder, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(folder, GENERIC_READ, FILE_SHARE_READ, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
  EXPECT_FALSE(DeleteFileA(folder.c_str()));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);

  DWORD attributes = GetFileAttributesA(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  Put("plain.bin", "x");
  attributes = GetFileAttributesA(Path("plain.bin").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file service opens everything sharing read only: other readers may
// come, writers may not.
TEST_F(KernelFile, ReadersSharingReadKeepWritersOut) {
  Put("shared.scr", "keep me");
  const std::string path = Path("shared.scr");
  HANDLE first = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  HANDLE second = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);

  EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  // A reader that does not share read clashes with the readers already there.
  EXPECT_EQ(Open(path, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  // Refused opens must not have truncated the file on their way.
  EXPECT_EQ(Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Get("shared.scr"), "keep me");
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);

  // The last reader's close lets a writer in.
  EXPECT_TRUE(Close(first));
  EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Close(second));
  EXPECT_NE(Open(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

TEST_F(KernelFile, WriterSharingReadAdmitsOnlyReadersThatShareWrite) {
  Put("written.bin", "abc");
  const std::string path = Path("written.bin");
  HANDLE writer = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);

  EXPECT_EQ(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);

  // Each handle has its own position: the writer's bytes show to the reader.
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(writer, "XY", 2, &count, nullptr));
  EXPECT_EQ(count, DWORD{2});
  char text[8] = {};
  EXPECT_TRUE(ReadFile(reader, text, sizeof text, &count, nullptr));
  EXPECT_EQ(std::string(text, count), "XYc");
}

TEST_F(KernelFile, DispositionsCreateOpenAndTruncateAsWin32Does) {
  Put("old.bin", "old content");
  const std::string old = Path("old.bin");
  char text[32];
  DWORD count = 0;

  EXPECT_EQ(Open(old, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
  EXPECT_EQ(Get("old.bin"), "old content");

  SetLastError(ERROR_INVALID_FUNCTION);
  HANDLE kept = Open(old, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
  ASSERT_NE(kept, INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(ReadFile(kept, text, sizeof text, &count, nullptr));
  EXPECT_EQ(std::string(text, count), "old content");
  EXPECT_TRUE(Close(kept));

  SetLastError(ERROR_INVALID_FUNCTION);
  HANDLE emptied = Open(old, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(emptied, INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
  count = 12345;
  EXPECT_TRUE(ReadFile(emptied, text, sizeof text, &count, nullptr));
  EXPECT_EQ(count, DWORD{0});
  EXPECT_TRUE(WriteFile(emptied, "new", 3, &count, nullptr));
  EXPECT_TRUE(Close(emptied));
  EXPECT_EQ(Get("old.bin"), "new");

  HANDLE truncated = Open(old, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING);
  ASSERT_NE(truncated, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Close(truncated));
  EXPECT_EQ(GetFileAttributesA(old.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD{0});
  EXPECT_EQ(Get("old.bin"), "");

  SetLastError(ERROR_INVALID_FUNCTION);
  HANDLE made =
      Open(Path("made-always.bin"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SUCCESS);
  SetLastError(ERROR_INVALID_FUNCTION);
  HANDLE opened =
      Open(Path("made-open.bin"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
  ASSERT_NE(opened, INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SUCCESS);
  HANDLE fresh = Open(Path("made-new.bin"), GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
  ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Close(made));
  EXPECT_TRUE(Close(opened));
  EXPECT_TRUE(Close(fresh));
  for (const char* name : {"made-always.bin", "made-open.bin", "made-new.bin"}) {
    EXPECT_NE(GetFileAttributesA(Path(name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    EXPECT_EQ(Get(name), "") << name;
  }

  EXPECT_EQ(Open(old, GENERIC_READ, FILE_SHARE_READ, 0), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
}

// Mode 3 of the file service falls back to a write-only handle.
TEST_F(KernelFile, HandleWithoutAccessCannotReadOrWrite) {
  Put("data.bin", "0123456789");
  HANDLE writeOnly = Open(Path("data.bin"), GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
  char text[16];
  std::memset(text, '#', sizeof text);
  DWORD count = 12345;
  EXPECT_FALSE(ReadFile(writeOnly, text, sizeof text, &count, nullptr));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(count, DWORD{0});
  EXPECT_TRUE(AllBytesAre(text, sizeof text, '#'));
  EXPECT_TRUE(Close(writeOnly));

  HANDLE readOnly = OpenRead("data.bin");
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  count = 12345;
  EXPECT_FALSE(WriteFile(readOnly, "zz", 2, &count, nullptr));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(count, DWORD{0});
  EXPECT_TRUE(Close(readOnly));
  EXPECT_EQ(Get("data.bin"), "0123456789");
}

TEST_F(KernelFile, InvalidHandlesAreRefused) {
  Put("data.bin", "0123456789");
  HANDLE closed = OpenRead("data.bin");
  ASSERT_NE(closed, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Close(closed));

  char text[16];
  for (HANDLE bad : {HANDLE{nullptr}, INVALID_HANDLE_VALUE, closed}) {
    DWORD count = 12345;
    EXPECT_FALSE(ReadFile(bad, text, sizeof text, &count, nullptr));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, DWORD{0});
    count = 12345;
    EXPECT_FALSE(WriteFile(bad, "zz", 2, &count, nullptr));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, DWORD{0});
  }
  EXPECT_FALSE(CloseHandle(closed));
  EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
  EXPECT_EQ(Get("data.bin"), "0123456789");
}

TEST_F(KernelFile, DeleteRemovesTheName) {
  Put("gone.bin", "x");
  const std::string path = Path("gone.bin");
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
}

// ---------------------------------------------------------------------------
// Process, thread, module, last error

TEST(KernelProcess, IdentityIsNonZeroAndStable) {
  const DWORD process = GetCurrentProcessId();
  const DWORD thread = GetCurrentThreadId();
  EXPECT_NE(process, DWORD{0});
  EXPECT_NE(thread, DWORD{0});
  EXPECT_EQ(GetCurrentProcessId(), process);
  EXPECT_EQ(GetCurrentThreadId(), thread);

  DWORD otherProcess = 0;
  DWORD otherThread = 0;
  std::thread([&] {
    otherProcess = GetCurrentProcessId();
    otherThread = GetCurrentThreadId();
  }).join();
  EXPECT_EQ(otherProcess, process);
  EXPECT_NE(otherThread, DWORD{0});
  EXPECT_NE(otherThread, thread);

  HMODULE module = GetModuleHandleA(nullptr);
  EXPECT_NE(module, nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), module);
  EXPECT_EQ(GetModuleHandleA("kelpie-no-such-module.dll"), nullptr);
  EXPECT_LAST_ERROR(ERROR_MOD_NOT_FOUND);
}

// Starting and joining a thread may itself change the last error on Win32, so
// both threads check while the other is alive, handing over through atomics.
TEST(KernelLastError, BelongsToEachThread) {
  std::atomic<int> step{0};
  DWORD seenThere = 0;
  DWORD keptThere = 0;
  std::thread other([&] {
    while (step.load() != 1) {
    }
    seenThere = GetLastError();
    SetLastError(ERROR_SHARING_VIOLATION);
    step.store(2);
    while (step.load() != 3) {
    }
    keptThere = GetLastError();
  });
  SetLastError(ERROR_FILE_EXISTS);
  step.store(1);
  while (step.load() != 2) {
  }
  EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
  SetLastError(ERROR_INVALID_FLAGS);
  step.store(3);
  other.join();
  EXPECT_NE(seenThere, static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(keptThere, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

}  // namespace

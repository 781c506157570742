// What the toolkit relies on from the platform's kernel: private heaps, files
// opened the file service's ways, process and module identity. The same
// source runs against real Win32 (under Wine) and against our layer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/read_once.h"
#include "tests/support/temp_files.h"

#define EXPECT_LAST_ERROR(code) EXPECT_EQ(GetLastError(), static_cast<DWORD>(code))

namespace {

bool AllBytesAre(const void* block, size_t size, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(block);
  return std::all_of(bytes, bytes + size, [value](unsigned char b) { return b == value; });
}

unsigned char PatternByte(size_t i) { return static_cast<unsigned char>(i * 7 + 3); }

void FillPattern(void* block, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    static_cast<unsigned char*>(block)[i] = PatternByte(i);
  }
}

bool HasPattern(const void* block, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (static_cast<const unsigned char*>(block)[i] != PatternByte(i)) {
      return false;
    }
  }
  return true;
}

// Leaves freed, dirty memory behind in the heap, so that a block handed out
// again without being zeroed shows it.
void Dirty(HANDLE heap, SIZE_T size, int count) {
  std::vector<void*> blocks;
  for (int i = 0; i < count; ++i) {
    blocks.push_back(HeapAlloc(heap, 0, size));
    ASSERT_NE(blocks.back(), nullptr);
    std::memset(blocks.back(), 0xA5, size);
  }
  for (void* block : blocks) {
    ASSERT_TRUE(HeapFree(heap, 0, block));
  }
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

// The object tables grow their slot arrays with HEAP_ZERO_MEMORY (new slots
// must be zero, old ones kept); the string scratch grows without it.
TEST(KernelHeap, ReAllocKeepsContentAndZeroesTheGrownPart) {
  HANDLE heap = HeapCreate(0, 4096, 0);
  ASSERT_NE(heap, nullptr);
  Dirty(heap, 8192, 32);
  SIZE_T size = SIZE_T{50} * 16;
  void* slots = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
  ASSERT_NE(slots, nullptr);
  FillPattern(slots, size);
  for (SIZE_T grown : {SIZE_T{173} * 16, SIZE_T{300} * 16, SIZE_T{5000} * 16}) {
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
  void* regrown = HeapReAlloc(heap, 0, shrunk, 200000);
  ASSERT_NE(regrown, nullptr);
  EXPECT_TRUE(HasPattern(regrown, 100));
  EXPECT_TRUE(HeapDestroy(heap));
}

// Failures leave the old block as it was; the program heap and the menu heaps
// are destroyed with blocks still in them.
TEST(KernelHeap, ImpossibleRequestsFailAndDestroyTakesLiveBlocks) {
  HANDLE heap = HeapCreate(0, 4096, 0);
  ASSERT_NE(heap, nullptr);
  const SIZE_T huge = ~SIZE_T{0} - 4095;
  EXPECT_EQ(HeapAlloc(heap, HEAP_ZERO_MEMORY, huge), nullptr);
  void* block = HeapAlloc(heap, 0, 64);
  ASSERT_NE(block, nullptr);
  FillPattern(block, 64);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, huge), nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), SIZE_T{64});
  EXPECT_TRUE(HasPattern(block, 64));
  ASSERT_NE(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 100000), nullptr);
  for (int i = 0; i < 500; ++i) {
    ASSERT_NE(HeapAlloc(heap, HEAP_ZERO_MEMORY, 24 + i), nullptr);
  }
  EXPECT_TRUE(HeapDestroy(heap));
}

// ---------------------------------------------------------------------------
// Files, as the file service opens them: reading OPEN_EXISTING, read-write
// OPEN_ALWAYS, creating CREATE_ALWAYS falling back to a write-only
// TRUNCATE_EXISTING; always sharing read only.

class KernelFile : public ::testing::Test {
 protected:
  void TearDown() override {
    for (HANDLE handle : open_) {
      CloseHandle(handle);
    }
  }

  std::string Path(const char* name) const { return folder_.PathOf(name); }

  void Put(const char* name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << content;
  }

  std::string Get(const char* name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // The handle, or INVALID_HANDLE_VALUE with the last error as CreateFileA
  // left it. Whatever stays open is closed after the test.
  HANDLE Open(const std::string& path, DWORD access, DWORD disposition,
              DWORD share = FILE_SHARE_READ) {
    HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      open_.push_back(handle);
    }
    return handle;
  }

  BOOL Close(HANDLE handle) {
    std::erase(open_, handle);
    return CloseHandle(handle);
  }

  TempFolder folder_;

 private:
  std::vector<HANDLE> open_;
};

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

// The viewer asks for 6912 bytes at once and takes the count as what it got.
TEST_F(KernelFile, ReadGivesExactCountsThenShortThenNothing) {
  std::string content(10000, '\0');
  FillPattern(content.data(), content.size());
  Put("screen.scr", content);
  HANDLE file = Open(Path("screen.scr"), GENERIC_READ, OPEN_EXISTING);
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
  EXPECT_EQ(std::memcmp(buffer.data(), content.data() + 6912, 10000 - 6912), 0);
  // Memory beyond the count is left as it was.
  EXPECT_TRUE(AllBytesAre(buffer.data() + (10000 - 6912), 6912 + 16 - (10000 - 6912), 0xEE));
  EXPECT_EQ(ReadOnce(file, 6912), "");
  EXPECT_EQ(ReadOnce(file, 6912), "");

  Put("empty.scr", "");
  EXPECT_EQ(ReadOnce(Open(Path("empty.scr"), GENERIC_READ, OPEN_EXISTING), 6912), "");
}

TEST_F(KernelFile, MissingNamesAndFoldersAreNeverOpened) {
  Put("plain.bin", "x");
  const std::string missing = Path("missing.scr");
  const std::string noFolder = Path("no-folder/x.scr");
  const std::string throughFile = Path("plain.bin/x");  // a file named as if a folder
  const std::string folder = folder_.Path();
  const struct {
    const std::string& path;
    DWORD access, disposition, error;
  } cases[] = {
      {missing, GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {missing, GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
      {noFolder, GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {noFolder, kReadWrite, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
      {throughFile, GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {folder, GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {folder, kReadWrite, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
      {folder, kReadWrite, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
      {folder, GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Open(c.path, c.access, c.disposition), INVALID_HANDLE_VALUE) << c.path;
    EXPECT_LAST_ERROR(c.error) << c.path << " disposition " << c.disposition;
  }
  EXPECT_EQ(Open("", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

// Other readers may come, writers may not, and refused opens must not have
// truncated the file on their way.
TEST_F(KernelFile, SharingReadKeepsWritersOut) {
  Put("shared.scr", "keep me");
  const std::string path = Path("shared.scr");
  HANDLE first = Open(path, GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  HANDLE second = Open(path, GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);

  const struct {
    DWORD access, disposition, share;
  } refused[] = {
      {GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ},
      {GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE},
      {GENERIC_READ, OPEN_EXISTING, 0},  // a reader not sharing read clashes with those there
      {kReadWrite, OPEN_ALWAYS, FILE_SHARE_READ},
      {kReadWrite, CREATE_ALWAYS, FILE_SHARE_READ},
      {GENERIC_WRITE, TRUNCATE_EXISTING, FILE_SHARE_READ},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(Open(path, r.access, r.disposition, r.share), INVALID_HANDLE_VALUE)
        << "access " << r.access << " disposition " << r.disposition << " share " << r.share;
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(Get("shared.scr"), "keep me");

  // The last reader's close lets a writer in.
  EXPECT_TRUE(Close(first));
  EXPECT_EQ(Open(path, GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Close(second));
  HANDLE writer = Open(path, kReadWrite, OPEN_ALWAYS);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  // A writer sharing read keeps out readers that do not share write.
  EXPECT_EQ(Open(path, GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  HANDLE reader = Open(path, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  DWORD count = 0;  // each handle has its own position
  EXPECT_TRUE(WriteFile(writer, "XY", 2, &count, nullptr));
  EXPECT_EQ(ReadOnce(reader, 8), "XYep me");
}

TEST_F(KernelFile, DispositionsKeepEmptyOrCreateTheFile) {
  Put("old.bin", "old content");
  const std::string old = Path("old.bin");
  HANDLE kept = Open(old, kReadWrite, OPEN_ALWAYS);
  ASSERT_NE(kept, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadOnce(kept, 32), "old content");
  EXPECT_TRUE(Close(kept));

  HANDLE emptied = Open(old, kReadWrite, CREATE_ALWAYS);
  ASSERT_NE(emptied, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadOnce(emptied, 32), "");
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(emptied, "new", 3, &count, nullptr));
  EXPECT_TRUE(Close(emptied));
  EXPECT_EQ(Get("old.bin"), "new");

  EXPECT_TRUE(Close(Open(old, GENERIC_WRITE, TRUNCATE_EXISTING)));
  EXPECT_EQ(Get("old.bin"), "");

  for (const auto& [name, disposition] : {std::pair{"made-always.bin", DWORD{CREATE_ALWAYS}},
                                          std::pair{"made-open.bin", DWORD{OPEN_ALWAYS}}}) {
    EXPECT_NE(Open(Path(name), kReadWrite, disposition), INVALID_HANDLE_VALUE) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(Path(name))) << name;
  }
}

// The creating mode's write-only fallback is read from like any other handle.
TEST_F(KernelFile, HandleWithoutAccessCannotReadOrWrite) {
  Put("data.bin", "0123456789");
  HANDLE writeOnly = Open(Path("data.bin"), GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
  char text[16];
  std::memset(text, '#', sizeof text);
  DWORD count = 12345;
  EXPECT_FALSE(ReadFile(writeOnly, text, sizeof text, &count, nullptr));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(count, DWORD{0});
  EXPECT_TRUE(AllBytesAre(text, sizeof text, '#'));
  EXPECT_TRUE(Close(writeOnly));

  HANDLE readOnly = Open(Path("data.bin"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  count = 12345;
  EXPECT_FALSE(WriteFile(readOnly, "zz", 2, &count, nullptr));
  EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED);
  EXPECT_EQ(count, DWORD{0});
  EXPECT_TRUE(Close(readOnly));
  EXPECT_EQ(Get("data.bin"), "0123456789");
}

// ---------------------------------------------------------------------------
// Process, thread and module: the requester tells its own windows by them.

TEST(KernelProcess, IdentityIsNonZeroAndStable) {
  EXPECT_NE(GetCurrentProcessId(), DWORD{0});
  EXPECT_NE(GetCurrentThreadId(), DWORD{0});
  EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
  HMODULE module = GetModuleHandleA(nullptr);
  EXPECT_NE(module, nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), module);
  EXPECT_EQ(GetModuleHandleA("kelpie-no-such-module.dll"), nullptr);
  EXPECT_LAST_ERROR(ERROR_MOD_NOT_FOUND);
}

}  // namespace

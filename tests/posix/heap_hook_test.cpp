// Our kernel layer where POSIX differs from Win32 or where only our layer can
// be checked: the failing-allocation hook, HeapDestroy's freeing, and files
// that are FIFOs, shrinking, linked under other names or named in raw bytes.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/testing.h"
#include "platform/win32.h"
#include "tests/support/read_once.h"
#include "tests/support/temp_files.h"

#define EXPECT_LAST_ERROR(code) EXPECT_EQ(GetLastError(), static_cast<DWORD>(code))

namespace {

class PosixHeapHook : public ::testing::Test {
 protected:
  void SetUp() override {
    heap_ = HeapCreate(0, 4096, 0);
    ASSERT_NE(heap_, nullptr);
  }
  void TearDown() override {
    PosixHeapFailAllocation(0);
    EXPECT_TRUE(HeapDestroy(heap_));
  }
  HANDLE heap_ = nullptr;
};

// HeapAlloc, HeapReAlloc and HeapCreate count; calls that allocate nothing
// (sizes, frees, refused blocks) do not. The hook fires once.
TEST_F(PosixHeapHook, FailsExactlyTheNthAllocatingCallOnce) {
  void* block = HeapAlloc(heap_, 0, 10);
  ASSERT_NE(block, nullptr);
  int local = 0;
  PosixHeapFailAllocation(4);
  void* grown = HeapReAlloc(heap_, 0, block, 20);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(HeapSize(heap_, 0, grown), SIZE_T{20});
  EXPECT_EQ(HeapReAlloc(heap_, 0, &local, 10), nullptr);
  EXPECT_TRUE(HeapFree(heap_, 0, grown));
  HANDLE other = HeapCreate(0, 4096, 0);
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(HeapDestroy(other));
  EXPECT_NE(HeapAlloc(heap_, 0, 10), nullptr);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(HeapAlloc(heap_, HEAP_ZERO_MEMORY, 10), nullptr);
  EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
  for (int i = 0; i < 10; ++i) {
    EXPECT_NE(HeapAlloc(heap_, 0, 10), nullptr) << "after, call " << i;
  }

  PosixHeapFailAllocation(1);
  EXPECT_EQ(HeapCreate(0, 4096, 0), nullptr);
  EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
  PosixHeapFailAllocation(1);
  PosixHeapFailAllocation(0);  // disarmed
  EXPECT_NE(HeapAlloc(heap_, 0, 10), nullptr);
}

// The object tables keep their slots when growing them fails.
TEST_F(PosixHeapHook, FailedReAllocLeavesTheBlockAsItWas) {
  auto* block = static_cast<unsigned char*>(HeapAlloc(heap_, 0, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) {
    block[i] = static_cast<unsigned char>(i);
  }
  for (SIZE_T size : {SIZE_T{4096}, SIZE_T{8}}) {
    PosixHeapFailAllocation(1);
    EXPECT_EQ(HeapReAlloc(heap_, HEAP_ZERO_MEMORY, block, size), nullptr) << "to " << size;
    EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(HeapSize(heap_, 0, block), SIZE_T{64});
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(block[i], i) << "to " << size;
    }
  }
}

size_t BytesInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// In the sanitizer build malloc keeps no statistics; LeakSanitizer reports
// the blocks instead if HeapDestroy forgets them.
TEST(PosixHeapDestroy, FreesEveryBlock) {
  const size_t before = BytesInUse();
  HANDLE heap = HeapCreate(0, 4096, 0);
  ASSERT_NE(heap, nullptr);
  constexpr SIZE_T kBlock = SIZE_T{256} * 1024;
  for (int i = 0; i < 32; ++i) {
    ASSERT_NE(HeapAlloc(heap, 0, kBlock), nullptr);
  }
  void* grown = HeapAlloc(heap, 0, 16);
  ASSERT_NE(grown, nullptr);
  ASSERT_NE(HeapReAlloc(heap, HEAP_ZERO_MEMORY, grown, kBlock), nullptr);
  const size_t during = BytesInUse();
  ASSERT_TRUE(HeapDestroy(heap));
  const size_t after = BytesInUse();
  if (during < before + 32 * kBlock) {
    GTEST_SKIP() << "malloc keeps no statistics here";
  }
  EXPECT_LT(after, before + kBlock) << "before " << before << ", during " << during;
}

// ---------------------------------------------------------------------------
// Files

class PosixKernelFile : public ::testing::Test {
 protected:
  void SetUp() override { alarm(20); }  // a hang fails the test instead of stalling the run
  void TearDown() override {
    for (HANDLE handle : open_) {
      CloseHandle(handle);
    }
    alarm(0);
  }

  std::string Put(const std::string& name, const std::string& content) const {
    std::ofstream(folder_.PathOf(name), std::ios::binary | std::ios::trunc) << content;
    return folder_.PathOf(name);
  }

  HANDLE Open(const std::string& path, DWORD access = GENERIC_READ,
              DWORD disposition = OPEN_EXISTING) {
    HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      open_.push_back(handle);
    }
    return handle;
  }

  TempFolder folder_;
  std::vector<HANDLE> open_;
};

TEST_F(PosixKernelFile, FifoOpensAndReadsWithoutWaiting) {
  const std::string fifo = folder_.PathOf("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // No reader yet: a writer is refused rather than left waiting.
  EXPECT_EQ(Open(fifo, GENERIC_WRITE), INVALID_HANDLE_VALUE);

  HANDLE reader = Open(fifo);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadOnce(reader, 6912), "");
  int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, "abc", 3), 3);
  EXPECT_EQ(ReadOnce(reader, 6912), "abc");
  EXPECT_EQ(ReadOnce(reader, 6912), "");  // the writer is there but says nothing more
  close(writer);
  EXPECT_EQ(ReadOnce(reader, 6912), "");
}

TEST_F(PosixKernelFile, FileTruncatedWhileOpenGivesShortReads) {
  const std::string path = Put("shrinking.scr", std::string(100, 'a') + std::string(9900, 'b'));
  HANDLE file = Open(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadOnce(file, 100), std::string(100, 'a'));
  ASSERT_EQ(truncate(path.c_str(), 150), 0);
  EXPECT_EQ(ReadOnce(file, 6912), std::string(50, 'b'));
  EXPECT_EQ(ReadOnce(file, 6912), "");
  ASSERT_EQ(truncate(path.c_str(), 10), 0);  // below the position: still no failure
  EXPECT_EQ(ReadOnce(file, 6912), "");
}

// Names are bytes: neither UTF-8 nor Windows separators are interpreted.
TEST_F(PosixKernelFile, PathBytesAreHandedThroughUntouched) {
  HANDLE file = Open(Put("\xFF\xFE back\\slash.scr", "bytes"));
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadOnce(file, 100), "bytes");
  EXPECT_EQ(Open(folder_.PathOf("\xFF\xFE back/slash.scr")), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
}

// Sharing follows the file, whatever name it was opened under.
TEST_F(PosixKernelFile, SharingFollowsTheFileNotTheName) {
  const std::string real = Put("real.scr", "x");
  ASSERT_EQ(link(real.c_str(), folder_.PathOf("hard.scr").c_str()), 0);
  ASSERT_EQ(symlink(real.c_str(), folder_.PathOf("soft.scr").c_str()), 0);
  ASSERT_NE(Open(real), INVALID_HANDLE_VALUE);
  for (const char* name : {"hard.scr", "soft.scr"}) {
    EXPECT_EQ(Open(folder_.PathOf(name), GENERIC_WRITE), INVALID_HANDLE_VALUE) << name;
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    EXPECT_NE(Open(folder_.PathOf(name)), INVALID_HANDLE_VALUE) << name;
  }
}

// The close-on-exec flag of each descriptor open on `path`.
std::vector<bool> DescriptorsOn(const std::string& path) {
  std::vector<bool> found;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) {
    return found;
  }
  const std::string wanted = std::filesystem::canonical(path).string();
  while (dirent* entry = readdir(fds)) {
    char target[4096];
    std::string link = std::string("/proc/self/fd/") + entry->d_name;
    ssize_t size = readlink(link.c_str(), target, sizeof target - 1);
    if (size <= 0 || std::string(target, static_cast<size_t>(size)) != wanted) {
      continue;
    }
    int flags = fcntl(std::stoi(entry->d_name), F_GETFD);
    found.push_back(flags >= 0 && (flags & FD_CLOEXEC));
  }
  closedir(fds);
  return found;
}

// The creating mode tries two opens; the refused one must give its
// descriptor back, as must an open refused for naming a folder.
TEST_F(PosixKernelFile, DescriptorsAreClosedAndNeverInherited) {
  const std::string path = Put("watched.scr", "x");
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DescriptorsOn(path), std::vector<bool>{true});
  EXPECT_EQ(Open(path, GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(DescriptorsOn(path).size(), size_t{1});
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_TRUE(DescriptorsOn(path).empty());
  EXPECT_EQ(Open(folder_.Path()), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DescriptorsOn(folder_.Path()).empty());
}

}  // namespace

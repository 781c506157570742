// Our kernel layer where POSIX differs from Win32 or where only our layer can
// be checked: the failing-allocation hook, refused heap blocks, HeapDestroy's
// freeing, and files that are FIFOs, devices, unreadable, deleted or shrinking.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/testing.h"
#include "platform/win32.h"

#define EXPECT_LAST_ERROR(code) EXPECT_EQ(GetLastError(), static_cast<DWORD>(code))

namespace {

constexpr SIZE_T kNoSize = static_cast<SIZE_T>(-1);

class PosixHeapHook : public ::testing::Test {
 protected:
  void SetUp() override {
    heap_ = HeapCreate(0, 4096, 0);
    ASSERT_NE(heap_, nullptr);
  }
  void TearDown() override {
    PosixHeapFailAllocation(0);
    if (heap_ != nullptr) {
      EXPECT_TRUE(HeapDestroy(heap_));
    }
  }
  HANDLE heap_ = nullptr;
};

TEST_F(PosixHeapHook, FailsExactlyTheNthAllocatingCallOnce) {
  PosixHeapFailAllocation(3);
  void* first = HeapAlloc(heap_, 0, 10);
  ASSERT_NE(first, nullptr);
  void* second = HeapReAlloc(heap_, 0, first, 20);
  ASSERT_NE(second, nullptr);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(HeapAlloc(heap_, HEAP_ZERO_MEMORY, 10), nullptr);
  EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
  for (int i = 0; i < 10; ++i) EXPECT_NE(HeapAlloc(heap_, 0, 10), nullptr) << "after, call " << i;
}

TEST_F(PosixHeapHook, CountsOnlyCallsThatWouldAllocate) {
  void* block = HeapAlloc(heap_, 0, 10);
  ASSERT_NE(block, nullptr);
  int local = 0;
  PosixHeapFailAllocation(2);
  EXPECT_EQ(HeapSize(heap_, 0, block), SIZE_T{10});
  EXPECT_EQ(HeapAlloc(&local, 0, 10), nullptr);
  EXPECT_EQ(HeapReAlloc(heap_, 0, &local, 10), nullptr);
  EXPECT_TRUE(HeapFree(heap_, 0, block));
  EXPECT_NE(HeapAlloc(heap_, 0, 10), nullptr);
  EXPECT_EQ(HeapAlloc(heap_, 0, 10), nullptr);
  EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(PosixHeapHook, FailedReAllocLeavesTheBlockAsItWas) {
  auto* block = static_cast<unsigned char*>(HeapAlloc(heap_, 0, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) block[i] = static_cast<unsigned char>(i);
  for (SIZE_T size : {SIZE_T{4096}, SIZE_T{8}}) {
    PosixHeapFailAllocation(1);
    EXPECT_EQ(HeapReAlloc(heap_, HEAP_ZERO_MEMORY, block, size), nullptr) << "to " << size;
    EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(HeapSize(heap_, 0, block), SIZE_T{64});
    for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], i) << "to " << size;
  }
  EXPECT_TRUE(HeapFree(heap_, 0, block));
}

TEST_F(PosixHeapHook, HeapCreateCountsAndZeroDisarms) {
  PosixHeapFailAllocation(1);
  EXPECT_EQ(HeapCreate(0, 4096, 0), nullptr);
  EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY);
  HANDLE other = HeapCreate(0, 4096, 0);
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(HeapDestroy(other));

  PosixHeapFailAllocation(2);
  PosixHeapFailAllocation(0);
  for (int i = 0; i < 10; ++i) EXPECT_NE(HeapAlloc(heap_, 0, 10), nullptr) << "call " << i;
}

// Freeing or asking about a block that is not the heap's own must be refused
// without touching it.
TEST_F(PosixHeapHook, ForeignNullAndFreedBlocksAreRefused) {
  HANDLE other = HeapCreate(0, 4096, 0);
  ASSERT_NE(other, nullptr);
  auto* theirs = static_cast<unsigned char*>(HeapAlloc(other, 0, 32));
  ASSERT_NE(theirs, nullptr);
  std::memset(theirs, 0x3C, 32);

  EXPECT_FALSE(HeapFree(heap_, 0, theirs));
  EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
  EXPECT_EQ(HeapSize(heap_, 0, theirs), kNoSize);
  EXPECT_EQ(HeapReAlloc(heap_, 0, theirs, 64), nullptr);
  EXPECT_FALSE(HeapFree(heap_, 0, nullptr));
  EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(HeapFree(other, 0, theirs + 8));  // inside a block, not its start
  EXPECT_EQ(HeapSize(other, 0, theirs), SIZE_T{32});
  for (int i = 0; i < 32; ++i) ASSERT_EQ(theirs[i], 0x3C);

  EXPECT_TRUE(HeapFree(other, 0, theirs));
  EXPECT_FALSE(HeapFree(other, 0, theirs));
  EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(HeapDestroy(other));
}

TEST_F(PosixHeapHook, BadHeapHandlesAreRefused) {
  HANDLE gone = HeapCreate(0, 4096, 0);
  ASSERT_NE(gone, nullptr);
  ASSERT_TRUE(HeapDestroy(gone));
  int local = 0;
  for (HANDLE bad : {HANDLE{nullptr}, HANDLE{&local}, gone, INVALID_HANDLE_VALUE}) {
    EXPECT_EQ(HeapAlloc(bad, 0, 10), nullptr);
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_FALSE(HeapDestroy(bad));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_EQ(HeapSize(bad, 0, &local), kNoSize);
  }
  // The process heap outlives any attempt to destroy it.
  HANDLE process = GetProcessHeap();
  EXPECT_FALSE(HeapDestroy(process));
  void* block = HeapAlloc(process, 0, 10);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(HeapFree(process, 0, block));
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
  constexpr SIZE_T kBlock = 256 * 1024;
  for (int i = 0; i < 32; ++i) ASSERT_NE(HeapAlloc(heap, 0, kBlock), nullptr);
  void* grown = HeapAlloc(heap, 0, 16);
  ASSERT_NE(grown, nullptr);
  ASSERT_NE(HeapReAlloc(heap, HEAP_ZERO_MEMORY, grown, kBlock), nullptr);
  const size_t during = BytesInUse();
  ASSERT_TRUE(HeapDestroy(heap));
  const size_t after = BytesInUse();
  if (during < before + 32 * kBlock) GTEST_SKIP() << "malloc keeps no statistics here";
  EXPECT_LT(after, before + kBlock) << "before " << before << ", during " << during;
}

// ---------------------------------------------------------------------------
// Files

class PosixKernelFile : public ::testing::Test {
 protected:
  void SetUp() override {
    // A hang fails the test instead of stalling the run.
    alarm(20);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kelpie-kernel-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);  // reachable for the unprivileged child
  }

  void TearDown() override {
    for (HANDLE handle : open_) CloseHandle(handle);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    alarm(0);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  void Put(const std::string& name, const std::string& content) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good());
  }

  HANDLE Open(const std::string& path, DWORD access = GENERIC_READ, DWORD share = FILE_SHARE_READ,
              DWORD disposition = OPEN_EXISTING) {
    HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) open_.push_back(handle);
    return handle;
  }

  // The bytes that one ReadFile of `size` gives, with its success flag.
  static std::string Read(HANDLE file, DWORD size, BOOL* ok = nullptr) {
    std::string buffer(size, '\0');
    DWORD got = 12345;
    BOOL result = ReadFile(file, buffer.data(), size, &got, nullptr);
    if (ok != nullptr) *ok = result;
    buffer.resize(got <= size ? got : 0);
    return buffer;
  }

  static std::string Pattern(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(i * 13 + 1);
    return text;
  }

  std::string dir_;
  std::vector<HANDLE> open_;
};

TEST_F(PosixKernelFile, FifoOpensAndReadsWithoutWaiting) {
  const std::string fifo = Path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // No reader yet: a writer is refused rather than left waiting.
  EXPECT_EQ(Open(fifo, GENERIC_WRITE), INVALID_HANDLE_VALUE);

  HANDLE reader = Open(fifo);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  BOOL ok = FALSE;
  EXPECT_EQ(Read(reader, 6912, &ok), "");
  EXPECT_TRUE(ok);

  int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, "abc", 3), 3);
  EXPECT_EQ(Read(reader, 6912, &ok), "abc");
  EXPECT_TRUE(ok);
  // The writer is still there but has nothing more to say.
  EXPECT_EQ(Read(reader, 6912, &ok), "");
  EXPECT_TRUE(ok);
  close(writer);
  EXPECT_EQ(Read(reader, 6912, &ok), "");
  EXPECT_TRUE(ok);
}

TEST_F(PosixKernelFile, DeviceGivesTheFullCount) {
  HANDLE zero = Open("/dev/zero");
  ASSERT_NE(zero, INVALID_HANDLE_VALUE);
  for (DWORD size : {DWORD{6912}, DWORD{1} << 20}) {
    std::string buffer(size, '\xFF');
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(zero, buffer.data(), size, &got, nullptr));
    EXPECT_EQ(got, size);
    EXPECT_EQ(buffer, std::string(size, '\0'));
  }
}

// Root reads anything, so as root the open is tried by a child that has
// dropped to an unprivileged user.
TEST_F(PosixKernelFile, UnreadableFileIsRefused) {
  Put("secret.scr", "hidden");
  const std::string path = Path("secret.scr");
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file != INVALID_HANDLE_VALUE) _exit(3);
    _exit(GetLastError() == ERROR_ACCESS_DENIED ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "running as root and cannot drop privileges";
  EXPECT_NE(WEXITSTATUS(status), 3) << "the unreadable file was opened";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "refused with the wrong error";
}

TEST_F(PosixKernelFile, FileDeletedWhileOpenStillReads) {
  Put("a.scr", Pattern(6912));
  Put("b.scr", Pattern(6912));
  HANDLE removedBehindOurBack = Open(Path("a.scr"));
  HANDLE deletedHere = Open(Path("b.scr"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_NE(removedBehindOurBack, INVALID_HANDLE_VALUE);
  ASSERT_NE(deletedHere, INVALID_HANDLE_VALUE);
  ASSERT_EQ(unlink(Path("a.scr").c_str()), 0);
  ASSERT_TRUE(DeleteFileA(Path("b.scr").c_str()));
  EXPECT_EQ(GetFileAttributesA(Path("b.scr").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Read(removedBehindOurBack, 6912), Pattern(6912));
  EXPECT_EQ(Read(deletedHere, 6912), Pattern(6912));
}

TEST_F(PosixKernelFile, FileTruncatedWhileOpenGivesShortReads) {
  Put("shrinking.scr", Pattern(10000));
  const std::string path = Path("shrinking.scr");
  HANDLE file = Open(path);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Read(file, 100), Pattern(100));
  ASSERT_EQ(truncate(path.c_str(), 150), 0);
  BOOL ok = FALSE;
  EXPECT_EQ(Read(file, 6912, &ok), Pattern(150).substr(100));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Read(file, 6912, &ok), "");
  EXPECT_TRUE(ok);
  // Cut below the position: still nothing, still no failure.
  ASSERT_EQ(truncate(path.c_str(), 10), 0);
  EXPECT_EQ(Read(file, 6912, &ok), "");
  EXPECT_TRUE(ok);
}

// Names are bytes: neither UTF-8 nor Windows separators are interpreted.
TEST_F(PosixKernelFile, PathBytesAreHandedThroughUntouched) {
  const std::string name = "\xFF\xFE back\\slash.scr";
  Put(name, "bytes");
  HANDLE file = Open(Path(name));
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Read(file, 100), "bytes");
  EXPECT_NE(GetFileAttributesA(Path(name).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Open(Path("\xFF\xFE back/slash.scr")), INVALID_HANDLE_VALUE);
  EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
}

// Sharing follows the file, whatever name it was opened under.
TEST_F(PosixKernelFile, SharingFollowsTheFileNotTheName) {
  Put("real.scr", "x");
  ASSERT_EQ(link(Path("real.scr").c_str(), Path("hard.scr").c_str()), 0);
  ASSERT_EQ(symlink(Path("real.scr").c_str(), Path("soft.scr").c_str()), 0);
  ASSERT_NE(Open(Path("real.scr")), INVALID_HANDLE_VALUE);
  for (const char* name : {"hard.scr", "soft.scr"}) {
    EXPECT_EQ(Open(Path(name), GENERIC_WRITE), INVALID_HANDLE_VALUE) << name;
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    EXPECT_NE(Open(Path(name)), INVALID_HANDLE_VALUE) << name;
  }
  // Deleting another name of an open file would not free it either.
  EXPECT_FALSE(DeleteFileA(Path("hard.scr").c_str()));
  EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
  // A symbolic link is a name of its own.
  EXPECT_TRUE(DeleteFileA(Path("soft.scr").c_str()));
}

// Handles are our own records, never descriptors or other objects' handles.
TEST_F(PosixKernelFile, ForgedHandlesAreRefused) {
  struct {
    int fd = 0;
    DWORD access = GENERIC_READ | GENERIC_WRITE;
  } lookalike;
  HANDLE heap = HeapCreate(0, 4096, 0);
  ASSERT_NE(heap, nullptr);
  char text[8];
  for (HANDLE forged : {HANDLE{&lookalike}, heap, HANDLE(static_cast<intptr_t>(0))}) {
    DWORD count = 12345;
    EXPECT_FALSE(ReadFile(forged, text, sizeof text, &count, nullptr));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, DWORD{0});
    EXPECT_FALSE(CloseHandle(forged));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE);
  }
  EXPECT_TRUE(HeapDestroy(heap));
}

// Descriptors open on `path`, each with its close-on-exec flag.
std::vector<bool> DescriptorsOn(const std::string& path) {
  std::vector<bool> found;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return found;
  const std::string wanted = std::filesystem::canonical(path).string();
  while (dirent* entry = readdir(fds)) {
    char target[4096];
    std::string link = std::string("/proc/self/fd/") + entry->d_name;
    ssize_t size = readlink(link.c_str(), target, sizeof target - 1);
    if (size <= 0 || std::string(target, static_cast<size_t>(size)) != wanted) continue;
    int flags = fcntl(std::stoi(entry->d_name), F_GETFD);
    found.push_back(flags >= 0 && (flags & FD_CLOEXEC));
  }
  closedir(fds);
  return found;
}

TEST_F(PosixKernelFile, DescriptorsAreClosedAndNeverInherited) {
  Put("watched.scr", "x");
  const std::string path = Path("watched.scr");
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DescriptorsOn(path), std::vector<bool>{true});
  // Refused opens give their descriptor back.
  EXPECT_EQ(Open(path, GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(DescriptorsOn(path).size(), size_t{1});
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_TRUE(DescriptorsOn(path).empty());
  // So do opens refused for naming a folder.
  EXPECT_EQ(Open(dir_), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DescriptorsOn(dir_).empty());
}

}  // namespace

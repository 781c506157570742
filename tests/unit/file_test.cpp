#include "toolkit/io/file.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/runtime_fixture.h"
#include "tests/support/temp_files.h"
#include "toolkit/base/object.h"

namespace {

class FileServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBaseServices();
    FileLibraryInit();
  }
  void TearDown() override { FileLibraryEnd(); }

  // True when nothing in the process holds the file against writers.
  static bool WritableByOthers(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      return false;
    }
    CloseHandle(h);
    return true;
  }

  TempFolder folder;
};

TEST_F(FileServiceTest, ScreenSizedReadsReturnWhatTheFileHolds) {
  const auto full = Pattern(6912);
  const auto longer = Pattern(10000, 7);
  struct Case {
    std::vector<unsigned char> bytes;
    int32_t expected;
  };
  const Case cases[] = {{full, 6912}, {Pattern(100, 3), 100}, {{}, 0}, {longer, 6912}};
  for (const Case& c : cases) {
    const std::string path = folder.Write("screen.scr", c.bytes);
    ASSERT_NE(FileOpenRead(0, path.c_str()), 0) << c.bytes.size();
    std::vector<unsigned char> memory(6912, 0xEE);
    EXPECT_EQ(FileReadData(0, memory.data(), 6912), c.expected);
    for (int32_t i = 0; i < 6912; ++i) {
      const unsigned char want = i < c.expected ? c.bytes[i] : 0xEE;
      ASSERT_EQ(memory[i], want) << "size " << c.bytes.size() << " byte " << i;
    }
    FileClose(0);
  }
}

TEST_F(FileServiceTest, SmallReadsAreServedInOrderAndEndShort) {
  const std::string path = folder.Write("fifteen", Pattern(15));
  ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
  unsigned char memory[16] = {};
  EXPECT_EQ(FileReadData(0, memory, 10), 10);
  EXPECT_EQ(FileReadData(0, memory + 10, 10), 5);
  EXPECT_EQ(FileReadData(0, memory + 15, 1), 0);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(memory[i], i);
  }
}

TEST_F(FileServiceTest, MixedReadSizesAcrossTheBufferKeepTheFileInOrder) {
  const auto bytes = Pattern(30000, 11);
  const std::string path = folder.Write("mixed", bytes);
  const intptr_t number = FileOpenRead(OBJECT_ANY, path.c_str());
  ASSERT_NE(number, 0);
  // Sizes that straddle the 4096-byte buffer: single moves, refills, bypasses.
  const int32_t sizes[] = {1, 2, 4, 4095, 4096, 3, 5000, 4097, 1, 8191, 2, 4, 9000};
  std::vector<unsigned char> got;
  for (int32_t size : sizes) {
    std::vector<unsigned char> chunk(size);
    const int32_t n = FileReadData(number, chunk.data(), size);
    ASSERT_GE(n, 0);
    got.insert(got.end(), chunk.begin(), chunk.begin() + n);
  }
  ASSERT_EQ(got.size(), bytes.size());
  EXPECT_TRUE(got == bytes);
}

TEST_F(FileServiceTest, ReopeningANumberClosesTheOldFileEvenWhenTheNewOpenFails) {
  const std::string path = folder.Write("first", Pattern(100));
  ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
  EXPECT_FALSE(WritableByOthers(path));  // shared for reading only

  EXPECT_EQ(FileOpenRead(0, folder.PathOf("missing").c_str()), 0);
  EXPECT_TRUE(WritableByOthers(path));
  unsigned char memory[4] = {9, 9, 9, 9};
  EXPECT_EQ(FileReadData(0, memory, 4), 0);
  EXPECT_EQ(memory[0], 9);
}

TEST_F(FileServiceTest, NumbersWithoutAnOpenFileReadNothing) {
  unsigned char memory[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(FileReadData(0, memory, 8), 0);
  EXPECT_EQ(FileReadData(5, memory, 8), 0);
  EXPECT_EQ(FileReadData(reinterpret_cast<intptr_t>(&memory), memory, 8), 0);
  EXPECT_EQ(FileReadData(-3, memory, 8), 0);
  EXPECT_EQ(memory[0], 1);
  EXPECT_EQ(memory[7], 8);
  FileClose(7);
  FileClose(OBJECT_ANY);
}

TEST_F(FileServiceTest, FoldersAndMissingFilesDoNotOpen) {
  EXPECT_EQ(FileOpenRead(0, folder.Path().c_str()), 0);
  EXPECT_EQ(FileOpenRead(OBJECT_ANY, folder.PathOf("nothing").c_str()), 0);
  EXPECT_EQ(FileOpenRead(1, ""), 0);
  EXPECT_EQ(FileOpenRead(-4, folder.Path().c_str()), 0);
}

TEST_F(FileServiceTest, LibraryEndClosesEveryOpenFile) {
  const std::string a = folder.Write("a", Pattern(10));
  const std::string b = folder.Write("b", Pattern(10));
  ASSERT_NE(FileOpenRead(3, a.c_str()), 0);
  ASSERT_NE(FileOpenRead(OBJECT_ANY, b.c_str()), 0);
  FileLibraryEnd();
  EXPECT_TRUE(WritableByOthers(a));
  EXPECT_TRUE(WritableByOthers(b));
  unsigned char memory[1];
  EXPECT_EQ(FileReadData(3, memory, 1), 0);
}

TEST_F(FileServiceTest, WritingModesCreateOrTruncate) {
  const std::string path = folder.Write("existing", Pattern(50));
  ASSERT_NE(FileOpen(FILE_MODE_READ_WRITE, 0, path.c_str()), 0);
  unsigned char memory[64];
  EXPECT_EQ(FileReadData(0, memory, 64), 50);  // opened as it is

  ASSERT_NE(FileOpen(FILE_MODE_CREATE, 0, path.c_str()), 0);
  EXPECT_EQ(FileReadData(0, memory, 64), 0);  // truncated

  const std::string made = folder.PathOf("made");
  ASSERT_NE(FileOpen(FILE_MODE_READ_WRITE, 1, made.c_str()), 0);
  FileClose(1);
  EXPECT_TRUE(WritableByOthers(made));
}

}  // namespace

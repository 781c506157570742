// The file service against what a POSIX system can throw at it: FIFOs,
// devices, files that vanish or shrink while open, and no memory for the
// read-ahead buffer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/posix/testing.h"
#include "tests/support/runtime_fixture.h"
#include "tests/support/temp_files.h"
#include "toolkit/io/file.h"

namespace {

class FileEdgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartBaseServices();
    FileLibraryInit();
  }
  void TearDown() override {
    PosixHeapFailAllocation(0);
    FileLibraryEnd();
  }
  TempFolder folder;
};

TEST_F(FileEdgeTest, FifoWithoutWriterReadsNothingAndDoesNotHang) {
  const std::string fifo = folder.PathOf("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<unsigned char> memory(6912, 0x5A);
  if (FileOpenRead(0, fifo.c_str()) != 0) {
    EXPECT_EQ(FileReadData(0, memory.data(), 6912), 0);
  }
  EXPECT_EQ(memory[0], 0x5A);
}

TEST_F(FileEdgeTest, EndlessDeviceGivesExactlyTheRequestedCount) {
  ASSERT_NE(FileOpenRead(0, "/dev/zero"), 0);
  std::vector<unsigned char> memory(6912, 0x5A);
  EXPECT_EQ(FileReadData(0, memory.data(), 6912), 6912);
  EXPECT_EQ(memory[6911], 0);
}

TEST_F(FileEdgeTest, DeletedFileStillReadsWhatItHeld) {
  const auto bytes = Pattern(6912, 5);
  const std::string path = folder.Write("gone", bytes);
  ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
  std::filesystem::remove(path);
  std::vector<unsigned char> memory(6912);
  EXPECT_EQ(FileReadData(0, memory.data(), 6912), 6912);
  EXPECT_TRUE(memory == bytes);
}

TEST_F(FileEdgeTest, FileTruncatedWhileOpenGivesShortCounts) {
  const std::string path = folder.Write("shrinking", Pattern(9000));
  ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
  std::vector<unsigned char> memory(6912, 0xEE);
  ASSERT_EQ(truncate(path.c_str(), 100), 0);
  EXPECT_EQ(FileReadData(0, memory.data(), 6912), 100);
  EXPECT_EQ(memory[100], 0xEE);
}

// What the buffer holds outlives the file's content; what bypassed it does not.
TEST_F(FileEdgeTest, RequestsBelowTheBufferSizeReadAheadAndLargerOnesBypass) {
  const auto bytes = Pattern(10000);
  const std::string path = folder.Write("ahead", bytes);
  std::vector<unsigned char> memory(FILE_BUFFER_SIZE);

  ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
  ASSERT_EQ(FileReadData(0, memory.data(), FILE_BUFFER_SIZE - 1), FILE_BUFFER_SIZE - 1);
  ASSERT_EQ(truncate(path.c_str(), 0), 0);
  EXPECT_EQ(FileReadData(0, memory.data(), 10), 1);  // the buffered last byte
  EXPECT_EQ(memory[0], bytes[FILE_BUFFER_SIZE - 1]);

  folder.Write("ahead", bytes);
  ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
  ASSERT_EQ(FileReadData(0, memory.data(), FILE_BUFFER_SIZE), FILE_BUFFER_SIZE);
  ASSERT_EQ(truncate(path.c_str(), 0), 0);
  EXPECT_EQ(FileReadData(0, memory.data(), 10), 0);  // nothing was buffered
}

TEST_F(FileEdgeTest, WithoutMemoryForTheBufferEveryReadGoesToTheFile) {
  const auto bytes = Pattern(200, 9);
  const std::string path = folder.Write("unbuffered", bytes);
  PosixHeapFailAllocation(1);  // the buffer's allocation
  ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
  PosixHeapFailAllocation(0);
  std::vector<unsigned char> memory(20);
  ASSERT_EQ(FileReadData(0, memory.data(), 10), 10);
  EXPECT_EQ(memory[9], bytes[9]);
  // Unbuffered: nothing was read ahead, so a shrunken file shows at once.
  ASSERT_EQ(truncate(path.c_str(), 15), 0);
  EXPECT_EQ(FileReadData(0, memory.data(), 20), 5);
  EXPECT_EQ(memory[0], bytes[10]);
}

}  // namespace

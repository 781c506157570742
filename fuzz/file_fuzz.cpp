// The file service hands out a file's bytes in order, whatever the sequence of
// read sizes: the input is split into a file and a list of request sizes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/support/runtime_fixture.h"
#include "tests/support/temp_files.h"
#include "toolkit/io/file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TempFolder* folder = [] {
    StartBaseServices();
    FileLibraryInit();
    return new TempFolder();
  }();
  // First byte: how many 2-byte request sizes follow; the rest is the file.
  const size_t requests = size > 0 ? data[0] % 16 : 0;
  const size_t header = 1 + 2 * requests;
  if (size < header) {
    return 0;
  }
  const std::vector<unsigned char> content(data + header, data + size);
  const std::string path = folder->Write("input", content);
  if (FileOpenRead(0, path.c_str()) == 0) {
    std::abort();
  }

  std::vector<unsigned char> got;
  for (size_t i = 0; i < requests; ++i) {
    const int32_t length = (data[1 + 2 * i] | (data[2 + 2 * i] << 8)) % 9000;
    std::vector<unsigned char> memory(static_cast<size_t>(length) + 1, 0xA5);
    const int32_t n = FileReadData(0, memory.data(), length);
    if (n < 0 || n > length || memory[static_cast<size_t>(length)] != 0xA5) {
      std::abort();
    }
    got.insert(got.end(), memory.begin(), memory.begin() + n);
  }
  if (got.size() > content.size() || !std::equal(got.begin(), got.end(), content.begin())) {
    std::abort();
  }
  FileClose(0);
  return 0;
}

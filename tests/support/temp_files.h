// Scratch files for tests, in a folder of their own that goes with the test.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

class TempFolder {
 public:
  TempFolder() {
    // Unique across processes too: tests run side by side, and an address
    // alone repeats between processes without address randomisation.
    static std::atomic<int> counter{0};
    std::random_device entropy;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string tag = std::to_string(entropy()) + "-" + std::to_string(stamp);
    path_ = std::filesystem::temp_directory_path() /
            ("kelpie-test-" + tag + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Writes `bytes` to a file in the folder; its path as 8-bit text.
  std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Bytes 0, 1, 2, … wrapping at 251 (a prime, so no block size lines up with it).
inline std::vector<unsigned char> Pattern(size_t size, unsigned seed = 0) {
  std::vector<unsigned char> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((i + seed) % 251);
  return bytes;
}

// Whole-picture comparison for the tests that check pixels. On a mismatch the
// actual, expected and difference images are written as PPM files, named
// after the running test, into the folder named by KELPIE_TEST_IMAGES (else
// the test's working directory), and the failure names them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace image_diff {

using Pixels = std::vector<uint32_t>;  // row-major, 0x00BBGGRR

inline bool WritePpm(const std::string& path, const Pixels& image, int width, int height) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  std::vector<unsigned char> bytes;
  bytes.reserve(image.size() * 3);
  for (const uint32_t c : image) {
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    bytes.push_back(static_cast<unsigned char>((c >> 16) & 0xFF));
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Differing pixels red, equal ones a faint grey of the expected picture.
inline Pixels Difference(const Pixels& actual, const Pixels& expected) {
  Pixels diff(expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    if (actual[i] != expected[i]) {
      diff[i] = 0x0000FF;
    } else {
      const uint32_t c = expected[i];
      const uint32_t grey = 160 + ((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF)) / 8;
      diff[i] = grey * 0x010101;
    }
  }
  return diff;
}

// Writes <test>.<n>.{actual,expected,diff}.ppm; answers a line naming them.
inline std::string WriteImages(const Pixels& actual, const Pixels& expected, int width,
                               int height) {
  const char* folder = std::getenv("KELPIE_TEST_IMAGES");
  const std::filesystem::path dir = folder != nullptr && *folder != '\0'
                                        ? std::filesystem::absolute(folder)
                                        : std::filesystem::current_path();
  std::string name = "image";
  if (const auto* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string(test->test_suite_name()) + "." + test->name();
  }
  for (char& c : name) {
    if (c == '/') {
      c = '_';  // parameterised tests
    }
  }
  static int serial = 0;
  name += "." + std::to_string(++serial);
  std::string message = "images:";
  const std::pair<const char*, const Pixels*> parts[] = {
      {"actual", &actual}, {"expected", &expected}, {"diff", nullptr}};
  const Pixels diff = Difference(actual, expected);
  for (const auto& [kind, image] : parts) {
    const std::string path = (dir / (name + "." + kind + ".ppm")).string();
    const bool written = WritePpm(path, image != nullptr ? *image : diff, width, height);
    message += " " + path + (written ? "" : " (could not be written)");
  }
  return message;
}

// Compares two width x height pictures; a failure lists the first differing
// pixels and the files written.
inline ::testing::AssertionResult ImagesMatch(const Pixels& actual, const Pixels& expected,
                                              int width, int height) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (actual.size() != pixels || expected.size() != pixels) {
    return ::testing::AssertionFailure()
           << "image sizes " << actual.size() << " and " << expected.size() << ", want " << pixels;
  }
  size_t wrong = 0;
  std::string first;
  for (size_t i = 0; i < pixels; ++i) {
    if (actual[i] != expected[i] && ++wrong <= 8) {
      char line[96];
      std::snprintf(line, sizeof line, "  (%zu, %zu): got 0x%06X, want 0x%06X\n",
                    i % static_cast<size_t>(width), i / static_cast<size_t>(width),
                    static_cast<unsigned>(actual[i]), static_cast<unsigned>(expected[i]));
      first += line;
    }
  }
  if (wrong == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << wrong << " pixels differ (colours 0x00BBGGRR):\n"
                                       << first << WriteImages(actual, expected, width, height);
}

}  // namespace image_diff

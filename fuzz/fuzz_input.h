// Reads a fuzzer's input as a sequence of typed values; past the end every
// value is zero or empty, so a target never reads out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return offset_ >= size_; }

  uint8_t Byte() { return offset_ < size_ ? data_[offset_++] : 0; }

  int32_t Int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      v |= uint32_t{Byte()} << (8 * i);
    }
    return static_cast<int32_t>(v);
  }

  int64_t Int64() {
    const auto low = static_cast<uint32_t>(Int32());
    const auto high = static_cast<uint32_t>(Int32());
    return static_cast<int64_t>((uint64_t{high} << 32) | low);
  }

  // A coordinate or size: mostly small values around a picture of about
  // `span` pixels, sometimes any 32-bit value, so that edges and overflow
  // both get tried.
  int32_t Coordinate(int32_t span) {
    const uint8_t kind = Byte();
    if (kind % 4 != 3) {
      return static_cast<int32_t>(Byte() % (2 * span)) - span / 2;
    }
    return Int32();
  }

  // The text up to the next zero byte (or the end), at most `limit` bytes.
  std::string Text(size_t limit = 4096) {
    std::string text;
    while (offset_ < size_ && text.size() < limit) {
      const char c = static_cast<char>(data_[offset_++]);
      if (c == '\0') {
        break;
      }
      text.push_back(c);
    }
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

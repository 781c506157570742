// One ReadFile call as the tests of files make it, on our layer and on Win32.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

// The bytes one successful ReadFile of `size` gives.
inline std::string ReadOnce(HANDLE file, DWORD size) {
  std::string buffer(size, '\0');
  DWORD got = 12345;
  EXPECT_TRUE(ReadFile(file, buffer.data(), size, &got, nullptr));
  buffer.resize(got <= size ? got : 0);
  return buffer;
}

#include "tools/kelpie-render/batch.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

BatchInputs::BatchInputs(const RenderArguments& arguments) : arguments_(arguments) {}

bool BatchInputs::Next(std::string* input) {
  if (listed_ < arguments_.inputs.size()) {
    *input = arguments_.inputs[listed_++];
    ++count_;
    return true;
  }
  while (!exhausted_ && arguments_.inputsFromStdin && std::getline(std::cin, *input)) {
    if (!input->empty()) {
      ++count_;
      return true;
    }
  }
  exhausted_ = true;
  return false;
}

std::string OutputNames::Claim(const std::string& input, std::string* failure) {
  const fs::path name = fs::path(input).filename();
  if (name.empty() || name == "." || name == "..") {
    *failure = input + ": names no file";
    return "";
  }
  std::string output = (fs::path(folder_) / name.stem()).string() + ".png";
  if (!taken_.insert(output).second) {
    *failure = input + ": " + output + " is the output of an earlier input too";
    return "";
  }
  return output;
}

std::string OutDirRefusal(const std::string& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(folder), error);
  if (error) {
    return folder + ": " + error.message();
  }
  return fs::is_directory(status) ? "" : folder + ": not a folder";
}

Progress::Progress() : shown_(StderrIsTerminal()) {}

Progress::~Progress() { Clear(); }

void Progress::Done(size_t done, size_t total, bool totalKnown) {
  done_ = done;
  total_ = total;
  totalKnown_ = totalKnown;
  const Clock::time_point now = Clock::now();
  if (shown_ && now - drawn_ >= std::chrono::milliseconds(100)) {
    drawn_ = now;
    Draw();
  }
}

void Progress::Report(const std::string& line) {
  Clear();
  std::fprintf(stderr, "kelpie-render: %s\n", line.c_str());
  if (shown_ && done_ > 0) {
    Draw();
  }
}

void Progress::Draw() {
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
  constexpr int kBarWidth = 24;
  char bar[kBarWidth + 1] = {};
  char left[32] = "";
  if (totalKnown_ && total_ > 0) {
    const auto filled = static_cast<int>(static_cast<double>(kBarWidth) *
                                         static_cast<double>(done_) / static_cast<double>(total_));
    for (int i = 0; i < kBarWidth; ++i) {
      bar[i] = i < filled ? '#' : '.';
    }
    if (rate > 0) {
      const long remaining = std::lround(static_cast<double>(total_ - done_) / rate);
      std::snprintf(left, sizeof left, ", %ld:%02ld left", remaining / 60, remaining % 60);
    }
    std::fprintf(stderr, "\r[%s] %zu/%zu, %.0f/s%s\033[K", bar, done_, total_, rate, left);
  } else {
    std::fprintf(stderr, "\r%zu done, %.0f/s\033[K", done_, rate);
  }
  std::fflush(stderr);
  onScreen_ = true;
}

void Progress::Clear() {
  if (onScreen_) {
    std::fputs("\r\033[K", stderr);
    onScreen_ = false;
  }
}

// kelpie-render --out-dir: many inputs, each NAME.scr to DIR/NAME.png. What
// every platform shares: where the inputs come from, the outputs' names and
// the progress bar. RunBatch itself is per platform.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "tools/kelpie-render/arguments.h"

// The exit status of the whole batch: 0 all written, 1 any failed.
int RunBatch(const RenderArguments& arguments);

bool StderrIsTerminal();

// The inputs listed, then (for "-") the names on standard input one a line,
// read as they are asked for. Empty lines name nothing.
class BatchInputs {
 public:
  explicit BatchInputs(const RenderArguments& arguments);
  bool Next(std::string* input);
  // Whether every input has been handed out, and so their count is known.
  bool Exhausted() const { return exhausted_; }
  size_t Count() const { return count_; }

 private:
  const RenderArguments& arguments_;
  size_t listed_ = 0;
  size_t count_ = 0;
  bool exhausted_ = false;
};

// DIR/NAME.png for each input; an output that an earlier input already has
// is a clash. Only the names are kept.
class OutputNames {
 public:
  explicit OutputNames(std::string folder) : folder_(std::move(folder)) {}
  // The output, or "" with the line to report in `failure`.
  std::string Claim(const std::string& input, std::string* failure);

 private:
  std::string folder_;
  std::unordered_set<std::string> taken_;
};

// Why the batch cannot start (the folder is missing, not a folder), or "".
std::string OutDirRefusal(const std::string& folder);

// Count, rate and time left on stderr, redrawn at most ten times a second;
// only when stderr is a terminal. A failure's line is written above it.
class Progress {
 public:
  Progress();
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void Done(size_t done, size_t total, bool totalKnown);
  void Report(const std::string& line);

 private:
  void Draw();
  void Clear();
  using Clock = std::chrono::steady_clock;
  bool shown_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_{};
  size_t done_ = 0;
  size_t total_ = 0;
  bool totalKnown_ = false;
  bool onScreen_ = false;
};

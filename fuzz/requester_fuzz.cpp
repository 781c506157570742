// The file requester end to end on the headless display: the toolkit builds
// the dialog's filter list and default name from any texts, the dialog reads
// them and takes any sequence of answers (single paths, several files,
// cancel), refusing what it must, and the requester turns the accepted answer
// into its result.
//
// Input: a flags byte, the pattern position, title, default file and pattern
// texts (zero-terminated), then answers: a kind byte and its texts.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/posix/headless.h"
#include "tests/support/runtime_fixture.h"
#include "tests/support/temp_files.h"
#include "toolkit/io/requester.h"

namespace {

void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

// A folder to answer from, with a file, a screen and a subfolder; relative
// answers count from it.
const TempFolder& Folder() {
  static const TempFolder* folder = [] {
    StartBaseServices();
    auto* made = new TempFolder();
    made->Write("a", {1});
    std::filesystem::create_directories(made->PathOf("b"));
    made->Write("b/c.scr", {2});
    if (chdir(made->Path().c_str()) != 0) {
      std::abort();
    }
    return made;
  }();
  return *folder;
}

// The description/pattern pairs that "d|p|d|p…" describes: the list ends at
// the first empty description or pattern, or a description without one.
std::vector<std::pair<std::string, std::string>> PairsOf(const std::string& patterns) {
  std::vector<std::string> parts(1);
  for (const char c : patterns) {
    if (c == '|') {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = 0; i + 1 < parts.size() && !parts[i].empty() && !parts[i + 1].empty(); i += 2) {
    pairs.emplace_back(parts[i], parts[i + 1]);
  }
  return pairs;
}

void QueueAnswers(FuzzInput& in) {
  for (int answers = 0; answers < 6 && !in.Empty(); ++answers) {
    const uint8_t kind = in.Byte() % 3;
    if (kind == 0) {
      HeadlessAnswerFileDialog(std::nullopt);
    } else if (kind == 1) {
      const int filter = in.Byte() % 8 - 1;  // -1: the one it opened with
      HeadlessAnswerFileDialog(in.Text(600), filter);
    } else {
      std::vector<std::string> files(1 + in.Byte() % 4);
      for (std::string& file : files) {
        file = in.Text(300);
      }
      HeadlessAnswerFileDialogFiles(files);
    }
  }
  HeadlessAnswerFileDialog(std::nullopt);  // whatever was refused, the dialog ends
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Folder();
  FuzzInput in(data, size);
  const uint8_t flags = in.Byte();
  const int32_t position = flags & 0x80 ? in.Int32() : static_cast<int8_t>(in.Byte());
  const std::string title = in.Text(200);
  const std::string defaultFile = in.Text(600);
  const std::string patterns = in.Text(600);
  QueueAnswers(in);

  const int shownBefore = HeadlessLastFileDialog().shown;
  const intptr_t start = ScratchPosition();
  RequestFile(start, flags & 1 ? REQUEST_MULTIPLE : 0, title.c_str(),
              flags & 4 ? nullptr : defaultFile.c_str(), flags & 8 ? nullptr : patterns.c_str(),
              position, flags & 2);
  char* value = nullptr;
  StringAssignResult(&value, start);
  Check(ScratchPosition() == start && value != nullptr);
  const std::string result = value;
  StringAssign(&value, nullptr);
  HeadlessClearAnswers();

  const HeadlessFileDialogRecord dialog = HeadlessLastFileDialog();
  Check(dialog.shown == shownBefore + 1 && !dialog.up);
  const auto pairs = PairsOf(flags & 8 ? "" : patterns);
  Check(dialog.filters == pairs);
  Check(dialog.filter == (position >= 0 && static_cast<size_t>(position) < pairs.size()
                              ? static_cast<size_t>(position)
                              : 0));
  // An answer taken is a full path to a file (it need not exist) in a folder
  // that does.
  if (!result.empty()) {
    const std::filesystem::path path(result);
    Check(path.is_absolute() && path.has_filename());
    std::error_code error;
    Check(std::filesystem::is_directory(path.parent_path(), error));
    Check(!std::filesystem::is_directory(path, error));
  }
  return 0;
}

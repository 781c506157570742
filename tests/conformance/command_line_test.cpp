// The command line as one piece (GetCommandLineA) and the viewer's splitting
// of it: by the C runtime's rules it must give back the process's arguments,
// against real Win32 (under Wine) and against our layer, which builds the line
// from the arguments. Natively a run of its own passes awkward arguments.
#include "viewer/app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsByTheRuntimesRules) {
  const struct {
    const char* line;
    Arguments want;
  } cases[] = {
      {"kelpie", {"kelpie"}},
      {"kelpie  a\tb  ", {"kelpie", "a", "b"}},
      {"\"C:\\Program Files\\kelpie.exe\" x", {"C:\\Program Files\\kelpie.exe", "x"}},
      {"C:\\a\\kelpie.exe \"\"", {"C:\\a\\kelpie.exe", ""}},
      {"k \"two words\" tab\"\t\"in", {"k", "two words", "tab\tin"}},
      {"k a\\\\b a\\\\\\\"b a\\\\\"b c\"", {"k", "a\\\\b", "a\\\"b", "a\\b c"}},
      {"k \"ends\\\\\" next", {"k", "ends\\", "next"}},
      {"k \"say \"\"hi\"\"\"", {"k", "say \"hi\""}},
      {"k \"unclosed \\", {"k", "unclosed \\"}},
      {"\"no end", {"no end"}},
      {"", {""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandLineArguments(c.line), c.want) << c.line;
  }
}

// argv as the C runtime gave it to main, which GoogleTest kept.
TEST(CommandLine, GivesBackTheProcessArguments) {
  const char* line = GetCommandLineA();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(CommandLineArguments(line), testing::internal::GetArgvs()) << line;
  EXPECT_EQ(GetCommandLineA(), line);  // one copy for the process
}

}  // namespace

#include "viewer/app/command_line.h"

#include <cstddef>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) {
    ++p;
  }
  return p;
}

const char* ProgramName(const char* p, std::string* name) {
  if (*p == '"') {
    for (++p; *p != '\0' && *p != '"'; ++p) {
      name->push_back(*p);
    }
    return *p == '"' ? p + 1 : p;
  }
  for (; *p != '\0' && !IsBlank(*p); ++p) {
    name->push_back(*p);
  }
  return p;
}

const char* Argument(const char* p, std::string* arg) {
  bool quoted = false;
  while (*p != '\0' && (quoted || !IsBlank(*p))) {
    size_t backslashes = 0;
    while (*p == '\\') {
      ++backslashes;
      ++p;
    }
    if (*p != '"') {
      arg->append(backslashes, '\\');
      if (*p != '\0' && (quoted || !IsBlank(*p))) {
        arg->push_back(*p++);
      }
      continue;
    }
    arg->append(backslashes / 2, '\\');
    if (backslashes % 2 == 1) {
      arg->push_back('"');
    } else if (quoted && p[1] == '"') {
      arg->push_back('"');
      ++p;
    } else {
      quoted = !quoted;
    }
    ++p;
  }
  return p;
}

}  // namespace

std::vector<std::string> CommandLineArguments(const char* line) {
  std::vector<std::string> arguments(1);
  const char* p = ProgramName(line, &arguments.front());
  for (p = SkipBlanks(p); *p != '\0'; p = SkipBlanks(p)) {
    arguments.emplace_back();
    p = Argument(p, &arguments.back());
  }
  return arguments;
}

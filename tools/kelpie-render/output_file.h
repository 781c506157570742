// Writing kelpie-render's OUTPUT so that nothing else is ever changed and
// OUTPUT is either left as it was or replaced whole.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Why OUTPUT must not be written, or empty when it may: it is INPUT itself (by
// any path or link), a symbolic link, or an existing file that is not regular.
std::string OutputRefusal(const std::string& input, const std::string& output);

// Writes the bytes to a new file beside OUTPUT, made exclusively under an
// unpredictable name and flushed to disk, and renames it over OUTPUT, keeping
// the permissions of an OUTPUT it replaces. On failure OUTPUT is untouched, the
// new file is gone and `error` says why.
bool ReplaceOutput(const std::string& output, const std::vector<unsigned char>& bytes,
                   std::string* error);

// OUTPUT as a path with its folder ("./NAME" for a bare name), or false with
// `error` set when it names no file.
inline bool OutputTarget(const std::string& output, std::filesystem::path* target,
                         std::string* error) {
  *target = output;
  if (!target->has_filename()) {
    *error = "is not a file name";
    return false;
  }
  if (!target->has_parent_path()) {
    *target = std::filesystem::path(".") / *target;
  }
  return true;
}

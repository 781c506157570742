#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "tools/kelpie-render/output_file.h"

namespace fs = std::filesystem;

namespace {

constexpr int TEMP_NAME_TRIES = 16;
constexpr size_t TEMP_NAME_KEPT = 64;

std::string ErrorText(DWORD error) {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

// Volume and file index of an existing file, opened without access rights.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info, DWORD* type) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  *type = GetFileType(file);
  const bool known = GetFileInformationByHandle(file, info) != 0;
  CloseHandle(file);
  return known;
}

// ".NAME.RANDOM.tmp" in OUTPUT's folder; CREATE_NEW fails on any existing name.
HANDLE CreateTemp(const fs::path& output, std::string* path, std::string* error) {
  std::random_device random;
  const std::string prefix = "." + output.filename().string().substr(0, TEMP_NAME_KEPT) + ".";
  for (int attempt = 0; attempt < TEMP_NAME_TRIES; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%08x%08x.tmp", random(), random());
    *path = (output.parent_path() / (prefix + suffix)).string();
    HANDLE file = CreateFileA(path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      return file;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) {
      break;
    }
  }
  *error = ErrorText(GetLastError());
  return INVALID_HANDLE_VALUE;
}

// The bytes, flushed to disk; 0 or the error.
DWORD FillTemp(HANDLE file, const std::vector<unsigned char>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (WriteFile(file, bytes.data() + done, chunk, &written, nullptr) == 0 || written == 0) {
      return GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
    }
    done += written;
  }
  return FlushFileBuffers(file) != 0 ? ERROR_SUCCESS : GetLastError();
}

// ReplaceFile keeps an existing OUTPUT's attributes and security settings (and,
// without a backup name, leaves it as it was when it fails); a new OUTPUT is a
// plain rename. 0 or the error.
DWORD MoveIntoPlace(const std::string& temp, const std::string& output) {
  if (GetFileAttributesA(output.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return ReplaceFileA(output.c_str(), temp.c_str(), nullptr, 0, nullptr, nullptr) != 0
               ? ERROR_SUCCESS
               : GetLastError();
  }
  return MoveFileExA(temp.c_str(), output.c_str(), MOVEFILE_WRITE_THROUGH) != 0 ? ERROR_SUCCESS
                                                                                : GetLastError();
}

}  // namespace

std::string OutputRefusal(const std::string& input, const std::string& output) {
  const DWORD attributes = GetFileAttributesA(output.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return {};  // a new file; if it cannot be made, writing says why
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return "is a symbolic link";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return "is a directory";
  }
  BY_HANDLE_FILE_INFORMATION target{};
  DWORD type = FILE_TYPE_UNKNOWN;
  if (!FileIdentity(output, &target, &type) || type != FILE_TYPE_DISK) {
    return "not a regular file";
  }
  BY_HANDLE_FILE_INFORMATION source{};
  if (FileIdentity(input, &source, &type) &&
      source.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
      source.nFileIndexHigh == target.nFileIndexHigh &&
      source.nFileIndexLow == target.nFileIndexLow) {
    return "is the input file";
  }
  return {};
}

bool ReplaceOutput(const std::string& output, const std::vector<unsigned char>& bytes,
                   std::string* error) {
  fs::path target;
  if (!OutputTarget(output, &target, error)) {
    return false;
  }
  std::string tempPath;
  HANDLE file = CreateTemp(target, &tempPath, error);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD failure = FillTemp(file, bytes);
  if (CloseHandle(file) == 0 && failure == ERROR_SUCCESS) {
    failure = GetLastError();
  }
  if (failure == ERROR_SUCCESS) {
    failure = MoveIntoPlace(tempPath, target.string());
  }
  if (failure != ERROR_SUCCESS) {
    DeleteFileA(tempPath.c_str());
    *error = ErrorText(failure);
    return false;
  }
  return true;
}

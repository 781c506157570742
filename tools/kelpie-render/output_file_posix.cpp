#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/kelpie-render/output_file.h"

namespace fs = std::filesystem;

namespace {

constexpr int TEMP_NAME_TRIES = 16;
constexpr size_t TEMP_NAME_KEPT = 64;  // of OUTPUT's name, to stay within NAME_MAX

std::string ErrnoText(int error) { return std::generic_category().message(error); }

struct TempFile {
  int fd = -1;
  std::string path;
};

// ".NAME.RANDOM.tmp" in OUTPUT's folder, created exclusively (O_EXCL also
// refuses a symbolic link planted at the name) with the usual 0666 & ~umask.
TempFile CreateTemp(const fs::path& output, std::string* error) {
  const std::string prefix = "." + output.filename().string().substr(0, TEMP_NAME_KEPT) + ".";
  for (int attempt = 0; attempt < TEMP_NAME_TRIES; ++attempt) {
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
      *error = ErrnoText(errno);
      return {};
    }
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%016" PRIx64 ".tmp", random);
    TempFile temp{-1, (output.parent_path() / (prefix + suffix)).string()};
    temp.fd = open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (temp.fd >= 0) {
      return temp;
    }
    if (errno != EEXIST) {
      *error = ErrnoText(errno);
      return {};
    }
  }
  *error = ErrnoText(EEXIST);
  return {};
}

// 0, or the errno of the first failure.
int WriteAll(int fd, const std::vector<unsigned char>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      return put < 0 ? errno : EIO;
    }
    done += static_cast<size_t>(put);
  }
  return 0;
}

// The contents, permissions and (by fsync) the data of the temporary; 0 or an errno.
int FillTemp(int fd, const std::vector<unsigned char>& bytes, const struct stat* replaced) {
  int error = WriteAll(fd, bytes);
  if (error == 0 && replaced != nullptr && fchmod(fd, replaced->st_mode & 0777) != 0) {
    error = errno;
  }
  if (error == 0 && fsync(fd) != 0) {
    error = errno;
  }
  if (close(fd) != 0 && error == 0) {
    error = errno;
  }
  return error;
}

// Makes the rename itself durable. Best effort: OUTPUT is already replaced, so a
// failure here (a folder that cannot be opened for reading) cannot be undone.
void SyncFolder(const fs::path& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

std::string OutputRefusal(const std::string& input, const std::string& output) {
  struct stat target {};
  if (lstat(output.c_str(), &target) != 0) {
    return {};  // a new file; if it cannot be made, writing says why
  }
  if (S_ISLNK(target.st_mode)) {
    return "is a symbolic link";
  }
  if (S_ISDIR(target.st_mode)) {
    return "is a directory";
  }
  if (!S_ISREG(target.st_mode)) {
    return "not a regular file";
  }
  struct stat source {};
  if (stat(input.c_str(), &source) == 0 && source.st_dev == target.st_dev &&
      source.st_ino == target.st_ino) {
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
  const fs::path folder = target.parent_path();
  struct stat replaced {};
  const bool replacing = lstat(target.c_str(), &replaced) == 0;
  if (replacing && !S_ISREG(replaced.st_mode)) {
    *error = "not a regular file";
    return false;
  }
  const TempFile temp = CreateTemp(target, error);
  if (temp.fd < 0) {
    return false;
  }
  int failure = FillTemp(temp.fd, bytes, replacing ? &replaced : nullptr);
  if (failure == 0 && rename(temp.path.c_str(), target.c_str()) != 0) {
    failure = errno;
  }
  if (failure != 0) {
    unlink(temp.path.c_str());
    *error = ErrnoText(failure);
    return false;
  }
  SyncFolder(folder);
  return true;
}

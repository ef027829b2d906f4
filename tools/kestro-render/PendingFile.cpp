#include "tools/kestro-render/PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kestro {

PendingFile::PendingFile(std::string path) : path_(std::move(path)) {}

PendingFile::~PendingFile() {
  if (fd_ >= 0) {
    close(fd_);
  }
  if (!temp_.empty() && !committed_) {
    unlink(temp_.c_str());
  }
}

bool PendingFile::Create(std::string& error) {
  const std::filesystem::path target(path_);
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string hidden = target.filename().string();
  hidden.insert(hidden.begin(), '.');
  hidden += ".tmp-XXXXXX";
  const std::string pattern = (dir / hidden).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = mkstemp(name.data());
  if (fd_ < 0) {
    error = "cannot create a file in " + dir.string() + ": " + std::strerror(errno);
    return false;
  }
  temp_ = name.data();
  // mkstemp makes the file private; the result should get the usual
  // permissions of a new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
  return true;
}

int PendingFile::TakeDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool PendingFile::Commit(std::string& error) {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    error = "cannot write " + path_ + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace kestro

#include "tools/kestro-render/SoundFile.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace kestro {

bool SoundFile::OpenRead(const std::string& path, std::string& error) {
  Close();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    error = "no such file: " + path;
    return false;
  }
  if (std::filesystem::is_directory(path, ec)) {
    error = path + " is a directory";
    return false;
  }
  info_ = SF_INFO{};
  file_ = sf_open(path.c_str(), SFM_READ, &info_);
  if (file_ == nullptr) {
    error = "cannot read " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  return true;
}

bool SoundFile::OpenWrite(int fd, const std::string& name, const SF_INFO& info, std::string& error) {
  Close();
  info_ = info;
  file_ = sf_open_fd(fd, SFM_WRITE, &info_, SF_TRUE);
  if (file_ == nullptr) {
    error = "cannot write " + name + ": " + sf_strerror(nullptr);
    close(fd);
    return false;
  }
  // Integer formats: a make-up gain may push samples past full scale; clip
  // them rather than let them wrap around.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}

bool SoundFile::Close() {
  if (file_ == nullptr) {
    return true;
  }
  const int result = sf_close(file_);
  file_ = nullptr;
  return result == 0;
}

}  // namespace kestro

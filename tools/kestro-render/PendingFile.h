#pragma once

#include <string>

namespace kestro {

// An output file that appears only when complete: written under a hidden
// temporary name in the same directory (so the final rename cannot cross
// file systems) and renamed over the target by Commit. Until then the
// destructor removes it, so a failed or interrupted run leaves nothing.
class PendingFile {
 public:
  explicit PendingFile(std::string path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the temporary file; false with the reason in error.
  bool Create(std::string& error);
  // Hands the open descriptor to the caller (for sf_open_fd or fdopen), who
  // closes it before Commit.
  int TakeDescriptor();
  bool Commit(std::string& error);

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace kestro

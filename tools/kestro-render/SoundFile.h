#pragma once

#include <sndfile.h>

#include <string>

namespace kestro {

// An open libsndfile handle, closed with the object.
class SoundFile {
 public:
  SoundFile() = default;
  ~SoundFile() { Close(); }
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  // false with the reason in error.
  bool OpenRead(const std::string& path, std::string& error);
  // Takes over fd; info gives format, channels and rate.
  bool OpenWrite(int fd, const std::string& name, const SF_INFO& info, std::string& error);
  // false when the file could not be finished (a write error shows here).
  bool Close();

  SNDFILE* Handle() const { return file_; }
  const SF_INFO& Info() const { return info_; }

 private:
  SNDFILE* file_ = nullptr;
  SF_INFO info_{};
};

}  // namespace kestro

#pragma once

#include "pluginterfaces/base/ibstream.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace kestro {

// A growable in-memory IBStream that can be told to fail, to see how a
// plug-in copes with a full disk or a truncated project file. Reference
// counted and deleted with its last reference, like the SDK's MemoryStream.
class HostMemoryStream : public Steinberg::IBStream {
 public:
  HostMemoryStream() = default;
  explicit HostMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  virtual ~HostMemoryStream() = default;

  // Failing writes deliver nothing and report kResultFalse; failing reads
  // likewise.
  void SetFailWrites(bool fail) { failWrites_ = fail; }
  void SetFailReads(bool fail) { failReads_ = fail; }
  // A read that meets the end delivers what is left. By default it reports
  // kResultOk, as the SDK's MemoryStream does, so only the byte count tells;
  // some hosts' streams report kResultFalse instead. A plug-in has to cope
  // with both.
  void SetFailShortReads(bool fail) { failShortReads_ = fail; }
  // Each read delivers at most this many bytes (a pipe, a chunked archive
  // reader), reporting success while the end has not been met. 0: no limit.
  void SetMaxReadBytes(Steinberg::int32 limit) { maxReadBytes_ = limit; }

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  void Rewind() { position_ = 0; }
  std::int64_t Position() const { return position_; }

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) override;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                     Steinberg::int64* result) override;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

 private:
  std::vector<std::uint8_t> bytes_;
  std::int64_t position_ = 0;
  bool failWrites_ = false;
  bool failReads_ = false;
  bool failShortReads_ = false;
  Steinberg::int32 maxReadBytes_ = 0;
  std::atomic<Steinberg::uint32> refs_{1};
};

}  // namespace kestro

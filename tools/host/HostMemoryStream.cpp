#include "tools/host/HostMemoryStream.h"

#include <algorithm>
#include <cstring>

namespace kestro {

using namespace Steinberg;

tresult PLUGIN_API HostMemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  if (numBytesRead != nullptr) {
    *numBytesRead = 0;
  }
  if (failReads_ || numBytes < 0 || (buffer == nullptr && numBytes > 0)) {
    return kResultFalse;
  }
  const auto size = static_cast<std::int64_t>(bytes_.size());
  const std::int64_t available = std::max<std::int64_t>(0, size - position_);
  std::int64_t limit = std::min<std::int64_t>(numBytes, available);
  if (maxReadBytes_ > 0) limit = std::min<std::int64_t>(limit, maxReadBytes_);
  const auto count = static_cast<int32>(limit);
  if (count > 0) {
    std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(count));
    position_ += count;
  }
  if (numBytesRead != nullptr) {
    *numBytesRead = count;
  }
  return failShortReads_ && count < numBytes && position_ >= size ? kResultFalse : kResultOk;
}

tresult PLUGIN_API HostMemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  if (numBytesWritten != nullptr) {
    *numBytesWritten = 0;
  }
  if (failWrites_ || numBytes < 0 || (buffer == nullptr && numBytes > 0)) {
    return kResultFalse;
  }
  const auto end = static_cast<size_t>(position_) + static_cast<size_t>(numBytes);
  if (end > bytes_.size()) {
    bytes_.resize(end);
  }
  if (numBytes > 0) {
    std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(numBytes));
  }
  position_ += numBytes;
  if (numBytesWritten != nullptr) {
    *numBytesWritten = numBytes;
  }
  return kResultOk;
}

tresult PLUGIN_API HostMemoryStream::seek(int64 pos, int32 mode, int64* result) {
  std::int64_t base = 0;
  switch (mode) {
    case kIBSeekSet:
      base = 0;
      break;
    case kIBSeekCur:
      base = position_;
      break;
    case kIBSeekEnd:
      base = static_cast<std::int64_t>(bytes_.size());
      break;
    default:
      return kInvalidArgument;
  }
  if (base + pos < 0) {
    return kResultFalse;
  }
  position_ = base + pos;
  if (result != nullptr) {
    *result = position_;
  }
  return kResultOk;
}

tresult PLUGIN_API HostMemoryStream::tell(int64* pos) {
  if (pos == nullptr) {
    return kInvalidArgument;
  }
  *pos = position_;
  return kResultOk;
}

tresult PLUGIN_API HostMemoryStream::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) {
    return kInvalidArgument;
  }
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, IBStream::iid)) {
    addRef();
    *obj = static_cast<IBStream*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API HostMemoryStream::addRef() { return ++refs_; }

uint32 PLUGIN_API HostMemoryStream::release() {
  const uint32 left = --refs_;
  if (left == 0) {
    delete this;
  }
  return left;
}

}  // namespace kestro

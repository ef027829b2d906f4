#include "core/StateChunk.h"

#include <algorithm>
#include <bit>
#include <new>

namespace kestro {

static_assert(std::endian::native == std::endian::little,
              "stored state is little-endian; a big-endian target would need byte swapping");

namespace {
// Storage grows in large steps so that writing a state does not reallocate
// for every value.
constexpr int kMinCapacity = 1024;
}  // namespace

StateChunk::StateChunk(int maxSize) : maxSize_(std::clamp(maxSize, 0, kMaxSize)) {}

bool StateChunk::Reserve(int capacity) {
  if (capacity <= capacity_) return true;
  if (capacity > maxSize_) return false;
  int64_t grown = std::max<int64_t>(kMinCapacity, static_cast<int64_t>(capacity_) * 2);
  grown = std::min<int64_t>(std::max<int64_t>(grown, capacity), maxSize_);
  std::unique_ptr<uint8_t[]> next(new (std::nothrow) uint8_t[static_cast<size_t>(grown)]);
  if (!next) return false;
  if (size_ > 0) std::memcpy(next.get(), data_.get(), static_cast<size_t>(size_));
  data_ = std::move(next);
  capacity_ = static_cast<int>(grown);
  return true;
}

bool StateChunk::SetSize(int size) {
  if (size < 0 || !Reserve(size)) return false;
  if (size > size_) std::memset(data_.get() + size_, 0, static_cast<size_t>(size - size_));
  size_ = size;
  return true;
}

int StateChunk::AppendBytes(const void* bytes, int count) {
  if (count < 0 || count > maxSize_ - size_ || !Reserve(size_ + count)) return 0;
  if (count > 0) std::memcpy(data_.get() + size_, bytes, static_cast<size_t>(count));
  size_ += count;
  return size_;
}

int StateChunk::ReadBytes(void* out, int count, int position) const {
  if (position < 0 || count < 0 || count > size_ - position) return -1;
  if (count > 0) std::memcpy(out, data_.get() + position, static_cast<size_t>(count));
  return position + count;
}

}  // namespace kestro

#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

namespace kestro {

// Growable byte buffer for serialised state. Values are copied in the
// machine's byte order, which is little-endian on every target we build for.
// Failures are reported by results: an append that cannot grow returns 0 and
// leaves the chunk as it was; a read past the end returns -1.
class StateChunk {
 public:
  // Largest size a chunk may reach; positions are 32-bit ints.
  static constexpr int kMaxSize = 0x7FFFFFF0;

  explicit StateChunk(int maxSize = kMaxSize);
  StateChunk(const StateChunk&) = delete;
  StateChunk& operator=(const StateChunk&) = delete;

  int Size() const { return size_; }
  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }

  // Sets the size, growing the storage as needed (new bytes are zero).
  // Returns false, changing nothing, when the storage cannot grow.
  bool SetSize(int size);
  void Clear() { size_ = 0; }

  // Appends raw bytes; returns the new size, or 0 when they do not fit.
  int AppendBytes(const void* bytes, int count);
  // Copies count bytes at position into out; returns position + count, or
  // -1 (copying nothing) when they are not all inside the chunk.
  int ReadBytes(void* out, int count, int position) const;

  template <typename T>
  int Append(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return AppendBytes(&value, static_cast<int>(sizeof(T)));
  }

  template <typename T>
  int Read(T& value, int position) const {
    static_assert(std::is_trivially_copyable_v<T>);
    return ReadBytes(&value, static_cast<int>(sizeof(T)), position);
  }

 private:
  bool Reserve(int capacity);

  std::unique_ptr<uint8_t[]> data_;
  int size_ = 0;
  int capacity_ = 0;
  int maxSize_;
};

}  // namespace kestro

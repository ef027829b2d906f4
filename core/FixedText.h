#pragma once

#include <cstddef>
#include <cstring>

namespace kestro {

// A text held in a fixed-size field, always terminated. Longer input is cut
// at the field's capacity, never written past it: hosts and editors hand us
// arbitrary strings, and the fields mirror fixed-size records hosts expect.
template <std::size_t N>
class FixedText {
  static_assert(N > 1, "a text field needs room for at least one character");

 public:
  static constexpr std::size_t kCapacity = N - 1;

  FixedText() { text_[0] = '\0'; }
  FixedText(const char* s) { Set(s); }  // NOLINT(google-explicit-constructor): reads like a string

  void Set(const char* s) {
    std::size_t n = s ? strnlen(s, kCapacity) : 0;
    std::memcpy(text_, s ? s : "", n);
    text_[n] = '\0';
  }

  const char* c_str() const { return text_; }
  char* data() { return text_; }
  std::size_t size() const { return std::strlen(text_); }
  bool empty() const { return text_[0] == '\0'; }

  bool operator==(const char* s) const { return std::strcmp(text_, s ? s : "") == 0; }

 private:
  char text_[N];
};

}  // namespace kestro

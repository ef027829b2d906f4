#include "vst3/HostText.h"

namespace kestro {

void WidenText(const char* text, Steinberg::Vst::TChar* out) {
  int i = 0;
  if (text) {
    for (; i < kHostTextChars && text[i] != '\0'; ++i) {
      out[i] = static_cast<Steinberg::Vst::TChar>(static_cast<unsigned char>(text[i]));
    }
  }
  out[i] = 0;
}

void NarrowText(const Steinberg::Vst::TChar* text, char* out, int maxChars) {
  int i = 0;
  if (text) {
    for (; i < maxChars && text[i] != 0; ++i) out[i] = static_cast<char>(text[i] & 0xFF);
  }
  out[i] = '\0';
}

}  // namespace kestro

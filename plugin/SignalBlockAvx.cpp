// Built with AVX enabled (see CMakeLists.txt); only ever called after a
// run-time check.
#include "plugin/SignalBlockImpl.h"

namespace kestro {

void RunSignalBlockAvx(SignalBlock& block) { RunSignalBlock(block); }

}  // namespace kestro

// Built with AVX-512F and VL enabled (see CMakeLists.txt); only ever called
// after a run-time check.
#include "plugin/SignalBlockImpl.h"

namespace kestro {

void RunSignalBlockAvx512(SignalBlock& block) { RunSignalBlock(block); }

}  // namespace kestro

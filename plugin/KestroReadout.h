#pragma once

#include <string>

namespace kestro {

// What the editor's read-out says for a parameter at a plain value: its
// name and the value the compressor really uses, in its units ("Threshold
// -23.40 dB", "Attack 0.45 ms", "Ratio 3:1", "Compressor out"). The dial
// marks printed on the panel are artwork and do not match these. Empty for
// an index that is no parameter.
std::string KestroReadout(int param, double value);

}  // namespace kestro

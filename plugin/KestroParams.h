#pragma once

namespace kestro {

// Parameter indexes. The stored state and the host's parameter ids follow
// this order, so it must never change.
enum KestroParam : int {
  ParamThreshold = 0,
  ParamOutput = 1,
  ParamAttack = 2,
  ParamRelease = 3,
  ParamRatio = 4,
  ParamSide = 5,
  ParamMix = 6,
  ParamBypass = 7,
  ParamOversample = 8,
  ParamSidechain = 9,
  kNumKestroParams = 10,
};

}  // namespace kestro

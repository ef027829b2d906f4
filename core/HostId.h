#pragma once

#include <cstdint>

namespace kestro {

// The host application, recognised from its self-reported name. The numbers
// are fixed (some are unassigned) and must not be renumbered.
enum class HostId : int32_t {
  Uninitialised = -1,
  Unknown = 0,
  Reaper = 1,
  ProTools = 2,
  Cubase = 3,
  Nuendo = 4,
  Cakewalk = 5,
  Fruity = 7,
  Samplitude = 8,
  Live = 9,
  Melodyne = 12,
  VstManLib = 13,
  AuLab = 14,
  Forte = 15,
  Chainer = 16,
  Audition = 17,
  Orion = 18,
  SawStudio = 20,
  Logic = 21,
  GarageBand = 22,
  Digital = 23,
  Standalone = 24,
  AudioMulch = 25,
  Presonus = 26,
  Vst3PluginTestHost = 27,
  Ardour = 28,
  Renoise = 29,
  OpenMpt = 30,
};

// Matches a host name against the known name fragments, in a fixed order:
// the first fragment found decides. Unrecognised names give Unknown.
HostId HostIdFromName(const char* name);

}  // namespace kestro

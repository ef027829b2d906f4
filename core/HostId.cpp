#include "core/HostId.h"

#include <cctype>
#include <cstring>

namespace kestro {

namespace {

struct HostFragment {
  const char* fragment;
  HostId id;
};

// Checked in this order: a name holding several fragments takes the first.
constexpr HostFragment kHostFragments[] = {
    {"cubase", HostId::Cubase},
    {"reaper", HostId::Reaper},
    {"nuendo", HostId::Nuendo},
    {"cakewalk", HostId::Cakewalk},
    {"samplitude", HostId::Samplitude},
    {"fruity", HostId::Fruity},
    {"live", HostId::Live},
    {"melodyne", HostId::Melodyne},
    {"vstmanlib", HostId::VstManLib},
    {"aulab", HostId::AuLab},
    {"garageband", HostId::GarageBand},
    {"forte", HostId::Forte},
    {"chainer", HostId::Chainer},
    {"audition", HostId::Audition},
    {"orion", HostId::Orion},
    {"sawstudio", HostId::SawStudio},
    {"logic", HostId::Logic},
    {"digital", HostId::Digital},
    {"audiomulch", HostId::AudioMulch},
    {"presonus", HostId::Presonus},
    {"vst3plugintesthost", HostId::Vst3PluginTestHost},
    {"protools", HostId::ProTools},
    {"ardour", HostId::Ardour},
    {"openmpt", HostId::OpenMpt},
    {"renoise", HostId::Renoise},
    {"standalone", HostId::Standalone},
};

constexpr std::size_t kMaxNameLength = 255;

}  // namespace

HostId HostIdFromName(const char* name) {
  char lower[kMaxNameLength + 1];
  std::size_t n = 0;
  if (name) {
    for (; n < kMaxNameLength && name[n] != '\0'; ++n) {
      lower[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[n])));
    }
  }
  lower[n] = '\0';

  for (const HostFragment& entry : kHostFragments) {
    if (std::strstr(lower, entry.fragment)) return entry.id;
  }
  return HostId::Unknown;
}

}  // namespace kestro

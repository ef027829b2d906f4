#include "core/HostId.h"

#include <gtest/gtest.h>

#include <string>

namespace kestro {
namespace {

TEST(HostId, LookupByNameFragment) {
  struct Case {
    const char* name;
    HostId id;
  };
  for (Case c : {
           Case{"REAPER64", HostId::Reaper},
           Case{"Cubase 12", HostId::Cubase},
           Case{"Cubase and Nuendo", HostId::Cubase},
           Case{"Nuendo Reaper", HostId::Reaper},  // order, not position in the name
           Case{"ProTools", HostId::ProTools},
           Case{"Pro Tools", HostId::Unknown},
           Case{"Olive", HostId::Live},
           Case{"Ableton Live 11", HostId::Live},
           Case{"Ardour 8", HostId::Ardour},
           Case{"OpenMPT", HostId::OpenMpt},
           Case{"Renoise", HostId::Renoise},
           Case{"VST3PluginTestHost", HostId::Vst3PluginTestHost},
           Case{"FL Studio (Fruity)", HostId::Fruity},
           Case{"Digital Performer", HostId::Digital},
           Case{"PreSonus Studio One", HostId::Presonus},
           Case{"GarageBand", HostId::GarageBand},
           Case{"My Standalone Host", HostId::Standalone},
           Case{"", HostId::Unknown},
           Case{"Bitwig Studio", HostId::Unknown},
       }) {
    EXPECT_EQ(HostIdFromName(c.name), c.id) << c.name;
  }
  EXPECT_EQ(HostIdFromName(nullptr), HostId::Unknown);
}

TEST(HostId, LongNamesAreReadUpTo255Characters) {
  std::string name(254, 'x');
  name += "reaper";  // starts at 254: cut at 255, so the fragment is lost
  EXPECT_EQ(HostIdFromName(name.c_str()), HostId::Unknown);
  name = std::string(249, 'x') + "reaper";
  EXPECT_EQ(HostIdFromName(name.c_str()), HostId::Reaper);
}

TEST(HostId, NumbersAreStable) {
  EXPECT_EQ(static_cast<int>(HostId::Uninitialised), -1);
  EXPECT_EQ(static_cast<int>(HostId::Cubase), 3);
  EXPECT_EQ(static_cast<int>(HostId::GarageBand), 22);
  EXPECT_EQ(static_cast<int>(HostId::Standalone), 24);
  EXPECT_EQ(static_cast<int>(HostId::OpenMpt), 30);
}

}  // namespace
}  // namespace kestro

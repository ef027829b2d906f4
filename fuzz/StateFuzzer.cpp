// Host state through the built module: setState from whole, short, trickled
// and failing streams, getState into good and failing streams, the
// component's state calls, and parameter sets, in any order. After every
// call each parameter is finite and in its range, the saved state is 84
// bytes, and a value the stream did not deliver whole keeps its old bits.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/ModuleUnderFuzz.h"
#include "pluginterfaces/base/smartpointer.h"
#include "tools/host/HostMemoryStream.h"

namespace kestro::fuzz {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr int kParams = 10;
constexpr size_t kParamBytes = 8 * kParams;
constexpr size_t kStateBytes = kParamBytes + 4;
constexpr ParamID kBypassId = 0x62706173;  // 'bpas'
constexpr ParamID kPresetId = 0x70727374;  // 'prst'

// Values a careless host sends: out of range, not numbers, the edges.
double HostValue(FuzzInput& in) {
  constexpr double kValues[] = {0.0, 1.0, 0.5, -1.0, 2.0, 1e300, -1e-300, INFINITY, -INFINITY, NAN};
  const int pick = in.Pick(0, 11);
  if (pick < 10) return kValues[pick];
  return pick == 10 ? in.Byte() / 255.0 : in.Double();
}

std::vector<uint8_t> Save(IEditController& controller) {
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream);
  Require(controller.getState(stream) == kResultOk, "getState into a good stream succeeds");
  return stream->Bytes();
}

double StoredValue(const std::vector<uint8_t>& state, int index) {
  double value;
  std::memcpy(&value, state.data() + 8 * index, sizeof value);
  return value;
}

int32 StoredBypass(const std::vector<uint8_t>& state) {
  int32 bypass;
  std::memcpy(&bypass, state.data() + kParamBytes, sizeof bypass);
  return bypass;
}

// What must hold whatever the host did.
std::vector<uint8_t> CheckInvariants(IEditController& controller) {
  const auto state = Save(controller);
  Require(state.size() == kStateBytes, "the saved state is 84 bytes");
  for (int i = 0; i < kParams; ++i) {
    const auto id = static_cast<ParamID>(i);
    const double normalized = controller.getParamNormalized(id);
    Require(std::isfinite(normalized) && normalized >= 0.0 && normalized <= 1.0, "normalised values stay in 0..1");
    const double value = StoredValue(state, i);
    const double lo = controller.normalizedParamToPlain(id, 0.0);
    const double hi = controller.normalizedParamToPlain(id, 1.0);
    Require(std::isfinite(value) && value >= std::fmin(lo, hi) && value <= std::fmax(lo, hi),
            "saved values are finite and in their ranges");
  }
  const double bypass = controller.getParamNormalized(kBypassId);
  Require(bypass == 0.0 || bypass == 1.0, "bypass is on or off");
  Require(StoredBypass(state) == (bypass == 1.0 ? 1 : 0), "the saved bypass is the bypass parameter");
  return state;
}

void Restore(FuzzInput& in, IEditController& controller, IComponent& component) {
  const auto before = Save(controller);
  const bool viaComponent = in.Pick(0, 3) == 0;
  const auto bytes = in.Bytes(in.Pick(0, 100));
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream(bytes));
  stream->SetMaxReadBytes(in.Pick(0, 16));
  stream->SetFailShortReads(in.Bool());
  const bool failReads = in.Pick(0, 15) == 0;
  stream->SetFailReads(failReads);
  // Hosts restore through either interface; both reach the one state.
  const tresult result = viaComponent ? component.setState(stream) : controller.setState(stream);

  const auto after = CheckInvariants(controller);
  const bool whole = !failReads && bytes.size() >= kStateBytes;
  Require((result == kResultOk) == whole, "only a whole state is reported restored");
  const size_t delivered = failReads ? 0 : std::min<size_t>(static_cast<size_t>(stream->Position()), kParamBytes);
  for (size_t i = delivered / 8; i < static_cast<size_t>(kParams); ++i) {
    Require(std::memcmp(after.data() + 8 * i, before.data() + 8 * i, 8) == 0,
            "a value the stream did not deliver whole keeps its old value");
  }
  if (whole) {
    int32 bypass;
    std::memcpy(&bypass, bytes.data() + kParamBytes, sizeof bypass);
    Require(StoredBypass(after) == (bypass != 0 ? 1 : 0), "a whole state restores its bypass");
  } else {
    Require(StoredBypass(after) == StoredBypass(before), "a short state leaves bypass alone");
  }
}

void SaveInto(FuzzInput& in, IEditController& controller) {
  const auto before = Save(controller);
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream);
  const bool fail = in.Bool();
  stream->SetFailWrites(fail);
  const tresult result = controller.getState(stream);
  Require((result == kResultOk) != fail, "a failing stream is told so, a good one gets the state");
  Require(Save(controller) == before, "saving changes nothing");
}

// The combined component's state is the controller's (one object answers
// both getState calls); the controller's copy of the component state is
// not used, so setComponentState must change nothing, whatever it gets.
void ComponentCalls(FuzzInput& in, IComponent& component, IEditController& controller) {
  const auto before = Save(controller);
  const int call = in.Pick(0, 2);
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream(in.Bytes(in.Pick(0, 100))));
  if (call == 0) {
    IPtr<HostMemoryStream> saved = owned(new HostMemoryStream);
    Require(component.getState(saved) == kResultOk && saved->Bytes() == before,
            "the component saves the same state as the controller");
  } else {
    controller.setComponentState(call == 1 ? stream.get() : nullptr);
  }
  Require(Save(controller) == before, "component state calls change nothing");
}

void SetParameter(FuzzInput& in, IEditController& controller) {
  constexpr ParamID kIds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, kBypassId, kPresetId, 0xFFFFFFFF};
  const ParamID id = kIds[in.Pick(0, 13)];
  controller.setParamNormalized(id, HostValue(in));
}

}  // namespace
}  // namespace kestro::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kestro::fuzz;
  FuzzInput in(data, size);
  auto instance = NewInstance();
  auto& controller = *instance->Controller();
  auto& component = *instance->Component();
  CheckInvariants(controller);
  for (int step = 0; step < 16 && !in.Empty(); ++step) {
    switch (in.Pick(0, 4)) {
      case 0:
      case 1:
        Restore(in, controller, component);
        break;
      case 2:
        SaveInto(in, controller);
        break;
      case 3:
        ComponentCalls(in, component, controller);
        break;
      default:
        SetParameter(in, controller);
        CheckInvariants(controller);
        break;
    }
  }
  return 0;
}

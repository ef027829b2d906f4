// Prints KESTRO's parameters as a host shows them after loading the
// plug-in, and the state a host would save.
#include <cstdio>

#include "plugin/Kestro.h"

int main() {
  kestro::Kestro plugin;
  // A host's initialisation ends by loading the first preset.
  if (!plugin.LoadPreset(0)) {
    std::fprintf(stderr, "kestro-info: loading the default preset failed\n");
    return 1;
  }

  std::printf("%s by %s, %d parameters, preset 0 \"%s\"\n\n", plugin.EffectName(), plugin.MakerName(),
              plugin.ParamCount(), plugin.PresetName(0));
  std::printf("%-3s %-11s %-5s %8s %16s %10s %6s\n", "id", "name", "unit", "default", "range", "shown", "steps");
  for (int i = 0; i < plugin.ParamCount(); ++i) {
    const kestro::IParamEntry& p = *plugin.ParamAt(i);
    char range[80];
    std::snprintf(range, sizeof range, "%s..%s", p.FormatValue(p.Minimum()).c_str(),
                  p.FormatValue(p.Maximum()).c_str());
    std::printf("%-3d %-11s %-5s %8s %16s %10s %6d\n", i, p.Name(), p.UnitLabel(), p.FormatValue(p.Default()).c_str(),
                range, p.FormatValue(p.Value()).c_str(), p.StepCount());
  }

  kestro::StateChunk state;
  if (!plugin.SerializeParams(state)) {
    std::fprintf(stderr, "kestro-info: writing the state failed\n");
    return 1;
  }
  std::printf("\nsaved state, %d bytes (one little-endian double per parameter):\n", state.Size());
  for (int i = 0; i < state.Size(); ++i) {
    std::printf("%02x%s", state.Data()[i], (i % 8 == 7) ? ((i % 32 == 31) ? "\n" : "  ") : " ");
  }
  if (state.Size() % 32 != 0) std::printf("\n");
  return 0;
}

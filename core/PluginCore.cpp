#include "core/PluginCore.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestro {

namespace {

// Channel counts beyond this are treated as a malformed configuration: the
// counts size arrays, and no real bus layout comes near it.
constexpr long kMaxChannels = 1024;

// Reads a decimal int at text like sscanf's "%d": leading spaces, an
// optional sign and digits. Returns false when there is no number.
bool ReadCount(const char* text, const char** end, int32_t& value) {
  char* stop = nullptr;
  errno = 0;
  long v = std::strtol(text, &stop, 10);
  *end = stop;
  if (stop == text) return false;
  value = static_cast<int32_t>(std::clamp(v, -kMaxChannels, kMaxChannels));
  return true;
}

}  // namespace

PluginCore::PluginCore(int paramCount, const char* channelIOString, int presetCount, const char* effectName,
                       const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
                       int32_t makerId, int latency)
    : uniqueId_(uniqueId), makerId_(makerId), version_(version), latency_(std::max(latency, 0)) {
  params_.reserve(static_cast<size_t>(std::max(paramCount, 0)));
  for (int i = 0; i < paramCount; ++i) params_.push_back(std::make_unique<IParamEntry>());
  presets_.reserve(static_cast<size_t>(std::max(presetCount, 0)));
  for (int i = 0; i < presetCount; ++i) presets_.push_back(std::make_unique<PresetSlot>());
  effectName_.Set(effectName);
  productName_.Set(productName);
  makerName_.Set(makerName);
  ParseChannelConfigs(channelIOString ? channelIOString : "");
}

PluginCore::~PluginCore() {
  // The editor may still refer to parameters and channels: it goes first.
  editor_.reset();
}

void PluginCore::ParseChannelConfigs(const char* text) {
  int32_t maxInputs = 0;
  int32_t maxOutputs = 0;
  const char* position = text;
  for (;;) {
    ChannelIOConfig config;
    const char* end = position;
    if (ReadCount(position, &end, config.inputs) && *end == '-') {
      const char* outEnd = end;
      ReadCount(end + 1, &outEnd, config.outputs);
    }
    channelConfigs_.push_back(config);
    maxInputs = std::max(maxInputs, config.inputs);
    maxOutputs = std::max(maxOutputs, config.outputs);

    const char* space = std::strchr(position, ' ');
    if (!space) break;
    position = space + 1;
  }

  // Sized once: the channel records keep pointers into these arrays.
  inputPointers_.assign(static_cast<size_t>(maxInputs), nullptr);
  outputPointers_.assign(static_cast<size_t>(maxOutputs), nullptr);
  inputs_.resize(static_cast<size_t>(maxInputs));
  outputs_.resize(static_cast<size_t>(maxOutputs));
  for (size_t i = 0; i < inputs_.size(); ++i) inputs_[i].slot = &inputPointers_[i];
  for (size_t i = 0; i < outputs_.size(); ++i) outputs_[i].slot = &outputPointers_[i];
}

bool PluginCore::LegalIO(int inputs, int outputs) const {
  return std::any_of(channelConfigs_.begin(), channelConfigs_.end(), [&](const ChannelIOConfig& c) {
    return (inputs < 0 || inputs == c.inputs) && (outputs < 0 || outputs == c.outputs);
  });
}

// --- Hooks -----------------------------------------------------------------

void PluginCore::ResetProcessing() { std::lock_guard lock(paramsLock_); }

void PluginCore::ParamChanged(int) { std::lock_guard lock(paramsLock_); }

void PluginCore::ActivationChanged(bool) { std::lock_guard lock(paramsLock_); }

void PluginCore::ProcessDoubles(double** inputs, double** outputs, int frames) {
  if (frames < 1 || !outputs) return;
  const size_t n = static_cast<size_t>(frames);
  const int inCount = InputChannelCount();
  for (int i = 0; i < OutputChannelCount(); ++i) {
    double* out = outputs[i];
    if (!out) continue;
    const double* in = (inputs && i < inCount) ? inputs[i] : nullptr;
    if (in) {
      if (in != out) std::memmove(out, in, n * sizeof(double));
    } else {
      std::fill_n(out, n, 0.0);
    }
  }
}

void PluginCore::HandleMidiMessage(const MidiMessage& message) { SendMidiMessage(message); }

bool PluginCore::WriteState(StateChunk& chunk) { return SerializeParams(chunk); }

int PluginCore::ReadState(const StateChunk& chunk, int start) { return UnserializeParams(chunk, start); }

bool PluginCore::StateMatches(const StateChunk& bytes, int start) {
  if (start < 0) return false;
  for (int i = 0; i < ParamCount(); ++i) {
    double stored = 0.0;
    const int64_t at = (static_cast<int64_t>(start) + i) * 8;
    if (at > INT_MAX || bytes.Read(stored, static_cast<int>(at)) < 0) return false;
    const float current = static_cast<float>(params_[static_cast<size_t>(i)]->Value());
    if (!(std::abs(current - static_cast<float>(stored)) < 0.00001f)) return false;
  }
  return true;
}

// --- Host-facing defaults ----------------------------------------------------

void PluginCore::ShowHostParamMenu(int, int, int) {}
void PluginCore::BeginParamEdit(int) {}
void PluginCore::PerformParamEdit(int, double) {}
void PluginCore::EndParamEdit(int) {}
bool PluginCore::IsRenderingOffline() { return false; }
int PluginCore::SamplePosition() { return 0; }
double PluginCore::Tempo() { return 0.0; }
void PluginCore::TimeSignature(int& numerator, int& denominator) {
  numerator = 0;
  denominator = 0;
}
void PluginCore::TimeInfo(TransportSnapshot& info) { info = TransportSnapshot{}; }
void PluginCore::ResizeEditor(int, int) {}
bool PluginCore::SendMidiMessage(const MidiMessage&) { return false; }

void PluginCore::SetParamFromEditor(int index, double normalized) {
  std::lock_guard lock(paramsLock_);
  IParamEntry* param = ParamAt(index);
  if (!param) return;
  param->SetFromNormalized(normalized);
  // The host hears the value the editor gave, not one recomputed from the
  // rounded plain value.
  PerformParamEdit(index, normalized);
  ParamChanged(index);
}

void PluginCore::SendValueToControls(int index, double normalized) {
  if (editor_) {
    IEditor& editor = *editor_;
    for (int c = 0; c < editor.ControlCount(); ++c) {
      if (editor.ControlParamIndex(c) == index) editor.ReceivePluginValue(c, normalized);
      for (int a = 0; a < editor.ControlAuxParamCount(c); ++a) {
        if (editor.ControlAuxParamIndex(c, a) == index) {
          editor.ReceiveAuxPluginValue(c, a, normalized);
          break;
        }
      }
    }
  }
}

void PluginCore::AttachEditor(std::unique_ptr<IEditor> editor) {
  if (!editor) return;
  std::lock_guard lock(paramsLock_);
  editor_ = std::move(editor);
  for (int i = 0; i < ParamCount(); ++i) SendValueToControls(i, params_[static_cast<size_t>(i)]->CurrentNormalized());
  editor_->PrepareDrawing();
}

void PluginCore::RefreshParamControls() {
  if (!editor_) return;
  for (int i = 0; i < ParamCount(); ++i) {
    editor_->ParamChangedFromPlugin(i, params_[static_cast<size_t>(i)]->Value(), false);
  }
}

void PluginCore::ChangeBlockSize(int samples) {
  if (samples < 0 || samples == blockSize_) return;
  const size_t n = static_cast<size_t>(samples);
  // The slots may point at the old scratch storage; point them at the new.
  for (InputChannel& ch : inputs_) {
    ch.scratch.assign(n, 0.0);
    *ch.slot = ch.scratch.data();
  }
  for (OutputChannel& ch : outputs_) {
    ch.scratch.assign(n, 0.0);
    *ch.slot = ch.scratch.data();
  }
  blockSize_ = samples;
}

void PluginCore::CreateLatencyDelay() {
  if (InputChannelCount() < 1) return;
  latencyDelay_ = std::make_unique<LatencyDelay>();
  latencyDelay_->inputChannels = InputChannelCount();
  latencyDelay_->outputChannels = OutputChannelCount();
  ChangeLatency(latency_);
}

void PluginCore::ChangeLatency(int samples) {
  latency_ = std::max(samples, 0);
  if (!latencyDelay_) return;
  latencyDelay_->delay = latency_;
  latencyDelay_->buffer.assign(static_cast<size_t>(InputChannelCount()) * static_cast<size_t>(latency_), 0.0);
  latencyDelay_->writePosition = 0;
}

// --- Parameters ---------------------------------------------------------------

IParamEntry* PluginCore::ParamAt(int index) {
  if (index < 0 || index >= ParamCount()) return nullptr;
  return params_[static_cast<size_t>(index)].get();
}

const IParamEntry* PluginCore::ParamAt(int index) const {
  if (index < 0 || index >= ParamCount()) return nullptr;
  return params_[static_cast<size_t>(index)].get();
}

// --- State and presets -------------------------------------------------------

bool PluginCore::SerializeParams(StateChunk& chunk) {
  std::lock_guard lock(paramsLock_);
  for (const auto& param : params_) {
    if (chunk.Append(param->Value()) <= 0) return false;
  }
  return true;
}

int PluginCore::RestoreWholeValues(const uint8_t* bytes, int size) {
  std::lock_guard lock(paramsLock_);
  // The current state supplies every value the bytes do not hold whole.
  StateChunk chunk;
  WriteState(chunk);
  const int delivered = std::clamp(size, 0, chunk.Size());
  const int whole = delivered - delivered % kStateValueBytes;
  if (bytes != nullptr && whole > 0) std::memcpy(chunk.Data(), bytes, static_cast<size_t>(whole));
  ReadState(chunk, 0);
  return chunk.Size();
}

int PluginCore::UnserializeParams(const StateChunk& chunk, int start) {
  std::lock_guard lock(paramsLock_);
  int position = start;
  for (size_t i = 0; i < params_.size() && position >= 0; ++i) {
    double v = 0.0;
    position = chunk.Read(v, position);  // -1 when the data ran out; v stays 0.0
    params_[i]->SetClamped(v);
  }
  for (int i = 0; i < ParamCount(); ++i) ParamChanged(i);
  return position;
}

void PluginCore::StoreDefaultPreset(const char* name) {
  for (auto& slot : presets_) {
    if (slot->initialised) continue;
    slot->initialised = true;
    slot->name.Set(name);
    WriteState(slot->state);
    return;
  }
}

bool PluginCore::LoadPreset(int index) {
  if (index < 0 || index >= PresetCount()) return false;
  PresetSlot& slot = *presets_[static_cast<size_t>(index)];
  bool result = false;
  if (slot.initialised) {
    result = ReadState(slot.state, 0) > 0;
  } else {
    // An empty slot captures the current state as a new user preset.
    slot.initialised = true;
    int userPresets = 0;
    for (const auto& other : presets_) {
      if (std::strstr(other->name.c_str(), "user preset")) ++userPresets;
    }
    std::snprintf(slot.name.data(), decltype(slot.name)::kCapacity + 1, "%s %d", "user preset", userPresets + 1);
    result = WriteState(slot.state);
  }
  if (result) {
    currentPreset_ = index;
    PresetRestored();
    RefreshParamControls();
  }
  return result;
}

const char* PluginCore::PresetName(int index) const {
  if (index < 0 || index >= PresetCount()) return "";
  return presets_[static_cast<size_t>(index)]->name.c_str();
}

// --- Buffer plumbing -----------------------------------------------------------

void PluginCore::PassThroughBlock(int frames) {
  if (frames < 1) return;
  if (latency_ != 0 && latencyDelay_ && latencyDelay_->delay > 0) {
    LatencyDelay& d = *latencyDelay_;
    const int channels = std::min(InputChannelCount(), OutputChannelCount());
    for (int s = 0; s < frames; ++s) {
      for (int k = 0; k < channels; ++k) {
        double* in = inputPointers_[static_cast<size_t>(k)];
        double* out = outputPointers_[static_cast<size_t>(k)];
        double& cell = d.buffer[static_cast<size_t>(k) * static_cast<size_t>(d.delay) +
                                static_cast<size_t>(d.writePosition)];
        // Read the input before writing the output: they may share storage.
        const double incoming = in ? in[s] : 0.0;
        if (out) out[s] = cell;
        cell = incoming;
      }
      if (++d.writePosition >= d.delay) d.writePosition = 0;
    }
    return;
  }
  PluginCore::ProcessDoubles(inputPointers_.data(), outputPointers_.data(), frames);
}

void PluginCore::ConvertInputFloats(int first, int count, float* const* sources, int frames) {
  const int end = std::min(first + count, InputChannelCount());
  int source = 0;
  for (int i = std::max(first, 0); i < end; ++i) {
    InputChannel& ch = inputs_[static_cast<size_t>(i)];
    if (!ch.connected) continue;
    const float* from = sources ? sources[source] : nullptr;
    ++source;
    // Never write past the scratch array, whatever the host claims.
    const size_t n = std::min(static_cast<size_t>(std::max(frames, 0)), ch.scratch.size());
    if (from) {
      for (size_t s = 0; s < n; ++s) ch.scratch[s] = static_cast<double>(from[s]);
    } else {
      std::fill_n(ch.scratch.begin(), n, 0.0);
    }
    *ch.slot = ch.scratch.data();
  }
}

void PluginCore::ClearScratchBuffers() {
  for (InputChannel& ch : inputs_) std::fill(ch.scratch.begin(), ch.scratch.end(), 0.0);
  for (OutputChannel& ch : outputs_) std::fill(ch.scratch.begin(), ch.scratch.end(), 0.0);
}

}  // namespace kestro

// kestro-render: renders an audio file through a VST3 plug-in (by default the
// KESTRO bundle built or installed with this tool), offline, as a host would.
// The output appears only when complete. See --help.
#include "tools/host/PluginInstance.h"
#include "tools/host/Vst3Module.h"
#include "tools/host/VstPreset.h"
#include "tools/kestro-render/DefaultModule.h"
#include "tools/kestro-render/LevelEnvelope.h"
#include "tools/kestro-render/LevelMeter.h"
#include "tools/kestro-render/ParameterLookup.h"
#include "tools/kestro-render/PendingFile.h"
#include "tools/kestro-render/ProgressBar.h"
#include "tools/kestro-render/RenderOptions.h"
#include "tools/kestro-render/SoundFile.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace kestro;
using namespace Steinberg;
using namespace Steinberg::Vst;

volatile std::sig_atomic_t gInterrupted = 0;

void OnSignal(int) { gInterrupted = 1; }

int Fail(const std::string& message) {
  std::fprintf(stderr, "kestro-render: %s\n", message.c_str());
  return 1;
}

std::optional<SpeakerArrangement> ArrangementFor(int channels) {
  switch (channels) {
    case 1:
      return SpeakerArr::kMono;
    case 2:
      return SpeakerArr::kStereo;
    case 3:
      return SpeakerArr::k30Music;
    case 4:
      return SpeakerArr::k40Music;
    case 5:
      return SpeakerArr::k50;
    case 6:
      return SpeakerArr::k51;
    default:
      return std::nullopt;
  }
}

std::string ChannelText(int channels) {
  return channels == 1 ? "mono (1 channel)" : channels == 2 ? "stereo (2 channels)" : std::to_string(channels) + " channels";
}

struct RenderJob {
  PluginInstance* instance;
  SoundFile* input;
  SoundFile* sidechain;  // null: none
  SoundFile* output;
  int block;
  LevelMeter inputMeter;
  LevelMeter outputMeter;
  LevelEnvelope* envelope;  // null: none
  ProgressBar* progress;    // null: none
  sf_count_t framesWritten = 0;
};

// Reads, processes and writes the whole input. The plug-in's latency is
// taken off the front of the output (and made up with silence at the end),
// so output frame i belongs to input frame i.
template <typename Sample>
bool Render(RenderJob& job, std::string& error) {
  const int inChannels = job.input->Info().channels;
  const int sideChannels = job.sidechain != nullptr ? job.sidechain->Info().channels : 0;
  const int outChannels = job.output->Info().channels;
  const auto block = static_cast<size_t>(job.block);
  const sf_count_t total = job.input->Info().frames;
  sf_count_t toSkip = job.instance->Processor()->getLatencySamples();

  std::vector<double> inFrames(block * static_cast<size_t>(inChannels));
  std::vector<double> sideFrames(block * static_cast<size_t>(sideChannels));
  std::vector<double> outFrames(block * static_cast<size_t>(outChannels));
  std::vector<std::vector<Sample>> main(static_cast<size_t>(inChannels), std::vector<Sample>(block));
  std::vector<std::vector<Sample>> side(static_cast<size_t>(sideChannels), std::vector<Sample>(block));
  std::vector<std::vector<Sample>> out(static_cast<size_t>(outChannels), std::vector<Sample>(block));
  std::vector<Sample*> mainPointers, sidePointers, outPointers;
  for (auto& channel : main) mainPointers.push_back(channel.data());
  for (auto& channel : side) sidePointers.push_back(channel.data());
  for (auto& channel : out) outPointers.push_back(channel.data());
  // Input frames waiting for their output frame, for the envelope.
  std::deque<double> waiting;

  sf_count_t read = 0;
  bool inputDone = false;
  bool sidechainDone = job.sidechain == nullptr;
  while (job.framesWritten < total) {
    if (gInterrupted) {
      error = "interrupted";
      return false;
    }
    sf_count_t n = 0;
    if (!inputDone) {
      n = sf_readf_double(job.input->Handle(), inFrames.data(), static_cast<sf_count_t>(block));
      if (n <= 0) {
        inputDone = true;
        n = 0;
      }
      read += n;
    }
    if (inputDone) {
      // Only the latency's worth of silence is left to feed.
      n = std::min<sf_count_t>(static_cast<sf_count_t>(block), total + toSkip - read);
      std::fill(inFrames.begin(), inFrames.end(), 0.0);
      read += n;
      if (n <= 0) {
        break;
      }
    }
    for (sf_count_t i = 0; i < n; ++i) {
      for (int c = 0; c < inChannels; ++c) {
        const double v = inFrames[static_cast<size_t>(i) * static_cast<size_t>(inChannels) + static_cast<size_t>(c)];
        main[static_cast<size_t>(c)][static_cast<size_t>(i)] = static_cast<Sample>(v);
        if (!inputDone) {
          job.inputMeter.Add(v);
        }
        if (job.envelope != nullptr) {
          waiting.push_back(v);
        }
      }
    }
    if (job.sidechain != nullptr) {
      sf_count_t got = 0;
      if (!sidechainDone) {
        got = sf_readf_double(job.sidechain->Handle(), sideFrames.data(), n);
        if (got < n) {
          sidechainDone = true;
        }
      }
      // A sidechain shorter than the input goes on as silence.
      for (sf_count_t i = 0; i < n; ++i) {
        for (int c = 0; c < sideChannels; ++c) {
          side[static_cast<size_t>(c)][static_cast<size_t>(i)] =
              i < got ? static_cast<Sample>(
                            sideFrames[static_cast<size_t>(i) * static_cast<size_t>(sideChannels) + static_cast<size_t>(c)])
                      : Sample(0);
        }
      }
    }
    const tresult result = job.instance->Process(static_cast<int32>(n), mainPointers.data(),
                                                 job.sidechain != nullptr ? sidePointers.data() : nullptr,
                                                 outPointers.data());
    if (result != kResultOk) {
      error = "the plug-in failed to process a block (result " + std::to_string(result) + ")";
      return false;
    }
    const sf_count_t skip = std::min(toSkip, n);
    toSkip -= skip;
    const sf_count_t keep = std::min(n - skip, total - job.framesWritten);
    for (sf_count_t i = 0; i < keep; ++i) {
      double* frame = &outFrames[static_cast<size_t>(i) * static_cast<size_t>(outChannels)];
      for (int c = 0; c < outChannels; ++c) {
        frame[c] = static_cast<double>(out[static_cast<size_t>(c)][static_cast<size_t>(skip + i)]);
        job.outputMeter.Add(frame[c]);
      }
      if (job.envelope != nullptr) {
        double inputFrame[64] = {};
        for (int c = 0; c < inChannels && c < 64; ++c) {
          inputFrame[c] = waiting.front();
          waiting.pop_front();
        }
        job.envelope->AddFrame(inputFrame, std::min(inChannels, 64), frame, outChannels);
      }
    }
    if (keep > 0 && sf_writef_double(job.output->Handle(), outFrames.data(), keep) != keep) {
      error = "cannot write the output: " + std::string(sf_strerror(job.output->Handle()));
      return false;
    }
    job.framesWritten += keep;
    if (job.progress != nullptr) {
      job.progress->Update(job.framesWritten);
    }
  }
  return true;
}

int Run(const RenderOptions& options) {
  std::string error;

  SoundFile input;
  SoundFile sidechain;
  if (!options.listParams) {
    if (!input.OpenRead(options.input, error)) {
      return Fail(error);
    }
    if (!options.sidechain.empty()) {
      if (!sidechain.OpenRead(options.sidechain, error)) {
        return Fail("sidechain: " + error);
      }
      if (sidechain.Info().samplerate != input.Info().samplerate) {
        return Fail("the sidechain runs at " + std::to_string(sidechain.Info().samplerate) + " Hz but the input at " +
                    std::to_string(input.Info().samplerate) + " Hz; resample one of them first");
      }
    }
    std::error_code ec;
    if (std::filesystem::equivalent(options.input, options.output, ec)) {
      return Fail("the output would overwrite the input " + options.input);
    }
  }

  std::string modulePath = options.module;
  if (modulePath.empty()) {
    std::vector<std::string> searched;
    modulePath = FindDefaultModule(&searched);
    if (modulePath.empty()) {
      std::string places;
      for (const std::string& place : searched) places += "\n  " + place;
      return Fail("no KESTRO bundle found; build it or pass --module PATH. Looked in:" + places);
    }
  }
  std::unique_ptr<Vst3Module> module = Vst3Module::Load(modulePath, error);
  if (!module) {
    return Fail(error);
  }
  std::unique_ptr<PluginInstance> instance = PluginInstance::CreateFirstEffect(module->Factory(), error);
  if (!instance) {
    return Fail(modulePath + ": " + error);
  }
  if (instance->Controller() == nullptr) {
    return Fail(modulePath + ": the plug-in has no edit controller");
  }
  const ParameterLookup lookup(instance->Controller());
  if (options.listParams) {
    lookup.Print(stdout);
    return 0;
  }

  std::vector<ParameterLookup::Setting> settings;
  for (const auto& [key, value] : options.params) {
    ParameterLookup::Setting setting;
    if (!lookup.Resolve(key, value, setting, error)) {
      return Fail(error);
    }
    settings.push_back(setting);
  }

  const int inChannels = input.Info().channels;
  const auto mainArrangement = ArrangementFor(inChannels);
  if (!mainArrangement) {
    return Fail("the input has " + std::to_string(inChannels) + " channels; up to 6 are supported");
  }
  PluginInstance::Setup setup;
  setup.sampleSize = options.precision == 64 ? kSample64 : kSample32;
  setup.sampleRate = input.Info().samplerate;
  setup.maxBlock = options.block;
  setup.processMode = kOffline;
  setup.main = *mainArrangement;
  setup.output = *mainArrangement;
  if (sidechain.Handle() != nullptr) {
    const auto sideArrangement = ArrangementFor(sidechain.Info().channels);
    if (!sideArrangement) {
      return Fail("the sidechain has " + std::to_string(sidechain.Info().channels) + " channels; up to 6 are supported");
    }
    if (instance->Component()->getBusCount(kAudio, kInput) < 2) {
      return Fail("the plug-in has no sidechain input");
    }
    setup.sidechain = *sideArrangement;
    setup.sidechainActive = true;
  }
  if (!instance->Start(setup, error)) {
    if (error.rfind("the plug-in refuses", 0) == 0 && error.find("input") != std::string::npos) {
      return Fail("the plug-in refuses " + ChannelText(inChannels) + " input" +
                  (sidechain.Handle() != nullptr ? " with a " + ChannelText(sidechain.Info().channels) + " sidechain" : "") +
                  " (" + error + ")");
    }
    return Fail(error);
  }
  if (!options.preset.empty()) {
    if (!VstPreset::Load(*instance, options.preset, error)) return Fail(error);
    const std::string name = VstPreset::Name(options.preset);
    std::fprintf(stderr, "preset: %s\n", name.empty() ? options.preset.c_str() : name.c_str());
  }
  for (const ParameterLookup::Setting& setting : settings) {
    // The controller shows it, the processor applies it with the first block.
    instance->Controller()->setParamNormalized(setting.id, setting.normalized);
    instance->Changes().Add(setting.id, setting.normalized);
    std::fprintf(stderr, "%s = %s\n", setting.title.c_str(), setting.shown.c_str());
  }

  SF_INFO outInfo{};
  outInfo.samplerate = input.Info().samplerate;
  outInfo.channels = instance->OutputChannels();
  outInfo.format = input.Info().format;
  if (!sf_format_check(&outInfo)) {
    return Fail("the input's file format cannot hold the plug-in's " + ChannelText(outInfo.channels) + " output");
  }
  PendingFile outputFile(options.output);
  SoundFile output;
  if (!outputFile.Create(error) || !output.OpenWrite(outputFile.TakeDescriptor(), options.output, outInfo, error)) {
    return Fail(error);
  }
  std::optional<PendingFile> envelopeFile;
  std::FILE* envelopeStream = nullptr;
  std::optional<LevelEnvelope> envelope;
  if (!options.envelope.empty()) {
    envelopeFile.emplace(options.envelope);
    if (!envelopeFile->Create(error)) {
      return Fail(error);
    }
    envelopeStream = fdopen(envelopeFile->TakeDescriptor(), "w");
    if (envelopeStream == nullptr) {
      return Fail("cannot write " + options.envelope);
    }
    envelope.emplace(envelopeStream, input.Info().samplerate);
  }
  // Closes the CSV stream on every way out; the pending file removes it.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> envelopeCloser(envelopeStream, std::fclose);

  std::optional<ProgressBar> progress;
  if (options.progress || isatty(STDERR_FILENO)) {
    progress.emplace(stderr, input.Info().frames, input.Info().samplerate);
  }

  RenderJob job{instance.get(), &input, sidechain.Handle() != nullptr ? &sidechain : nullptr, &output, options.block,
                {}, {}, envelope ? &*envelope : nullptr, progress ? &*progress : nullptr};
  const auto started = std::chrono::steady_clock::now();
  const bool rendered = options.precision == 64 ? Render<double>(job, error) : Render<float>(job, error);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (progress) {
    if (rendered) {
      progress->Finish();
    } else {
      std::fputc('\n', stderr);
    }
  }
  instance->Stop();
  if (!rendered) {
    return Fail(error);
  }
  if (!output.Close()) {
    return Fail("cannot finish " + options.output);
  }
  if (envelope) {
    envelope->Finish();
    const bool closed = std::fclose(envelopeCloser.release()) == 0;
    if (!envelope->Ok() || !closed) {
      return Fail("cannot write " + options.envelope);
    }
    if (!envelopeFile->Commit(error)) {
      return Fail(error);
    }
  }
  if (!outputFile.Commit(error)) {
    return Fail(error);
  }

  const double seconds = static_cast<double>(job.framesWritten) / input.Info().samplerate;
  std::printf("input:  peak %7.2f dBFS, RMS %7.2f dBFS\n", LevelMeter::ToDb(job.inputMeter.Peak()),
              LevelMeter::ToDb(job.inputMeter.Rms()));
  std::printf("output: peak %7.2f dBFS, RMS %7.2f dBFS\n", LevelMeter::ToDb(job.outputMeter.Peak()),
              LevelMeter::ToDb(job.outputMeter.Rms()));
  std::printf("rendered %.2f s of audio in %.3f s (%.1fx real time, %d-bit, blocks of %d)\n", seconds, wall,
              wall > 0.0 ? seconds / wall : 0.0, options.precision, options.block);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!ParseRenderOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "kestro-render: %s\n\n%s", error.c_str(), RenderUsage());
    return 2;
  }
  if (options.help) {
    std::fputs(RenderUsage(), stdout);
    return 0;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  const int status = Run(options);
  return gInterrupted && status != 0 ? 130 : status;
}

// kestro-render end to end: it runs the built tool on generated files and
// checks the files it writes, its messages and exit codes, and that a failed
// run leaves no file behind.
#include <sndfile.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestro::test {
namespace {

namespace fs = std::filesystem;

struct Result {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class RenderTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kestro-render-XXXXXX").string();
    dir = mkdtemp(pattern.data());
    // The default module search would find a bundle next to the tool; tests
    // name it so that they do not depend on where the tool was built.
    module = KESTRO_BUNDLE_PATH;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  fs::path Path(const std::string& name) const { return dir / name; }

  Result Run(const std::string& arguments) const {
    const fs::path out = dir / "stdout.txt";
    const fs::path err = dir / "stderr.txt";
    const std::string command = std::string(KESTRO_RENDER_PATH) + " " + arguments + " >" + out.string() + " 2>" +
                                err.string() + " </dev/null";
    const int status = std::system(command.c_str());
    Result result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = Slurp(out);
    result.err = Slurp(err);
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  // Files in the directory other than the given ones: leftovers.
  std::vector<std::string> Others(const std::vector<std::string>& known) const {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
  }

  static std::string Slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // A sine, the same on every channel.
  void Write(const std::string& name, int channels, int rate, double seconds, int format,
             double amplitude = 0.5, double frequency = 440.0) const {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* file = sf_open(Path(name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const auto frames = static_cast<sf_count_t>(seconds * rate);
    std::vector<double> samples(static_cast<size_t>(frames * channels));
    for (sf_count_t i = 0; i < frames; ++i) {
      const double v = amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate);
      for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(i * channels + c)] = v;
    }
    sf_writef_double(file, samples.data(), frames);
    sf_close(file);
  }

  struct Audio {
    SF_INFO info{};
    std::vector<double> samples;
    double Rms() const {
      double sum = 0;
      for (double v : samples) sum += v * v;
      return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
    }
  };

  Audio Read(const std::string& name) const {
    Audio audio;
    SNDFILE* file = sf_open(Path(name).c_str(), SFM_READ, &audio.info);
    EXPECT_NE(file, nullptr) << name;
    if (file == nullptr) return audio;
    audio.samples.resize(static_cast<size_t>(audio.info.frames * audio.info.channels));
    sf_readf_double(file, audio.samples.data(), audio.info.frames);
    sf_close(file);
    return audio;
  }

  std::string Quoted(const std::string& name) const { return "'" + Path(name).string() + "'"; }
  std::string ModuleArg() const { return "--module '" + module + "'"; }

  fs::path dir;
  std::string module;
};

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

TEST_F(RenderTool, RendersInTheInputsFormat) {
  const struct {
    const char* in;
    const char* out;
    int format;
  } cases[] = {
      {"in.wav", "out.wav", kWav16},
      {"in24.wav", "out24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
      {"infloat.wav", "outfloat.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {"in.flac", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {"in.aiff", "out.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
  };
  for (const auto& c : cases) {
    Write(c.in, 2, 44100, 0.5, c.format);
    const Result result = Run(ModuleArg() + " " + Quoted(c.in) + " " + Quoted(c.out));
    ASSERT_EQ(result.exitCode, 0) << c.in << ": " << result.err;
    const Audio in = Read(c.in);
    const Audio out = Read(c.out);
    EXPECT_EQ(out.info.format, c.format) << c.out;
    EXPECT_EQ(out.info.channels, 2) << c.out;
    EXPECT_EQ(out.info.samplerate, 44100) << c.out;
    EXPECT_EQ(out.info.frames, in.info.frames) << c.out;
    // Default settings: nearly the input.
    EXPECT_NEAR(out.Rms(), in.Rms(), in.Rms() * 0.01) << c.out;
    EXPECT_NE(result.out.find("input:  peak"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("output: peak"), std::string::npos) << result.out;
  }
}

TEST_F(RenderTool, ParametersByNameOrIdCompressTheSignal) {
  Write("in.wav", 2, 44100, 1.0, kWav16, 0.7, 1000.0);
  const Result result =
      Run(ModuleArg() + " --param threshold=-30 --param RATIO=5 --param 9=1 " + Quoted("in.wav") + " " + Quoted("out.wav"));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.err.find("Threshold = -30.00"), std::string::npos) << result.err;
  EXPECT_LT(Read("out.wav").Rms(), Read("in.wav").Rms() * 0.3);
}

// A factory preset renders as its settings given one by one do, and
// --param settings apply on top of it; a file that is no preset is refused
// before anything is written.
TEST_F(RenderTool, AFactoryPresetIsItsSettings) {
  Write("in.wav", 2, 44100, 0.5, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.7, 1000.0);
  const std::string preset = std::string(" --preset '") + KESTRO_PRESET_DIR + "/Drum Bus Glue.vstpreset' ";
  const Result fromPreset = Run(ModuleArg() + preset + Quoted("in.wav") + " " + Quoted("a.wav"));
  ASSERT_EQ(fromPreset.exitCode, 0) << fromPreset.err;
  EXPECT_NE(fromPreset.err.find("preset: Drum Bus Glue"), std::string::npos) << fromPreset.err;
  const std::string settings =
      " --param Threshold=-18 --param Output=3 --param Attack=2 --param Release=3 --param Ratio=3 --param 5=0.45 ";
  ASSERT_EQ(Run(ModuleArg() + settings + Quoted("in.wav") + " " + Quoted("b.wav")).exitCode, 0);
  const Audio a = Read("a.wav"), b = Read("b.wav");
  ASSERT_EQ(a.samples.size(), b.samples.size());
  double worst = 0;
  for (size_t i = 0; i < a.samples.size(); ++i) worst = std::max(worst, std::abs(a.samples[i] - b.samples[i]));
  EXPECT_LT(worst, 1e-6);
  // On top of the preset: no make-up gain is quieter.
  ASSERT_EQ(Run(ModuleArg() + preset + "--param Output=0 " + Quoted("in.wav") + " " + Quoted("c.wav")).exitCode, 0);
  EXPECT_LT(Read("c.wav").Rms(), a.Rms() * 0.8);

  const Result bad = Run(ModuleArg() + " --preset " + Quoted("in.wav") + " " + Quoted("in.wav") + " " + Quoted("d.wav"));
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("not a VST3 preset"), std::string::npos) << bad.err;
  EXPECT_FALSE(fs::exists(Path("d.wav")));
}

TEST_F(RenderTool, ThirtyTwoAndSixtyFourBitRendersAgree) {
  Write("in.wav", 2, 48000, 0.5, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.7, 1000.0);
  const std::string params = " --param Threshold=-20 --param Ratio=3 --block 300 ";
  ASSERT_EQ(Run(ModuleArg() + params + "--precision 32 " + Quoted("in.wav") + " " + Quoted("a.wav")).exitCode, 0);
  ASSERT_EQ(Run(ModuleArg() + params + "--precision 64 " + Quoted("in.wav") + " " + Quoted("b.wav")).exitCode, 0);
  const Audio a = Read("a.wav");
  const Audio b = Read("b.wav");
  ASSERT_EQ(a.samples.size(), b.samples.size());
  double worst = 0;
  for (size_t i = 0; i < a.samples.size(); ++i) worst = std::max(worst, std::abs(a.samples[i] - b.samples[i]));
  EXPECT_LT(worst, 1e-5);
}

TEST_F(RenderTool, WritesALevelEnvelopeEveryTenMilliseconds) {
  Write("in.wav", 2, 44100, 1.0, kWav16);
  const Result result = Run(ModuleArg() + " --envelope " + Quoted("levels.csv") + " " + Quoted("in.wav") + " " +
                            Quoted("out.wav"));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::ifstream csv(Path("levels.csv"));
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "time_s,input_rms_db,input_peak_db,output_rms_db,output_peak_db");
  int rows = 0;
  double inRms = 0, inPeak = 0, outRms = 0, outPeak = 0, time = 0;
  while (std::getline(csv, line)) {
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf", &time, &inRms, &inPeak, &outRms, &outPeak), 5) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 100);
  EXPECT_NEAR(time, 0.99, 1e-9);
  EXPECT_NEAR(inPeak, 20 * std::log10(0.5), 0.1);
  EXPECT_NEAR(inRms, 20 * std::log10(0.5 / std::sqrt(2.0)), 0.2);
}

TEST_F(RenderTool, FailuresExplainThemselvesAndLeaveNoFile) {
  Write("in.wav", 2, 44100, 0.2, kWav16);
  Write("mono.wav", 1, 44100, 0.2, kWav16);
  Write("side48k.wav", 2, 48000, 0.2, kWav16);
  const std::vector<std::string> inputs = {"in.wav", "mono.wav", "side48k.wav"};
  const struct {
    const char* name;
    std::string arguments;
    int exitCode;
    const char* message;
  } cases[] = {
      {"missing input", ModuleArg() + " " + Quoted("nothing.wav") + " " + Quoted("out.wav"), 1, "no such file"},
      {"unknown parameter", ModuleArg() + " --param Loudness=3 " + Quoted("in.wav") + " " + Quoted("out.wav"), 1,
       "unknown parameter 'Loudness'"},
      {"ambiguous name", ModuleArg() + " --param Sidechain=0 " + Quoted("in.wav") + " " + Quoted("out.wav"), 1,
       "ambiguous"},
      {"value not a number", ModuleArg() + " --param Threshold=abc " + Quoted("in.wav") + " " + Quoted("out.wav"), 1,
       "Threshold (id 0) takes a number from -50 to 0"},
      {"value out of range", ModuleArg() + " --param Ratio=7 " + Quoted("in.wav") + " " + Quoted("out.wav"), 1,
       "7 is outside that range"},
      {"refused channel count", ModuleArg() + " " + Quoted("mono.wav") + " " + Quoted("out.wav"), 1,
       "refuses mono (1 channel) input"},
      {"sidechain rate", ModuleArg() + " --sidechain " + Quoted("side48k.wav") + " " + Quoted("in.wav") + " " +
                             Quoted("out.wav"),
       1, "48000 Hz"},
      {"missing sidechain", ModuleArg() + " --sidechain " + Quoted("none.wav") + " " + Quoted("in.wav") + " " +
                                Quoted("out.wav"),
       1, "sidechain: no such file"},
      {"missing module", "--module " + Quoted("nowhere.vst3") + " " + Quoted("in.wav") + " " + Quoted("out.wav"), 1,
       "no such module"},
      {"output over input", ModuleArg() + " " + Quoted("in.wav") + " " + Quoted("in.wav"), 1, "overwrite the input"},
      {"no output directory", ModuleArg() + " " + Quoted("in.wav") + " " + Quoted("no/such/dir/out.wav"), 1,
       "cannot create"},
      {"bad block size", ModuleArg() + " --block 0 " + Quoted("in.wav") + " " + Quoted("out.wav"), 2, "--block"},
      {"bad precision", ModuleArg() + " --precision 16 " + Quoted("in.wav") + " " + Quoted("out.wav"), 2,
       "--precision"},
      {"one file only", ModuleArg() + " " + Quoted("in.wav"), 2, "an input and an output"},
      {"unknown option", ModuleArg() + " --loud " + Quoted("in.wav") + " " + Quoted("out.wav"), 2, "unknown option"},
  };
  for (const auto& c : cases) {
    const Result result = Run(c.arguments + " --envelope " + Quoted("env.csv"));
    EXPECT_EQ(result.exitCode, c.exitCode) << c.name << ": " << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.name << ": " << result.err;
    EXPECT_EQ(Others(inputs), std::vector<std::string>{}) << c.name << ": a file was left behind";
  }
}

TEST_F(RenderTool, AnAmbiguousNameWorksByIdAndWithASidechain) {
  Write("in.wav", 2, 44100, 1.0, kWav16, 0.1, 440.0);
  Write("side.wav", 1, 44100, 1.0, kWav16, 0.9, 1000.0);
  const Result result = Run(ModuleArg() + " --param 9=0 --param Threshold=-40 --param Ratio=5 --sidechain " +
                            Quoted("side.wav") + " " + Quoted("in.wav") + " " + Quoted("out.wav"));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_LT(Read("out.wav").Rms(), Read("in.wav").Rms() * 0.3) << "the sidechain did not drive the compressor";
}

TEST_F(RenderTool, ListsTheParameters) {
  const Result result = Run(ModuleArg() + " --list-params");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  for (const char* title : {"Preset", "Bypass", "Threshold", "Output", "Attack", "Release", "Ratio", "Sidechain", "Mix",
                            "Oversample"}) {
    EXPECT_NE(result.out.find(title), std::string::npos) << title;
  }
}

}  // namespace
}  // namespace kestro::test

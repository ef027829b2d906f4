// The host library's own pieces: module loading and its errors, parameter
// queues and containers, and the memory stream with its failure modes.
#include "tools/host/HostContext.h"
#include "tools/host/HostMemoryStream.h"
#include "tools/host/ParameterChanges.h"
#include "tools/host/ParameterValueQueue.h"
#include "tools/host/RecordingComponentHandler.h"
#include "tools/host/Utf16Text.h"
#include "tools/host/Vst3Module.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
namespace fs = std::filesystem;

// --- Vst3Module ------------------------------------------------------------------

using WatchProc = void (*)(int*, int*, void**);

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kestro-host-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

TEST(Vst3Module, LoadsAModuleCallingEntryWithItsHandleAndExitAtUnload) {
  int entries = 0;
  int exits = 0;
  void* handle = nullptr;
  {
    std::string error;
    auto module = Vst3Module::Load(FAKE_MODULE_OK, error);
    ASSERT_NE(module, nullptr) << error;
    // The entry ran before we could watch it; load again (the same library)
    // to see the calls of a second load and unload.
    auto watch = reinterpret_cast<WatchProc>(module->Symbol("FakeWatch"));
    ASSERT_NE(watch, nullptr);
    watch(&entries, &exits, &handle);
    {
      auto again = Vst3Module::Load(FAKE_MODULE_OK, error);
      ASSERT_NE(again, nullptr) << error;
      EXPECT_EQ(entries, 1);
      EXPECT_NE(handle, nullptr);
      EXPECT_EQ(handle, dlopen(FAKE_MODULE_OK, RTLD_NOLOAD | RTLD_NOW)) << "ModuleEntry wants the dlopen handle";
      dlclose(handle);
      EXPECT_EQ(again->Factory(), nullptr) << "the fake answers no factory";
      EXPECT_EQ(exits, 0);
    }
    EXPECT_EQ(exits, 1);
    watch(nullptr, nullptr, nullptr);
  }
}

TEST(Vst3Module, ResolvesABundleDirectory) {
  TempDir dir;
  const fs::path bundle = dir.Path() / "Fake.vst3";
  fs::create_directories(bundle / "Contents" / "x86_64-linux");
  fs::copy_file(FAKE_MODULE_OK, bundle / "Contents" / "x86_64-linux" / "Fake.so");
  std::string error;
  for (const std::string& given : {bundle.string(), bundle.string() + "/"}) {
    EXPECT_EQ(Vst3Module::ResolveLibraryPath(given, error), (bundle / "Contents" / "x86_64-linux" / "Fake.so").string())
        << given << ": " << error;
  }
  auto module = Vst3Module::Load(bundle.string(), error);
  EXPECT_NE(module, nullptr) << error;
}

TEST(Vst3Module, RefusesWhatIsNotALoadableModuleWithAClearReason) {
  TempDir dir;
  const fs::path emptyBundle = dir.Path() / "Empty.vst3";
  fs::create_directories(emptyBundle / "Contents");
  const fs::path notLibrary = dir.Path() / "text.so";
  { std::FILE* f = std::fopen(notLibrary.c_str(), "w"); std::fputs("not a library\n", f); std::fclose(f); }
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {
      {(dir.Path() / "missing.vst3").string(), "no such module"},
      {emptyBundle.string(), "has no Contents/x86_64-linux/Empty.so"},
      {notLibrary.string(), "cannot load"},
      {FAKE_MODULE_NO_FACTORY, "does not export GetPluginFactory"},
      {FAKE_MODULE_NO_ENTRY, "does not export ModuleEntry"},
      {FAKE_MODULE_ENTRY_FAILS, "ModuleEntry reported failure"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(Vst3Module::Load(c.path, error), nullptr) << c.path;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.path << ": " << error;
  }
}

// --- Parameter queues --------------------------------------------------------------

TEST(ParameterValueQueue, KeepsPointsInOffsetOrderAndMergesEqualOffsets) {
  const struct {
    const char* name;
    std::vector<std::pair<int32, double>> added;
    std::vector<std::pair<int32, double>> expected;
  } cases[] = {
      {"in order", {{0, 0.1}, {10, 0.2}, {20, 0.3}}, {{0, 0.1}, {10, 0.2}, {20, 0.3}}},
      {"reversed", {{20, 0.3}, {10, 0.2}, {0, 0.1}}, {{0, 0.1}, {10, 0.2}, {20, 0.3}}},
      {"same offset replaces", {{5, 0.1}, {5, 0.9}}, {{5, 0.9}}},
      {"odd values kept", {{0, -1.0}, {1, 2.0}}, {{0, -1.0}, {1, 2.0}}},
  };
  for (const auto& c : cases) {
    ParameterValueQueue queue(7);
    for (const auto& [offset, value] : c.added) {
      int32 index = -1;
      EXPECT_EQ(queue.addPoint(offset, value, index), kResultOk);
      int32 at = 0;
      ParamValue v = 0;
      ASSERT_EQ(queue.getPoint(index, at, v), kResultOk) << c.name;
      EXPECT_EQ(at, offset) << c.name << ": the returned index names the point";
    }
    ASSERT_EQ(queue.getPointCount(), static_cast<int32>(c.expected.size())) << c.name;
    for (size_t i = 0; i < c.expected.size(); ++i) {
      int32 offset = 0;
      ParamValue value = 0;
      ASSERT_EQ(queue.getPoint(static_cast<int32>(i), offset, value), kResultOk);
      EXPECT_EQ(offset, c.expected[i].first) << c.name;
      EXPECT_EQ(value, c.expected[i].second) << c.name;
    }
    int32 offset = 0;
    ParamValue value = 0;
    EXPECT_EQ(queue.getPoint(queue.getPointCount(), offset, value), kResultFalse) << c.name;
    EXPECT_EQ(queue.getPoint(-1, offset, value), kResultFalse) << c.name;
    EXPECT_EQ(queue.getParameterId(), 7u);
  }
}

TEST(ParameterChanges, OneQueuePerIdInFirstAddedOrderReusedAfterClear) {
  ParameterChanges changes;
  changes.Add(3, 0.5);
  changes.Add(1, 0.25);
  changes.Add(3, 0.75, 64);
  ASSERT_EQ(changes.getParameterCount(), 2);
  EXPECT_EQ(changes.getParameterData(0)->getParameterId(), 3u);
  EXPECT_EQ(changes.getParameterData(0)->getPointCount(), 2);
  EXPECT_EQ(changes.getParameterData(1)->getParameterId(), 1u);
  EXPECT_EQ(changes.getParameterData(2), nullptr);
  EXPECT_EQ(changes.getParameterData(-1), nullptr);
  IParamValueQueue* first = changes.getParameterData(0);
  changes.Clear();
  EXPECT_TRUE(changes.Empty());
  EXPECT_EQ(changes.getParameterData(0), nullptr);
  changes.Add(9, 1.0);
  EXPECT_EQ(changes.getParameterData(0), first) << "storage is reused";
  EXPECT_EQ(first->getParameterId(), 9u);
  EXPECT_EQ(first->getPointCount(), 1);
}

TEST(ParameterChanges, AnswersItsInterfaceAndCountsReferences) {
  ParameterChanges changes;
  void* object = nullptr;
  ASSERT_EQ(changes.queryInterface(IParameterChanges::iid, &object), kResultOk);
  EXPECT_EQ(object, static_cast<IParameterChanges*>(&changes));
  EXPECT_EQ(changes.RefCount(), 2u);
  changes.release();
  EXPECT_EQ(changes.queryInterface(IParamValueQueue::iid, &object), kNoInterface);
  EXPECT_EQ(object, nullptr);
}

// --- Stream ----------------------------------------------------------------------

TEST(HostMemoryStream, WritesReadsSeeksAndTells) {
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream);
  char text[] = "abcdef";
  int32 done = 0;
  EXPECT_EQ(stream->write(text, 6, &done), kResultOk);
  EXPECT_EQ(done, 6);
  int64 position = 0;
  EXPECT_EQ(stream->seek(2, IBStream::kIBSeekSet, &position), kResultOk);
  EXPECT_EQ(position, 2);
  char buffer[8] = {};
  EXPECT_EQ(stream->read(buffer, 3, &done), kResultOk);
  EXPECT_EQ(std::string(buffer, 3), "cde");
  EXPECT_EQ(stream->tell(&position), kResultOk);
  EXPECT_EQ(position, 5);
  EXPECT_EQ(stream->seek(-1, IBStream::kIBSeekEnd, &position), kResultOk);
  EXPECT_EQ(position, 5);
  EXPECT_EQ(stream->seek(-10, IBStream::kIBSeekCur, &position), kResultFalse);
}

TEST(HostMemoryStream, ShortReadsAndFailures) {
  const struct {
    const char* name;
    bool failReads;
    bool failShortReads;
    int32 ask;
    tresult result;
    int32 delivered;
  } cases[] = {
      {"whole", false, false, 4, kResultOk, 4},
      {"short, reported as success", false, false, 8, kResultOk, 6},
      {"short, reported as failure", false, true, 8, kResultFalse, 6},
      {"failing reads", true, false, 4, kResultFalse, 0},
  };
  for (const auto& c : cases) {
    IPtr<HostMemoryStream> stream = owned(new HostMemoryStream({1, 2, 3, 4, 5, 6}));
    stream->SetFailReads(c.failReads);
    stream->SetFailShortReads(c.failShortReads);
    std::uint8_t buffer[8] = {};
    int32 done = -1;
    EXPECT_EQ(stream->read(buffer, c.ask, &done), c.result) << c.name;
    EXPECT_EQ(done, c.delivered) << c.name;
  }
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream);
  stream->SetFailWrites(true);
  char byte = 1;
  int32 done = -1;
  EXPECT_EQ(stream->write(&byte, 1, &done), kResultFalse);
  EXPECT_EQ(done, 0);
  EXPECT_TRUE(stream->Bytes().empty());
}

// --- Component handler -------------------------------------------------------------

TEST(RecordingComponentHandler, RecordsCallsFromSeveralThreads) {
  IPtr<RecordingComponentHandler> handler = owned(new RecordingComponentHandler);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&handler, t] {
      for (int i = 0; i < 250; ++i) {
        handler->beginEdit(static_cast<ParamID>(t));
        handler->performEdit(static_cast<ParamID>(t), i / 250.0);
        handler->endEdit(static_cast<ParamID>(t));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  handler->restartComponent(kLatencyChanged);
  const auto calls = handler->Calls();
  ASSERT_EQ(calls.size(), 4u * 250u * 3u + 1u);
  EXPECT_EQ(calls.back().kind, RecordingComponentHandler::Kind::kRestart);
  EXPECT_EQ(calls.back().flags, kLatencyChanged);
}

// --- Host context ------------------------------------------------------------------

TEST(HostContext, NamesItselfFromSeveralThreadsAtOnce) {
  // Plug-ins ask for the host's name while being initialised, which hosts
  // (and our tests) do on more than one thread.
  std::vector<std::thread> threads;
  std::atomic<int> right{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&right] {
      HostContext host;
      for (int i = 0; i < 100; ++i) {
        String128 name{};
        if (host.getName(name) == kResultOk && ToUtf8(name) == HostContext::kName) ++right;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(right.load(), 400);
  HostContext host;
  FUnknownPtr<IHostApplication> application(static_cast<FUnknown*>(&host));
  EXPECT_TRUE(application);
}

// --- Text ------------------------------------------------------------------------

TEST(Utf16Text, RoundTripsAndTruncatesWholeCharacters) {
  String128 text{};
  ToUtf16("Gain \xC3\xA9 \xF0\x9F\x8E\xB5", text, 128);  // é and a musical note (a surrogate pair)
  EXPECT_EQ(ToUtf8(text), "Gain \xC3\xA9 \xF0\x9F\x8E\xB5");
  TChar small[4] = {};
  ToUtf16("ab\xF0\x9F\x8E\xB5", small, 4);  // the pair does not fit after "ab"
  EXPECT_EQ(ToUtf8(small), "ab");
  const TChar lone[] = {0xD800, 'x', 0};
  EXPECT_EQ(ToUtf8(lone), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace kestro::test

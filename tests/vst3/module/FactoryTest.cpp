// The module's entry points and its factory, as a host meets them first:
// reference counting, the one class and its records, instance creation.
#include "ModuleTestSupport.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::string Field(const char* text, size_t width) { return std::string(text, strnlen(text, width)); }

// Every byte after the text up to the field's end is zero: hosts copy these
// records whole.
bool ZeroFilled(const char* field, size_t width) {
  const size_t length = strnlen(field, width);
  for (size_t i = length; i < width; ++i) {
    if (field[i] != 0) return false;
  }
  return true;
}

TEST(Factory, TwoCallsReturnTheSameFactoryHoldingBothReferences) {
  auto get = Module().GetPluginFactoryFunction();
  IPluginFactory* first = get();
  IPluginFactory* second = get();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  // addRef reports the count after adding: two calls hold two references.
  EXPECT_EQ(first->addRef(), 3u);
  EXPECT_EQ(first->release(), 2u);
  EXPECT_EQ(second->release(), 1u);
  EXPECT_EQ(first->release(), 0u);
}

TEST(Factory, ANewFactoryIsBuiltAfterTheLastRelease) {
  auto get = Module().GetPluginFactoryFunction();
  IPluginFactory* first = get();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->release(), 0u);
  IPluginFactory* again = get();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->countClasses(), 1);
  EXPECT_EQ(again->addRef(), 2u) << "a rebuilt factory starts with the caller's one reference";
  again->release();
  EXPECT_EQ(again->release(), 0u);
}

TEST(Factory, FactoryInfo) {
  PFactoryInfo info{};
  ASSERT_EQ(Factory()->getFactoryInfo(&info), kResultOk);
  EXPECT_EQ(Field(info.vendor, PFactoryInfo::kNameSize), "PelmarAcoustics");
  EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
  EXPECT_GT(strnlen(info.url, PFactoryInfo::kURLSize), 0u);
  EXPECT_GT(strnlen(info.email, PFactoryInfo::kEmailSize), 0u);
  EXPECT_LT(strnlen(info.url, PFactoryInfo::kURLSize), size_t{PFactoryInfo::kURLSize}) << "unterminated";
  EXPECT_LT(strnlen(info.email, PFactoryInfo::kEmailSize), size_t{PFactoryInfo::kEmailSize}) << "unterminated";
}

TEST(Factory, OneClassWithItsIdAndRecord) {
  IPtr<IPluginFactory> factory = Factory();
  ASSERT_EQ(factory->countClasses(), 1);
  PClassInfo info{};
  std::memset(static_cast<void*>(&info), 0x5A, sizeof info);  // no stale zeros to hide behind
  ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
  EXPECT_EQ(std::memcmp(info.cid, kClassIdBytes.data(), 16), 0) << "class id bytes";
  EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(Field(info.category, PClassInfo::kCategorySize), "Audio Module Class");
  EXPECT_EQ(Field(info.name, PClassInfo::kNameSize), "KESTRO");
  EXPECT_TRUE(ZeroFilled(info.category, PClassInfo::kCategorySize));
  EXPECT_TRUE(ZeroFilled(info.name, PClassInfo::kNameSize));
}

TEST(Factory, ClassInfo2) {
  FUnknownPtr<IPluginFactory2> factory(Factory());
  ASSERT_TRUE(factory);
  PClassInfo2 info{};
  std::memset(static_cast<void*>(&info), 0x5A, sizeof info);  // no stale zeros to hide behind
  ASSERT_EQ(factory->getClassInfo2(0, &info), kResultOk);
  EXPECT_EQ(std::memcmp(info.cid, kClassIdBytes.data(), 16), 0);
  EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(Field(info.category, PClassInfo::kCategorySize), "Audio Module Class");
  EXPECT_EQ(Field(info.name, PClassInfo::kNameSize), "KESTRO");
  EXPECT_EQ(info.classFlags, 2u);
  EXPECT_EQ(Field(info.subCategories, PClassInfo2::kSubCategoriesSize), "Fx|Dynamics");
  EXPECT_EQ(Field(info.vendor, PClassInfo2::kVendorSize), "");
  EXPECT_EQ(Field(info.version, PClassInfo2::kVersionSize), "6.1.0");
  EXPECT_EQ(Field(info.sdkVersion, PClassInfo2::kVersionSize), "VST 3.6.12");
  EXPECT_TRUE(ZeroFilled(info.subCategories, PClassInfo2::kSubCategoriesSize));
  EXPECT_TRUE(ZeroFilled(info.vendor, PClassInfo2::kVendorSize));
  EXPECT_TRUE(ZeroFilled(info.version, PClassInfo2::kVersionSize));
  EXPECT_TRUE(ZeroFilled(info.sdkVersion, PClassInfo2::kVersionSize));
}

TEST(Factory, ClassInfoUnicode) {
  FUnknownPtr<IPluginFactory3> factory(Factory());
  ASSERT_TRUE(factory);
  PClassInfoW info{};
  ASSERT_EQ(factory->getClassInfoUnicode(0, &info), kResultOk);
  EXPECT_EQ(std::memcmp(info.cid, kClassIdBytes.data(), 16), 0);
  EXPECT_EQ(ToUtf8(info.name), "KESTRO");
  EXPECT_EQ(Field(info.category, PClassInfo::kCategorySize), "Audio Module Class");
  EXPECT_EQ(Field(info.subCategories, PClassInfoW::kSubCategoriesSize), "Fx|Dynamics");
  EXPECT_EQ(ToUtf8(info.vendor), "");
  EXPECT_EQ(ToUtf8(info.version), "6.1.0");
  EXPECT_EQ(ToUtf8(info.sdkVersion), "VST 3.6.12");
  EXPECT_EQ(info.classFlags, 2u);
}

TEST(Factory, ClassInfoRequestsOutsideTheOneClassAreRefused) {
  IPtr<IPluginFactory> factory = Factory();
  FUnknownPtr<IPluginFactory2> factory2(factory);
  FUnknownPtr<IPluginFactory3> factory3(factory);
  ASSERT_TRUE(factory2);
  ASSERT_TRUE(factory3);
  PClassInfo info{};
  PClassInfo2 info2{};
  PClassInfoW infoW{};
  const struct {
    const char* what;
    tresult result;
  } cases[] = {
      {"getClassInfo(1)", factory->getClassInfo(1, &info)},
      {"getClassInfo(-1)", factory->getClassInfo(-1, &info)},
      {"getClassInfo(0, null)", factory->getClassInfo(0, nullptr)},
      {"getClassInfo2(1)", factory2->getClassInfo2(1, &info2)},
      {"getClassInfo2(0, null)", factory2->getClassInfo2(0, nullptr)},
      {"getClassInfoUnicode(1)", factory3->getClassInfoUnicode(1, &infoW)},
      {"getClassInfoUnicode(0, null)", factory3->getClassInfoUnicode(0, nullptr)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.result, kInvalidArgument) << c.what;
  }
}

TEST(Factory, AnswersTheFactoryInterfacesOnly) {
  IPtr<IPluginFactory> factory = Factory();
  const struct {
    const char* name;
    const TUID& iid;
    bool answered;
  } cases[] = {
      {"FUnknown", FUnknown::iid, true},           {"IPluginFactory", IPluginFactory::iid, true},
      {"IPluginFactory2", IPluginFactory2::iid, true}, {"IPluginFactory3", IPluginFactory3::iid, true},
      {"IComponent", IComponent::iid, false},       {"IAudioProcessor", IAudioProcessor::iid, false},
      {"IEditController", IEditController::iid, false},
  };
  for (const auto& c : cases) {
    void* object = reinterpret_cast<void*>(0x1);
    const tresult result = factory->queryInterface(c.iid, &object);
    if (c.answered) {
      EXPECT_EQ(result, kResultOk) << c.name;
      ASSERT_NE(object, nullptr) << c.name;
      static_cast<FUnknown*>(object)->release();
    } else {
      EXPECT_EQ(result, kNoInterface) << c.name;
      EXPECT_EQ(object, nullptr) << c.name;
    }
  }
}

TEST(Factory, HostContextIsNotImplemented) {
  FUnknownPtr<IPluginFactory3> factory(Factory());
  ASSERT_TRUE(factory);
  HostApplication host;
  EXPECT_EQ(factory->setHostContext(&host), kNotImplemented);
}

TEST(Factory, CreatesAnInstanceThroughEachMainInterfaceWithOneReference) {
  IPtr<IPluginFactory> factory = Factory();
  TUID cid;
  ClassId(cid);
  const struct {
    const char* name;
    const TUID& iid;
  } cases[] = {
      {"IAudioProcessor", IAudioProcessor::iid},
      {"IComponent", IComponent::iid},
      {"IEditController", IEditController::iid},
  };
  for (const auto& c : cases) {
    FUnknown* object = nullptr;
    ASSERT_EQ(factory->createInstance(cid, c.iid, reinterpret_cast<void**>(&object)), kResultOk) << c.name;
    ASSERT_NE(object, nullptr) << c.name;
    EXPECT_EQ(object->addRef(), 2u) << c.name << ": the host must own exactly one reference";
    EXPECT_EQ(object->release(), 1u) << c.name;
    // The object answers the other interfaces of the effect too.
    FUnknownPtr<IComponent> component(object);
    FUnknownPtr<IAudioProcessor> processor(object);
    FUnknownPtr<IEditController> controller(object);
    EXPECT_TRUE(component && processor && controller) << c.name;
    component = nullptr;
    processor = nullptr;
    controller = nullptr;
    EXPECT_EQ(object->release(), 0u) << c.name;
  }
}

TEST(Factory, AClassIdDifferingInAnyByteIsRefused) {
  IPtr<IPluginFactory> factory = Factory();
  for (size_t byte = 0; byte < 16; ++byte) {
    TUID cid;
    ClassId(cid);
    cid[byte] = static_cast<char>(cid[byte] ^ 0x01);
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->createInstance(cid, IComponent::iid, &object), kNoInterface) << "byte " << byte;
    EXPECT_EQ(object, nullptr) << "byte " << byte;
  }
}

TEST(Factory, AnInterfaceTheEffectLacksIsRefusedAndTheObjectDestroyed) {
  IPtr<IPluginFactory> factory = Factory();
  TUID cid;
  ClassId(cid);
  void* object = reinterpret_cast<void*>(0x1);
  // The leak check of the sanitizer build sees an object that is not destroyed.
  EXPECT_EQ(factory->createInstance(cid, IPluginFactory::iid, &object), kNoInterface);
  EXPECT_EQ(object, nullptr);
}

TEST(Factory, EachInstanceIsItsOwnObject) {
  auto a = NewInstance();
  auto b = NewInstance();
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->Component(), b->Component());
  ASSERT_EQ(a->Controller()->setParamNormalized(kThreshold, 0.25), kResultOk);
  EXPECT_DOUBLE_EQ(b->Controller()->getParamNormalized(kThreshold), 1.0) << "instances share a value";
}

TEST(Module, TheBundleAndItsLibraryLoadAsTheSameModule) {
  std::string error;
  auto viaLibrary = Vst3Module::Load(KESTRO_MODULE_PATH, error);
  ASSERT_NE(viaLibrary, nullptr) << error;
  IPtr<IPluginFactory> fromBundle = Factory();
  EXPECT_EQ(viaLibrary->Factory(), fromBundle.get());
}

TEST(Module, LoadsCreatesAndUnloadsRepeatedly) {
  // A host scanning plug-ins loads and unloads the module many times; an
  // instance made in each round must come and go cleanly.
  for (int round = 0; round < 3; ++round) {
    std::string error;
    auto module = Vst3Module::Load(KESTRO_BUNDLE_PATH, error);
    ASSERT_NE(module, nullptr) << error;
    auto instance = PluginInstance::CreateFirstEffect(module->Factory(), error);
    ASSERT_NE(instance, nullptr) << error;
    EXPECT_EQ(instance->Controller()->getParameterCount(), 12);
  }
}

}  // namespace
}  // namespace kestro::test

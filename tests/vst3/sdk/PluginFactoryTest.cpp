// CPluginFactory (our stand-in for the SDK class): reference counting, the
// interfaces it answers, factory and class information in all three forms, and
// instance creation.
#include "TestEffect.h"

#include "public.sdk/source/main/pluginfactory.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

const TUID kEffectCid = INLINE_UID(0xF2AEE70D, 0x00DE4F4E, 0x50656C6D, 0x4B726F31);
const TUID kOtherCid = INLINE_UID(0x01234567, 0x89ABCDEF, 0x01234567, 0x89ABCDEF);

const PFactoryInfo kFactoryInfo("Test Vendor", "https://example.com/", "mailto:test@example.com",
                                PFactoryInfo::kUnicode);

const PClassInfo2 kEffectInfo(kEffectCid, PClassInfo::kManyInstances, "Audio Module Class", "Test Effect",
                              2, "Fx|Dynamics", "", "1.2.3", "VST 3.6.12");

String16 Wide(const char* text) { return String16(text, text + std::strlen(text)); }

// A factory with the test effect registered, with a context the creation
// function records.
class FactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TestEffect::liveCount, 0);
    TestEffect::createCount = 0;
    TestEffect::lastContext = nullptr;
    ASSERT_TRUE(factory->registerClass(&kEffectInfo, TestEffect::createInstance, &context));
  }
  void TearDown() override {
    if (factory != nullptr) {
      EXPECT_EQ(factory->release(), 0u);
    }
    EXPECT_EQ(TestEffect::liveCount, 0) << "an instance was leaked";
  }

  int context = 0;
  CPluginFactory* factory = new CPluginFactory(kFactoryInfo);
};

// --- Reference counting and interfaces -------------------------------------------

TEST_F(FactoryTest, LastReleaseClearsTheModuleFactoryThatIsThisOne) {
  gPluginFactory = factory;
  EXPECT_EQ(factory->addRef(), 2u);
  EXPECT_EQ(factory->release(), 1u);
  EXPECT_EQ(gPluginFactory, factory) << "cleared before the last release";
  EXPECT_EQ(factory->release(), 0u);
  factory = nullptr;
  EXPECT_EQ(gPluginFactory, nullptr);
}

TEST_F(FactoryTest, DestroyingAnotherFactoryKeepsTheModuleFactory) {
  gPluginFactory = factory;
  auto* other = new CPluginFactory(kFactoryInfo);
  EXPECT_EQ(other->release(), 0u);
  EXPECT_EQ(gPluginFactory, factory);
  gPluginFactory = nullptr;
}

TEST_F(FactoryTest, AnswersTheFactoryInterfaces) {
  const struct {
    const char* name;
    const TUID& iid;
    void* expected;
  } cases[] = {
      {"FUnknown", FUnknown::iid, static_cast<FUnknown*>(static_cast<IPluginFactory*>(factory))},
      {"IPluginFactory", IPluginFactory::iid, static_cast<IPluginFactory*>(factory)},
      {"IPluginFactory2", IPluginFactory2::iid, static_cast<IPluginFactory2*>(factory)},
      {"IPluginFactory3", IPluginFactory3::iid, static_cast<IPluginFactory3*>(factory)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    void* obj = nullptr;
    ASSERT_EQ(factory->queryInterface(c.iid, &obj), kResultOk);
    EXPECT_EQ(obj, c.expected);
    EXPECT_EQ(factory->release(), 1u) << "the query did not add exactly one reference";
  }
}

TEST_F(FactoryTest, RefusesOtherInterfaces) {
  for (const TUID* iid : {&IPluginBase::iid.toTUID(), &IComponent::iid.toTUID(), &kOtherCid}) {
    int sentinel = 0;
    void* obj = &sentinel;
    EXPECT_EQ(factory->queryInterface(*iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
  }
  EXPECT_EQ(factory->addRef(), 2u) << "a refused query added a reference";
  factory->release();
}

TEST_F(FactoryTest, SetHostContextIsNotImplemented) {
  EXPECT_EQ(factory->setHostContext(nullptr), kNotImplemented);
}

// --- Factory and class information ---------------------------------------------------

TEST_F(FactoryTest, FactoryInfo) {
  PFactoryInfo info;
  ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Test Vendor");
  EXPECT_STREQ(info.url, "https://example.com/");
  EXPECT_STREQ(info.email, "mailto:test@example.com");
  EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
  EXPECT_EQ(factory->getFactoryInfo(nullptr), kInvalidArgument);
}

TEST_F(FactoryTest, ClassInfoVersion1) {
  ASSERT_EQ(factory->countClasses(), 1);
  PClassInfo info;
  ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
  EXPECT_EQ(std::memcmp(info.cid, kEffectCid, sizeof(TUID)), 0);
  EXPECT_EQ(info.cardinality, PClassInfo::kManyInstances);
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_STREQ(info.name, "Test Effect");
}

TEST_F(FactoryTest, ClassInfoVersion2IsTheRegisteredRecord) {
  PClassInfo2 info;
  ASSERT_EQ(factory->getClassInfo2(0, &info), kResultOk);
  EXPECT_EQ(std::memcmp(&info, &kEffectInfo, sizeof(PClassInfo2)), 0);
}

TEST_F(FactoryTest, ClassInfoUnicodeIsConvertedFromVersion2) {
  PClassInfoW info;
  ASSERT_EQ(factory->getClassInfoUnicode(0, &info), kResultOk);
  EXPECT_EQ(std::memcmp(info.cid, kEffectCid, sizeof(TUID)), 0);
  EXPECT_EQ(info.cardinality, PClassInfo::kManyInstances);
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_EQ(String16(info.name), Wide("Test Effect"));
  EXPECT_EQ(info.classFlags, 2u);
  EXPECT_STREQ(info.subCategories, "Fx|Dynamics");
  EXPECT_EQ(String16(info.vendor), Wide(""));
  EXPECT_EQ(String16(info.version), Wide("1.2.3"));
  EXPECT_EQ(String16(info.sdkVersion), Wide("VST 3.6.12"));
  // Zero-filled after each text.
  EXPECT_EQ(info.name[PClassInfo::kNameSize - 1], 0);
  EXPECT_EQ(info.sdkVersion[PClassInfoW::kVersionSize - 1], 0);
}

TEST_F(FactoryTest, ClassInfoRefusesBadIndexesAndMissingRecords) {
  for (int32 index : {-1, 1, 100}) {
    SCOPED_TRACE(index);
    PClassInfo info1;
    PClassInfo2 info2;
    PClassInfoW infoW;
    EXPECT_EQ(factory->getClassInfo(index, &info1), kInvalidArgument);
    EXPECT_EQ(factory->getClassInfo2(index, &info2), kInvalidArgument);
    EXPECT_EQ(factory->getClassInfoUnicode(index, &infoW), kInvalidArgument);
  }
  EXPECT_EQ(factory->getClassInfo(0, nullptr), kInvalidArgument);
  EXPECT_EQ(factory->getClassInfo2(0, nullptr), kInvalidArgument);
  EXPECT_EQ(factory->getClassInfoUnicode(0, nullptr), kInvalidArgument);
}

TEST_F(FactoryTest, RegisteringWithVersion1LeavesTheVersion2FieldsEmpty) {
  const PClassInfo info1(kOtherCid, 1, "Service", "Other");
  ASSERT_TRUE(factory->registerClass(&info1, TestEffect::createInstance));
  ASSERT_EQ(factory->countClasses(), 2);

  PClassInfo2 info2;
  ASSERT_EQ(factory->getClassInfo2(1, &info2), kResultOk);
  EXPECT_EQ(std::memcmp(info2.cid, kOtherCid, sizeof(TUID)), 0);
  EXPECT_EQ(info2.cardinality, 1);
  EXPECT_STREQ(info2.category, "Service");
  EXPECT_STREQ(info2.name, "Other");
  EXPECT_EQ(info2.classFlags, 0u);
  EXPECT_STREQ(info2.subCategories, "");
  EXPECT_STREQ(info2.vendor, "");
  EXPECT_STREQ(info2.version, "");
  EXPECT_STREQ(info2.sdkVersion, "");

  PClassInfoW infoW;
  ASSERT_EQ(factory->getClassInfoUnicode(1, &infoW), kResultOk);
  EXPECT_EQ(String16(infoW.name), Wide("Other"));
}

TEST_F(FactoryTest, RegisteringWithWideInformationOnlyHasNo8BitRecord) {
  PClassInfoW wide(kOtherCid, 1, "Service", STR16("Wide Only"), 0, "", nullptr, STR16("2.0"), nullptr);
  ASSERT_TRUE(factory->registerClass(&wide, TestEffect::createInstance));

  PClassInfoW infoW;
  ASSERT_EQ(factory->getClassInfoUnicode(1, &infoW), kResultOk);
  EXPECT_EQ(std::memcmp(&infoW, &wide, sizeof(PClassInfoW)), 0);

  PClassInfo info1;
  std::memset(static_cast<void*>(&info1), 0x55, sizeof(info1));
  EXPECT_EQ(factory->getClassInfo(1, &info1), kResultFalse);
  EXPECT_EQ(info1.cardinality, 0);
  EXPECT_STREQ(info1.name, "");
  PClassInfo2 info2;
  std::memset(static_cast<void*>(&info2), 0x55, sizeof(info2));
  EXPECT_EQ(factory->getClassInfo2(1, &info2), kResultFalse);
  EXPECT_EQ(info2.classFlags, 0u);
  EXPECT_STREQ(info2.version, "");
}

TEST_F(FactoryTest, RegisteringWithoutInformationOrCreationFunctionFails) {
  EXPECT_FALSE(factory->registerClass(static_cast<const PClassInfo*>(nullptr), TestEffect::createInstance));
  EXPECT_FALSE(factory->registerClass(static_cast<const PClassInfo2*>(nullptr), TestEffect::createInstance));
  EXPECT_FALSE(factory->registerClass(static_cast<const PClassInfoW*>(nullptr), TestEffect::createInstance));
  EXPECT_FALSE(factory->registerClass(&kEffectInfo, nullptr));
  EXPECT_EQ(factory->countClasses(), 1);
}

TEST_F(FactoryTest, FullWidthTextsStayInsideTheWideRecord) {
  // 8-bit texts that fill their whole field have no terminator of their own;
  // the wide record must still end each text inside its field.
  PClassInfo2 full(kOtherCid, 1, "Service", nullptr, 7, "", nullptr, nullptr, nullptr);
  std::memset(full.name, 'n', sizeof(full.name));
  std::memset(full.vendor, 'v', sizeof(full.vendor));
  std::memset(full.version, 'r', sizeof(full.version));
  std::memset(full.sdkVersion, 's', sizeof(full.sdkVersion));
  ASSERT_TRUE(factory->registerClass(&full, TestEffect::createInstance));

  PClassInfoW info;
  std::memset(static_cast<void*>(&info), 0x55, sizeof(info));
  ASSERT_EQ(factory->getClassInfoUnicode(1, &info), kResultOk);
  EXPECT_EQ(String16(info.name), String16(PClassInfo::kNameSize - 1, u'n'));
  EXPECT_EQ(String16(info.vendor), String16(PClassInfoW::kVendorSize - 1, u'v'));
  EXPECT_EQ(String16(info.version), String16(PClassInfoW::kVersionSize - 1, u'r'));
  EXPECT_EQ(info.sdkVersion[PClassInfoW::kVersionSize - 1], 0);
  EXPECT_EQ(String16(info.sdkVersion), String16(PClassInfoW::kVersionSize - 1, u's'));
  EXPECT_EQ(info.classFlags, 7u);
  // The 8-bit record is kept as registered.
  PClassInfo2 info2;
  ASSERT_EQ(factory->getClassInfo2(1, &info2), kResultOk);
  EXPECT_EQ(std::memcmp(&info2, &full, sizeof(PClassInfo2)), 0);
}

TEST_F(FactoryTest, IsClassRegistered) {
  EXPECT_TRUE(factory->isClassRegistered(FUID::fromTUID(kEffectCid)));
  EXPECT_FALSE(factory->isClassRegistered(FUID::fromTUID(kOtherCid)));
  factory->removeAllClasses();
  EXPECT_EQ(factory->countClasses(), 0);
  EXPECT_FALSE(factory->isClassRegistered(FUID::fromTUID(kEffectCid)));
}

// --- Creating instances ------------------------------------------------------------------

FIDString Id(const TUID& tuid) { return reinterpret_cast<FIDString>(tuid); }

TEST_F(FactoryTest, CreateInstanceWithEachInterfaceHandsTheHostOneReference) {
  const struct {
    const char* name;
    const TUID& iid;
  } cases[] = {
      {"IAudioProcessor", IAudioProcessor::iid},
      {"IComponent", IComponent::iid},
      {"IEditController", IEditController::iid},
      {"IUnitInfo", IUnitInfo::iid},
      {"FUnknown", FUnknown::iid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    void* obj = nullptr;
    ASSERT_EQ(factory->createInstance(Id(kEffectCid), Id(c.iid), &obj), kResultOk);
    ASSERT_NE(obj, nullptr);
    auto* unknown = static_cast<FUnknown*>(obj);
    TestEffect* effect = FCast<TestEffect>(unknown);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->getRefCount(), 1);
    EXPECT_EQ(TestEffect::lastContext, &context) << "the registered context was not passed on";
    EXPECT_EQ(unknown->release(), 0u);
    EXPECT_EQ(TestEffect::liveCount, 0);
  }
  EXPECT_EQ(TestEffect::createCount, 5);
}

TEST_F(FactoryTest, CreateInstanceWithAnUnansweredInterfaceDestroysTheInstance) {
  int sentinel = 0;
  void* obj = &sentinel;
  EXPECT_EQ(factory->createInstance(Id(kEffectCid), Id(IPluginFactory::iid), &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(TestEffect::createCount, 1);
  EXPECT_EQ(TestEffect::liveCount, 0);
}

TEST_F(FactoryTest, CreateInstanceWithAClassIdDifferingInAnyByteFails) {
  for (size_t byte = 0; byte < sizeof(TUID); ++byte) {
    SCOPED_TRACE(byte);
    TUID cid;
    std::memcpy(cid, kEffectCid, sizeof(TUID));
    cid[byte] = static_cast<int8>(cid[byte] ^ 0x01);
    int sentinel = 0;
    void* obj = &sentinel;
    EXPECT_EQ(factory->createInstance(Id(cid), Id(IAudioProcessor::iid), &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
  }
  EXPECT_EQ(TestEffect::createCount, 0) << "an instance was made for a wrong class id";
}

TEST_F(FactoryTest, CreateInstanceRefusesMissingArguments) {
  void* obj = nullptr;
  EXPECT_EQ(factory->createInstance(Id(kEffectCid), Id(IComponent::iid), nullptr), kInvalidArgument);
  EXPECT_EQ(factory->createInstance(nullptr, Id(IComponent::iid), &obj), kInvalidArgument);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(factory->createInstance(Id(kEffectCid), nullptr, &obj), kInvalidArgument);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(TestEffect::createCount, 0);
}

FUnknown* CreateNothing(void*) { return nullptr; }

TEST_F(FactoryTest, CreateInstanceWhenTheCreationFunctionFails) {
  const PClassInfo2 info(kOtherCid, 1, "Service", "Nothing", 0, "", "", "", "");
  ASSERT_TRUE(factory->registerClass(&info, CreateNothing));
  int sentinel = 0;
  void* obj = &sentinel;
  EXPECT_EQ(factory->createInstance(Id(kOtherCid), Id(FUnknown::iid), &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
}

int gOtherCreations = 0;
FUnknown* CreateOther(void* context) {
  ++gOtherCreations;
  return TestEffect::createInstance(context);
}

TEST_F(FactoryTest, CreateInstanceChoosesTheClassById) {
  int otherContext = 0;
  const PClassInfo2 info(kOtherCid, 1, "Service", "Other", 0, "", "", "", "");
  ASSERT_TRUE(factory->registerClass(&info, CreateOther, &otherContext));
  gOtherCreations = 0;

  void* obj = nullptr;
  ASSERT_EQ(factory->createInstance(Id(kOtherCid), Id(IComponent::iid), &obj), kResultOk);
  EXPECT_EQ(gOtherCreations, 1);
  EXPECT_EQ(TestEffect::lastContext, &otherContext);
  static_cast<FUnknown*>(obj)->release();

  ASSERT_EQ(factory->createInstance(Id(kEffectCid), Id(IComponent::iid), &obj), kResultOk);
  EXPECT_EQ(gOtherCreations, 1);
  EXPECT_EQ(TestEffect::lastContext, &context);
  static_cast<FUnknown*>(obj)->release();
}

TEST_F(FactoryTest, CreateInstanceAcceptsUnalignedIds) {
  // Hosts pass ids as byte strings, at any address.
  alignas(16) char buffer[2 * sizeof(TUID) + 1];
  char* cid = buffer + 1;
  char* iid = cid + sizeof(TUID);
  std::memcpy(cid, kEffectCid, sizeof(TUID));
  std::memcpy(iid, IEditController::iid.toTUID(), sizeof(TUID));
  void* obj = nullptr;
  ASSERT_EQ(factory->createInstance(cid, iid, &obj), kResultOk);
  static_cast<FUnknown*>(obj)->release();

  ASSERT_EQ(factory->queryInterface(iid, &obj), kNoInterface);
  std::memcpy(iid, IPluginFactory3::iid.toTUID(), sizeof(TUID));
  ASSERT_EQ(factory->queryInterface(iid, &obj), kResultOk);
  factory->release();
}

}  // namespace
}  // namespace kestro::test

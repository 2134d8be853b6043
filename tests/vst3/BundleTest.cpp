// The built bundle as a host first meets it: the module's entries, the
// factory's classes, the buses, and an instance that plays.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "framework/vst3/PlugView.h"
#include "support/AllocationCounter.h"
#include "tests/vst3/Vst3TestHost.h"

namespace {

using namespace testhost;

std::string Hex(const char* bytes) {
  std::string text;
  char digits[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(bytes[i]));
    text += digits;
  }
  return text;
}

TEST(Bundle, TheModuleEntersAndExportsOnlyItsEntries) {
  Module& module = Module::Get();
  ASSERT_NE(module.library, nullptr) << REDI_VST3_PLUGIN_PATH;
  EXPECT_TRUE(module.entered);
  ASSERT_NE(module.factory, nullptr);
  EXPECT_NE(module.Symbol(Module::kExitName), nullptr);
  // The core stays inside: no class of the plug-in is visible to the host.
  EXPECT_EQ(module.Symbol("_ZN9IPlugBase14ApplyProgramEi"), nullptr);
  EXPECT_EQ(module.Symbol("VSTPluginMain"), nullptr);
}

TEST(Bundle, TheFactoryDescribesOneRediClass) {
  IPluginFactory* factory = Module::Get().factory;
  ASSERT_NE(factory, nullptr);
  PFactoryInfo info = {};
  ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Welmora");
  EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
  ASSERT_EQ(factory->countClasses(), 1);

  PClassInfo plain = {};
  ASSERT_EQ(factory->getClassInfo(0, &plain), kResultOk);
  EXPECT_STREQ(plain.category, "Audio Module Class");
  EXPECT_STREQ(plain.name, "REDI");
  EXPECT_EQ(plain.cardinality, kManyInstances);
  // The identifier hosts derive for the VST 2 plug-in 'redi' "REDI", in
  // this system's byte order (Windows: a GUID, its first three fields
  // little-endian).
#if defined(_WIN32)
  EXPECT_EQ(Hex(plain.cid), "72545356646572696564690000000000");
#else
  EXPECT_EQ(Hex(plain.cid), "56535472656469726564690000000000");
#endif
  EXPECT_EQ(factory->getClassInfo(1, &plain), kInvalidArgument);

  IPluginFactory3* third = Query<IPluginFactory3>(factory);
  ASSERT_NE(third, nullptr);
  PClassInfo2 second = {};
  ASSERT_EQ(third->getClassInfo2(0, &second), kResultOk);
  EXPECT_EQ(std::memcmp(second.cid, plain.cid, 16), 0);
  EXPECT_STREQ(second.subCategories, "Fx|Instrument");
  EXPECT_STREQ(second.vendor, "Welmora");
  EXPECT_STREQ(second.version, "1.1.1");
  EXPECT_STREQ(second.sdkVersion, "VST 3.7.14");
  EXPECT_EQ(second.classFlags, 0u) << "component and controller are one object";

  PClassInfoW wide = {};
  ASSERT_EQ(third->getClassInfoUnicode(0, &wide), kResultOk);
  EXPECT_EQ(Narrow(wide.name), "REDI");
  EXPECT_EQ(Narrow(wide.vendor), "Welmora");
  EXPECT_EQ(Narrow(wide.version), "1.1.1");
  EXPECT_STREQ(wide.subCategories, "Fx|Instrument");
  EXPECT_EQ(third->setHostContext(nullptr), kResultOk);
  third->release();

  void* made = reinterpret_cast<void*>(1);
  char unknown[16] = {1, 2, 3};
  EXPECT_EQ(factory->createInstance(unknown, IComponent::iid.bytes, &made), kNoInterface);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(factory->createInstance(plain.cid, IPluginFactory::iid.bytes, &made), kNoInterface);
  EXPECT_EQ(made, nullptr);
}

TEST(Bundle, OneObjectIsComponentProcessorAndController) {
  Instance plug;
  ASSERT_TRUE(plug.Ready());
  EXPECT_EQ(static_cast<void*>(Query<IComponent>(plug.controller)),
            static_cast<void*>(plug.component));
  plug.component->release();
  TUID controllerClass = {};
  EXPECT_EQ(plug.component->getControllerClassId(controllerClass), kResultFalse);
  EXPECT_EQ(plug.controller->createView("other"), nullptr);
  EXPECT_EQ(plug.controller->createView(nullptr), nullptr);
  IPlugView* view = plug.controller->createView("editor");
  ASSERT_NE(view, nullptr);
#if defined(_WIN32)
  const char* const own = kPlatformTypeHWND;
  const char* const other = kPlatformTypeX11EmbedWindowID;
#else
  const char* const own = kPlatformTypeX11EmbedWindowID;
  const char* const other = kPlatformTypeHWND;
#endif
  EXPECT_EQ(view->isPlatformTypeSupported(own), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(other), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultFalse);
  ViewRect size = {};
  EXPECT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 800);
  EXPECT_EQ(size.bottom - size.top, 360);
  EXPECT_EQ(view->canResize(), kResultFalse);
  ViewRect asked = {10, 20, 1000, 1000};
  EXPECT_EQ(view->checkSizeConstraint(&asked), kResultTrue);
  EXPECT_EQ(asked.right - asked.left, 800);
  EXPECT_EQ(asked.bottom - asked.top, 360);
  void* scaleSupport = nullptr;
  ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid.bytes, &scaleSupport),
            kResultOk);
  EXPECT_EQ(static_cast<IPlugViewContentScaleSupport*>(scaleSupport)->setContentScaleFactor(2.0f),
            kResultOk);
  EXPECT_EQ(view->release(), 1u);  // the reference queryInterface gave
  // A type the view does not take, or no parent: nothing opens.
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(1), other), kResultFalse);
  EXPECT_EQ(view->attached(nullptr, own), kResultFalse);
  EXPECT_EQ(view->removed(), kResultFalse);
  EXPECT_EQ(view->release(), 0u);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(plug.component->queryInterface(IPluginFactory::iid.bytes, &none), kNoInterface);
  EXPECT_EQ(none, nullptr);
  // A second initialise through the controller is counted, not repeated.
  EXPECT_EQ(plug.controller->initialize(&plug.application), kResultOk);
  EXPECT_EQ(plug.controller->terminate(), kResultOk);
}

TEST(Bundle, BusesAreMicExtOutputAndSixteenMidiChannels) {
  Instance plug;
  ASSERT_TRUE(plug.Ready());
  IComponent* c = plug.component;
  EXPECT_EQ(c->getBusCount(kAudio, kInput), 2);
  EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(c->getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(c->getBusCount(kEvent, kOutput), 0);
  struct Expected {
    int32 type, dir, index;
    const char* name;
    int32 channels, busType;
    uint32 flags;
  };
  const Expected expected[] = {{kAudio, kInput, 0, "MIC", 2, kMain, BusInfo::kDefaultActive},
                               {kAudio, kInput, 1, "EXT", 2, kAux, 0},
                               {kAudio, kOutput, 0, "REDI", 2, kMain, BusInfo::kDefaultActive},
                               {kEvent, kInput, 0, "MIDI In", 16, kMain, BusInfo::kDefaultActive}};
  for (const Expected& e : expected) {
    BusInfo info = {};
    ASSERT_EQ(c->getBusInfo(e.type, e.dir, e.index, info), kResultOk) << e.name;
    EXPECT_EQ(Narrow(info.name), e.name);
    EXPECT_EQ(info.mediaType, e.type) << e.name;
    EXPECT_EQ(info.direction, e.dir) << e.name;
    EXPECT_EQ(info.channelCount, e.channels) << e.name;
    EXPECT_EQ(info.busType, e.busType) << e.name;
    EXPECT_EQ(info.flags, e.flags) << e.name;
  }
  BusInfo info = {};
  EXPECT_EQ(c->getBusInfo(kAudio, kInput, 2, info), kInvalidArgument);
  EXPECT_EQ(c->activateBus(kEvent, kOutput, 0, 1), kInvalidArgument);
}

// ---- Playing ----

constexpr double kRate = 48000.0;
constexpr int kBlock = 480;
constexpr ParamID kProgramParam = 0x10000;  // the program-change parameter, as hosts see it

struct Loudness {
  double rms = 0.0;
  bool finite = true;
};

// A second of white noise on MIC, with or without a held chord, in blocks of
// kBlock at either sample size; the loudness of the last half second.
template <class Sample>
Loudness PlayOverNoise(bool chord) {
  Instance plug;
  if (!plug.Ready()) return {};
  plug.Start(kRate, kBlock, sizeof(Sample) == 8 ? kSample64 : kSample32, false);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-0.5, 0.5);
  Buffers<Sample> buffers(kBlock);
  Loudness loudness;
  double sum = 0.0;
  int counted = 0;
  const int blocks = static_cast<int>(kRate) / kBlock;
  for (int b = 0; b < blocks; ++b) {
    for (int c = 0; c < 2; ++c)
      for (Sample& x : buffers.mic[c]) x = static_cast<Sample>(noise(random));
    EventList events;
    if (chord && b == 0)
      for (int note : {48, 55, 60, 63}) events.NoteOn(17, note, 0.8f);
    ProcessData data = {};
    buffers.Connect(data, kBlock);
    data.inputEvents = &events;
    plug.processor->process(data);
    for (int c = 0; c < 2; ++c) {
      for (Sample x : buffers.out[c]) {
        if (!std::isfinite(static_cast<double>(x))) loudness.finite = false;
        if (b >= blocks / 2) {
          sum += static_cast<double>(x) * x;
          ++counted;
        }
      }
    }
  }
  loudness.rms = std::sqrt(sum / counted);
  return loudness;
}

TEST(Bundle, AHeldChordOverNoiseSoundsAtBothSampleSizes) {
  const Loudness quiet = PlayOverNoise<float>(false);
  const Loudness single = PlayOverNoise<float>(true);
  const Loudness wide = PlayOverNoise<double>(true);
  EXPECT_TRUE(quiet.finite && single.finite && wide.finite);
  EXPECT_GT(single.rms, 1e-3);
  EXPECT_GT(wide.rms, 1e-3);
  EXPECT_GT(single.rms, 30.0 * quiet.rms) << "without notes the carrier is silent";
  // The same session at both sizes, but for the rounding of float samples
  // and the shared noise generator's place in its sequence.
  EXPECT_NEAR(single.rms, wide.rms, 0.2 * wide.rms);
}

// Noise on MIC under a held chord at the slowest envelopes with the
// ensemble on, then silence: the output dies within the reported tail.
TEST(Bundle, TheOutputDiesWithinTheReportedTail) {
  Instance plug;
  ASSERT_TRUE(plug.Ready());
  plug.Start(kRate, kBlock);
  const uint32 tail = plug.processor->getTailSamples();
  EXPECT_EQ(tail, static_cast<uint32>(kRate));
  std::mt19937 random(3);
  std::uniform_real_distribution<double> noise(-0.5, 0.5);
  Buffers<float> buffers(kBlock);
  const int playing = static_cast<int>(kRate) / kBlock;
  const int silent = static_cast<int>(tail) / kBlock;
  double loud = 0.0, last = 0.0;
  for (int b = 0; b < playing + silent; ++b) {
    for (int c = 0; c < 2; ++c)
      for (float& x : buffers.mic[c]) x = b < playing ? static_cast<float>(noise(random)) : 0.0f;
    EventList events;
    ParamChanges changes;
    if (b == 0) {
      for (int note : {48, 55, 60, 63}) events.NoteOn(0, note, 0.8f);
      changes.Add(106, 0, 0.0);  // Speed -1
      changes.Add(16, 0, 1.0);   // Ensemble
    }
    ProcessData data = {};
    buffers.Connect(data, kBlock);
    data.inputEvents = &events;
    data.inputParameterChanges = &changes;
    plug.processor->process(data);
    double peak = 0.0;
    for (int c = 0; c < 2; ++c)
      for (float x : buffers.out[c]) peak = std::max(peak, std::fabs(static_cast<double>(x)));
    if (b < playing) loud = std::max(loud, peak);
    last = peak;
  }
  EXPECT_GT(loud, 0.05);
  EXPECT_LT(last, 1e-5 * loud);  // more than 100 dB down
}

TEST(Bundle, ProcessingAllocatesNothing) {
  Instance plug;
  ASSERT_TRUE(plug.Ready());
  plug.Start(kRate, kBlock);
  Buffers<float> buffers(kBlock);
  ParamID modWheel = 0, bend = 0;
  plug.mapping->getMidiControllerAssignment(0, 0, 1, modWheel);
  plug.mapping->getMidiControllerAssignment(0, 0, vst3::kPitchBend, bend);
  // Everything a block can carry is built before counting starts.
  std::vector<EventList> events(8);
  std::vector<ParamChanges> changes(8);
  for (int b = 0; b < 8; ++b) {
    events[b].NoteOn(b * 10, 48 + b, 0.7f);
    if (b > 2) events[b].NoteOff(5, 45 + b);
    changes[b].Add(4, 0, 0.1 * b);   // Final Volume
    changes[b].Add(16, 100, b % 2);  // Ensemble
    changes[b].Add(modWheel, 50, 0.1 * b);
    changes[b].Add(bend, 70, 0.05 * b);
  }
  // Program changes, which load every parameter and report them back.
  changes[3].Add(kProgramParam, 30, 5.0 / 63);
  changes[6].Add(kProgramParam, 0, 12.0 / 63);
  ParamChanges out;
  for (ParamID id = 0; id < 107; ++id) out.Add(id, 0, 0.0);
  out.Add(kProgramParam, 0, 0.0);
  for (ParamQueue& queue : out.queues) queue.points.reserve(64);
  ProcessData data = {};
  buffers.Connect(data, kBlock);
  data.outputParameterChanges = &out;
  int reportedAfterProgramChange = 0;
  StartCountingAllocations();
  for (int b = 0; b < 8; ++b) {
    data.inputEvents = &events[b];
    data.inputParameterChanges = &changes[b];
    for (ParamQueue& queue : out.queues) queue.points.clear();
    plug.processor->process(data);
    for (const ParamQueue& queue : out.queues)
      reportedAfterProgramChange += b == 6 && !queue.points.empty();
  }
  EXPECT_EQ(StopCountingAllocations(), 0);
  // The host hears of the values the program brought.
  EXPECT_GT(reportedAfterProgramChange, 0);
}

}  // namespace

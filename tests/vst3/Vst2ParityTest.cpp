// The VST 3 bundle against the VST 2 library, both loaded in this program:
// the same session gives the same samples, parameters read the same, and a
// VST 2 bank chunk loads as the VST 3 state.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "framework/VST2.h"
#include "framework/vst3/Utf16.h"
#include "instrument/ParameterIds.h"
#include "support/PluginConfigHome.h"
#include "tests/vst/PluginInstance.h"
#include "tests/vst/RecordingCallback.h"
#include "tests/vst3/Vst3TestHost.h"

namespace {

using testhost::Buffers;
using testhost::EventList;
using testhost::Instance;
using testhost::MemoryStream;
using testhost::ParamChanges;

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr int kBlocks = 120;
constexpr double kPi = 3.14159265358979323846;

std::string Text16(const char16_t* text) { return FromUtf16(text, 128); }

// A voice-like MIC signal: a 140 Hz sawtooth with a syllable-rate swell.
double Voice(int frame) {
  const double t = frame / kRate;
  const double phase = 140.0 * t - std::floor(140.0 * t);
  return 0.3 * (0.55 + 0.45 * std::sin(2.0 * kPi * 3.0 * t)) * (2.0 * phase - 1.0);
}

// One session, said once for both formats: settings in the first block,
// notes and a bend at offsets inside blocks, a release later. "In Balance"
// keeps to the keyboard: the noise generator is shared by every instance of
// a library, so noise cannot repeat between two of them.
struct Setting {
  int index;
  float value;
};
constexpr Setting kSettings[] = {
    {kInBalance, 0.0f}, {kFinalVolume, 0.8f},  {kVocoderMode, 1.0f},       {kEnsemble, 1.0f},
    {kSpeed, 0.7f},     {kVibratoDepth, 0.4f}, {kAnalysisFreq1 + 3, 0.45f}};
struct Note {
  int block, offset, status, key, velocity;
};
constexpr Note kNotes[] = {{0, 100, 0x90, 48, 100}, {0, 100, 0x90, 55, 90}, {3, 17, 0x90, 63, 127},
                           {20, 511, 0x90, 60, 64}, {60, 200, 0x80, 55, 0}, {80, 1, 0x80, 48, 0}};
struct Bend {
  int block, offset, value;  // 14 bits
};
constexpr Bend kBends[] = {{30, 250, 12000}, {50, 0, 8192}};

template <class Sample>
std::vector<Sample> RenderVst2() {
  PluginInstance plug(RecordingCallback::Callback);
  AEffect* effect = plug.Effect();
  if (effect == nullptr) return {};
  plug.Start(static_cast<float>(kRate), kBlock);
  for (const Setting& s : kSettings) effect->setParameter(effect, s.index, s.value);
  std::vector<Sample> out;
  std::vector<Sample> mic(kBlock), silence(kBlock, 0), left(kBlock), right(kBlock);
  for (int b = 0; b < kBlocks; ++b) {
    std::vector<VstMidiEvent> midi;
    for (const Note& n : kNotes)
      if (n.block == b) midi.push_back(MidiEvent(n.offset, n.status, n.key, n.velocity));
    for (const Bend& bend : kBends)
      if (bend.block == b)
        midi.push_back(MidiEvent(bend.offset, 0xE0, bend.value & 0x7F, bend.value >> 7));
    plug.Send(midi);
    for (int f = 0; f < kBlock; ++f) mic[f] = static_cast<Sample>(Voice(b * kBlock + f));
    Sample* inputs[4] = {mic.data(), mic.data(), silence.data(), silence.data()};
    Sample* outputs[2] = {left.data(), right.data()};
    if constexpr (sizeof(Sample) == 8) {
      effect->processDoubleReplacing(effect, inputs, outputs, kBlock);
    } else {
      effect->processReplacing(effect, inputs, outputs, kBlock);
    }
    out.insert(out.end(), left.begin(), left.end());
    out.insert(out.end(), right.begin(), right.end());
  }
  return out;
}

template <class Sample>
std::vector<Sample> RenderVst3() {
  Instance plug;
  if (!plug.Ready()) return {};
  plug.Start(kRate, kBlock, sizeof(Sample) == 8 ? vst3::kSample64 : vst3::kSample32);
  vst3::ParamID bendId = 0;
  plug.mapping->getMidiControllerAssignment(0, 0, vst3::kPitchBend, bendId);
  Buffers<Sample> buffers(kBlock);
  std::vector<Sample> out;
  for (int b = 0; b < kBlocks; ++b) {
    EventList events;
    for (const Note& n : kNotes) {
      if (n.block != b) continue;
      if (n.status == 0x90) {
        events.NoteOn(n.offset, n.key, n.velocity / 127.0f);
      } else {
        events.NoteOff(n.offset, n.key);
      }
    }
    ParamChanges changes;
    if (b == 0)
      for (const Setting& s : kSettings)
        changes.Add(static_cast<vst3::ParamID>(s.index), 0, s.value);
    for (const Bend& bend : kBends)
      if (bend.block == b) changes.Add(bendId, bend.offset, bend.value / 16383.0);
    for (int c = 0; c < 2; ++c)
      for (int f = 0; f < kBlock; ++f)
        buffers.mic[c][f] = static_cast<Sample>(Voice(b * kBlock + f));
    vst3::ProcessData data = {};
    buffers.Connect(data, kBlock);
    data.inputEvents = &events;
    data.inputParameterChanges = &changes;
    plug.processor->process(data);
    out.insert(out.end(), buffers.out[0].begin(), buffers.out[0].end());
    out.insert(out.end(), buffers.out[1].begin(), buffers.out[1].end());
  }
  return out;
}

class Vst2Parity : public ::testing::Test {
 protected:
  void SetUp() override { RecordingCallback::Current().Reset(); }
#if !defined(_WIN32)
  PluginConfigHome configHome;  // the developer's own settings stay out
#endif
};

// Where two renders part, for the failure message.
template <class Sample>
std::string FirstDifference(const std::vector<Sample>& a, const std::vector<Sample>& b) {
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (std::memcmp(&a[i], &b[i], sizeof(Sample)) != 0) {
      const size_t block = i / (2 * kBlock), inBlock = i % (2 * kBlock);
      return "block " + std::to_string(block) + (inBlock < kBlock ? " left " : " right ") +
             std::to_string(inBlock % kBlock) + ": " + std::to_string(a[i]) + " vs " +
             std::to_string(b[i]);
    }
  }
  return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}

TEST_F(Vst2Parity, TheSameSessionGivesTheSameSamplesAtBothSizes) {
  const std::vector<float> vst2 = RenderVst2<float>();
  const std::vector<float> vst3 = RenderVst3<float>();
  ASSERT_EQ(vst2.size(), static_cast<size_t>(2 * kBlock * kBlocks));
  double energy = 0.0;
  for (float x : vst3) energy += double{x} * x;
  EXPECT_GT(energy / vst3.size(), 1e-6) << "a silent session proves nothing";
  EXPECT_TRUE(vst2 == vst3) << FirstDifference(vst2, vst3);

  const std::vector<double> vst2Wide = RenderVst2<double>();
  const std::vector<double> vst3Wide = RenderVst3<double>();
  ASSERT_EQ(vst2Wide.size(), vst2.size());
  EXPECT_TRUE(vst2Wide == vst3Wide) << FirstDifference(vst2Wide, vst3Wide);
}

// ---- Parameters ----

std::string Vst2Text(PluginInstance& plug, VstInt32 opcode, int index) {
  char text[256] = {};
  plug.Dispatch(opcode, index, 0, text);
  return text;
}

std::string Vst3Display(Instance& plug, int index) {
  vst3::String128 text = {};
  const vst3::ParamID id = static_cast<vst3::ParamID>(index);
  plug.controller->getParamStringByValue(id, plug.controller->getParamNormalized(id), text);
  return Text16(text);
}

TEST_F(Vst2Parity, ParametersHaveTheVst2NamesUnitsValuesAndTexts) {
  PluginInstance vst2(RecordingCallback::Callback);
  Instance vst3;
  ASSERT_TRUE(vst2.Effect() != nullptr && vst3.Ready());
  AEffect* effect = vst2.Effect();
  ASSERT_EQ(vst3.controller->getParameterCount(), 107 + 1 + 121);
  for (int i = 0; i < 107; ++i) {
    vst3::ParameterInfo info = {};
    ASSERT_EQ(vst3.controller->getParameterInfo(i, info), vst3::kResultOk);
    EXPECT_EQ(info.id, static_cast<vst3::ParamID>(i));
    EXPECT_EQ(Text16(info.title), Vst2Text(vst2, effGetParamName, i)) << i;
    const std::string label = Vst2Text(vst2, effGetParamLabel, i);
    if (!label.empty()) {
      EXPECT_EQ(Text16(info.units), label) << i;
    }
    EXPECT_EQ(info.flags & vst3::ParameterInfo::kCanAutomate, vst3::ParameterInfo::kCanAutomate);
    // Fresh instances play program 0, not the table's defaults: only the range.
    EXPECT_TRUE(info.defaultNormalizedValue >= 0.0 && info.defaultNormalizedValue <= 1.0) << i;
  }
  // Every parameter at three points of its range, set through each format.
  for (const float x : {0.0f, 0.37f, 1.0f}) {
    for (int i = 0; i < 107; ++i) {
      effect->setParameter(effect, i, x);
      vst3.controller->setParamNormalized(static_cast<vst3::ParamID>(i), x);
      EXPECT_EQ(static_cast<float>(vst3.controller->getParamNormalized(i)),
                effect->getParameter(effect, i))
          << i << " at " << x;
      const std::string display = Vst2Text(vst2, effGetParamDisplay, i);
      EXPECT_EQ(Vst3Display(vst3, i), display) << i << " at " << x;
      // And back from the text the host shows.
      vst3::String128 text = {};
      ToUtf16(display.c_str(), text, 128);
      vst3::ParamValue fromText = -1.0;
      const bool vst3Read =
          vst3.controller->getParamValueByString(i, text, fromText) == vst3::kResultOk;
      const bool vst2Read =
          vst2.Dispatch(effString2Parameter, i, 0, const_cast<char*>(display.c_str())) == 1;
      EXPECT_EQ(vst3Read, vst2Read) << i << " '" << display << "'";
      if (vst3Read && vst2Read) {
        EXPECT_EQ(static_cast<float>(fromText), effect->getParameter(effect, i)) << i;
      }
    }
  }
}

TEST_F(Vst2Parity, TheProgramListHoldsTheVst2Programs) {
  PluginInstance vst2(RecordingCallback::Callback);
  Instance vst3;
  ASSERT_TRUE(vst2.Effect() != nullptr && vst3.Ready());
  vst3::UnitInfo unit = {};
  ASSERT_EQ(vst3.units->getUnitCount(), 1);
  ASSERT_EQ(vst3.units->getUnitInfo(0, unit), vst3::kResultOk);
  EXPECT_EQ(unit.id, vst3::kRootUnitId);
  EXPECT_EQ(unit.parentUnitId, vst3::kNoParentUnitId);
  vst3::ProgramListInfo list = {};
  ASSERT_EQ(vst3.units->getProgramListCount(), 1);
  ASSERT_EQ(vst3.units->getProgramListInfo(0, list), vst3::kResultOk);
  EXPECT_EQ(list.id, unit.programListId);
  EXPECT_EQ(list.programCount, 64);
  for (int p = 0; p < 64; ++p) {
    vst3::String128 name = {};
    ASSERT_EQ(vst3.units->getProgramName(list.id, p, name), vst3::kResultOk);
    char vst2Name[kVstMaxProgNameLen + 1] = {};
    vst2.Dispatch(effGetProgramNameIndexed, p, 0, vst2Name);
    ASSERT_NE(vst2Name[0], '\0');
    // VST 2 hosts get at most 24 characters.
    EXPECT_EQ(Text16(name).substr(0, kVstMaxProgNameLen), vst2Name) << p;
    vst3::String128 shown = {};
    vst3.controller->getParamStringByValue(0x10000, p / 63.0, shown);
    EXPECT_EQ(Text16(shown), Text16(name)) << p;
  }
  vst3::String128 name = {};
  EXPECT_EQ(vst3.units->getProgramName(list.id, 64, name), vst3::kInvalidArgument);
  EXPECT_EQ(vst3.units->getProgramName(list.id + 1, 0, name), vst3::kInvalidArgument);
}

// ---- State ----

TEST_F(Vst2Parity, AVst2BankChunkLoadsAsInTheVst2BuildAndSavesBackUnchanged) {
  PluginInstance vst2(RecordingCallback::Callback);
  ASSERT_NE(vst2.Effect(), nullptr);
  AEffect* effect = vst2.Effect();
  vst2.Start(static_cast<float>(kRate), kBlock);
  vst2.Dispatch(effSetProgram, 0, 9);
  for (const Setting& s : kSettings) effect->setParameter(effect, s.index, s.value);
  vst2.Dispatch(effSetProgram, 0, 2);  // the settings stay in program 9
  effect->setParameter(effect, kFinalVolume, 0.3f);
  const std::vector<uint8_t> bank = vst2.Chunk(true);
  ASSERT_FALSE(bank.empty());

  // What the VST 2 build makes of the chunk, in a fresh instance.
  PluginInstance reference(RecordingCallback::Callback);
  AEffect* loaded = reference.Effect();
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(reference.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()),
                               const_cast<uint8_t*>(bank.data())),
            1);

  Instance vst3;
  ASSERT_TRUE(vst3.Ready());
  MemoryStream stream(bank);
  stream.readPiece = 1000;  // hosts may hand out less than asked
  ASSERT_EQ(vst3.component->setState(&stream), vst3::kResultOk);
  for (int i = 0; i < 107; ++i)
    EXPECT_EQ(static_cast<float>(vst3.controller->getParamNormalized(i)),
              loaded->getParameter(loaded, i))
        << i;
  EXPECT_EQ(vst3.controller->getParamNormalized(0x10000) * 63,
            static_cast<double>(reference.Dispatch(effGetProgram)));
  EXPECT_TRUE(vst3.handler.restarts.empty()) << "no handler calls while loading";

  // Program 9 kept its settings.
  vst3.controller->setParamNormalized(0x10000, 9 / 63.0);
  reference.Dispatch(effSetProgram, 0, 9);
  EXPECT_EQ(static_cast<float>(vst3.controller->getParamNormalized(kFinalVolume)), 0.8f);
  for (int i = 0; i < 107; ++i)
    EXPECT_EQ(static_cast<float>(vst3.controller->getParamNormalized(i)),
              loaded->getParameter(loaded, i))
        << i;

  // The state begins with the bank chunk the VST 2 build writes.
  const std::vector<uint8_t> state = vst3.State();
  const std::vector<uint8_t> vst2Bank = reference.Chunk(true);
  ASSERT_GT(state.size(), vst2Bank.size());
  EXPECT_TRUE(std::equal(vst2Bank.begin(), vst2Bank.end(), state.begin()));
}

TEST_F(Vst2Parity, AStateRoundTripClonesTheInstance) {
  Instance first;
  ASSERT_TRUE(first.Ready());
  first.controller->setParamNormalized(0x10000, 12 / 63.0);
  for (const Setting& s : kSettings)
    first.controller->setParamNormalized(static_cast<vst3::ParamID>(s.index), s.value);
  MemoryStream saved;
  saved.writePiece = 333;  // and take less than given
  ASSERT_EQ(first.component->getState(&saved), vst3::kResultOk);
  ASSERT_FALSE(saved.bytes.empty());

  Instance second;
  ASSERT_TRUE(second.Ready());
  saved.position = 0;
  ASSERT_EQ(second.component->setState(&saved), vst3::kResultOk);
  EXPECT_EQ(second.controller->setComponentState(&saved), vst3::kResultOk);
  EXPECT_TRUE(second.State() == saved.bytes);
  for (int i = 0; i < 107; ++i)
    EXPECT_EQ(second.controller->getParamNormalized(i), first.controller->getParamNormalized(i))
        << i;
  EXPECT_EQ(second.controller->getParamNormalized(0x10000), 12 / 63.0);

  // Nothing to read, or a state cut short, is refused.
  MemoryStream empty;
  EXPECT_EQ(second.component->setState(&empty), vst3::kResultFalse);
  MemoryStream cut(std::vector<uint8_t>(saved.bytes.begin(), saved.bytes.begin() + 40));
  EXPECT_EQ(second.component->setState(&cut), vst3::kResultFalse);
  EXPECT_EQ(second.component->setState(nullptr), vst3::kResultFalse);
}

}  // namespace

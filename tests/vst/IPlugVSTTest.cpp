// The VST 2 framework class in process: a small plug-in on the framework's
// own hooks, driven through its effect record with a recording host callback.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/IPlugVST.h"
#include "tests/vst/PluginInstance.h"
#include "tests/vst/RecordingCallback.h"

namespace {

const IPlugBase::Identity kIdentity = {"Test Effect", "Test Product", "Test Vendor",
                                       0x74737431,    0x00020304,     "2-2 4-2"};

// Keeps a running sum per channel, so its output depends on the audio alone
// and not on how the host's call was cut.
class TestPlug : public IPlugVST {
 public:
  explicit TestPlug(IHost* host, const Identity& identity = kIdentity) : IPlugVST(host, identity) {
    GetParam(0)->DefineContinuous("Gain", 50.0, 0.0, 100.0, 0.01, "%");
    GetParam(1)->DefineSwitch("Bypass", false);
  }
  ~TestPlug() override {
    if (destroyed != nullptr) *destroyed = true;
  }

  void ResetState() override { ++resets; }
  void Activate(bool on) override { activations.push_back(on); }
  void WindowResized() override { ++resized; }
  void HostIdentified() override { ++identified; }
  void HandleSysEx(const ISysExMessage& message) override { sysex.push_back(message); }
  void ProcessBlock(double** inputs, double** outputs, int frames) override {
    pieces.push_back(frames);
    seenInputs.assign(inputs, inputs + NInChannels());
    for (int c = 0; c < NOutChannels(); ++c) {
      for (int f = 0; f < frames; ++f) outputs[c][f] = sums[c] += inputs[c][f];
    }
  }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return Effect()->dispatcher(Effect(), opcode, index, value, ptr, opt);
  }

  int resets = 0;
  int resized = 0;
  int identified = 0;
  std::vector<bool> activations;
  std::vector<ISysExMessage> sysex;
  std::vector<int> pieces;
  std::vector<double*> seenInputs;
  double sums[2] = {};
  bool* destroyed = nullptr;
};

class IPlugVSTTest : public ::testing::Test {
 protected:
  void SetUp() override { RecordingCallback::Current().Reset(); }

  RecordingCallback& recorder = RecordingCallback::Current();
  VSTHost host{RecordingCallback::Callback};
};

// Signals of distinct values per channel and frame.
std::vector<std::vector<float>> TestSignal(int channels, int frames) {
  std::vector<std::vector<float>> signal(channels, std::vector<float>(frames));
  for (int c = 0; c < channels; ++c) {
    for (int f = 0; f < frames; ++f) signal[c][f] = std::sin(0.01f * f * (c + 1)) + 0.125f * c;
  }
  return signal;
}

std::vector<float*> Pointers(std::vector<std::vector<float>>& buffers) {
  std::vector<float*> pointers;
  for (auto& buffer : buffers) pointers.push_back(buffer.data());
  return pointers;
}

TEST_F(IPlugVSTTest, RecordFollowsIdentityAndChannelConfiguration) {
  TestPlug plug(&host);
  const AEffect* effect = plug.Effect();
  EXPECT_EQ(effect->flags, 0x1030);
  EXPECT_EQ(effect->version, 20304);
  EXPECT_EQ(effect->uniqueID, 0x74737431);
  EXPECT_EQ(effect->object, &plug);
  EXPECT_EQ(plug.BlockSize(), 1024);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(plug.IsInputConnected(i));

  IPlugBase::Identity mono = kIdentity;
  mono.channelIO = "1-1 2-2";
  TestPlug monoPlug(&host, mono);
  EXPECT_EQ(monoPlug.Effect()->flags, 0x1038);
  EXPECT_EQ(monoPlug.Effect()->numInputs, 2);
}

TEST_F(IPlugVSTTest, HostCallsCarryTheEffectRecord) {
  TestPlug plug(&host);
  plug.SetParamFromEditor(0, 0.25);
  plug.BeginParamGesture(3);
  plug.EndParamGesture(3);
  plug.ReportProgramChange();
  ASSERT_EQ(recorder.calls.size(), 4u);
  EXPECT_EQ(recorder.calls[0].opcode, audioMasterAutomate);
  EXPECT_EQ(recorder.calls[0].index, 0);
  EXPECT_EQ(recorder.calls[0].opt, 0.25f);
  EXPECT_EQ(recorder.calls[1].opcode, audioMasterBeginEdit);
  EXPECT_EQ(recorder.calls[1].index, 3);
  EXPECT_EQ(recorder.calls[2].opcode, audioMasterEndEdit);
  EXPECT_EQ(recorder.calls[3].opcode, audioMasterUpdateDisplay);
  for (const HostCall& call : recorder.calls) EXPECT_EQ(call.effect, plug.Effect());

  recorder.processLevel = kVstProcessLevelOffline;
  EXPECT_TRUE(plug.IsRenderingOffline());
  recorder.processLevel = kVstProcessLevelRealtime;
  EXPECT_FALSE(plug.IsRenderingOffline());
}

TEST_F(IPlugVSTTest, OpenLimitsStereoOnlyHostsToTheFirstInputPair) {
  recorder.product = "Adobe Audition CS6";
  TestPlug limited(&host);
  limited.Dispatch(effOpen);
  limited.Dispatch(effOpen);
  EXPECT_EQ(limited.HostKind(), 17);
  EXPECT_EQ(limited.identified, 1);
  EXPECT_TRUE(limited.IsInputConnected(0));
  EXPECT_TRUE(limited.IsInputConnected(1));
  EXPECT_FALSE(limited.IsInputConnected(2));
  EXPECT_FALSE(limited.IsInputConnected(3));
  EXPECT_EQ(limited.Effect()->numInputs, 4);

  recorder.Reset();
  recorder.product = "REAPER";
  VSTHost other(RecordingCallback::Callback);
  TestPlug full(&other);
  full.Dispatch(effOpen);
  EXPECT_EQ(full.HostKind(), 1);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(full.IsInputConnected(i));
}

TEST_F(IPlugVSTTest, MidiEventsReachThePluginWithTheirOffsets) {
  TestPlug plug(&host);  // the framework's handler echoes every message
  VstMidiEvent noteOn = MidiEvent(17, 0x90, 60, 100);
  VstMidiEvent noteOff = MidiEvent(30, 0x80, 60, 0);
  VstEvent other = {};
  other.type = 2;
  struct {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[4];
  } list = {4,
            0,
            {nullptr, reinterpret_cast<VstEvent*>(&noteOn), &other,
             reinterpret_cast<VstEvent*>(&noteOff)}};
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
  ASSERT_EQ(recorder.events.size(), 2u);
  EXPECT_EQ(recorder.events[0].type, kVstMidiType);
  EXPECT_EQ(recorder.events[0].byteSize, 32);
  EXPECT_EQ(recorder.events[0].deltaFrames, 17);
  EXPECT_EQ(recorder.events[0].bytes, (std::vector<uint8_t>{0x90, 60, 100, 0}));
  EXPECT_EQ(recorder.events[1].deltaFrames, 30);
  EXPECT_EQ(recorder.events[1].bytes, (std::vector<uint8_t>{0x80, 60, 0, 0}));
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
}

TEST_F(IPlugVSTTest, SysExTravelsBothWays) {
  TestPlug plug(&host);
  char dump[] = {static_cast<char>(0xF0), 0x7D, 0x01, static_cast<char>(0xF7)};
  VstMidiSysexEvent in = {};
  in.type = kVstSysExType;
  in.byteSize = sizeof in;
  in.deltaFrames = 5;
  in.dumpBytes = sizeof dump;
  in.sysexDump = dump;
  VstMidiSysexEvent broken = in;
  broken.sysexDump = nullptr;
  VstEvents list = {2, 0, {reinterpret_cast<VstEvent*>(&broken), reinterpret_cast<VstEvent*>(&in)}};
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
  ASSERT_EQ(plug.sysex.size(), 1u);
  EXPECT_EQ(plug.sysex[0].offset, 5);
  EXPECT_EQ(plug.sysex[0].size, 4);
  EXPECT_EQ(plug.sysex[0].data, reinterpret_cast<const uint8_t*>(dump));

  const uint8_t out[] = {0xF0, 0x01, 0x02, 0xF7};
  EXPECT_TRUE(plug.SendSysExToHost({9, 4, out}));
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].type, kVstSysExType);
  EXPECT_EQ(recorder.events[0].byteSize, static_cast<VstInt32>(sizeof(VstMidiSysexEvent)));
  EXPECT_EQ(recorder.events[0].deltaFrames, 9);
  EXPECT_EQ(recorder.events[0].bytes, std::vector<uint8_t>(out, out + 4));
  recorder.eventsAnswer = 0;
  EXPECT_FALSE(plug.SendSysExToHost({0, 4, out}));
  EXPECT_FALSE(plug.SendMidiToHost({0, 0x90, 1, 2}));
}

// One call longer than the block size gives what the same audio gives in
// short calls, for each of the three process callbacks.
TEST_F(IPlugVSTTest, OversizeCallsAreProcessedInBlockSizedPieces) {
  const int frames = 1000;
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    TestPlug whole(&host);
    TestPlug pieces(&host);
    whole.Dispatch(effSetBlockSize, 0, 256);
    pieces.Dispatch(effSetBlockSize, 0, 256);
    auto input = TestSignal(4, frames);
    std::vector<std::vector<double>> result[2];
    for (int p = 0; p < 2; ++p) {
      TestPlug& plug = p == 0 ? whole : pieces;
      const int call = p == 0 ? frames : 100;
      result[p].assign(2, std::vector<double>(frames, 1.0));
      for (int start = 0; start < frames; start += call) {
        if (kind == 2) {
          std::vector<std::vector<double>> in(4), out(2, std::vector<double>(call));
          std::vector<double*> inP, outP;
          for (int c = 0; c < 4; ++c) {
            in[c].assign(input[c].begin() + start, input[c].begin() + start + call);
            inP.push_back(in[c].data());
          }
          for (auto& o : out) outP.push_back(o.data());
          plug.Effect()->processDoubleReplacing(plug.Effect(), inP.data(), outP.data(), call);
          for (int c = 0; c < 2; ++c) std::copy(out[c].begin(), out[c].end(), &result[p][c][start]);
        } else {
          std::vector<std::vector<float>> in(4), out(2, std::vector<float>(call, 1.0f));
          for (int c = 0; c < 4; ++c) {
            in[c].assign(input[c].begin() + start, input[c].begin() + start + call);
          }
          auto inP = Pointers(in);
          auto outP = Pointers(out);
          AEffectProcessProc process =
              kind == 0 ? plug.Effect()->processReplacing : plug.Effect()->process;
          process(plug.Effect(), inP.data(), outP.data(), call);
          for (int c = 0; c < 2; ++c) std::copy(out[c].begin(), out[c].end(), &result[p][c][start]);
        }
      }
    }
    EXPECT_EQ(whole.pieces, (std::vector<int>{256, 256, 256, 232}));
    EXPECT_EQ(result[0], result[1]);
    // Accumulating adds to what the host's buffer held (1.0 here).
    const double expected0 = (kind == 1 ? 1.0 : 0.0) + static_cast<float>(input[0][0]);
    EXPECT_DOUBLE_EQ(result[0][0][0], expected0);
  }
}

TEST_F(IPlugVSTTest, StereoInputArrangementDisconnectsTheExternalPair) {
  TestPlug plug(&host);
  VstSpeakerArrangement stereo = {};
  stereo.type = kSpeakerArrStereo;
  stereo.numChannels = 2;
  VstSpeakerArrangement mono = {};
  mono.numChannels = 1;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&stereo), &mono),
            1);
  EXPECT_TRUE(plug.IsInputConnected(1));
  EXPECT_FALSE(plug.IsInputConnected(2));
  EXPECT_FALSE(plug.IsInputConnected(3));

  auto in = TestSignal(2, 64);
  std::vector<std::vector<float>> out(1, std::vector<float>(64));
  auto inP = Pointers(in);
  auto outP = Pointers(out);
  plug.Effect()->processReplacing(plug.Effect(), inP.data(), outP.data(), 64);
  ASSERT_EQ(plug.seenInputs.size(), 4u);
  EXPECT_EQ(plug.seenInputs[2], plug.InChannel(2)->scratch.data());
  EXPECT_EQ(plug.seenInputs[3], plug.InChannel(3)->scratch.data());
  EXPECT_EQ(plug.seenInputs[1][10], static_cast<double>(in[1][10]));
  EXPECT_FLOAT_EQ(out[0][1], in[0][0] + in[0][1]);

  stereo.numChannels = 4;
  plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&stereo), nullptr);
  EXPECT_TRUE(plug.IsInputConnected(3));
}

TEST_F(IPlugVSTTest, TextsAreCutToTheHostsFields) {
  const std::string longText(90, 'n');
  IPlugBase::Identity identity = kIdentity;
  identity.effectName = longText.c_str();
  identity.vendorName = longText.c_str();
  identity.productName = longText.c_str();
  TestPlug plug(&host, identity);
  auto textOf = [&plug](VstInt32 opcode, VstInt32 index, std::size_t* length) {
    std::vector<char> text(120, 'q');
    plug.Dispatch(opcode, index, 0, text.data());
    *length = std::strlen(text.data());
    return text;
  };
  std::size_t length = 0;
  EXPECT_EQ(textOf(effGetEffectName, 0, &length)[32], 'q');
  EXPECT_EQ(length, 31u);
  EXPECT_EQ(textOf(effGetVendorString, 0, &length)[64], 'q');
  EXPECT_EQ(length, 63u);
  EXPECT_EQ(textOf(effGetProductString, 0, &length)[64], 'q');
  EXPECT_EQ(length, 63u);

  std::strcpy(plug.GetProgram(0)->name, longText.substr(0, 40).c_str());
  EXPECT_EQ(textOf(effGetProgramName, 0, &length)[25], 'q');
  EXPECT_EQ(length, 24u);
  EXPECT_EQ(textOf(effGetProgramNameIndexed, 0, &length)[25], 'q');
  EXPECT_EQ(length, 24u);
  // 23 letters and a two-byte character: the character does not fit whole.
  std::strcpy(plug.GetProgram(0)->name, (std::string(23, 'a') + "\xC3\xA9").c_str());
  EXPECT_EQ(std::string(textOf(effGetProgramName, 0, &length).data()), std::string(23, 'a'));

  plug.GetParam(2)->DefineContinuous(longText.c_str(), 0.0, 0.0, 1.0, 0.1, longText.c_str());
  EXPECT_EQ(textOf(effGetParamName, 2, &length)[32], 'q');
  EXPECT_EQ(length, 31u);
  EXPECT_EQ(textOf(effGetParamLabel, 2, &length)[32], 'q');
  EXPECT_EQ(length, 31u);

  plug.SetInputLabel(0, longText.c_str());
  plug.SetInputLabel(1, "");
  VstPinProperties pin = {};
  plug.Dispatch(effGetInputProperties, 0, 0, &pin);
  EXPECT_EQ(std::strlen(pin.label), 63u);
  plug.Dispatch(effGetInputProperties, 1, 0, &pin);
  EXPECT_STREQ(pin.label, "Input 2");
  plug.SetOutputLabel(1, "");
  plug.Dispatch(effGetOutputProperties, 1, 0, &pin);
  EXPECT_STREQ(pin.label, "Output 2");
}

TEST_F(IPlugVSTTest, ParametersThroughTheRecord) {
  TestPlug plug(&host);
  AEffect* effect = plug.Effect();
  effect->setParameter(effect, 0, 0.25f);
  EXPECT_EQ(effect->getParameter(effect, 0), 0.25f);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 25.0);

  char text[64] = {};
  plug.Dispatch(effGetParamName, 0, 0, text);
  EXPECT_STREQ(text, "Gain");
  plug.Dispatch(effGetParamLabel, 0, 0, text);
  EXPECT_STREQ(text, "%");
  char expected[IParameter::kTextSize];
  plug.GetParam(0)->DisplayText(25.0, false, true, expected);
  plug.Dispatch(effGetParamDisplay, 0, 0, text);
  EXPECT_STREQ(text, expected);

  EXPECT_EQ(plug.Dispatch(effString2Parameter, 0, 0, const_cast<char*>("75")), 1);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 75.0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 0, 0, nullptr), 1);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 1, 0, const_cast<char*>("maybe")), 0);

  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 1), 0xBEEF);  // switch
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 0), 0);       // continuous
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 9, 1), 0);
  plug.GetParam(0)->DisplayText(0.5, true, true, expected);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 0, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, expected);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 75.0);  // a query, not a change
}

TEST_F(IPlugVSTTest, HostSettingsReachTheHooks) {
  TestPlug plug(&host);
  plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plug.SampleRate(), 48000.0);
  EXPECT_EQ(plug.resets, 1);
  for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity()}) {
    plug.Dispatch(effSetSampleRate, 0, 0, nullptr, bad);
  }
  EXPECT_EQ(plug.SampleRate(), 48000.0);
  EXPECT_EQ(plug.resets, 1);

  plug.Dispatch(effSetBlockSize, 0, 512);
  EXPECT_EQ(plug.BlockSize(), 512);
  EXPECT_EQ(plug.InChannel(0)->scratch.size(), 512u);
  plug.Dispatch(effSetBlockSize, 0, 0);
  plug.Dispatch(effSetBlockSize, 0, -5);
  EXPECT_EQ(plug.BlockSize(), 512);
  EXPECT_EQ(plug.resets, 2);

  plug.Dispatch(effMainsChanged, 0, 1);
  plug.Dispatch(effMainsChanged, 0, 0);
  EXPECT_EQ(plug.activations, (std::vector<bool>{true, false}));
  EXPECT_EQ(plug.resets, 3);
}

TEST_F(IPlugVSTTest, ProgramsSelectedAndNamedByTheHost) {
  TestPlug plug(&host);
  plug.FillEmptyPrograms(IPlugBase::kNumPrograms);
  EXPECT_EQ(plug.Dispatch(effSetProgram, 0, 3), 0);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 3);
  plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Lead"));
  EXPECT_STREQ(plug.ProgramName(3), "Lead");
  plug.Dispatch(effSetProgram, 0, 64);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 3);
}

TEST_F(IPlugVSTTest, ChunkRoundTripThroughTheDispatcher) {
  TestPlug plug(&host);
  plug.GetParam(0)->SetClamped(12.5);
  void* data = nullptr;
  const VstIntPtr size = plug.Dispatch(effGetChunk, 1, 0, &data);
  ASSERT_GT(size, 0);
  std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  plug.GetParam(0)->SetClamped(80.0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 0, saved.data()), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, -1, saved.data()), 0);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 80.0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, size, saved.data()), 1);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 12.5);
}

TEST_F(IPlugVSTTest, TimeQueriesReadTheHostsRecord) {
  TestPlug plug(&host);
  EXPECT_EQ(plug.HostTempo(), 0.0);
  EXPECT_FALSE(plug.HostTimeSignature(nullptr, nullptr));

  recorder.hasTime = true;
  recorder.time.samplePos = 4410.0;
  recorder.time.tempo = 120.0;
  recorder.time.timeSigNumerator = 3;
  recorder.time.timeSigDenominator = 4;
  recorder.time.flags = kVstTempoValid | kVstTimeSigValid;
  EXPECT_EQ(plug.HostTempo(), 120.0);
  EXPECT_EQ(recorder.calls.back().value, kVstTempoValid);
  int numerator = 0;
  int denominator = 0;
  EXPECT_TRUE(plug.HostTimeSignature(&numerator, &denominator));
  EXPECT_EQ(numerator, 3);
  EXPECT_EQ(denominator, 4);
  EXPECT_EQ(plug.HostSamplePosition(), 4410.0);
  recorder.time.flags = 0;
  EXPECT_EQ(plug.HostTempo(), 0.0);
}

TEST_F(IPlugVSTTest, EditorRectLatencyAndClose) {
  auto* plug = new TestPlug(&host);
  plug->ResizeEditor(300, 200);
  EXPECT_EQ(plug->EditorRect().bottom, 200);
  EXPECT_EQ(plug->EditorRect().right, 300);
  EXPECT_EQ(plug->resized, 1);
  plug->SetLatencySamples(64);
  EXPECT_EQ(plug->Effect()->initialDelay, 64);

  bool destroyed = false;
  plug->destroyed = &destroyed;
  AEffect* effect = plug->Effect();
  EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 0);
  EXPECT_TRUE(destroyed);
}

}  // namespace

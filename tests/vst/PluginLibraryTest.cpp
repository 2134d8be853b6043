// Loads the built plug-in library the way a host does and drives the effect
// record it returns.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/VST2.h"
#include "tests/vst/PluginLoader.h"
#include "tests/vst/RecordingCallback.h"

namespace {

class PluginLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordingCallback::Current().Reset();
    Entry entry = FindEntry("VSTPluginMain");
    ASSERT_NE(entry, nullptr) << "cannot load " << REDI_PLUGIN_PATH;
    effect = entry(RecordingCallback::Callback);
    ASSERT_NE(effect, nullptr);
  }

  void TearDown() override {
    if (effect != nullptr) Dispatch(effClose);
  }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }

  std::string Text(VstInt32 opcode, VstInt32 index = 0) {
    char text[256] = {};
    Dispatch(opcode, index, 0, text);
    return text;
  }

  AEffect* effect = nullptr;
};

TEST_F(PluginLibrary, BothEntriesBuildIndependentInstances) {
  Entry vstMain = FindEntry("VSTPluginMain");
  Entry main = FindEntry("main");
  ASSERT_NE(main, nullptr);
  AEffect* first = vstMain(RecordingCallback::Callback);
  AEffect* second = main(RecordingCallback::Callback);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_NE(first->object, second->object);
  EXPECT_EQ(second->magic, kEffectMagic);
  EXPECT_EQ(second->numParams, 107);
  EXPECT_EQ(first->dispatcher(first, effClose, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(PluginLibrary, FreshRecordDescribesThePlugin) {
  EXPECT_EQ(effect->magic, 0x56737450);
  // Replacing, program chunks, double replacing, and an editor: both
  // platforms have a window for it.
  EXPECT_EQ(effect->flags, 0x1031);
  EXPECT_EQ(effect->numInputs, 4);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->numParams, 107);
  EXPECT_EQ(effect->numPrograms, 64);
  EXPECT_EQ(effect->version, 10101);
  EXPECT_EQ(effect->uniqueID, ('r' << 24) | ('e' << 16) | ('d' << 8) | 'i');
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_NE(effect->object, nullptr);
  EXPECT_NE(effect->process, nullptr);
  EXPECT_NE(effect->processReplacing, nullptr);
  EXPECT_NE(effect->processDoubleReplacing, nullptr);
  EXPECT_NE(effect->setParameter, nullptr);
  EXPECT_NE(effect->getParameter, nullptr);
}

TEST_F(PluginLibrary, AnswersIdentityQueries) {
  EXPECT_EQ(Text(effGetEffectName), "REDI");
  EXPECT_EQ(Text(effGetVendorString), "Welmora");
  EXPECT_EQ(Text(effGetProductString), "");
  EXPECT_EQ(Dispatch(effGetEffectName, 0, 0, nullptr), 0);
  char text[80] = "x";
  EXPECT_EQ(Dispatch(effGetProductString, 0, 0, text), 1);
  EXPECT_EQ(Dispatch(effGetVendorVersion), 10101);
  EXPECT_EQ(Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(Dispatch(effGetPlugCategory), 1);
  EXPECT_EQ(Dispatch(effGetTailSize), 0);
  EXPECT_EQ(Dispatch(effCanBeAutomated, 5), 1);
  EXPECT_EQ(Dispatch(9), 0);  // an operation the plug-in does not handle
  EXPECT_EQ(Dispatch(1234), 0);
}

TEST_F(PluginLibrary, RecordWithoutObjectIsIgnored) {
  AEffect orphan = *effect;
  orphan.object = nullptr;
  EXPECT_EQ(orphan.dispatcher(&orphan, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(orphan.dispatcher(&orphan, effClose, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(orphan.getParameter(&orphan, 0), 0.0f);
  orphan.setParameter(&orphan, 0, 1.0f);
  float* none[4] = {};
  orphan.processReplacing(&orphan, none, none, 16);
}

TEST_F(PluginLibrary, CanDoAnswers) {
  auto canDo = [this](const char* text) {
    return Dispatch(effCanDo, 0, 0, const_cast<char*>(text));
  };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("sendVstEvents"), 1);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 1);
  EXPECT_EQ(canDo("receiveVstEvents"), 1);
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo("hasCockosExtensions"), 0xBEEF0000);
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), 0xBEEF0000);
  EXPECT_EQ(canDo("offline"), 0);
  EXPECT_EQ(canDo("sendVstMidiEvents"), 0);
  EXPECT_EQ(Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(PluginLibrary, PinPropertiesCarryTheChannelLabels) {
  const char* const inputLabels[] = {"MIC Left ", "MIC Right ", "EXT Left ", "EXT Right "};
  const VstInt32 inputFlags[] = {3, 1, 3, 1};
  for (int i = 0; i < 4; ++i) {
    VstPinProperties pin = {};
    EXPECT_EQ(Dispatch(effGetInputProperties, i, 0, &pin), 1) << i;
    EXPECT_STREQ(pin.label, inputLabels[i]);
    EXPECT_EQ(pin.flags, inputFlags[i]) << i;
  }
  const char* const outputLabels[] = {"REDI Left ", "REDI Right "};
  for (int i = 0; i < 2; ++i) {
    VstPinProperties pin = {};
    EXPECT_EQ(Dispatch(effGetOutputProperties, i, 0, &pin), 1) << i;
    EXPECT_STREQ(pin.label, outputLabels[i]);
    EXPECT_EQ(pin.flags, i == 0 ? 3 : 1);
  }
  VstPinProperties untouched;
  std::memset(&untouched, 0x55, sizeof untouched);
  VstPinProperties pin = untouched;
  EXPECT_EQ(Dispatch(effGetInputProperties, 4, 0, &pin), 0);
  EXPECT_EQ(Dispatch(effGetInputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(Dispatch(effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(std::memcmp(&pin, &untouched, sizeof pin), 0);
  EXPECT_EQ(Dispatch(effGetInputProperties, 0, 0, nullptr), 0);
}

TEST_F(PluginLibrary, SpeakerArrangementsMatchTheChannels) {
  VstSpeakerArrangement* inputs = nullptr;
  VstSpeakerArrangement* outputs = nullptr;
  EXPECT_EQ(Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inputs), &outputs),
            1);
  ASSERT_NE(inputs, nullptr);
  ASSERT_NE(outputs, nullptr);
  EXPECT_EQ(inputs->type, kSpeakerArrUserDefined);
  EXPECT_EQ(inputs->numChannels, 4);
  EXPECT_EQ(outputs->type, kSpeakerArrStereo);
  EXPECT_EQ(outputs->numChannels, 2);
  Dispatch(effOpen);
  EXPECT_EQ(effect->numInputs, 4);
  EXPECT_EQ(inputs->numChannels, 4);
  EXPECT_EQ(outputs->numChannels, 2);
}

TEST_F(PluginLibrary, OpenIdentifiesTheHostOnce) {
  RecordingCallback& host = RecordingCallback::Current();
  host.product = "REAPER";
  host.vendorVersion = 60123;
  Dispatch(effOpen);
  Dispatch(effOpen);
  EXPECT_EQ(host.Count(audioMasterGetProductString), 1);
  EXPECT_EQ(host.Count(audioMasterGetVendorVersion), 1);
  for (const HostCall& call : host.calls) EXPECT_EQ(call.effect, effect);
}

TEST_F(PluginLibrary, TwoChannelInputArrangementTakesTwoHostBuffers) {
  Dispatch(effSetBlockSize, 0, 64);
  VstSpeakerArrangement stereo = {};
  stereo.type = kSpeakerArrStereo;
  stereo.numChannels = 2;
  EXPECT_EQ(Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&stereo), nullptr),
            1);
  Dispatch(effMainsChanged, 0, 1);
  // Arrays of exactly two entries: reading a third is an out-of-bounds read.
  std::vector<float> left(64, 0.25f), right(64, -0.25f), outLeft(64), outRight(64);
  std::vector<float*> inputs = {left.data(), right.data()};
  std::vector<float*> outputs = {outLeft.data(), outRight.data()};
  inputs.shrink_to_fit();
  effect->processReplacing(effect, inputs.data(), outputs.data(), 64);
  std::vector<double> dLeft(64, 0.5), dRight(64, -0.5), dOutLeft(64), dOutRight(64);
  std::vector<double*> dInputs = {dLeft.data(), dRight.data()};
  std::vector<double*> dOutputs = {dOutLeft.data(), dOutRight.data()};
  dInputs.shrink_to_fit();
  effect->processDoubleReplacing(effect, dInputs.data(), dOutputs.data(), 64);
  for (int f = 0; f < 64; ++f) {
    ASSERT_TRUE(std::isfinite(outLeft[f]) && std::isfinite(outRight[f]));
    ASSERT_TRUE(std::isfinite(dOutLeft[f]) && std::isfinite(dOutRight[f]));
  }
}

TEST_F(PluginLibrary, EveryProcessCallAsksForMidi) {
  std::vector<float> buffer(32);
  std::vector<float*> channels(4, buffer.data());
  std::vector<double> dBuffer(32);
  std::vector<double*> dChannels(4, dBuffer.data());
  effect->processReplacing(effect, channels.data(), channels.data(), 32);
  effect->process(effect, channels.data(), channels.data(), 32);
  effect->processDoubleReplacing(effect, dChannels.data(), dChannels.data(), 32);
  EXPECT_EQ(RecordingCallback::Current().Count(audioMasterWantMidi), 3);
}

TEST_F(PluginLibrary, OversizeBlocksStayInsideTheScratchBuffers) {
  Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(effSetBlockSize, 0, 64);
  Dispatch(effMainsChanged, 0, 1);
  const int frames = 1000;
  std::vector<std::vector<float>> in(4, std::vector<float>(frames, 0.1f));
  std::vector<std::vector<float>> out(2, std::vector<float>(frames, 0.0f));
  float* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
  float* outputs[2] = {out[0].data(), out[1].data()};
  effect->processReplacing(effect, inputs, outputs, frames);
  effect->process(effect, inputs, outputs, frames);
  std::vector<std::vector<double>> dIn(4, std::vector<double>(frames, 0.1));
  std::vector<std::vector<double>> dOut(2, std::vector<double>(frames, 0.0));
  double* dInputs[4] = {dIn[0].data(), dIn[1].data(), dIn[2].data(), dIn[3].data()};
  double* dOutputs[2] = {dOut[0].data(), dOut[1].data()};
  effect->processDoubleReplacing(effect, dInputs, dOutputs, frames);
  for (int f = 0; f < frames; ++f) {
    ASSERT_TRUE(std::isfinite(out[0][f]) && std::isfinite(out[1][f])) << f;
    ASSERT_TRUE(std::isfinite(dOut[0][f]) && std::isfinite(dOut[1][f])) << f;
  }
}

// The largest floats through the dry path at full gain overflow the float
// range on the way back; a single-precision host must still get numbers.
TEST_F(PluginLibrary, SinglePrecisionHostsGetOnlyNumbers) {
  Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(effSetBlockSize, 0, 256);
  Dispatch(effMainsChanged, 0, 1);
  for (int index : {4, 5, 11}) effect->setParameter(effect, index, 1.0f);  // volume, dry, mic
  const int frames = 256;
  const float largest = std::numeric_limits<float>::max();
  std::vector<std::vector<float>> in(4, std::vector<float>(frames, largest));
  std::vector<std::vector<float>> out(2, std::vector<float>(frames, largest));
  float* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
  float* outputs[2] = {out[0].data(), out[1].data()};
  effect->processReplacing(effect, inputs, outputs, frames);
  for (int f = 0; f < frames; ++f)
    ASSERT_TRUE(std::isfinite(out[0][f]) && std::isfinite(out[1][f])) << "replacing " << f;
  effect->process(effect, inputs, outputs, frames);  // adds to what the buffers hold
  for (int f = 0; f < frames; ++f)
    ASSERT_TRUE(std::isfinite(out[0][f]) && std::isfinite(out[1][f])) << "accumulating " << f;
}

TEST_F(PluginLibrary, OutOfRangeIndicesChangeNothing) {
  char text[64];
  std::memset(text, 'q', sizeof text);
  EXPECT_EQ(Dispatch(effGetParamName, 107, 0, text), 0);
  EXPECT_EQ(Dispatch(effGetParamDisplay, -1, 0, text), 0);
  EXPECT_EQ(Dispatch(effGetParamLabel, 500, 0, text), 0);
  EXPECT_EQ(text[0], 'q');
  EXPECT_EQ(effect->getParameter(effect, 107), 0.0f);
  effect->setParameter(effect, -1, 0.5f);
  effect->setParameter(effect, 107, 0.5f);
  EXPECT_EQ(Dispatch(effString2Parameter, 107, 0, const_cast<char*>("1")), 0);
  EXPECT_EQ(Dispatch(effVendorSpecific, 8, 107), 0);
  EXPECT_EQ(Dispatch(effVendorSpecific, 7, -1, text, 0.5f), 0);
  EXPECT_EQ(text[0], 'q');

  EXPECT_EQ(Dispatch(effSetProgram, 0, 64), 0);
  EXPECT_EQ(Dispatch(effSetProgram, 0, -1), 0);
  EXPECT_EQ(Dispatch(effGetProgram), 0);
  std::memset(text, 'q', sizeof text);
  EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 70, 0, text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(Dispatch(effGetProgramNameIndexed, -1, 0, text), 0);
  EXPECT_EQ(Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
}

TEST_F(PluginLibrary, ChunkRoundTripRestoresParameters) {
  const float original = effect->getParameter(effect, 0);
  for (VstInt32 isProgram = 0; isProgram <= 1; ++isProgram) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, isProgram, 0, &data);
    ASSERT_GT(size, 0);
    ASSERT_NE(data, nullptr);
    // The host keeps its own copy; the plug-in's buffer is reused.
    std::vector<uint8_t> saved(static_cast<const uint8_t*>(data),
                               static_cast<const uint8_t*>(data) + size);
    effect->setParameter(effect, 0, original < 0.5f ? 1.0f : 0.0f);
    ASSERT_NE(effect->getParameter(effect, 0), original);
    EXPECT_EQ(Dispatch(effSetChunk, isProgram, size, saved.data()), 1);
    EXPECT_EQ(effect->getParameter(effect, 0), original) << "isProgram " << isProgram;
  }
}

TEST_F(PluginLibrary, UnusableChunksAreRefused) {
  const float original = effect->getParameter(effect, 0);
  uint8_t bytes[16] = {};
  EXPECT_EQ(Dispatch(effSetChunk, 1, 16, nullptr), 0);
  EXPECT_EQ(Dispatch(effSetChunk, 1, 0, bytes), 0);
  EXPECT_EQ(Dispatch(effSetChunk, 0, -8, bytes), 0);
  EXPECT_EQ(Dispatch(effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(effect->getParameter(effect, 0), original);
}

TEST_F(PluginLibrary, EventListsAreRead) {
  EXPECT_EQ(Dispatch(effProcessEvents, 0, 0, nullptr), 0);
  VstMidiEvent note = {};
  note.type = kVstMidiType;
  note.byteSize = sizeof note;
  note.deltaFrames = 17;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  VstMidiSysexEvent sysex = {};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof sysex;
  sysex.dumpBytes = 12;  // no dump: nothing to read
  VstEvents list = {};
  list.numEvents = 2;
  list.events[0] = nullptr;
  list.events[1] = reinterpret_cast<VstEvent*>(&note);
  EXPECT_EQ(Dispatch(effProcessEvents, 0, 0, &list), 1);
  list.events[0] = reinterpret_cast<VstEvent*>(&sysex);
  EXPECT_EQ(Dispatch(effProcessEvents, 0, 0, &list), 1);
}

TEST_F(PluginLibrary, EditorQueriesWithoutAWindowAndKeyNames) {
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 800);
  EXPECT_EQ(rect->bottom - rect->top, 360);
  // No window to open the editor in: nothing opens, and closing is harmless.
  EXPECT_EQ(Dispatch(effEditOpen), 0);
  EXPECT_EQ(Dispatch(effEditClose), 1);
  EXPECT_EQ(Dispatch(effEditIdle), 0);
  EXPECT_EQ(Dispatch(effIdle), 0);
  MidiKeyName key = {};
  key.thisKeyNumber = 60;
  std::strcpy(key.keyName, "stale");
  EXPECT_EQ(Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
}

TEST_F(PluginLibrary, InstancesLeaveTheHostLocaleAlone) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  AEffect* other = FindEntry("VSTPluginMain")(RecordingCallback::Callback);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), before);
  other->dispatcher(other, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace

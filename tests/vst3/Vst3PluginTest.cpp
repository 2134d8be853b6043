// The VST 3 adapter in process, around a small plug-in on the framework's
// own hooks that records what reaches it: how blocks are cut, which inputs
// count as connected, the MIDI the adapter makes of events and parameters.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "framework/IHost.h"
#include "framework/vst3/Vst3Plugin.h"
#include "tests/vst3/Vst3TestHost.h"

namespace {

using namespace testhost;

const IPlugBase::Identity kIdentity = {"Test", "", "Tester", 0x74737431, 0x00010000, "2-2 4-2"};

struct Piece {
  int frames;
  double gain;           // parameter 0 while the piece played
  bool connected[4];     // IsInputConnected per input
  double firstInput[4];  // the first sample of each input
};

class RecordingPlug : public IPlugBase {
 public:
  explicit RecordingPlug(IHost* host) : IPlugBase(host, kIdentity) {
    GetParam(0)->DefineContinuous("Gain", 50.0, 0.0, 100.0, 0.01, "%");
    GetParam(1)->DefineSwitch("Hold", false);
    FillEmptyPrograms(kNumPrograms);
    ChangeBlockSize(1024);
  }

  void ResetState() override { ++resets; }
  void Activate(bool on) override { activations.push_back(on); }
  void HandleMidiMessage(const IMidiMessage& message) override { midi.push_back(message); }
  // Writes the output a test asks for; optionally plays a plug-in of its
  // own mind that flips a parameter and tells its host.
  void ProcessBlock(double** inputs, double** outputs, int frames) override {
    Piece piece = {frames, GetParam(0)->Value(), {}, {}};
    for (int k = 0; k < 4; ++k) {
      piece.connected[k] = IsInputConnected(k);
      piece.firstInput[k] = frames > 0 ? inputs[k][0] : 0.0;
    }
    pieces.push_back(piece);
    for (int c = 0; c < 2; ++c)
      for (int f = 0; f < frames; ++f) outputs[c][f] = outputValue + inputs[c][f];
    if (flipHold) {
      GetParam(1)->SetNormalized(1.0 - GetParam(1)->ToNormalized());
      Host()->Automate(1, static_cast<float>(GetParam(1)->ToNormalized()));
      Host()->UpdateDisplay();
    }
  }

  int resets = 0;
  std::vector<bool> activations;
  std::vector<IMidiMessage> midi;
  std::vector<Piece> pieces;
  double outputValue = 0.25;
  bool flipHold = false;
};

RecordingPlug* gLastPlug = nullptr;

std::unique_ptr<IPlugBase> MakeRecordingPlug(IHost* host) {
  auto plug = std::make_unique<RecordingPlug>(host);
  gLastPlug = plug.get();
  return plug;
}

class Adapter : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin = new Vst3Plugin(MakeRecordingPlug);
    plug = gLastPlug;
    component = plugin;
    processor = plugin;
    controller = plugin;
    ASSERT_EQ(component->initialize(&application), kResultOk);
    controller->setComponentHandler(&handler);
  }
  void TearDown() override {
    component->terminate();
    component->release();
  }

  void Start(int maxBlock, bool ext = true) {
    component->activateBus(kAudio, kInput, 0, 1);
    component->activateBus(kAudio, kInput, 1, ext ? 1 : 0);
    ProcessSetup setup = {kRealtime, kSample32, maxBlock, 48000.0};
    ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
    ASSERT_EQ(component->setActive(1), kResultOk);
    ASSERT_EQ(processor->setProcessing(1), kResultOk);
  }

  // One 32-bit block with these changes and events; MIC left carries 0.5,
  // MIC right 0.25, EXT 0.125 and 0.0625.
  void Process(int frames, ParamChanges* changes = nullptr, EventList* events = nullptr,
               ParamChanges* out = nullptr) {
    Buffers<float> buffers(frames);
    const float levels[4] = {0.5f, 0.25f, 0.125f, 0.0625f};
    for (int c = 0; c < 2; ++c) {
      std::fill(buffers.mic[c].begin(), buffers.mic[c].end(), levels[c]);
      std::fill(buffers.ext[c].begin(), buffers.ext[c].end(), levels[2 + c]);
    }
    ProcessData data = {};
    buffers.Connect(data, frames);
    data.inputParameterChanges = changes;
    data.inputEvents = events;
    data.outputParameterChanges = out;
    ASSERT_EQ(processor->process(data), kResultOk);
    lastLeft = buffers.out[0];
  }

  HostApplication application;
  ComponentHandler handler;
  Vst3Plugin* plugin = nullptr;
  RecordingPlug* plug = nullptr;
  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  std::vector<float> lastLeft;
};

// ---- Parameters at their offsets ----

TEST_F(Adapter, ParameterPointsCutTheBlockAndTakeEffectAtTheirSample) {
  Start(512);
  ParamChanges changes;
  changes.Add(0, 0, 0.1);
  changes.Add(0, 100, 0.2);
  changes.Add(0, 300, 0.3);
  changes.Add(1, 300, 1.0);  // a second queue on the same boundary
  Process(512, &changes);
  ASSERT_EQ(plug->pieces.size(), 3u);
  EXPECT_EQ(plug->pieces[0].frames, 100);
  EXPECT_EQ(plug->pieces[1].frames, 200);
  EXPECT_EQ(plug->pieces[2].frames, 212);
  EXPECT_DOUBLE_EQ(plug->pieces[0].gain, 10.0);
  EXPECT_DOUBLE_EQ(plug->pieces[1].gain, 20.0);
  EXPECT_DOUBLE_EQ(plug->pieces[2].gain, 30.0);
  EXPECT_DOUBLE_EQ(plug->GetParam(1)->Value(), 1.0);
}

TEST_F(Adapter, PointsBeyondTheBlockApplyAtItsEndAndAFlushCallAppliesItsPoints) {
  Start(512);
  ParamChanges late;
  late.Add(0, 700, 0.9);
  Process(256, &late);
  ASSERT_EQ(plug->pieces.size(), 1u);
  EXPECT_DOUBLE_EQ(plug->pieces[0].gain, 50.0);
  EXPECT_NEAR(controller->getParamNormalized(0), 0.9, 1e-12);

  ParamChanges flush;
  flush.Add(0, 0, 0.4);
  ProcessData data = {};  // no audio at all
  data.inputParameterChanges = &flush;
  EXPECT_EQ(processor->process(data), kResultOk);
  EXPECT_EQ(plug->pieces.size(), 1u);
  EXPECT_NEAR(controller->getParamNormalized(0), 0.4, 1e-12);
}

TEST_F(Adapter, BlocksLongerThanTheSetUpMaximumArePlayedInPiecesOfIt) {
  Start(128);
  Process(300);
  ASSERT_EQ(plug->pieces.size(), 3u);
  EXPECT_EQ(plug->pieces[0].frames, 128);
  EXPECT_EQ(plug->pieces[1].frames, 128);
  EXPECT_EQ(plug->pieces[2].frames, 44);
  EXPECT_EQ(plug->BlockSize(), 128);
}

// ---- MIDI from events and from the controller parameters ----

TEST_F(Adapter, NotesBecomeMidiAtTheirOffsets) {
  Start(512);
  EventList events;
  events.NoteOn(20, 60, 0.5f, 3);
  events.NoteOn(30, 61, 0.001f);  // soft, but still a note
  events.NoteOn(40, 62, 0.0f);    // no velocity: a release
  events.NoteOff(50, 60, 3);
  events.NoteOn(60, 128, 1.0f);  // no such key
  events.NoteOn(-5, 63, 1.0f);   // before the block: at its start
  Process(512, nullptr, &events);
  ASSERT_EQ(plug->midi.size(), 5u);
  const int expected[5][4] = {{20, 0x93, 60, 64},
                              {30, 0x90, 61, 1},
                              {40, 0x80, 62, 0},
                              {50, 0x83, 60, 0},
                              {0, 0x90, 63, 127}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(plug->midi[i].offset, expected[i][0]) << i;
    EXPECT_EQ(plug->midi[i].status, expected[i][1]) << i;
    EXPECT_EQ(plug->midi[i].data1, expected[i][2]) << i;
    EXPECT_EQ(plug->midi[i].data2, expected[i][3]) << i;
  }
}

TEST_F(Adapter, MappedControllersAndBendReachTheMidiInput) {
  Start(512);
  IMidiMapping* mapping = plugin;
  ParamID modWheel = 0, bend = 0, sustain = 0;
  ASSERT_EQ(mapping->getMidiControllerAssignment(0, 5, 1, modWheel), kResultTrue);
  ASSERT_EQ(mapping->getMidiControllerAssignment(0, 0, kPitchBend, bend), kResultTrue);
  ASSERT_EQ(mapping->getMidiControllerAssignment(0, 15, 64, sustain), kResultTrue);
  ParamChanges changes;
  changes.Add(modWheel, 10, 1.0);
  changes.Add(modWheel, 20, 0.5);
  changes.Add(bend, 30, 1.0);
  changes.Add(bend, 40, 0.5);
  changes.Add(bend, 50, 0.0);
  changes.Add(sustain, 60, 1.0);
  Process(512, &changes);
  // The queues come one after the other; the plug-in's queue sorts by offset.
  const int expected[6][4] = {{10, 0xB0, 1, 127},  {20, 0xB0, 1, 64}, {30, 0xE0, 0x7F, 0x7F},
                              {40, 0xE0, 0, 0x40}, {50, 0xE0, 0, 0},  {60, 0xB0, 64, 127}};
  ASSERT_EQ(plug->midi.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(plug->midi[i].offset, expected[i][0]) << i;
    EXPECT_EQ(plug->midi[i].status, expected[i][1]) << i;
    EXPECT_EQ(plug->midi[i].data1, expected[i][2]) << i;
    EXPECT_EQ(plug->midi[i].data2, expected[i][3]) << i;
  }
  // Controller parameters do not cut the block.
  EXPECT_EQ(plug->pieces.size(), 1u);
  EXPECT_DOUBLE_EQ(controller->getParamNormalized(sustain), 1.0);
}

TEST_F(Adapter, OnlyControllersTheInstrumentReadsAreMapped) {
  IMidiMapping* mapping = plugin;
  ParamID id = 12345;
  std::vector<ParamID> seen;
  for (int16 number = 0; number < 120; ++number) {
    ASSERT_EQ(mapping->getMidiControllerAssignment(0, 0, number, id), kResultTrue);
    seen.push_back(id);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end()) << "two controllers share an ID";
  for (int16 number : {int16{120}, int16{123}, int16{127}, int16{kAfterTouch}, int16{-1}}) {
    EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, number, id), kResultFalse) << number;
  }
  EXPECT_EQ(mapping->getMidiControllerAssignment(1, 0, 1, id), kResultFalse);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 16, 1, id), kResultFalse);
}

// ---- Buses ----

TEST_F(Adapter, InputsCountAsConnectedExactlyWhileTheirBusIsActive) {
  Start(512, false);
  Process(64);
  component->setActive(0);
  component->activateBus(kAudio, kInput, 1, 1);
  component->setActive(1);
  Process(64);
  component->setActive(0);
  component->activateBus(kAudio, kInput, 0, 0);
  component->setActive(1);
  Process(64);
  ASSERT_EQ(plug->pieces.size(), 3u);
  const bool expected[3][4] = {
      {true, true, false, false}, {true, true, true, true}, {false, false, true, true}};
  const double level[4] = {0.5, 0.25, 0.125, 0.0625};
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(plug->pieces[p].connected[k], expected[p][k]) << p << " " << k;
      // An inactive bus reads as silence, whatever the host left in it.
      EXPECT_EQ(plug->pieces[p].firstInput[k], expected[p][k] ? level[k] : 0.0) << p << " " << k;
    }
  }
}

TEST_F(Adapter, MonoArrangementsAreTakenAndOthersRefused) {
  SpeakerArrangement monoIns[2] = {SpeakerArr::kMono, SpeakerArr::kMono};
  SpeakerArrangement stereoOut[1] = {SpeakerArr::kStereo};
  EXPECT_EQ(processor->setBusArrangements(monoIns, 2, stereoOut, 1), kResultTrue);
  SpeakerArrangement arrangement = 0;
  EXPECT_EQ(processor->getBusArrangement(kInput, 0, arrangement), kResultOk);
  EXPECT_EQ(arrangement, SpeakerArr::kMono);
  BusInfo info = {};
  ASSERT_EQ(component->getBusInfo(kAudio, kInput, 1, info), kResultOk);
  EXPECT_EQ(info.channelCount, 1);

  SpeakerArrangement surround[2] = {0x3F, SpeakerArr::kStereo};  // 5.1 on MIC
  EXPECT_EQ(processor->setBusArrangements(surround, 2, stereoOut, 1), kResultFalse);
  EXPECT_EQ(processor->getBusArrangement(kInput, 0, arrangement), kResultOk);
  EXPECT_EQ(arrangement, SpeakerArr::kMono) << "a refused arrangement stays as it was";
  SpeakerArrangement oneIn[1] = {SpeakerArr::kStereo};
  EXPECT_EQ(processor->setBusArrangements(oneIn, 1, stereoOut, 1), kResultFalse);
  SpeakerArrangement empty[1] = {SpeakerArr::kEmpty};
  EXPECT_EQ(processor->setBusArrangements(monoIns, 2, empty, 1), kResultFalse);
  EXPECT_EQ(processor->getBusArrangement(kOutput, 1, arrangement), kInvalidArgument);
}

TEST_F(Adapter, AMonoBusFeedsBothInputsOfItsPairAndAMonoOutputGetsTheirMean) {
  SpeakerArrangement ins[2] = {SpeakerArr::kMono, SpeakerArr::kStereo};
  SpeakerArrangement outs[1] = {SpeakerArr::kMono};
  ASSERT_EQ(processor->setBusArrangements(ins, 2, outs, 1), kResultTrue);
  Start(64);
  Buffers<double> buffers(64);
  std::fill(buffers.mic[0].begin(), buffers.mic[0].end(), 0.5);
  ProcessData data = {};
  buffers.Connect(data, 64);
  buffers.inputs[0].numChannels = 1;
  buffers.outputs[0].numChannels = 1;
  ASSERT_EQ(processor->process(data), kResultOk);
  ASSERT_EQ(plug->pieces.size(), 1u);
  EXPECT_EQ(plug->pieces[0].firstInput[0], 0.5);
  EXPECT_EQ(plug->pieces[0].firstInput[1], 0.5);
  // Both outputs are 0.25 + 0.5: their mean is the same.
  EXPECT_EQ(buffers.out[0][63], 0.75);
  EXPECT_EQ(buffers.out[1][63], 0.0) << "a mono bus has no second channel to write";
}

// ---- Samples ----

TEST_F(Adapter, SingleSamplesAreLimitedToTheFloatRangeAndDoublesPassAsTheyAre) {
  Start(64);
  plug->outputValue = 1e300;
  Process(64);
  EXPECT_EQ(lastLeft[0], std::numeric_limits<float>::max());
  plug->outputValue = std::numeric_limits<double>::quiet_NaN();
  Process(64);
  EXPECT_EQ(lastLeft[0], 0.0f);

  plug->outputValue = 1.0 / 3.0;
  Buffers<double> buffers(64);
  ProcessData data = {};
  buffers.Connect(data, 64);
  ASSERT_EQ(processor->process(data), kResultOk);
  EXPECT_EQ(buffers.out[0][10], 1.0 / 3.0);
  EXPECT_EQ(buffers.out[1][63], 1.0 / 3.0);
  EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(processor->canProcessSampleSize(2), kResultFalse);
}

// ---- Set-up and activation ----

TEST_F(Adapter, SetUpAndSwitchingFollowTheVst2Calls) {
  ProcessSetup setup = {kOffline, kSample64, 256, 96000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  EXPECT_EQ(plug->SampleRate(), 96000.0);
  EXPECT_EQ(plug->BlockSize(), 256);
  EXPECT_TRUE(plug->IsRenderingOffline());
  const int resetsAfterSetUp = plug->resets;
  EXPECT_GE(resetsAfterSetUp, 1);

  ASSERT_EQ(component->setActive(1), kResultOk);
  ProcessSetup whileActive = {kRealtime, kSample32, 512, 44100.0};
  EXPECT_EQ(processor->setupProcessing(whileActive), kResultFalse);
  EXPECT_EQ(plug->SampleRate(), 96000.0);
  ASSERT_EQ(component->setActive(0), kResultOk);
  EXPECT_EQ(plug->activations, (std::vector<bool>{true, false}));
  EXPECT_EQ(plug->resets, resetsAfterSetUp + 1) << "switching off resets, as in VST 2";

  ProcessSetup bad = {kRealtime, kSample32, 0, 44100.0};
  EXPECT_EQ(processor->setupProcessing(bad), kResultFalse);
  bad = {kRealtime, kSample32, 512, std::numeric_limits<double>::infinity()};
  EXPECT_EQ(processor->setupProcessing(bad), kResultFalse);
  EXPECT_EQ(plug->BlockSize(), 256);
}

// ---- Values going back to the host ----

TEST_F(Adapter, ThePlugInsOwnChangesGoOutWithTheBlockAndNeverThroughTheHandler) {
  Start(64);
  plug->flipHold = true;
  ParamChanges out;
  Process(64, nullptr, nullptr, &out);
  EXPECT_EQ(out.Last(1), 1.0);
  EXPECT_EQ(out.queues.size(), 1u) << "only the changed parameter";
  EXPECT_TRUE(handler.edits.empty());
  EXPECT_TRUE(handler.restarts.empty());

  // A value the host set itself is not sent back to it.
  plug->flipHold = false;
  ParamChanges in, quiet;
  in.Add(0, 0, 0.123456789);
  Process(64, &in, nullptr, &quiet);
  EXPECT_TRUE(quiet.queues.empty());
}

TEST_F(Adapter, EditsOutsideTheProcessReachTheHandler) {
  plug->SetParamFromEditor(0, 0.75);
  ASSERT_EQ(handler.edits.size(), 1u);
  EXPECT_EQ(handler.edits[0].kind, 'p');
  EXPECT_EQ(handler.edits[0].id, 0u);
  EXPECT_NEAR(handler.edits[0].value, 0.75, 1e-6);
  plug->BeginParamGesture(1);
  plug->EndParamGesture(1);
  ASSERT_EQ(handler.edits.size(), 3u);
  EXPECT_EQ(handler.edits[1].kind, 'b');
  EXPECT_EQ(handler.edits[2].kind, 'e');
}

TEST_F(Adapter, WhileProcessingTheControllerLeavesTheSoundToTheProcessCall) {
  EXPECT_EQ(controller->setParamNormalized(0, 0.2), kResultOk);
  EXPECT_DOUBLE_EQ(plug->GetParam(0)->Value(), 20.0);
  Start(64);
  EXPECT_EQ(controller->setParamNormalized(0, 0.8), kResultOk);
  EXPECT_DOUBLE_EQ(plug->GetParam(0)->Value(), 20.0);
  EXPECT_EQ(controller->setParamNormalized(0, std::nan("")), kInvalidArgument);
}

// ---- Programs ----

TEST_F(Adapter, TheProgramParameterSelectsProgramsAndTheHostRereadsTheValues) {
  ParameterInfo info = {};
  ASSERT_EQ(controller->getParameterInfo(IPlugBase::kNumParams, info), kResultOk);
  EXPECT_EQ(info.id, Vst3Plugin::kProgramParamId);
  EXPECT_EQ(info.stepCount, 63);
  EXPECT_EQ(info.flags, ParameterInfo::kIsProgramChange | ParameterInfo::kIsList);

  controller->setParamNormalized(0, 0.3);  // an edit of program 0
  EXPECT_EQ(controller->setParamNormalized(Vst3Plugin::kProgramParamId, 5.0 / 63), kResultOk);
  EXPECT_EQ(plug->CurrentProgram(), 5);
  EXPECT_EQ(handler.restarts, std::vector<int32>{kParamValuesChanged});
  EXPECT_DOUBLE_EQ(controller->getParamNormalized(Vst3Plugin::kProgramParamId), 5.0 / 63);

  // Through the process call: at its offset, and the edit of program 5 is kept.
  Start(512);
  controller->setParamNormalized(0, 0.9);
  ParamChanges changes;
  changes.Add(0, 0, 0.6);
  changes.Add(Vst3Plugin::kProgramParamId, 200, 0.0);
  ParamChanges out;
  Process(512, &changes, nullptr, &out);
  EXPECT_EQ(plug->CurrentProgram(), 0);
  ASSERT_EQ(plug->pieces.size(), 2u);
  EXPECT_EQ(plug->pieces[0].frames, 200);
  EXPECT_DOUBLE_EQ(plug->pieces[0].gain, 60.0);
  EXPECT_DOUBLE_EQ(plug->pieces[1].gain, 30.0) << "program 0 as it was left";
  EXPECT_NEAR(out.Last(0), 0.3, 1e-12) << "the host learns the program's value";
  EXPECT_EQ(out.Last(Vst3Plugin::kProgramParamId), -1.0) << "the host chose it";
}

}  // namespace

// MIDI from the host as the vocoder receives it: echo, immediate program
// changes and all-notes-off, MIDI learn and the controller map.

#include <gtest/gtest.h>

#include <vector>

#include "framework/RecordingHost.h"
#include "instrument/REDI.h"
#include "support/TestConfigFolder.h"

namespace {

class MidiInputTest : public ::testing::Test {
 protected:
  MidiInputTest() {
    plug.ResetState();
    plug.Activate(true);
    host.automations.clear();
  }

  static IMidiMessage Message(int status, int data1, int data2, int offset = 0) {
    IMidiMessage message;
    message.offset = offset;
    message.status = static_cast<uint8_t>(status);
    message.data1 = static_cast<uint8_t>(data1);
    message.data2 = static_cast<uint8_t>(data2);
    return message;
  }

  void Send(int status, int data1, int data2, int offset = 0) {
    plug.HandleMidiMessage(Message(status, data1, data2, offset));
  }

  // One block of silent input: the queued events are drained at its ticks.
  void Process(int frames = 256) {
    std::vector<double> silence(static_cast<size_t>(frames), 0.0);
    std::vector<double> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    double* inputs[4] = {silence.data(), silence.data(), silence.data(), silence.data()};
    double* outputs[2] = {left.data(), right.data()};
    plug.ProcessBlock(inputs, outputs, frames);
  }

  int SoundingKeys() const {
    int n = 0;
    for (const Voice& voice : plug.vocoder.voices) n += voice.active && voice.gate ? 1 : 0;
    return n;
  }

  bool EveryVoiceReleasing() const {
    for (const Voice& voice : plug.vocoder.voices) {
      if (voice.active && (voice.gate || voice.target != kVoiceReleaseTarget)) return false;
    }
    return true;
  }

  void PlayChord() {
    Send(0x90, 60, 100);
    Send(0x91, 64, 100);
    Send(0x9F, 67, 100);
    Process();
    ASSERT_EQ(SoundingKeys(), 3);
  }

  double FinalVolume() const { return plug.GetParam(kFinalVolume)->ToNormalized(); }
  double OutBalance() const { return plug.GetParam(kOutBalance)->ToNormalized(); }

  TestConfigFolder configFolder;  // no earlier test's settings
  RecordingHost host;
  REDI plug{&host};
};

TEST_F(MidiInputTest, ThruEchoesEveryMessageUnchangedEvenIgnoredOnes) {
  const std::vector<IMidiMessage> sent = {
      Message(0x93, 60, 100, 17),  // note on
      Message(0xD2, 40, 0, 3),     // channel pressure
      Message(0xF8, 0, 0, 0),      // clock: a system message
      Message(0xC0, 5, 0, 9),      // program change while ignored
      Message(0xBF, 124, 0, 2),    // a controller that does nothing
  };
  plug.ignoreProgramChange = true;
  for (const bool thru : {false, true}) {
    host.midi.clear();
    plug.midiThru = thru;
    for (const IMidiMessage& message : sent) plug.HandleMidiMessage(message);
    ASSERT_EQ(host.midi.size(), thru ? sent.size() : 0u);
    for (size_t i = 0; i < host.midi.size(); ++i) {
      EXPECT_EQ(host.midi[i].offset, sent[i].offset) << i;
      EXPECT_EQ(host.midi[i].status, sent[i].status) << i;
      EXPECT_EQ(host.midi[i].data1, sent[i].data1) << i;
      EXPECT_EQ(host.midi[i].data2, sent[i].data2) << i;
    }
  }
  EXPECT_EQ(plug.CurrentProgram(), 0);
}

TEST_F(MidiInputTest, ProgramChangeAppliesAtOnceUnlessIgnoredOrOutOfRange) {
  plug.SetParamFromEditor(kFinalVolume, 0.123);
  Send(0xC4, 3, 0);  // any channel
  EXPECT_EQ(plug.CurrentProgram(), 3) << "before any audio is processed";
  EXPECT_NE(FinalVolume(), 0.123);
  Send(0xC0, 0, 0);
  // The edit was never stored into program 0: it is lost.
  EXPECT_EQ(plug.CurrentProgram(), 0);
  EXPECT_NE(FinalVolume(), 0.123);

  plug.SetParamFromEditor(kFinalVolume, 0.123);
  plug.ignoreProgramChange = true;
  Send(0xC0, 3, 0);
  EXPECT_EQ(plug.CurrentProgram(), 0);
  plug.ignoreProgramChange = false;
  for (const int number : {64, 100, 127}) {
    Send(0xC0, number, 0);
    EXPECT_EQ(plug.CurrentProgram(), 0) << number;
  }
  EXPECT_EQ(FinalVolume(), 0.123);
}

TEST_F(MidiInputTest, AllSoundOffAndAllNotesOffReleaseEveryVoiceAtOnce) {
  for (const int controller : {120, 123}) {
    PlayChord();
    plug.ArmLearn(true, false);
    Send(0xB5, controller, 0);
    // Before the next tick: nothing was queued, everything is releasing.
    EXPECT_EQ(plug.midiQueue.Count(), 0) << controller;
    EXPECT_EQ(SoundingKeys(), 0) << controller;
    EXPECT_TRUE(EveryVoiceReleasing()) << controller;
    EXPECT_EQ(plug.heldNotes.Size(), 0) << controller;
    // Not taken for learning either.
    EXPECT_TRUE(plug.learnActive);
    EXPECT_EQ(plug.learnController, -1);
    plug.ArmLearn(false, false);
  }
}

TEST_F(MidiInputTest, ModeControllersOtherThanAllOffDoNothing) {
  PlayChord();
  const double volume = FinalVolume();
  for (const bool learning : {false, true}) {
    plug.ArmLearn(learning, false);
    for (const int controller : {121, 122, 124, 125, 126, 127}) {
      Send(0xB0, controller, 0);
      EXPECT_EQ(plug.midiQueue.Count(), 0) << controller;
      EXPECT_EQ(plug.learnController, -1) << controller;
    }
    Process();
    EXPECT_EQ(SoundingKeys(), 3);
    EXPECT_EQ(plug.learnActive, learning);
  }
  EXPECT_EQ(FinalVolume(), volume);
  EXPECT_TRUE(host.automations.empty());
}

TEST_F(MidiInputTest, LearnBindsControlAndControllerInEitherOrder) {
  // Control first, controller second.
  plug.ArmLearn(true, false);
  plug.SetParamFromEditor(kFinalVolume, 0.5);
  EXPECT_TRUE(plug.learnActive) << "waits for a controller";
  Send(0xB0, 7, 90);
  EXPECT_FALSE(plug.learnActive);
  EXPECT_EQ(plug.controllerMap[7], kFinalVolume);
  EXPECT_EQ(plug.midiQueue.Count(), 0) << "the learnt message is not played";
  EXPECT_EQ(FinalVolume(), 0.5);

  // Controller first: the same parameter on a new controller drops the old one.
  plug.ArmLearn(true, false);
  Send(0xB3, 20, 0);
  EXPECT_TRUE(plug.learnActive) << "waits for a parameter";
  EXPECT_EQ(plug.controllerMap[20], -1);
  plug.SetParamFromEditor(kFinalVolume, 0.25);
  EXPECT_FALSE(plug.learnActive);
  EXPECT_EQ(plug.controllerMap[20], kFinalVolume);
  EXPECT_EQ(plug.controllerMap[7], -1);

  // A controller already bound is rebound to the newly learnt parameter.
  plug.ArmLearn(true, false);
  Send(0xB0, 20, 0);
  plug.SetParamFromEditor(kTune, 0.75);
  EXPECT_EQ(plug.controllerMap[20], kTune);
  int bound = 0;
  for (const int entry : plug.controllerMap) bound += entry != -1 ? 1 : 0;
  EXPECT_EQ(bound, 1);
}

TEST_F(MidiInputTest, ForgetUnbindsByControllerOrByParameter) {
  plug.controllerMap[7] = kFinalVolume;
  plug.controllerMap[8] = kFinalVolume;  // as a configuration file may have it
  plug.controllerMap[9] = kTune;

  plug.ArmLearn(true, true);
  Send(0xB0, 9, 64);
  EXPECT_FALSE(plug.learnActive);
  EXPECT_FALSE(plug.learnForget);
  EXPECT_EQ(plug.controllerMap[9], -1);
  EXPECT_EQ(plug.controllerMap[7], kFinalVolume);
  EXPECT_EQ(plug.controllerMap[8], kFinalVolume);

  plug.ArmLearn(true, true);
  plug.SetParamFromEditor(kFinalVolume, 0.5);
  EXPECT_FALSE(plug.learnActive);
  EXPECT_FALSE(plug.learnForget);
  for (const int entry : plug.controllerMap) EXPECT_EQ(entry, -1);
}

TEST_F(MidiInputTest, BoundControllerMovesItsParameterWhenTheAudioDrainsIt) {
  // "Out Balance" is linear: data byte / 127 is exactly its normalised value.
  plug.controllerMap[7] = kOutBalance;
  const double before = OutBalance();
  ASSERT_NE(before, 64 / 127.0);
  Send(0xB0, 7, 64, 5);
  Send(0xB0, 9, 127, 5);  // unbound
  EXPECT_EQ(OutBalance(), before) << "nothing before the audio process";
  Process();
  EXPECT_EQ(OutBalance(), 64 / 127.0);
  EXPECT_EQ(plug.vocoder.dryBalance, 64 / 127.0);
  ASSERT_EQ(host.automations.size(), 1u);
  EXPECT_EQ(host.automations[0].index, kOutBalance);
  EXPECT_EQ(host.automations[0].value, static_cast<float>(64 / 127.0));

  // The value the parameter already has: the host hears nothing.
  Send(0xB0, 7, 64);
  Process();
  EXPECT_EQ(host.automations.size(), 1u);
}

TEST_F(MidiInputTest, ResetStateDisarmsLearning) {
  plug.ArmLearn(true, false);
  plug.ResetState();
  EXPECT_FALSE(plug.learnActive);
  Send(0xB0, 7, 10);
  EXPECT_EQ(plug.learnController, -1);
  EXPECT_EQ(plug.midiQueue.Count(), 1) << "queued for the audio process, not learnt";
}

}  // namespace

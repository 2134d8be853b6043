// The host's audio-thread calls allocate nothing once the plug-in runs.

#include <gtest/gtest.h>

#include <vector>

#include "framework/VST2.h"
#include "support/AllocationCounter.h"
#include "support/PluginConfigHome.h"
#include "tests/vst/PluginInstance.h"

// Only on Linux does the test program's counting operator new see the plug-in
// library's allocations; a Windows DLL links its own static C++ runtime.
#if !defined(_WIN32)

namespace {

int automations = 0;

// A host that allocates nothing itself and counts automation reports.
VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterAutomate) ++automations;
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

constexpr int kBlock = 256;
constexpr int kBlocks = 12;

// Notes on and off, the sustain pedal, pitch bend and two mapped controllers
// within a block.
EventList BlockEvents(int block) {
  const int note = 48 + block % 24;
  return EventList({MidiEvent(0, 0x90, note, 100), MidiEvent(10, 0xB0, 7, (block * 37) % 128),
                    MidiEvent(20, 0xE0, (block * 11) % 128, (block * 29) % 128),
                    MidiEvent(30, 0xB0, 64, block % 2 == 0 ? 127 : 0),
                    MidiEvent(90, 0xB1, 1, (block * 53) % 128), MidiEvent(200, 0x80, note - 5, 0)});
}

TEST(ProcessAllocation, SteadyStateProcessingAllocatesNothing) {
  PluginConfigHome configHome;
  // Controller 7 to "Final Volume", 1 to "Vibrato Depth".
  configHome.WriteConfiguration("[MIDI Control]\nCC7=4\nCC1=15\n");
  StartCountingAllocations();
  PluginInstance plug(QuietHost);
  ASSERT_GT(StopCountingAllocations(), 0) << "the plug-in library's allocations are not seen";
  ASSERT_NE(plug.Effect(), nullptr);
  AEffect* effect = plug.Effect();
  plug.Start(48000.0f, kBlock);

  std::vector<float> input(kBlock, 0.25f), left(kBlock), right(kBlock);
  float* inputs[4] = {input.data(), input.data(), input.data(), input.data()};
  float* outputs[2] = {left.data(), right.data()};
  std::vector<double> dInput(kBlock, -0.25), dLeft(kBlock), dRight(kBlock);
  double* dInputs[4] = {dInput.data(), dInput.data(), dInput.data(), dInput.data()};
  double* dOutputs[2] = {dLeft.data(), dRight.data()};
  std::vector<EventList> events;
  for (int block = 0; block < 2 * kBlocks + 2; ++block) events.push_back(BlockEvents(block));

  // Warm-up: one block of each kind.
  plug.Send(events[0]);
  effect->processReplacing(effect, inputs, outputs, kBlock);
  plug.Send(events[1]);
  effect->processDoubleReplacing(effect, dInputs, dOutputs, kBlock);
  automations = 0;

  StartCountingAllocations();
  for (int block = 2; block < 2 * kBlocks + 2; block += 2) {
    plug.Send(events[static_cast<size_t>(block)]);
    effect->processReplacing(effect, inputs, outputs, kBlock);
    plug.Send(events[static_cast<size_t>(block) + 1]);
    effect->processDoubleReplacing(effect, dInputs, dOutputs, kBlock);
  }
  EXPECT_EQ(StopCountingAllocations(), 0);
  EXPECT_GT(automations, 0) << "the mapped controllers moved no parameter";
}

}  // namespace

#endif

// MIDI learn in the VST 3 build: VST 3 has no controller events, so a learned
// controller reaches the instrument only as the hidden parameter the host
// maps it to; the value it then moves goes back to the host with the block.

#include <gtest/gtest.h>

#include <memory>

#include "framework/vst3/Vst3Plugin.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "tests/vst3/Vst3TestHost.h"

namespace {

using namespace testhost;

REDI* gRedi = nullptr;

std::unique_ptr<IPlugBase> MakeRedi(IHost* host) {
  auto plug = std::make_unique<REDI>(host);
  gRedi = plug.get();
  return plug;
}

TEST(MidiLearn, AControllerLearnedThroughItsParameterMovesTheLearnedParameter) {
  HostApplication application;
  auto* plugin = new Vst3Plugin(MakeRedi);
  REDI* redi = gRedi;
  IComponent* component = plugin;
  IAudioProcessor* processor = plugin;
  IMidiMapping* mapping = plugin;
  ASSERT_EQ(component->initialize(&application), kResultOk);
  ProcessSetup setup = {kRealtime, kSample32, 256, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  component->setActive(1);
  processor->setProcessing(1);
  ParamID volumeController = 0;
  ASSERT_EQ(mapping->getMidiControllerAssignment(0, 0, 7, volumeController), kResultTrue);

  Buffers<float> buffers(256);
  auto play = [&](ParamID id, double value, ParamChanges* out) {
    ParamChanges changes;
    changes.Add(id, 0, value);
    ProcessData data = {};
    buffers.Connect(data, 256);
    data.inputParameterChanges = &changes;
    data.outputParameterChanges = out;
    return processor->process(data);
  };

  // The editor's learn switch, then a move of the parameter and of the
  // controller, in either order.
  {
    ScopedLock guard(redi->Lock());
    redi->ArmLearn(true, false);
  }
  ParamChanges ignored;
  ASSERT_EQ(play(kFinalVolume, 0.5, &ignored), kResultOk);
  ASSERT_EQ(play(volumeController, 0.2, &ignored), kResultOk);
  EXPECT_EQ(redi->controllerMap[7], kFinalVolume);
  EXPECT_FALSE(redi->learnActive);

  ParamChanges out;
  ASSERT_EQ(play(volumeController, 1.0, &out), kResultOk);
  EXPECT_DOUBLE_EQ(redi->GetParam(kFinalVolume)->ToNormalized(), 1.0);
  EXPECT_DOUBLE_EQ(out.Last(kFinalVolume), 1.0) << "the host hears of the move";

  processor->setProcessing(0);
  component->setActive(0);
  component->terminate();
  component->release();
}

}  // namespace

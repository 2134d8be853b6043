// The VST 3 state stream, as the component (setState) or the controller
// (setComponentState) reads it. First byte: bit 0 chooses the reader, bits 1
// to 4 the largest piece one read hands out (0: any), so that a stream of
// short reads is met as well; the rest is the stream.

#include <cmath>
#include <memory>
#include <vector>

#include "framework/vst3/Vst3Plugin.h"
#include "instrument/REDI.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/vst3/Vst3TestHost.h"

namespace {

using namespace vst3;
using namespace testhost;

std::unique_ptr<IPlugBase> MakeRedi(IHost* host) {
  auto plug = std::make_unique<REDI>(host);
  plug->FillEmptyPrograms(IPlugBase::kNumPrograms);
  return plug;
}

// One instance for the whole run, as the VST 2 targets share theirs.
struct Shared {
  Shared() : plugin(new Vst3Plugin(MakeRedi)) {
    IComponent* component = plugin;
    IAudioProcessor* processor = plugin;
    fuzz::Require(component->initialize(&application) == kResultOk, "initialize failed");
    component->activateBus(kAudio, kInput, 1, 1);
    ProcessSetup setup = {kRealtime, kSample32, 512, 44100.0};
    fuzz::Require(processor->setupProcessing(setup) == kResultOk, "set-up refused");
    fuzz::Require(component->setActive(1) == kResultOk, "activation refused");
    processor->setProcessing(1);
  }
  HostApplication application;
  Vst3Plugin* plugin;
};

Shared& SharedPlugin() {
  static Shared* shared = new Shared;  // lives to the end of the run
  return *shared;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::IsolateConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  Vst3Plugin& plugin = *SharedPlugin().plugin;
  MemoryStream stream(std::vector<uint8_t>(data + 1, data + size));
  stream.readPiece = (data[0] >> 1) & 15;
  if ((data[0] & 1) != 0) {
    static_cast<IComponent&>(plugin).setState(&stream);
  } else {
    plugin.setComponentState(&stream);
  }

  MemoryStream saved;
  fuzz::Require(
      static_cast<IComponent&>(plugin).getState(&saved) == kResultOk && !saved.bytes.empty(),
      "the state cannot be saved again");
  for (ParamID id = 0; id < static_cast<ParamID>(IPlugBase::kNumParams); ++id) {
    const ParamValue v = plugin.getParamNormalized(id);
    fuzz::Require(v >= 0.0 && v <= 1.0, "a parameter out of 0...1");
  }
  Buffers<float> buffers(300);
  ProcessData process = {};
  buffers.Connect(process, 300);
  fuzz::Require(static_cast<IAudioProcessor&>(plugin).process(process) == kResultOk,
                "a block was refused");
  for (const auto& channel : buffers.out) {
    for (float v : channel) fuzz::Require(std::isfinite(v), "the output is not a number");
  }
  return 0;
}

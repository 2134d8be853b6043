#pragma once

#include <cmath>
#include <vector>

#include "engine/Vocoder.h"
#include "instrument/HeldNotes.h"
#include "instrument/MidiQueue.h"

// Stands in for the plug-in: reports input connections and, for controllers
// bound in controllerParameter, applies value / 127 to that parameter.
class FakeVocoderHost : public VocoderHost {
 public:
  FakeVocoderHost() {
    for (int& parameter : controllerParameter) parameter = -1;
  }
  bool IsInputConnected(int index) const override { return connected[index]; }
  void MapController(int controller, int value) override {
    ++mapCalls;
    lastController = controller;
    lastValue = value;
    if (engine != nullptr && controllerParameter[controller] >= 0)
      engine->ApplyParameter(controllerParameter[controller], value / 127.0);
  }

  bool connected[4] = {true, true, true, true};
  int mapCalls = 0;
  int lastController = -1;
  int lastValue = -1;
  Vocoder* engine = nullptr;
  int controllerParameter[128];
};

// One engine with its host, queue and held notes, plus audio buffers that
// persist across blocks.
struct VocoderRig {
  explicit VocoderRig(double sampleRate = 44100.0) {
    host.engine = &vocoder;
    vocoder.ResetState(sampleRate);
  }

  // Sends a MIDI message for the next block.
  void Midi(int offset, int status, int data1, int data2) {
    IMidiMessage message;
    message.offset = offset;
    message.status = static_cast<uint8_t>(status);
    message.data1 = static_cast<uint8_t>(data1);
    message.data2 = static_cast<uint8_t>(data2);
    queue.Add(message);
  }

  // Sizes the buffers for a block (call outside any allocation-free section).
  void Prepare(int frames) {
    for (auto& channel : in) channel.resize(static_cast<size_t>(frames), 0.0);
    for (auto& channel : out) channel.assign(static_cast<size_t>(frames), 0.0);
  }

  // Processes `frames` frames of the current input buffers.
  void Process(int frames) {
    if (in[0].size() < static_cast<size_t>(frames)) Prepare(frames);
    double* inputs[4];
    for (int k = 0; k < 4; ++k) inputs[k] = host.connected[k] ? in[k].data() : nullptr;
    double* outputs[2] = {out[0].data(), out[1].data()};
    vocoder.ProcessBlock(inputs, outputs, frames);
  }

  void FillSine(int channel, double frequency, double amplitude, double sampleRate,
                long startFrame = 0) {
    for (size_t i = 0; i < in[channel].size(); ++i)
      in[channel][i] = amplitude * std::sin(6.283185307179586 * frequency *
                                            static_cast<double>(startFrame + i) / sampleRate);
  }

  FakeVocoderHost host;
  MidiQueue queue;
  HeldNotes heldNotes;
  Vocoder vocoder{host, queue, heldNotes};
  std::vector<double> in[4];
  std::vector<double> out[2];
};

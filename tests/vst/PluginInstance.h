#pragma once

// One plug-in instance driven through its effect record, as a host drives it.

#include <cstdint>
#include <utility>
#include <vector>

#include "framework/VST2.h"
#include "tests/vst/HostEvents.h"
#include "tests/vst/PluginLoader.h"

class PluginInstance {
 public:
  explicit PluginInstance(audioMasterCallback callback) {
    if (Entry entry = FindEntry("VSTPluginMain")) effect = entry(callback);
  }
  ~PluginInstance() {
    if (effect != nullptr) Dispatch(effClose);
  }
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect* Effect() const { return effect; }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }

  // Open, set rate and block size, switch on.
  void Start(float sampleRate, int blockSize) {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
  }

  void Send(EventList& events) { Dispatch(effProcessEvents, 0, 0, events.List()); }
  void Send(std::vector<VstMidiEvent> events) {
    EventList list(std::move(events));
    Send(list);
  }

  std::vector<uint8_t> Chunk(bool bank) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
    if (size <= 0 || data == nullptr) return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
  }

 private:
  AEffect* effect = nullptr;
};

#pragma once

// One plug-in instance driven through its effect record, as a host drives it.

#include <cstdint>
#include <utility>
#include <vector>

#include "framework/VST2.h"
#include "tests/vst/PluginLoader.h"

inline VstMidiEvent MidiEvent(int deltaFrames, int status, int data1, int data2) {
  VstMidiEvent event = {};
  event.type = kVstMidiType;
  event.byteSize = sizeof event;
  event.deltaFrames = deltaFrames;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(data1);
  event.midiData[2] = static_cast<char>(data2);
  return event;
}

// A host's event list of any length, built before it is sent so that sending
// allocates nothing.
class EventList {
 public:
  explicit EventList(std::vector<VstMidiEvent> midi)
      : events(std::move(midi)),
        storage((sizeof(VstEvents) + events.size() * sizeof(VstEvent*)) / sizeof(VstIntPtr) + 1) {
    VstEvents* list = List();
    list->numEvents = static_cast<VstInt32>(events.size());
    for (size_t i = 0; i < events.size(); ++i)
      list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
  }
  VstEvents* List() { return reinterpret_cast<VstEvents*>(storage.data()); }

 private:
  std::vector<VstMidiEvent> events;
  std::vector<VstIntPtr> storage;  // VstEvents with room for every pointer
};

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

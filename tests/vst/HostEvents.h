#pragma once

// What a host's audio thread hands a plug-in: MIDI event lists and blocks;
// and a host callback that answers from no state at all, so that calls from
// any thread are safe.

#include <cmath>
#include <utility>
#include <vector>

#include "framework/VST2.h"

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

// A host's audio thread: `blocks` blocks of a quiet sine on every input
// through processReplacing, each after the events eventsFor(block) returns
// (an EventList). Says whether every output sample was finite.
template <class EventsFor>
bool PlayBlocks(AEffect* effect, int blocks, int blockSize, EventsFor eventsFor) {
  std::vector<float> input(static_cast<size_t>(blockSize)), left(input.size()), right(input.size());
  for (size_t i = 0; i < input.size(); ++i)
    input[i] = std::sin(0.05f * static_cast<float>(i)) * 0.5f;
  float* inputs[4] = {input.data(), input.data(), input.data(), input.data()};
  float* outputs[2] = {left.data(), right.data()};
  bool finite = true;
  for (int block = 0; block < blocks; ++block) {
    EventList events = eventsFor(block);
    effect->dispatcher(effect, effProcessEvents, 0, 0, events.List(), 0.0f);
    effect->processReplacing(effect, inputs, outputs, blockSize);
    for (size_t i = 0; i < input.size(); ++i) {
      if (!std::isfinite(left[i]) || !std::isfinite(right[i])) finite = false;
    }
  }
  return finite;
}

inline VstIntPtr VSTCALLBACK StatelessHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                           float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

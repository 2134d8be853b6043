#pragma once

// A VST 2 host callback that records what the plug-in asks and answers from
// settings. The callback has no context pointer, so one recorder is current.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/VST2.h"

struct HostCall {
  AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

// One event the plug-in sent through audioMasterProcessEvents.
struct SentEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  std::vector<uint8_t> bytes;  // MIDI bytes or the system-exclusive dump
};

class RecordingCallback {
 public:
  static RecordingCallback& Current() {
    static RecordingCallback host;
    return host;
  }

  void Reset() { *this = RecordingCallback(); }

  int Count(VstInt32 opcode) const {
    int n = 0;
    for (const HostCall& call : calls) n += call.opcode == opcode ? 1 : 0;
    return n;
  }

  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                        VstIntPtr value, void* ptr, float opt) {
    return Current().Answer(effect, opcode, index, value, ptr, opt);
  }

  std::vector<HostCall> calls;
  std::vector<SentEvent> events;
  std::string product;
  std::string vendor;
  VstIntPtr vendorVersion = 0;
  VstIntPtr processLevel = 0;
  VstIntPtr eventsAnswer = 1;
  bool hasTime = false;
  VstTimeInfo time = {};

 private:
  VstIntPtr Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                   float opt) {
    calls.push_back({effect, opcode, index, value, opt});
    switch (opcode) {
      case audioMasterVersion:
        return kVstVersion;
      case audioMasterGetProductString:
        CopyHostText(static_cast<char*>(ptr), product);
        return 1;
      case audioMasterGetVendorString:
        CopyHostText(static_cast<char*>(ptr), vendor);
        return 1;
      case audioMasterGetVendorVersion:
        return vendorVersion;
      case audioMasterGetCurrentProcessLevel:
        return processLevel;
      case audioMasterGetTime:
        return hasTime ? reinterpret_cast<VstIntPtr>(&time) : 0;
      case audioMasterProcessEvents:
        RecordEvents(static_cast<const VstEvents*>(ptr));
        return eventsAnswer;
      default:
        return 0;
    }
  }

  // Hosts fill at most kVstMaxProductStrLen characters and a terminator.
  static void CopyHostText(char* text, const std::string& source) {
    if (text == nullptr) return;
    const std::size_t n = std::min<std::size_t>(source.size(), kVstMaxProductStrLen);
    std::memcpy(text, source.data(), n);
    text[n] = '\0';
  }

  void RecordEvents(const VstEvents* list) {
    if (list == nullptr) return;
    for (VstInt32 i = 0; i < list->numEvents; ++i) {
      const VstEvent* event = list->events[i];
      SentEvent sent{event->type, event->byteSize, event->deltaFrames, {}};
      if (event->type == kVstMidiType) {
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        sent.bytes.assign(midi->midiData, midi->midiData + 4);
      } else if (event->type == kVstSysExType) {
        const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
        sent.bytes.assign(sysex->sysexDump, sysex->sysexDump + sysex->dumpBytes);
      }
      events.push_back(sent);
    }
  }
};

#include "framework/VSTHost.h"

#include "framework/Text.h"

VstIntPtr VSTHost::Call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return master != nullptr ? master(effect, opcode, index, value, ptr, opt) : 0;
}

void VSTHost::Automate(int paramIndex, float normalizedValue) {
  Call(audioMasterAutomate, paramIndex, 0, nullptr, normalizedValue);
}

void VSTHost::BeginEdit(int paramIndex) { Call(audioMasterBeginEdit, paramIndex); }

void VSTHost::EndEdit(int paramIndex) { Call(audioMasterEndEdit, paramIndex); }

void VSTHost::UpdateDisplay() { Call(audioMasterUpdateDisplay); }

void VSTHost::AskText(VstInt32 opcode, char* text, int size) {
  // Hosts fill up to 64 characters and a terminator; the spare room and the
  // forced terminator keep a careless host's text readable.
  char answer[256] = {};
  Call(opcode, 0, 0, answer);
  answer[sizeof answer - 1] = '\0';
  if (size > 0) CopyText(text, static_cast<std::size_t>(size), answer);
}

void VSTHost::ProductString(char* text, int size) {
  AskText(audioMasterGetProductString, text, size);
}

void VSTHost::VendorString(char* text, int size) {
  AskText(audioMasterGetVendorString, text, size);
}

int VSTHost::VendorVersion() { return static_cast<int>(Call(audioMasterGetVendorVersion)); }

int VSTHost::ProcessLevel() { return static_cast<int>(Call(audioMasterGetCurrentProcessLevel)); }

bool VSTHost::SendMidi(const IMidiMessage& message) {
  VstMidiEvent event = {};
  event.type = kVstMidiType;
  event.byteSize = sizeof event;
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  VstEvents list = {};
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<VstEvent*>(&event);
  return Call(audioMasterProcessEvents, 0, 0, &list) == 1;
}

bool VSTHost::SendSysEx(const ISysExMessage& message) {
  VstMidiSysexEvent event = {};
  event.type = kVstSysExType;
  event.byteSize = sizeof event;
  event.deltaFrames = message.offset;
  event.dumpBytes = message.size;
  // The interface has no const; hosts only read the dump.
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message.data));
  VstEvents list = {};
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<VstEvent*>(&event);
  return Call(audioMasterProcessEvents, 0, 0, &list) == 1;
}

bool VSTHost::ResizeEditorWindow(int width, int height) {
  return Call(audioMasterSizeWindow, width, height) == 1;
}

void VSTHost::WantMidi() { Call(audioMasterWantMidi); }

const VstTimeInfo* VSTHost::TimeInfo(VstInt32 filter) {
  return reinterpret_cast<const VstTimeInfo*>(Call(audioMasterGetTime, 0, filter));
}

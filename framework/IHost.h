#pragma once

#include "framework/IMidiMessage.h"

// What the plug-in asks of its host. The VST 2 boundary implements it on the
// host callback; tests implement it to observe notifications. Every call may
// come from the audio thread or the user-interface thread.
class IHost {
 public:
  virtual void Automate(int paramIndex, float normalizedValue) = 0;
  virtual void BeginEdit(int paramIndex) = 0;
  virtual void EndEdit(int paramIndex) = 0;
  virtual void UpdateDisplay() = 0;
  // Texts are copied into text (size bytes, terminated); empty when unknown.
  virtual void ProductString(char* text, int size) = 0;
  virtual void VendorString(char* text, int size) = 0;
  virtual int VendorVersion() = 0;  // decimal, major * 10000 + minor * 100 + third
  virtual int ProcessLevel() = 0;   // 4 means offline rendering
  virtual bool SendMidi(const IMidiMessage& message) = 0;
  virtual bool SendSysEx(const ISysExMessage& message) = 0;
  // Asks the host to give the open editor's window this size in pixels;
  // false when it does not (or cannot).
  virtual bool ResizeEditorWindow(int /*width*/, int /*height*/) { return false; }

 protected:
  ~IHost() = default;
};

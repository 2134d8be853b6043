#pragma once

#include "framework/IHost.h"
#include "framework/VST2.h"

// The framework's host interface on a VST 2 host's callback. The effect
// record is bound when the plug-in object that owns it is built, so calls made
// during construction already name the right effect.
class VSTHost final : public IHost {
 public:
  explicit VSTHost(audioMasterCallback master) : master(master) {}
  ~VSTHost() = default;

  void Bind(AEffect* boundEffect) { effect = boundEffect; }
  // 0 when there is no callback.
  VstIntPtr Call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                 float opt = 0.0f);

  void Automate(int paramIndex, float normalizedValue) override;
  void BeginEdit(int paramIndex) override;
  void EndEdit(int paramIndex) override;
  void UpdateDisplay() override;
  void ProductString(char* text, int size) override;
  void VendorString(char* text, int size) override;
  int VendorVersion() override;
  int ProcessLevel() override;
  bool SendMidi(const IMidiMessage& message) override;
  bool SendSysEx(const ISysExMessage& message) override;
  bool ResizeEditorWindow(int width, int height) override;

  void WantMidi();
  // The host's time record for the fields in filter (kVst...Valid), or null.
  const VstTimeInfo* TimeInfo(VstInt32 filter);

 private:
  void AskText(VstInt32 opcode, char* text, int size);

  audioMasterCallback master;
  AEffect* effect = nullptr;
};

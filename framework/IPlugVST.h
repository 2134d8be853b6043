#pragma once

#include <memory>

#include "framework/IPlugBase.h"
#include "framework/VST2.h"
#include "framework/VSTHost.h"

// The VST 2 half of the framework: the effect record the host holds, its
// dispatcher, process and parameter callbacks, and the host callback behind
// the framework's host interface. Every callback takes the plug-in lock for
// its whole duration.
class IPlugVST : public IPlugBase {
 public:
  // When host is a VSTHost it is bound to this object's effect record.
  IPlugVST(IHost* host, const Identity& identity);
  ~IPlugVST() override;

  AEffect* Effect() { return &effect; }
  // The entry builds the host interface before the object; the object keeps
  // it alive from then on.
  void AdoptHost(std::unique_ptr<VSTHost> ownedHost);

  // Identifies the host once and adapts the channels to it.
  void HostSpecificSetup();
  void ResizeEditor(int width, int height) override;
  void SetEditorRect();
  // Hosts see an editor only when it brings a window of its own.
  void AttachEditor(IGraphics* graphics) override;
  const ERect& EditorRect() const { return editorRect; }
  void SetLatencySamples(int frames);

  // The host's time record, when it gives one. The other queries give 0 when
  // the host does not know the value.
  bool HostTimeInfo(VstTimeInfo* info, VstInt32 filter);
  double HostSamplePosition();
  double HostTempo();
  bool HostTimeSignature(int* numerator, int* denominator);

 private:
  static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                             VstIntPtr value, void* ptr, float opt);
  static void VSTCALLBACK ProcessAccumulating(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 frames);
  static void VSTCALLBACK ProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                           VstInt32 frames);
  static void VSTCALLBACK ProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                 VstInt32 frames);
  static void VSTCALLBACK SetParameter(AEffect* effect, VstInt32 index, float value);
  static float VSTCALLBACK GetParameter(AEffect* effect, VstInt32 index);

  // The editor as hosts see it: one without a window of its own (headless)
  // is not offered to them.
  IGraphics* HostEditor() const;
  // Lock held by the caller.
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr DispatchParameterText(VstInt32 opcode, VstInt32 index, char* text);
  VstIntPtr SetProgram(VstIntPtr index);
  VstIntPtr SetProgramName(const char* name);
  VstIntPtr SetSampleRate(float rate);
  VstIntPtr SetBlockSize(VstIntPtr frames);
  VstIntPtr SetChunk(bool isBank, const void* data, VstIntPtr size);
  VstIntPtr ProcessEvents(const VstEvents* events);
  VstIntPtr PinProperties(bool isInput, int index, VstPinProperties* pin);
  VstIntPtr SetSpeakerArrangement(const VstSpeakerArrangement* inputs,
                                  const VstSpeakerArrangement* outputs);
  VstIntPtr VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr CanDo(const char* text) const;
  VstIntPtr GetMidiKeyName(::MidiKeyName* record);

  // Process callbacks: the host's call is cut into pieces no longer than the
  // block size, the length of every scratch buffer.
  void ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate);
  void ProcessDouble(double** inputs, double** outputs, int frames);
  void ConnectFloatBuffers(float** inputs, float** outputs, int offset, int frames);
  void WriteFloatOutputs(int frames, bool accumulate);
  void ConnectDoubleBuffers(double** inputs, double** outputs, int offset, int frames);
  void WantMidi();

  std::unique_ptr<VSTHost> ownedHost;
  VSTHost* vstHost = nullptr;  // the callback host, when the host is a VST 2 host
  AEffect effect = {};
  ERect editorRect = {};
  VstSpeakerArrangement inputArrangement = {};
  VstSpeakerArrangement outputArrangement = {};
  bool hostSetupDone = false;
};

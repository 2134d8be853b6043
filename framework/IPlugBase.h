#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Channels.h"
#include "framework/IChunk.h"
#include "framework/IMidiMessage.h"
#include "framework/IParameter.h"
#include "framework/IProgram.h"
#include "framework/platform/RecursiveLock.h"

class IHost;
class IGraphics;

// The plug-in framework's base: parameters, programs, state, channels and the
// host's identity. Format-specific classes derive from it; the plug-in class
// overrides its hooks. Unless a comment says otherwise, hooks run with the
// plug-in lock held (the host boundary takes it for every call).
class IPlugBase {
 public:
  static constexpr int kNumParams = 107;
  static constexpr int kNumPrograms = 64;
  static constexpr int kNameSize = 128;
  static constexpr int kFileNameSize = 28;  // program name field of .fxp/.fxb

  struct Identity {
    const char* effectName;
    const char* productName;
    const char* vendorName;
    int32_t uniqueId;       // four-character code, first character most significant
    int32_t version;        // 0xMMMMmmtt
    const char* channelIO;  // e.g. "2-2 4-2"
  };

  IPlugBase(IHost* host, const Identity& identity);
  virtual ~IPlugBase();
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Hooks of the plug-in class ----
  virtual void ResetState() {}
  virtual void ParamChanged(int /*index*/) {}
  // Around a change of many parameters at once (a program, a state, a band
  // tool), so that the plug-in can move to the new values as one step rather
  // than value after value. Batches may nest.
  virtual void BeginParamBatch() {}
  virtual void EndParamBatch() {}
  // Audio thread. inputs/outputs point at one array per channel.
  virtual void ProcessBlock(double** inputs, double** outputs, int frames);
  virtual void EditorOpened() {}
  virtual void EditorClosed() {}
  virtual void IdleHook() {}
  virtual void Activate(bool /*on*/) {}
  virtual void HandleMidiMessage(const IMidiMessage& message) { SendMidiToHost(message); }
  virtual void HandleSysEx(const ISysExMessage& /*message*/) {}
  virtual bool MidiKeyName(int key, char* text);
  virtual bool SaveState(IChunk& chunk) { return SerializeParams(chunk); }
  virtual int LoadState(const IChunk& chunk, int pos) { return UnserializeParams(chunk, pos); }
  virtual bool CompareState(const uint8_t* data, int size, int pos) const;
  virtual void WindowResized() {}
  // The editor changed its size.
  virtual void ResizeEditor(int /*width*/, int /*height*/) {}
  // User-interface thread, before the host learns the editor's size or opens
  // it: the plug-in sets the editor's size (IGraphics::SetSizePercent).
  virtual void PrepareEditorSize() {}
  // The host's own scale for the editor (VST 3's content scale factor).
  virtual void HostEditorScale(double /*factor*/) {}
  // Asks the host for a new size of the open editor's window, in pixels.
  bool RequestEditorWindowSize(int width, int height);
  virtual void HostIdentified() {}
  virtual void ProgramChangedByHost() {}
  // Moves the editor's controls to the parameters' values.
  virtual void RefreshParamControls();
  // Construction: hands the editor every parameter's value (its controls'
  // defaults), creates its drawing surfaces and keeps it. The plug-in owns
  // the editor from then on.
  virtual void AttachEditor(IGraphics* graphics);
  IGraphics* GetGUI() const { return editor; }
  virtual void ChangeSampleRate(double rate) { sampleRate = rate; }
  virtual void ChangeBlockSize(int frames);

  // ---- Parameters ----
  IParameter* GetParam(int index);
  const IParameter* GetParam(int index) const;
  int NParams() const { return static_cast<int>(params.size()); }
  // Editor thread; takes the lock.
  virtual void SetParamFromEditor(int index, double normalizedValue);
  virtual void BeginParamGesture(int index);
  virtual void EndParamGesture(int index);
  virtual void ReportParamChange(int index, double normalizedValue);
  void ReportAllParams();
  void NotifyAllParamsChanged();
  virtual void ReportProgramChange();

  // Host-side parameter access (host boundary; lock held by caller or taken).
  float HostGetParameter(int index);
  // NaN is ignored; values outside 0...1 are limited to 0...1.
  void HostSetParameter(int index, float normalizedValue);
  // False when the index is invalid or the text matches nothing.
  bool HostSetParameterFromText(int index, const char* text);

  // ---- Programs ----
  bool ApplyProgram(int index);
  virtual void ModifyCurrentPreset(const char* name = nullptr);
  void FillEmptyPrograms(int count);
  const char* ProgramName(int index) const;
  int CurrentProgram() const { return currentProgram; }
  IProgram* GetProgram(int index);
  int NPrograms() const { return static_cast<int>(programs.size()); }

  // ---- State ----
  static void WriteChunkHeader(IChunk& chunk);
  // Returns the framework chunk version and advances pos past the header, or
  // 0 (pos unchanged, or -1 when the version is missing).
  static int ReadChunkHeader(const IChunk& chunk, int* pos);
  bool SerializeParams(IChunk& chunk);
  int UnserializeParams(const IChunk& chunk, int pos);
  bool SerializePresets(IChunk& chunk);
  virtual int UnserializePresets(const IChunk& chunk, int pos);
  // Host chunk requests. The bytes stay valid until the next request.
  int HostGetChunk(bool isBank, const uint8_t** data);
  int HostSetChunk(bool isBank, const uint8_t* data, int size);
  bool SaveProgramFile(const char* path);
  bool SaveBankFile(const char* path);
  bool LoadProgramFile(const char* path);
  bool LoadBankFile(const char* path);

  // ---- Host identification ----
  static int LookUpHost(const char* productText);
  static int PackHostVersion(int decimalVersion);
  int HostKind();
  int HostVersion() const { return hostVersion; }
  bool HostNeedsProgramChunks();
  bool IsRenderingOffline();

  // ---- Channels ----
  // True when a configured pair matches; a negative count matches any.
  bool LegalIO(int inputs, int outputs) const;
  void LimitToStereoInputs();
  bool IsInputConnected(int index) const;
  int NInChannels() const { return static_cast<int>(inChannels.size()); }
  int NOutChannels() const { return static_cast<int>(outChannels.size()); }
  IInputChannel* InChannel(int index);
  IOutputChannel* OutChannel(int index);
  const std::vector<IChannelPair>& ChannelPairs() const { return channelPairs; }
  void SetInputLabel(int index, const char* label);
  void SetOutputLabel(int index, const char* label);

  // ---- Identity and settings ----
  const char* EffectName() const { return effectName; }
  const char* ProductName() const { return productName; }
  const char* VendorName() const { return vendorName; }
  int32_t UniqueId() const { return uniqueId; }
  int32_t Version() const { return version; }
  int32_t DecimalVersion() const;  // major * 10000 + minor * 100 + third
  double SampleRate() const { return sampleRate; }
  int BlockSize() const { return blockSize; }
  bool DoesMidi() const { return doesMidi; }
  bool IsInstrument() const { return isInstrument; }

  bool SendMidiToHost(const IMidiMessage& message);
  bool SendSysExToHost(const ISysExMessage& message);

  IHost* Host() const { return host; }
  RecursiveLock& Lock() { return lock; }

 protected:
  double** InputPointers() { return inputPointers.data(); }
  double** OutputPointers() { return outputPointers.data(); }

  IHost* host;
  IGraphics* editor = nullptr;  // attached during construction, when there is one
  int32_t hostKind = -1;
  int32_t hostVersion = 0;
  double sampleRate = 44100.0;
  int blockSize = 0;
  int latency = 0;
  int tailSize = 0;
  bool doesChunks = true;
  bool isInstrument = false;
  bool doesMidi = true;

 private:
  void BuildChannels(const char* channelIO);

  char effectName[kNameSize];
  char productName[kNameSize];
  char vendorName[kNameSize];
  int32_t uniqueId;
  int32_t version;
  std::vector<IParameter> params;
  std::vector<IProgram> programs;
  int currentProgram = 0;
  IChunk programChunk;  // host program chunk buffer
  IChunk bankChunk;     // host bank chunk buffer
  bool vendorAsked = false;
  bool needsProgramChunks = false;
  std::vector<IChannelPair> channelPairs;
  std::vector<double*> inputPointers;
  std::vector<double*> outputPointers;
  std::vector<IInputChannel> inChannels;
  std::vector<IOutputChannel> outChannels;
  RecursiveLock lock;
};

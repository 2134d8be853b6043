#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/VST2.h"

// A minimal offline VST 2 host for one plug-in instance, loaded from its
// library through the exported entry, as any host would.
class PluginHost {
 public:
  struct MidiEvent {
    int64_t frame;  // from the start of the render
    uint8_t status, data1, data2;
  };

  PluginHost() = default;
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  bool Load(const std::string& libraryPath, std::string* error);
  // Opens the effect and prepares it for the rate, block size and inputs.
  void Start(double sampleRate, int blockSize, int connectedInputs);
  void Resume();
  void Suspend();

  int NumParams() const { return effect->numParams; }
  int NumPrograms() const { return effect->numPrograms; }
  int NumInputs() const { return effect->numInputs; }
  int NumOutputs() const { return effect->numOutputs; }
  std::string EffectName();
  std::string ParamName(int index);
  std::string ParamDisplay(int index);
  std::string ParamLabel(int index);
  std::string ProgramName(int index);
  // The exact name, else the name without regard to case; -1 when none.
  int FindParam(const std::string& name);
  uint32_t UniqueId() const { return static_cast<uint32_t>(effect->uniqueID); }

  // Switches and lists (as opposed to continuous parameters).
  bool IsStepped(int index);
  // The display text of a normalised value, without changing the parameter.
  std::string DisplayOf(int index, float normalized);
  float GetNormalized(int index) { return effect->getParameter(effect, index); }
  void SetNormalized(int index, float value) { effect->setParameter(effect, index, value); }
  // The plug-in's own text entry (effString2Parameter); false when it refuses.
  bool SetFromText(int index, const std::string& text);

  int CurrentProgram() { return static_cast<int>(Dispatch(effGetProgram)); }
  void SetProgram(int index);
  void SetProgramName(const std::string& name);
  std::vector<uint8_t> BankChunk();
  bool SetBankChunk(std::vector<uint8_t> chunk);

  // Delivers the events due in [start, start + frames) and processes the block.
  void Process(float** inputs, float** outputs, int frames, int64_t start,
               const std::vector<MidiEvent>& events, std::size_t* nextEvent);

  static double sampleRate;
  static int blockSize;

 private:
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  std::string Text(VstInt32 opcode, VstInt32 index);

  void* library = nullptr;
  AEffect* effect = nullptr;
  bool open = false;
  std::vector<VstMidiEvent> midiEvents;
  std::vector<VstEvent*> eventPointers;
  std::vector<char> eventList;
};

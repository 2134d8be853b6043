#pragma once

#include <string>

#include "engine/Vocoder.h"
#include "instrument/Synth.h"

// The vocoder plug-in: the instrument layer around the sound engine.
class REDI : public Synth, private VocoderHost {
 public:
  static const Identity kIdentity;
  static constexpr const char* kStateTag = "REDI_1.1.1";

  explicit REDI(IHost* host);
  ~REDI() override;

  void InitParameters() override;
  void BuildEditorLayout() override;
  void InitProgram() override;
  void ResetState() override;
  void ParamChanged(int index) override;
  // Audio thread, plug-in lock held by the host boundary.
  void ProcessBlock(double** inputs, double** outputs, int frames) override;
  // Host boundary, lock held, before the block the message belongs to.
  void HandleMidiMessage(const IMidiMessage& message) override;
  void AllNotesOff() override;
  bool SaveState(IChunk& chunk) override;
  int LoadState(const IChunk& chunk, int pos) override;
  // After a program is applied or renamed: reloads the WAV source.
  void ProgramChangedByHost() override;

  // Opens the requested WAV file unless it is the one last tried. Returns
  // false when it could not be opened; the caller tells the user.
  bool LoadWavSource();

  Vocoder vocoder;
  // The WAV file the modulator plays, absolute or relative to wavBaseFolder.
  std::string wavRequestedPath;
  std::string wavLoadedPath;  // the name last tried
  bool wavMissing = false;    // the last try failed

 private:
  bool IsInputConnected(int index) const override { return IPlugBase::IsInputConnected(index); }
  void MapController(int controller, int value) override {
    Synth::MapController(controller, value);
  }
};

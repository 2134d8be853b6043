#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "framework/IPlugVST.h"
#include "instrument/HeldNotes.h"
#include "instrument/MidiQueue.h"
#include "instrument/TuningClient.h"

// The maker's instrument layer between the VST 2 framework and the vocoder:
// MIDI state and learn, configuration, program operations, channel labels.
class Synth : public IPlugVST {
 public:
  static constexpr int kNumControllers = 120;

  Synth(IHost* host, const Identity& identity);
  ~Synth() override;

  void ResetState() override;
  void ParamChanged(int index) override;
  void Activate(bool on) override;
  void HandleMidiMessage(const IMidiMessage& /*message*/) override {}

  virtual void AllNotesOff() {}
  virtual void InitParameters() {}
  // Builds the editor's controls; the plug-in class attaches the editor after.
  virtual void BuildEditorLayout() {}
  // Keeps editorObject naming the attached editor.
  void AttachEditor(IGraphics* graphics) override;

  // ---- Program operations (editor's thread; each takes the plug-in lock) ----
  // The start-up bank if it loads, else the factory bank.
  virtual void LoadFactoryPrograms();
  // Reads a bank file image into the 64 programs.
  void LoadBankFromMemory(const unsigned char* bytes, std::size_t size);
  virtual void InitProgram();
  void CopyProgram();
  void PasteProgram();
  void SelectProgram(int index);

  // Applies a queued control change through the controller map; audio thread.
  void MapController(int controller, int value);
  // Completes a MIDI-learn step once both halves (or, when forgetting, either
  // half) are known.
  void CommitLearn();
  // Arms (or disarms) learning, as the editor's learn switch does.
  void ArmLearn(bool on, bool forget);
  // A learn step finished (the plug-in lock is held; any thread).
  virtual void LearnCompleted() {}

  MidiQueue midiQueue;
  HeldNotes heldNotes;
  int controllerMap[kNumControllers];
  bool midiThru = false;
  bool ignoreProgramChange = false;
  bool learnActive = false;
  bool learnForget = false;
  int learnController = -1;
  int learnParameter = -1;
  std::string wavBaseFolder;
  IChunk programClipboard;
  int clipboardSource = -1;

  // ---- Configuration file (instrument/Configuration.cpp) ----
  enum class ConfigReadResult { kSuccess, kFileMissing };
  enum class ConfigWrite { kEverything, kMidiThruOnly, kIgnoreProgramChangeOnly };

  // Construction: finds the folders, then reads the file or creates it empty.
  void PrepareConfiguration();
  virtual ConfigReadResult ReadConfiguration();
  void WriteConfiguration(ConfigWrite which);
  void WriteStartupBank();
  void SetStartupBank(const std::string& path);
  void ClearStartupBank();
  void WriteWavFolder(const std::string& path);
  void WriteProgramFolder(const std::string& path);
  // The editor size the user chose, in percent, for every instance; 0 when
  // none was chosen (or the file holds none of the editor's sizes).
  int ReadEditorSize() const;
  void WriteEditorSize(int percent);

  std::string configPath;  // empty when the application-data folder is unknown
  std::string documentsFolder;
  std::string programFolder;  // offered for program and bank files
  std::string startupBank;    // bank file loaded at start-up; empty = none

  static constexpr int kEditorWidth = 800;
  static constexpr int kEditorHeight = 360;
  // Made by the constructor; the framework owns it once it is attached, and
  // it then names the attached editor.
  IGraphics* editorObject = nullptr;

  // Registered with a microtuning master from the end of construction to the
  // start of destruction.
  std::unique_ptr<TuningClient> tuningClient;
};

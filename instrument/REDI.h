#pragma once

#include <atomic>
#include <string>

#include "engine/Vocoder.h"
#include "instrument/ParameterIds.h"
#include "instrument/Synth.h"

class IControl;
class IKnobMultiControl;
class ZARLoadWAVControl;
class ZARPresetMenu;
class ZARSwitchMidiLearn;

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
  void BeginParamBatch() override { vocoder.BeginParameterBatch(); }
  void EndParamBatch() override { vocoder.EndParameterBatch(); }
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

  // The frequency tools of the band page, by tool number: edit the 80 band
  // parameters in one step, then pass the new values to the engine, the host
  // and the controls, in that order. Editor's thread; numbers that name no
  // tool do nothing.
  void ApplyBandTool(int tool);

  // ---- Editor (editor/REDILayout.cpp) ----
  // Any thread: the controls follow the parameters; while the window is
  // open the editor's thread also redraws the page (ApplyEditorRefresh).
  void RefreshParamControls() override;
  // An editor other than the one the layout was built on leaves REDI
  // without controls to keep current.
  void AttachEditor(IGraphics* graphics) override;
  // Editor's thread: moves the level meter.
  void IdleHook() override;
  void EditorOpened() override;
  void EditorClosed() override;
  // Editor's thread, every tick: carries out a pending refresh: the WAV
  // name, the picture (shown about one time in ten) and the page.
  void ApplyEditorRefresh();
  // Editor's thread: true once after a learn finished.
  bool TakeLearnSwitchReset() { return learnSwitchReset.exchange(false); }
  void ShowTweakPage(bool show);
  // The editor's size: the user's choice, else the host's scale, else the
  // screen's; set while the editor is closed.
  void PrepareEditorSize() override;
  void HostEditorScale(double factor) override;
  // The user's choice from the menu: kept for every instance, and the open
  // editor takes it at once when the host resizes its window; otherwise it
  // waits for the editor's next opening (EditorSizeWaiting).
  void ChooseEditorSize(int percent);
  int EditorSizeWaiting() const { return waitingEditorSize; }
  // The nearest of the editor's sizes to a scale in percent.
  static int NearestEditorSize(int percent);
  // The level meter's frame value for a peak level (1.0 = 0 dB).
  static double MeterValue(double level);

  // Which page the page switch asked for; editor's thread.
  bool tweakPage = false;
  int hostScalePercent = 0;   // the host's scale as an editor size; 0 unknown
  int waitingEditorSize = 0;  // chosen while the host kept the window's size
  // Controls the plug-in shows, hides or updates; owned by the editor.
  struct EditorControls {
    IGraphics* editor = nullptr;  // the editor that owns them
    IKnobMultiControl* meter = nullptr;
    IControl* picture = nullptr;
    IControl* tweakBackground = nullptr;
    IControl* smallKnobs[9] = {};
    IControl* toolsMenu = nullptr;
    ZARLoadWAVControl* wavControl = nullptr;
    ZARPresetMenu* presetMenu = nullptr;
    ZARSwitchMidiLearn* learnSwitch = nullptr;
    IControl* bands[4][kNumBands] = {};  // analysis, synthesis, level, fixed
    IControl* bandDisplay = nullptr;     // the main page's live band levels
  } editorControls;

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
  void LearnCompleted() override { learnSwitchReset = true; }

  std::atomic<bool> editorOpen{false};
  std::atomic<bool> editorRefresh{false};
  std::atomic<bool> learnSwitchReset{false};
};

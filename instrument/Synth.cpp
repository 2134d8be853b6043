#include "instrument/Synth.h"

#include "editor/IGraphics.h"

Synth::Synth(IHost* host, const Identity& identity) : IPlugVST(host, identity) {
  for (int& entry : controllerMap) entry = -1;
  static const char* const kInputLabels[] = {"MIC Left ", "MIC Right ", "EXT Left ", "EXT Right "};
  static const char* const kOutputLabels[] = {"REDI Left ", "REDI Right "};
  for (int i = 0; i < NInChannels() && i < 4; ++i) SetInputLabel(i, kInputLabels[i]);
  for (int i = 0; i < NOutChannels() && i < 2; ++i) SetOutputLabel(i, kOutputLabels[i]);
  editorObject = MakePlatformGraphics(this, kEditorWidth, kEditorHeight);
  PrepareConfiguration();
  tuningClient = std::make_unique<TuningClient>();
}

Synth::~Synth() {
  tuningClient.reset();
  // Attached, it belongs to the framework, which deletes it last.
  if (editorObject != GetGUI()) delete editorObject;
}

void Synth::ResetState() {
  ScopedLock guard(Lock());
  midiQueue.Compact(BlockSize());
  heldNotes.Clear();
  learnActive = false;
}

void Synth::Activate(bool on) {
  if (!on) return;
  ScopedLock guard(Lock());
  NotifyAllParamsChanged();
}

void Synth::MapController(int controller, int value) {
  if (controller < 0 || controller >= kNumControllers) return;
  const unsigned index = static_cast<unsigned>(controllerMap[controller]);
  if (index > 106u) return;
  const double normalized = value / 127.0;
  const IParameter* param = GetParam(static_cast<int>(index));
  if (param == nullptr || normalized == param->ToNormalized()) return;
  SetParamFromEditor(static_cast<int>(index), normalized);
  if (GetGUI() != nullptr) GetGUI()->SetParamFromPlug(static_cast<int>(index), normalized, true);
}

#pragma once

// REDI with its layout on a headless editor (on every platform), opened as
// the host opens it, and helpers to click, choose and look.

#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/drawing/IGraphicsHeadless.h"
#include "editor/drawing/LICE.h"
#include "instrument/REDI.h"
#include "tests/framework/RecordingHost.h"

namespace layouttest {
namespace {

// Control numbers in the order the layout creates them, from 0.
enum ControlIndex {
  kBackground = 0,
  kTuneKnob = 1,
  kMeter = 16,
  kPicture = 17,
  kTweakBackground = 18,
  kFirstSmallKnob = 19,
  kFirstBandControl = 28,
  kToolsMenu = 108,
  kVocoderModeSelector = 109,
  kWavControl = 110,
  kPresetMenu = 111,
  kPreviousButton = 112,
  kNextButton = 113,
  kOptionMenu = 114,
  kPageSwitch = 115,
  kLearnSwitch = 116,
  kVersionText = 117,
  kBandDisplay = 118,
  kNumControls = 119
};

inline const IMouseMod kLeft(true, false);
inline const IMouseMod kRight(false, true);

struct LayoutRig {
  LayoutRig() {
    // The platform's own editor is replaced by a headless one with the same
    // layout, so the same script runs on every platform.
    plug.editorObject = new IGraphicsHeadless(&plug, REDI::kEditorWidth, REDI::kEditorHeight);
    plug.editorControls = REDI::EditorControls();
    plug.BuildEditorLayout();
    plug.AttachEditor(plug.editorObject);
    ui = static_cast<IGraphicsHeadless*>(plug.GetGUI());
  }

  void Open() {
    ui->OpenWindow(nullptr);
    plug.EditorOpened();
    Settle();
  }
  void Close() {
    plug.EditorClosed();
    ui->CloseWindow();
  }
  // Ticks until nothing is left to draw.
  void Settle() {
    IRECT r;
    for (int i = 0; i < 8; ++i) {
      ui->Tick();
      if (!ui->IsDirty(&r)) break;
    }
  }
  void Click(int x, int y, const IMouseMod& mod = kLeft) {
    ui->OnMouseDown(x, y, mod);
    ui->OnMouseUp(x, y, mod);
    Settle();
  }
  void ClickCentre(int control, const IMouseMod& mod = kLeft) {
    const IRECT& r = ui->GetControl(control)->GetRECT();
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2, mod);
  }
  // Chooses the item at these positions of the next menu, then clicks.
  void ChooseFromMenu(int control, std::vector<int> path) {
    ui->menuAnswers.push_back(std::move(path));
    ClickCentre(control);
  }
  std::vector<double> ParamValues() {
    std::vector<double> values;
    for (int i = 0; i < plug.NParams(); ++i) values.push_back(plug.GetParam(i)->Value());
    return values;
  }
  bool TweakPageShown() const { return !ui->GetControl(kTweakBackground)->IsHidden(); }

  RecordingHost host;
  REDI plug{&host};
  IGraphicsHeadless* ui = nullptr;
};

}  // namespace
}  // namespace layouttest

// REDI's editor: the layout of both pages and the plug-in side that keeps
// them current.
#include <cmath>
#include <cstdlib>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/ZARBandDisplay.h"
#include "editor/ZARInvisibleSwitch.h"
#include "editor/ZARKnobMultiControlText.h"
#include "editor/ZARLoadWAVControl.h"
#include "editor/ZAROptionMenu.h"
#include "editor/ZARPopUpMenuControl.h"
#include "editor/ZARPresetMenu.h"
#include "editor/ZARShared.h"
#include "editor/ZARSwitchMidiLearn.h"
#include "editor/ZARToolsMenu.h"
#include "editor/ZARUtilityKick.h"
#include "instrument/REDI.h"

#ifndef REDI_BUILD_NUMBER
#define REDI_BUILD_NUMBER 0
#endif

namespace {

#define REDI_STRINGIFY2(x) #x
#define REDI_STRINGIFY(x) REDI_STRINGIFY2(x)
constexpr char kVersionText[] = "v1.1.1." REDI_STRINGIFY(REDI_BUILD_NUMBER);

// The level meter has no parameter; its index only keeps it apart.
constexpr int kMeterIndex = 112;

struct Bitmaps {
  IBitmap background, knob, bigKnob, verticalSwitch, horizontalSwitch, meter, learn, unlearn,
      previous, next, picture, tweak, trimpot;
};

Bitmaps LoadBitmaps(IGraphics& g) {
  constexpr int kKnobFrames = 65;
  Bitmaps b;
  b.background = g.LoadIBitmap(1, "resources/img/back.png");
  b.knob = g.LoadIBitmap(2, "resources/img/knob.png", kKnobFrames);
  b.bigKnob = g.LoadIBitmap(3, "resources/img/knob_big.png", kKnobFrames);
  b.verticalSwitch = g.LoadIBitmap(5, "resources/img/switch_v.png", 2);
  b.horizontalSwitch = g.LoadIBitmap(6, "resources/img/switch_h.png", 2);
  b.meter = g.LoadIBitmap(7, "resources/img/vumeter.png", 31);
  b.learn = g.LoadIBitmap(8, "resources/img/learn.png", 2);
  b.unlearn = g.LoadIBitmap(9, "resources/img/unlearn.png", 2);
  b.previous = g.LoadIBitmap(10, "resources/img/prev.png", 2);
  b.next = g.LoadIBitmap(11, "resources/img/next.png", 2);
  b.picture = g.LoadIBitmap(12, "resources/img/responce.png");
  b.tweak = g.LoadIBitmap(13, "resources/img/tweak.png");
  b.trimpot = g.LoadIBitmap(14, "resources/img/trimpot.png", kKnobFrames);
  return b;
}

}  // namespace

void REDI::BuildEditorLayout() {
  IGraphics* g = editorObject;
  if (g == nullptr) return;
  const Bitmaps b = LoadBitmaps(*g);
  EditorControls& c = editorControls;
  c.editor = g;

  g->AttachBackground(b.background);
  auto knob = [&](int x, int y, int param, const IBitmap& bitmap) {
    return g->AttachControl(new IKnobMultiControl(this, x, y, param, bitmap));
  };
  auto toggle = [&](int x, int y, int param, const IBitmap& bitmap) {
    return g->AttachControl(new ISwitchControl(this, x, y, param, bitmap));
  };
  knob(46, 60, kTune, b.knob);
  toggle(55, 184, kOctaveUp, b.verticalSwitch);
  knob(118, 180, kInBalance, b.knob);
  knob(182, 180, kExtLevel, b.knob);
  toggle(246, 136, kMeterMode, b.horizontalSwitch);
  knob(294, 180, kMicLevel, b.knob);
  knob(46, 276, kAccentBend, b.knob);
  knob(118, 276, kVibratoSpeed, b.knob);
  knob(182, 276, kVibratoDepth, b.knob);
  toggle(248, 280, kEnsemble, b.verticalSwitch);
  knob(294, 276, kPitchBend, b.knob);
  knob(706, 102, kFinalVolume, b.bigKnob);
  knob(710, 180, kOutBalance, b.knob);
  knob(710, 244, kVelocity, b.knob);
  toggle(759, 248, kKeyboard, b.verticalSwitch);

  c.meter = new IKnobMultiControl(this, 204, 56, kMeterIndex, b.meter);
  // Only the audio level moves the meter: the mouse cannot reach it.
  c.meter->SetTargetArea(IRECT());
  g->AttachControl(c.meter);
  c.picture = new IBitmapControl(this, 530, 160, b.picture);
  g->AttachControl(c.picture);

  c.tweakBackground = new IBitmapControl(this, 0, 0, b.tweak);
  g->AttachControl(c.tweakBackground);
  constexpr int kSmallKnobX[9] = {24, 56, 88, 136, 168, 216, 248, 288, 320};
  constexpr int kSmallKnobParam[9] = {kBias,
                                      kLimit,
                                      kSpeed,
                                      kAttack,
                                      kRelease,
                                      kEnsembleLeftRate1,
                                      kEnsembleLeftRate2,
                                      kEnsembleRightRate1,
                                      kEnsembleRightRate2};
  for (int i = 0; i < 9; ++i) {
    c.smallKnobs[i] =
        new ZARKnobMultiControlText(this, kSmallKnobX[i], 292, kSmallKnobParam[i], b.trimpot);
    g->AttachControl(c.smallKnobs[i]);
  }
  for (int band = 0; band < kNumBands; ++band) {
    const int x = 64 + 36 * band;
    c.bands[0][band] = new ZARKnobMultiControlText(this, x, 80, kAnalysisFreq1 + band, b.trimpot);
    c.bands[1][band] = new ZARKnobMultiControlText(this, x, 128, kSynthesisFreq1 + band, b.trimpot);
    c.bands[2][band] =
        new ZARKnobMultiControlText(this, x, 176, kSynthesisLevel1 + band, b.trimpot);
    c.bands[3][band] =
        new ISwitchControl(this, x + 9, 224, kSynthesisFixed1 + band, b.verticalSwitch);
    for (auto& row : c.bands) g->AttachControl(row[band]);
  }
  c.toolsMenu = new ZARToolsMenu(this, IRECT(731, 260, 779, 280));
  g->AttachControl(c.toolsMenu);

  g->AttachControl(new ZARPopUpMenuControl(this, IRECT(546, 262, 674, 278), kVocoderMode));
  c.wavControl = new ZARLoadWAVControl(this, IRECT(410, 262, 538, 278), kInputMode);
  g->AttachControl(c.wavControl);
  c.presetMenu = new ZARPresetMenu(this, IRECT(390, 308, 414, 324), IRECT(441, 308, 633, 322));
  g->AttachControl(c.presetMenu);
  g->AttachControl(
      new ZARUtilityKick(this, 365, 305, ZARUtilityKick::kPreviousProgram, b.previous));
  g->AttachControl(new ZARUtilityKick(this, 416, 305, ZARUtilityKick::kNextProgram, b.next));
  g->AttachControl(new ZAROptionMenu(this, IRECT(646, 306, 694, 326)));
  g->AttachControl(new ZARInvisibleSwitch(this, IRECT(759, 306, 779, 326)));
  c.learnSwitch = new ZARSwitchMidiLearn(this, 702, 305, b.learn, b.unlearn);
  g->AttachControl(c.learnSwitch);
  g->AttachControl(new ITextControl(this, IRECT(712, 24, 776, 36), VersionStyle(), kVersionText));
  // Last, so that the controls before it keep their places.
  c.bandDisplay = new ZARBandDisplay(this, IRECT(380, 184, 520, 236), &vocoder.Bands());
  g->AttachControl(c.bandDisplay);

  ShowTweakPage(false);
  RefreshParamControls();
}

void REDI::ShowTweakPage(bool show) {
  EditorControls& c = editorControls;
  if (c.tweakBackground == nullptr) return;
  // Only a change of page redraws the page.
  auto set = [show](IControl* control) {
    if (control->IsHidden() == show) control->Hide(!show);
  };
  set(c.tweakBackground);
  for (IControl* knob : c.smallKnobs) set(knob);
  set(c.toolsMenu);
  for (auto& row : c.bands)
    for (IControl* control : row) set(control);
  // The tweak page covers the display: it would draw over that page.
  if (c.bandDisplay->IsHidden() != show) c.bandDisplay->Hide(show);
}

void REDI::AttachEditor(IGraphics* graphics) {
  Synth::AttachEditor(graphics);
  if (GetGUI() != editorControls.editor) editorControls = EditorControls();
}

void REDI::RefreshParamControls() {
  Synth::RefreshParamControls();
  // The controls themselves belong to the editor's thread, which picks
  // this up at its next tick.
  if (editorOpen.load()) editorRefresh.store(true);
}

void REDI::ApplyEditorRefresh() {
  if (!editorRefresh.exchange(false)) return;
  IGraphics* g = GetGUI();
  EditorControls& c = editorControls;
  if (g == nullptr || !g->WindowIsOpen() || c.picture == nullptr) return;
  c.wavControl->SetDirty(false);
  c.presetMenu->SetDirty(false);
  // The picture turns up in about one redraw in ten.
  c.picture->Hide(std::rand() % 100 > 9);
  c.picture->SetDirty(false);
  ShowTweakPage(tweakPage);
}

void REDI::EditorOpened() {
  Synth::EditorOpened();
  editorOpen.store(true);
}

void REDI::EditorClosed() {
  editorOpen.store(false);
  editorRefresh.store(false);
  Synth::EditorClosed();
}

int REDI::NearestEditorSize(int percent) {
  int nearest = IGraphics::kSizes[0];
  for (int size : IGraphics::kSizes) {
    if (std::abs(size - percent) <= std::abs(nearest - percent)) nearest = size;
  }
  return nearest;
}

void REDI::HostEditorScale(double factor) {
  hostScalePercent = NearestEditorSize(static_cast<int>(std::lround(factor * 100.0)));
}

void REDI::PrepareEditorSize() {
  IGraphics* g = GetGUI();
  if (g == nullptr || g->WindowIsOpen()) return;
  int percent = ReadEditorSize();
  if (percent == 0) percent = hostScalePercent;
  if (percent == 0) percent = NearestEditorSize(g->ScreenScalePercent());
  waitingEditorSize = 0;
  g->SetSizePercent(percent);
  ResizeEditor(g->Width(), g->Height());
}

void REDI::ChooseEditorSize(int percent) {
  if (!IGraphics::IsEditorSize(percent)) return;
  WriteEditorSize(percent);
  IGraphics* g = GetGUI();
  if (g == nullptr) return;
  const int before = g->SizePercent();
  waitingEditorSize = 0;
  if (percent == before || !g->WindowIsOpen()) return;
  g->SetSizePercent(percent);
  ResizeEditor(g->Width(), g->Height());
  if (RequestEditorWindowSize(g->PixelWidth(), g->PixelHeight())) return;
  // The host keeps the window as it is: so does the editor, until it opens again.
  g->SetSizePercent(before);
  ResizeEditor(g->Width(), g->Height());
  waitingEditorSize = percent;
}

double REDI::MeterValue(double level) {
  const double a = std::fabs(level);
  if (a > 2.0) return 1.0;
  if (a >= 0.031623) return (20.0 * std::log10(a) + 30.0) / 36.0;
  return 0.0;
}

void REDI::IdleHook() {
  IGraphics* g = GetGUI();
  if (g == nullptr || !g->WindowIsOpen() || editorControls.meter == nullptr) return;
  double level = 0.0;
  {
    // The audio thread writes the peak during its block.
    ScopedLock guard(Lock());
    level = vocoder.MeterLevel();
  }
  editorControls.meter->SetValueFromPlug(MeterValue(level));
}

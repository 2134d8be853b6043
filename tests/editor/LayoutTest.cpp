#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/IControls.h"
#include "editor/ZARKnobMultiControlText.h"
#include "editor/ZARPresetMenu.h"
#include "editor/ZARSwitchMidiLearn.h"
#include "instrument/ParameterIds.h"
#include "tests/editor/EditorPictures.h"
#include "tests/editor/LayoutRig.h"

namespace layouttest {
namespace {

int CountDifferent(const Picture& a, const Picture& b, const IRECT& area) {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) n += a.At(x, y) != b.At(x, y);
  return n;
}

// ---- The controls and where they are ----

struct Expected {
  int index;
  IRECT rect;
  int param;
};

TEST(LayoutTest, MainPageControlsSitWhereTheBackgroundNamesThem) {
  LayoutRig rig;
  ASSERT_EQ(rig.ui->NControls(), kNumControls);
  const Expected main[] = {
      {0, {0, 0, 800, 360}, -1},
      {1, {46, 60, 78, 92}, kTune},
      {2, {55, 184, 69, 204}, kOctaveUp},
      {3, {118, 180, 150, 212}, kInBalance},
      {4, {182, 180, 214, 212}, kExtLevel},
      {5, {246, 136, 266, 150}, kMeterMode},
      {6, {294, 180, 326, 212}, kMicLevel},
      {7, {46, 276, 78, 308}, kAccentBend},
      {8, {118, 276, 150, 308}, kVibratoSpeed},
      {9, {182, 276, 214, 308}, kVibratoDepth},
      {10, {248, 280, 262, 300}, kEnsemble},
      {11, {294, 276, 326, 308}, kPitchBend},
      {12, {706, 102, 746, 142}, kFinalVolume},
      {13, {710, 180, 742, 212}, kOutBalance},
      {14, {710, 244, 742, 276}, kVelocity},
      {15, {759, 248, 773, 268}, kKeyboard},
      {16, {204, 56, 304, 116}, 112},
      {17, {530, 160, 602, 232}, -1},
      {18, {0, 0, 800, 360}, -1},
      {108, {731, 260, 779, 280}, -114},
      {109, {546, 262, 674, 278}, kVocoderMode},
      {110, {410, 262, 538, 278}, kInputMode},
      {111, {390, 308, 633, 324}, -1},
      {112, {365, 305, 387, 327}, -108},
      {113, {416, 305, 438, 327}, -109},
      {114, {646, 306, 694, 326}, -110},
      {115, {759, 306, 779, 326}, -113},
      {116, {702, 305, 752, 327}, -111},
      {117, {712, 24, 776, 36}, -1},
  };
  for (const Expected& e : main) {
    const IControl* c = rig.ui->GetControl(e.index);
    EXPECT_EQ(c->GetRECT(), e.rect) << "control " << e.index + 1;
    EXPECT_EQ(c->ParamIdx(), e.param) << "control " << e.index + 1;
    EXPECT_TRUE(c->IsPromptDisabled()) << "control " << e.index + 1;
  }
  // The version text is the release and the build.
  const auto* version = static_cast<const ITextControl*>(rig.ui->GetControl(kVersionText));
  EXPECT_EQ(version->GetTextString().rfind("v1.1.1.", 0), 0u) << version->GetTextString();
}

TEST(LayoutTest, TweakPageHoldsTheSmallKnobsAndFourControlsPerBand) {
  LayoutRig rig;
  const int smallX[9] = {24, 56, 88, 136, 168, 216, 248, 288, 320};
  const int smallParam[9] = {kBias,
                             kLimit,
                             kSpeed,
                             kAttack,
                             kRelease,
                             kEnsembleLeftRate1,
                             kEnsembleLeftRate2,
                             kEnsembleRightRate1,
                             kEnsembleRightRate2};
  for (int i = 0; i < 9; ++i) {
    const IControl* c = rig.ui->GetControl(kFirstSmallKnob + i);
    EXPECT_EQ(c->GetRECT(), IRECT(smallX[i] - 4, 292, smallX[i] + 36, 340)) << "knob " << i;
    EXPECT_EQ(c->ParamIdx(), smallParam[i]) << "knob " << i;
  }
  for (int band = 0; band < kNumBands; ++band) {
    const int x = 64 + 36 * band;
    const int first = kFirstBandControl + 4 * band;
    EXPECT_EQ(rig.ui->GetControl(first)->GetRECT(), IRECT(x - 4, 80, x + 36, 128));
    EXPECT_EQ(rig.ui->GetControl(first)->ParamIdx(), kAnalysisFreq1 + band);
    EXPECT_EQ(rig.ui->GetControl(first + 1)->GetRECT(), IRECT(x - 4, 128, x + 36, 176));
    EXPECT_EQ(rig.ui->GetControl(first + 1)->ParamIdx(), kSynthesisFreq1 + band);
    EXPECT_EQ(rig.ui->GetControl(first + 2)->GetRECT(), IRECT(x - 4, 176, x + 36, 224));
    EXPECT_EQ(rig.ui->GetControl(first + 2)->ParamIdx(), kSynthesisLevel1 + band);
    EXPECT_EQ(rig.ui->GetControl(first + 3)->GetRECT(), IRECT(x + 9, 224, x + 23, 244));
    EXPECT_EQ(rig.ui->GetControl(first + 3)->ParamIdx(), kSynthesisFixed1 + band);
  }
  // Hidden at first, together; the bottom row never.
  for (int i = 0; i < kNumControls; ++i) {
    const bool onTweakPage = i >= kTweakBackground && i <= kToolsMenu;
    EXPECT_EQ(rig.ui->GetControl(i)->IsHidden(), onTweakPage) << "control " << i + 1;
  }
}

// ---- Pictures ----

TEST(LayoutTest, RendersBothPagesAtDefaultsAndWithFactoryProgramFive) {
  LayoutRig rig;
  rig.plug.InitProgram();  // every parameter at its default
  rig.Open();
  // The picture comes and goes at random; the renders leave it out.
  rig.ui->GetControl(kPicture)->Hide(true);
  const Picture mainDefaults = Render(rig);
  rig.ClickCentre(kPageSwitch);
  ASSERT_TRUE(rig.TweakPageShown());
  rig.ui->GetControl(kPicture)->Hide(true);
  const Picture tweakDefaults = Render(rig);

  rig.plug.SelectProgram(5);
  rig.Settle();
  rig.ui->GetControl(kPicture)->Hide(true);
  const Picture tweakFive = Render(rig);
  rig.ClickCentre(kPageSwitch);
  ASSERT_FALSE(rig.TweakPageShown());
  rig.ui->GetControl(kPicture)->Hide(true);
  const Picture mainFive = Render(rig);

  WriteArtifact(mainDefaults, "editor-main-defaults");
  WriteArtifact(tweakDefaults, "editor-tweak-defaults");
  WriteArtifact(mainFive, "editor-main-program5");
  WriteArtifact(tweakFive, "editor-tweak-program5");

  const IRECT whole(0, 0, REDI::kEditorWidth, REDI::kEditorHeight);
  EXPECT_GT(CountDifferent(mainDefaults, tweakDefaults, whole), 100000);
  // Program 5 moves knobs; both pages show its number and name.
  EXPECT_GT(CountDifferent(mainDefaults, mainFive, IRECT(0, 0, 360, 360)), 0);
  EXPECT_GT(CountDifferent(mainDefaults, mainFive, IRECT(390, 308, 414, 324)), 0);
  EXPECT_GT(CountDifferent(tweakDefaults, tweakFive, IRECT(390, 308, 414, 324)), 0);
  EXPECT_GT(CountDifferent(tweakDefaults, tweakFive, IRECT(441, 308, 633, 322)), 0);
  // Drawing the same state twice gives the same pixels.
  EXPECT_TRUE(Render(rig) == mainFive);
}

TEST(LayoutTest, EveryControlDrawsInsideItsRectangle) {
  LayoutRig rig;
  rig.Open();
  LICE_IBitmap* surface = rig.ui->GetDrawBitmap();
  constexpr LICE_pixel kUntouched = LICE_RGBA(1, 2, 3, 255);
  for (int i = 0; i < kNumControls; ++i) {
    IControl* c = rig.ui->GetControl(i);
    LICE_FillRect(surface, 0, 0, surface->getWidth(), surface->getHeight(), kUntouched);
    c->Draw(rig.ui);
    const Picture p = Capture(*rig.ui);
    const IRECT& r = c->GetRECT();
    int outside = 0;
    int inside = 0;
    for (int y = 0; y < p.h; ++y) {
      for (int x = 0; x < p.w; ++x) {
        if (p.At(x, y) == kUntouched) continue;
        (r.Contains(x, y) ? inside : outside) += 1;
      }
    }
    EXPECT_EQ(outside, 0) << "control " << i + 1;
    // The band display is empty in silence.
    const bool drawsSomething =
        r.W() > 0 && i != kToolsMenu && i != kOptionMenu && i != kPageSwitch && i != kBandDisplay;
    if (drawsSomething) {
      EXPECT_GT(inside, 0) << "control " << i + 1;
    }
  }
}

// Controls drawn again one by one leave the picture a full redraw gives,
// also between and around neighbours that changed together.
TEST(LayoutTest, ControlsChangedTogetherLeaveThePictureOfAFullRedraw) {
  LayoutRig rig;
  rig.Open();
  const IRECT whole(0, 0, REDI::kEditorWidth, REDI::kEditorHeight);
  auto changeAndCompare = [&](int first, int last, double value) {
    for (int i = first; i <= last; i += 2) rig.ui->GetControl(i)->SetValueFromPlug(value);
    rig.Settle();
    const Picture partial = Capture(*rig.ui);
    const IRECT picture = rig.ui->GetControl(kPicture)->GetRECT();  // shows at random
    const Picture full = Render(rig);
    EXPECT_EQ(CountDifferent(partial, full, whole) - CountDifferent(partial, full, picture), 0)
        << "controls " << first + 1 << " to " << last + 1;
  };
  changeAndCompare(kTuneKnob, kTuneKnob + 6, 0.9);
  rig.ClickCentre(kPageSwitch);
  ASSERT_TRUE(rig.TweakPageShown());
  changeAndCompare(kFirstSmallKnob, kFirstSmallKnob + 6, 0.1);
  changeAndCompare(kFirstBandControl, kFirstBandControl + 12, 0.7);
}

// ---- Mouse ----

void ExpectCentresReached(LayoutRig& rig, int first, int last) {
  for (int i = first; i <= last; ++i) {
    const IControl* c = rig.ui->GetControl(i);
    if (c->IsHidden() || i == kMeter || i == kBandDisplay) continue;
    const IRECT& r = c->GetRECT();
    EXPECT_EQ(rig.ui->GetMouseControlIdx((r.left + r.right) / 2, (r.top + r.bottom) / 2), i)
        << "control " << i + 1;
  }
}

TEST(LayoutTest, AClickAtEveryControlsCentreReachesIt) {
  LayoutRig rig;
  rig.Open();
  ExpectCentresReached(rig, kTuneKnob, kNumControls - 1);
  // The meter and the band display only show levels.
  const IRECT& meter = rig.ui->GetControl(kMeter)->GetRECT();
  EXPECT_EQ(rig.ui->GetMouseControlIdx(meter.left + 50, meter.top + 30), kBackground);
  const IRECT& bands = rig.ui->GetControl(kBandDisplay)->GetRECT();
  EXPECT_EQ(rig.ui->GetMouseControlIdx(bands.left + 70, bands.top + 40), kBackground);

  rig.ClickCentre(kPageSwitch);
  ASSERT_TRUE(rig.TweakPageShown());
  ExpectCentresReached(rig, kFirstSmallKnob, kNumControls - 1);
}

TEST(LayoutTest, OnTheTweakPageAClickBetweenControlsLandsOnItsBackground) {
  LayoutRig rig;
  rig.Open();
  rig.ClickCentre(kPageSwitch);
  ASSERT_TRUE(rig.TweakPageShown());
  const std::vector<double> before = rig.ParamValues();
  // Above, left and right of the bands, beside the version text and over
  // the bottom row.
  const int spots[][2] = {{300, 30}, {20, 150}, {380, 300}, {790, 100}, {700, 40}, {600, 300}};
  for (const auto& s : spots) {
    EXPECT_EQ(rig.ui->GetMouseControlIdx(s[0], s[1]), kTweakBackground) << s[0] << "," << s[1];
    rig.Click(s[0], s[1]);
    rig.ui->OnMouseDblClick(s[0], s[1], kLeft);
    rig.ui->OnMouseWheel(s[0], s[1], kLeft, 120);
  }
  EXPECT_EQ(rig.ParamValues(), before);
  EXPECT_TRUE(rig.host.automations.empty());
  EXPECT_TRUE(rig.ui->menus.empty());
  EXPECT_TRUE(rig.TweakPageShown());
}

TEST(LayoutTest, PageSwitchTurnsThePagesAndAClosedWindowKeepsThem) {
  LayoutRig rig;
  rig.Open();
  rig.ClickCentre(kPageSwitch);
  EXPECT_TRUE(rig.TweakPageShown());
  EXPECT_FALSE(rig.ui->GetControl(kFirstBandControl + 79)->IsHidden());
  EXPECT_FALSE(rig.ui->GetControl(kToolsMenu)->IsHidden());

  // With the window closed, a refresh leaves the page and the picture alone.
  rig.Close();
  const bool pictureHidden = rig.ui->GetControl(kPicture)->IsHidden();
  rig.plug.tweakPage = false;
  for (int i = 0; i < 30; ++i) rig.plug.RefreshParamControls();
  rig.Settle();
  EXPECT_TRUE(rig.TweakPageShown());
  EXPECT_EQ(rig.ui->GetControl(kPicture)->IsHidden(), pictureHidden);

  // Open again, the next refresh brings the page in line with the flag.
  rig.plug.tweakPage = true;
  rig.Open();
  rig.ClickCentre(kPageSwitch);
  EXPECT_FALSE(rig.TweakPageShown());
  EXPECT_TRUE(rig.ui->GetControl(kFirstSmallKnob)->IsHidden());
}

TEST(LayoutTest, ThePictureShowsInAboutOneRefreshInTen) {
  LayoutRig rig;
  rig.Open();
  int shown = 0;
  for (int i = 0; i < 1000; ++i) {
    rig.plug.RefreshParamControls();
    rig.plug.ApplyEditorRefresh();  // as the editor's tick does, without the drawing
    shown += !rig.ui->GetControl(kPicture)->IsHidden();
  }
  EXPECT_GT(shown, 50);
  EXPECT_LT(shown, 150);
}

// ---- Plug-in side ----

TEST(LayoutTest, MeterFollowsALoudBlockAndFallsInSilence) {
  LayoutRig rig;
  rig.Open();
  rig.plug.ChangeSampleRate(44100.0);
  rig.plug.ResetState();
  rig.plug.Activate(true);
  constexpr int kFrames = 1024;
  std::vector<std::vector<double>> in(4, std::vector<double>(kFrames, 0.0));
  std::vector<std::vector<double>> out(2, std::vector<double>(kFrames, 0.0));
  double* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
  double* outputs[2] = {out[0].data(), out[1].data()};
  auto meter = [&] { return rig.ui->GetControl(kMeter)->GetValue(); };

  for (int i = 0; i < kFrames; ++i) in[0][i] = in[1][i] = (i / 20) % 2 ? 0.9 : -0.9;
  rig.plug.ProcessBlock(inputs, outputs, kFrames);
  rig.plug.IdleHook();
  const double loud = meter();
  EXPECT_GT(loud, 0.6);
  EXPECT_NEAR(loud, REDI::MeterValue(rig.plug.vocoder.MeterLevel()), 1e-12);

  for (auto& channel : in) std::fill(channel.begin(), channel.end(), 0.0);
  rig.plug.ProcessBlock(inputs, outputs, kFrames);
  rig.plug.IdleHook();
  EXPECT_LT(meter(), loud);
  for (int block = 0; block < 20; ++block) rig.plug.ProcessBlock(inputs, outputs, kFrames);
  rig.plug.IdleHook();
  EXPECT_EQ(meter(), 0.0);

  // Closed, the meter stays where it was.
  for (auto& channel : in) std::fill(channel.begin(), channel.end(), 0.9);
  rig.plug.ProcessBlock(inputs, outputs, kFrames);
  rig.Close();
  rig.plug.IdleHook();
  EXPECT_EQ(meter(), 0.0);
}

TEST(LayoutTest, MeterSpansMinus30ToPlus6Decibels) {
  EXPECT_EQ(REDI::MeterValue(0.0), 0.0);
  EXPECT_EQ(REDI::MeterValue(0.0316), 0.0);
  EXPECT_NEAR(REDI::MeterValue(0.031623), 0.0, 1e-5);
  EXPECT_NEAR(REDI::MeterValue(1.0), 30.0 / 36.0, 1e-12);
  EXPECT_NEAR(REDI::MeterValue(-1.0), 30.0 / 36.0, 1e-12);
  EXPECT_NEAR(REDI::MeterValue(2.0), (20.0 * std::log10(2.0) + 30.0) / 36.0, 1e-12);
  EXPECT_EQ(REDI::MeterValue(2.5), 1.0);
}

TEST(LayoutTest, LearnSwitchArmsLearningAndTheCompletedLearnTurnsItOff) {
  LayoutRig rig;
  rig.Open();
  rig.ClickCentre(kLearnSwitch);
  EXPECT_EQ(rig.ui->GetControl(kLearnSwitch)->GetValue(), 1.0);
  EXPECT_TRUE(rig.plug.learnActive);
  EXPECT_FALSE(rig.plug.learnForget);

  // A knob moved, then a controller: the pair is learned.
  rig.ui->OnMouseDown(62, 76, kLeft);
  rig.ui->OnMouseDrag(62, 66, kLeft);
  rig.ui->OnMouseUp(62, 66, kLeft);
  EXPECT_EQ(rig.plug.learnParameter, kTune);
  rig.plug.HandleMidiMessage({0, 0xB0, 21, 64});
  EXPECT_EQ(rig.plug.controllerMap[21], kTune);
  EXPECT_FALSE(rig.plug.learnActive);
  // The switch follows at the editor's next tick.
  EXPECT_EQ(rig.ui->GetControl(kLearnSwitch)->GetValue(), 1.0);
  rig.Settle();
  EXPECT_EQ(rig.ui->GetControl(kLearnSwitch)->GetValue(), 0.0);

  // The right button arms forgetting, with its own picture.
  rig.ClickCentre(kLearnSwitch, kRight);
  EXPECT_TRUE(rig.plug.learnActive);
  EXPECT_TRUE(rig.plug.learnForget);
  auto* learn = static_cast<ZARSwitchMidiLearn*>(rig.ui->GetControl(kLearnSwitch));
  EXPECT_TRUE(learn->Forgetting());
  rig.plug.HandleMidiMessage({0, 0xB0, 21, 0});
  EXPECT_EQ(rig.plug.controllerMap[21], -1);
  rig.Settle();
  EXPECT_EQ(learn->GetValue(), 0.0);
  // A second click disarms without learning anything.
  rig.ClickCentre(kLearnSwitch);
  rig.ClickCentre(kLearnSwitch);
  EXPECT_FALSE(rig.plug.learnActive);
}

TEST(LayoutTest, TheEffectRecordOffersTheEditorWhereThereIsAWindow) {
  RecordingHost host;
  REDI plug(&host);
  const int32_t flags = plug.Effect()->flags;
  EXPECT_EQ(flags & ~1, 0x1030);
  EXPECT_EQ((flags & 1) != 0, plug.GetGUI()->HasNativeWindow());
}

}  // namespace
}  // namespace layouttest

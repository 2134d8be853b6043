// The live band display: bars from the engine's band envelopes, a smooth
// fall, redraws only when a bar moves, hidden behind the tweak page.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "editor/ZARBandDisplay.h"
#include "tests/editor/EditorPictures.h"
#include "tests/editor/LayoutRig.h"

namespace {

using layouttest::kBandDisplay;
using layouttest::LayoutRig;

ZARBandDisplay& Display(LayoutRig& rig) {
  return *static_cast<ZARBandDisplay*>(rig.ui->GetControl(kBandDisplay));
}

// REDI playing a sine into both MIC inputs, in blocks of 10 ms.
struct PlayingRig : LayoutRig {
  PlayingRig() {
    plug.ChangeSampleRate(48000.0);
    plug.ResetState();
    plug.Activate(true);
    Open();
  }
  void Play(double frequency, double amplitude, int blocks) {
    std::vector<double> in(480), out[2] = {std::vector<double>(480), std::vector<double>(480)};
    std::vector<double> ext(480, 0.0);
    for (int k = 0; k < blocks; ++k) {
      for (int i = 0; i < 480; ++i, ++frame)
        in[i] = amplitude * std::sin(6.283185307179586 * frequency * frame / 48000.0);
      double* inputs[4] = {in.data(), in.data(), ext.data(), ext.data()};
      double* outputs[2] = {out[0].data(), out[1].data()};
      plug.ProcessBlock(inputs, outputs, 480);
      ui->Tick();
    }
  }
  long frame = 0;
};

int Lit(const LayoutRig& rig, const IRECT& area) {
  LICE_IBitmap* s = rig.ui->GetDrawBitmap();
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      n += (s->getBits()[y * s->getRowSpan() + x] & 0xff0000) > 0x600000;  // red enough
  return n;
}

TEST(BandDisplay, MovesWithTheVoiceInItsBandAndIsStillInSilence) {
  PlayingRig rig;
  ZARBandDisplay& display = Display(rig);
  const IRECT area = display.GetRECT();
  const int litInSilence = Lit(rig, area);
  rig.Play(kBandDefaultFrequencies[6], 0.25, 30);
  EXPECT_GT(display.BarHeight(6), area.H() / 2);
  for (int b : {0, 12, 19}) EXPECT_LT(display.BarHeight(b), display.BarHeight(6) / 2) << b;
  EXPECT_GT(Lit(rig, area), litInSilence + 3 * display.BarHeight(6));
  layouttest::WriteArtifact(layouttest::Capture(*rig.ui), "editor-main-bands-moving");

  // Silence: the bar falls smoothly (no step larger than one tick's fall).
  const double fallPerTick = ZARBandDisplay::kFallDbPerSecond / rig.ui->FPS();
  const double pixelsPerDb = area.H() / (ZARBandDisplay::kTopDb - ZARBandDisplay::kFloorDb);
  int before = display.BarHeight(6);
  int ticks = 0;
  while (display.BarHeight(6) > 0 && ticks < 100) {
    rig.Play(0.0, 0.0, 1);
    EXPECT_LE(before - display.BarHeight(6), std::ceil(fallPerTick * pixelsPerDb)) << ticks;
    before = display.BarHeight(6);
    ++ticks;
  }
  EXPECT_GT(ticks, 5);  // not at once
  EXPECT_LT(ticks, 2 * rig.ui->FPS());
  rig.Play(0.0, 0.0, 50);
  for (int b = 0; b < kNumBands; ++b) EXPECT_EQ(display.BarHeight(b), 0) << b;
  EXPECT_EQ(Lit(rig, area), litInSilence);
  // Still: nothing left to redraw.
  IRECT dirty;
  EXPECT_FALSE(rig.ui->IsDirty(&dirty));
}

TEST(BandDisplay, DrawsNoiseBandsPaleAndFixedBandsOpen) {
  PlayingRig rig;
  rig.plug.HostSetParameter(kInBalance, 0.5);  // keyboard and noise
  rig.plug.HostSetParameter(kSynthesisFixed1 + 2, 1.0);
  rig.Play(kBandDefaultFrequencies[17], 0.25, 30);
  rig.Play(kBandDefaultFrequencies[9], 0.25, 3);
  ZARBandDisplay& display = Display(rig);
  EXPECT_EQ(display.BarKind(9), BandLevels::kCarrier);
  EXPECT_EQ(display.BarKind(17), BandLevels::kNoise);
  EXPECT_EQ(display.BarKind(2), BandLevels::kFixed);
  ASSERT_GT(display.BarHeight(17), 4);
  ASSERT_GT(display.BarHeight(9), 4);
  const IRECT& r = display.GetRECT();
  LICE_IBitmap* s = rig.ui->GetDrawBitmap();
  auto pixel = [&](int band) {
    const int x = r.left + band * ZARBandDisplay::kBarPitch + 1;
    return s->getBits()[(r.bottom - 2) * s->getRowSpan() + x];
  };
  // Amber has little blue; the pale ink has as much blue as red.
  EXPECT_LT(LICE_GETB(pixel(9)) * 2, LICE_GETR(pixel(9)));
  EXPECT_GE(LICE_GETB(pixel(17)) * 10, LICE_GETR(pixel(17)) * 9);
  // The fixed band's outline reaches the top.
  const int x = r.left + 2 * ZARBandDisplay::kBarPitch + 1;
  EXPECT_GT(LICE_GETR(s->getBits()[r.top * s->getRowSpan() + x]), 100);
}

TEST(BandDisplay, HidesBehindTheTweakPageAndComesBackMoving) {
  PlayingRig rig;
  rig.ClickCentre(layouttest::kPageSwitch);
  ASSERT_TRUE(rig.TweakPageShown());
  ZARBandDisplay& display = Display(rig);
  EXPECT_TRUE(display.IsHidden());
  const std::vector<LICE_pixel> tweak(rig.ui->GetDrawBitmap()->getBits(),
                                      rig.ui->GetDrawBitmap()->getBits() + 800 * 360);
  rig.Play(kBandDefaultFrequencies[6], 0.25, 30);
  EXPECT_FALSE(display.IsDirty());
  EXPECT_EQ(std::vector<LICE_pixel>(rig.ui->GetDrawBitmap()->getBits(),
                                    rig.ui->GetDrawBitmap()->getBits() + 800 * 360),
            tweak);
  rig.ClickCentre(layouttest::kPageSwitch);
  rig.Play(kBandDefaultFrequencies[6], 0.25, 2);
  EXPECT_FALSE(display.IsHidden());
  EXPECT_GT(display.BarHeight(6), display.GetRECT().H() / 2);
}

}  // namespace

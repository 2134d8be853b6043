#pragma once

#include "editor/IControl.h"
#include "engine/BandLevels.h"

// The live band display on the main page: one bar per band showing the
// envelope the engine computes (the louder channel), in dB, rising at once
// and falling smoothly. Bands that vocode the noise alone are drawn pale,
// fixed bands as an open outline. The levels come from the engine on every
// editor tick; the display redraws only when a bar's height changes.
class ZARBandDisplay : public IControl {
 public:
  static constexpr int kBarPitch = 7;  // pixels from one bar to the next
  static constexpr int kBarWidth = 4;
  static constexpr double kTopDb = 20.0;  // the envelope ceiling "Limit" starts from (10)
  static constexpr double kFloorDb = -28.0;
  static constexpr double kFallDbPerSecond = 72.0;

  // The bars stand on the rectangle's bottom edge; levels may be null.
  ZARBandDisplay(IPlugBase* plug, const IRECT& rect, const BandLevels* levels);
  void OnGUIIdle() override;
  bool Draw(IGraphics* graphics) override;
  bool ShowsLiveLevels() const override { return true; }

  // The bar's height in pixels and its kind, as last drawn or about to be.
  int BarHeight(int band) const { return heights[band]; }
  BandLevels::Kind BarKind(int band) const { return kinds[band]; }

 private:
  int HeightFor(double db) const;

  const BandLevels* levels;
  double shownDb[kNumBands];
  int heights[kNumBands] = {};
  BandLevels::Kind kinds[kNumBands] = {};
};

#include "editor/ZARBandDisplay.h"

#include <algorithm>
#include <cmath>

#include "editor/IGraphics.h"

namespace {

const IColor kCarrierColour(255, 255, 168, 51);  // the panel's amber
const IColor kNoiseColour(255, 222, 227, 232);   // the panel's ink

IColor WithAlpha(const IColor& c, double alpha) {
  return IColor(static_cast<int>(std::lround(255.0 * alpha)), c.R, c.G, c.B);
}

}  // namespace

ZARBandDisplay::ZARBandDisplay(IPlugBase* plug, const IRECT& rect, const BandLevels* levels_)
    : IControl(plug, rect), levels(levels_) {
  std::fill(std::begin(shownDb), std::end(shownDb), kFloorDb);
  // Only the engine moves it: the mouse passes through.
  SetTargetArea(IRECT());
}

int ZARBandDisplay::HeightFor(double db) const {
  const double fraction = (db - kFloorDb) / (kTopDb - kFloorDb);
  return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * rect.H()));
}

void ZARBandDisplay::OnGUIIdle() {
  if (levels == nullptr || IsHidden() || GetGUI() == nullptr) return;
  const double fall = kFallDbPerSecond / std::max(GetGUI()->FPS(), 1);
  bool changed = false;
  for (int b = 0; b < kNumBands; ++b) {
    const float level = levels->Level(b);
    const double db = level > 0.0f ? 20.0 * std::log10(static_cast<double>(level)) : kFloorDb;
    shownDb[b] = std::max(db, std::max(shownDb[b] - fall, kFloorDb));
    const BandLevels::Kind kind = levels->KindOf(b);
    const int height = HeightFor(shownDb[b]);
    if (height != heights[b] || kind != kinds[b]) changed = true;
    heights[b] = height;
    kinds[b] = kind;
  }
  if (changed) SetDirty(false);
}

bool ZARBandDisplay::Draw(IGraphics* graphics) {
  const int full = rect.H();
  for (int b = 0; b < kNumBands; ++b) {
    const int left = rect.left + b * kBarPitch;
    const int right = left + kBarWidth;
    if (kinds[b] == BandLevels::kFixed) {
      // Always open: an outline the full height.
      graphics->FillIRect(WithAlpha(kCarrierColour, 0.10),
                          IRECT(left, rect.top, right, rect.bottom));
      graphics->FillIRect(WithAlpha(kCarrierColour, 0.55),
                          IRECT(left, rect.top, right, rect.top + 1));
      continue;
    }
    const int height = heights[b];
    if (height <= 0) continue;
    const IColor& colour = kinds[b] == BandLevels::kNoise ? kNoiseColour : kCarrierColour;
    // Brighter towards the top of the scale, as the printed bars were.
    for (int row = 0; row < height; ++row) {
      const int y = rect.bottom - 1 - row;
      const double alpha = 0.22 + 0.6 * static_cast<double>(row) / full;
      graphics->FillIRect(WithAlpha(colour, alpha), IRECT(left, y, right, y + 1));
    }
    const int top = rect.bottom - height;
    graphics->FillIRect(WithAlpha(colour, 0.95), IRECT(left, top, right, top + 1));
  }
  return true;
}

#pragma once

// The editor's pixels as the same build draws them without a window, to
// compare with what a window shows.

#include <cstdint>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/LayoutRig.h"
#include "editor/drawing/LICE.h"

namespace x11test {

constexpr int kEditorW = 800;
constexpr int kEditorH = 360;

// What the same build draws for REDI's editor without a window, after the
// same clicks.
inline std::vector<uint32_t> HeadlessRender(bool tweakPage, int percent = 100) {
  layouttest::LayoutRig rig;
  rig.ui->SetSizePercent(percent);
  rig.Open();
  if (tweakPage) rig.ClickCentre(layouttest::kPageSwitch);
  IGraphics* gui = rig.plug.GetGUI();
  gui->SetAllControlsDirty();
  gui->Draw(IRECT(0, 0, gui->Width(), gui->Height()));
  std::vector<uint32_t> pixels;
  LICE_IBitmap* surface = gui->GetDrawBitmap();
  for (int y = 0; y < surface->getHeight(); ++y) {
    for (int x = 0; x < surface->getWidth(); ++x) {
      pixels.push_back(surface->getBits()[y * surface->getRowSpan() + x] & 0xffffff);
    }
  }
  return pixels;
}

// The picture beside the vocoder mode shows up at random on refreshes.
inline const IRECT kPictureArea(530, 160, 602, 232);

// Pictures of the editor at an editor size (percent).
inline int DifferentPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                           int percent = 100) {
  const int w = (kEditorW * percent + 50) / 100, h = (kEditorH * percent + 50) / 100;
  if (a.size() != b.size() || a.size() != static_cast<size_t>(w) * h) return -1;
  auto px = [percent](int v) { return (v * percent + 50) / 100; };
  const IRECT picture(px(kPictureArea.left), px(kPictureArea.top), px(kPictureArea.right),
                      px(kPictureArea.bottom));
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int x = static_cast<int>(i % w);
    const int y = static_cast<int>(i / w);
    if (picture.Contains(x, y)) continue;
    n += a[i] != b[i] ? 1 : 0;
  }
  return n;
}

}  // namespace x11test

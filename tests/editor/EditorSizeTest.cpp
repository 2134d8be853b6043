// The editor at every size: the surface, bitmaps drawn for the size, text
// drawn by the font engine at the size, and the same picture as at 100 %,
// only sharper, never pixel-doubled.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/editor/EditorPictures.h"
#include "tests/editor/LayoutRig.h"

namespace layouttest {
namespace {

struct SizedRig : LayoutRig {
  explicit SizedRig(int percent) {
    ui->SetSizePercent(percent);
    Open();
  }
};

double Luminance(uint32_t p) {
  return 0.2126 * LICE_GETR(p) + 0.7152 * LICE_GETG(p) + 0.0722 * LICE_GETB(p);
}

// The mean of the steepest 2 % of the steps between horizontal neighbours
// in the area, per pixel: a blurred or stretched picture has gentler steps.
double Steepness(const Picture& p, const IRECT& area) {
  std::vector<double> steps;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x + 1 < area.right; ++x)
      steps.push_back(std::fabs(Luminance(p.At(x + 1, y)) - Luminance(p.At(x, y))));
  std::sort(steps.rbegin(), steps.rend());
  const size_t n = std::max<size_t>(steps.size() / 50, 1);
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += steps[i];
  return sum / static_cast<double>(n);
}

// The 100 % picture stretched to a size by bilinear interpolation, as a host
// that scales a plug-in's window shows it: the blur to stay clear of.
Picture Stretched(const Picture& p, int percent) {
  Picture out;
  out.w = (p.w * percent + 50) / 100;
  out.h = (p.h * percent + 50) / 100;
  for (int y = 0; y < out.h; ++y) {
    for (int x = 0; x < out.w; ++x) {
      const double sx = std::clamp((x + 0.5) * 100.0 / percent - 0.5, 0.0, p.w - 1.0);
      const double sy = std::clamp((y + 0.5) * 100.0 / percent - 0.5, 0.0, p.h - 1.0);
      const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
      const int x1 = std::min(x0 + 1, p.w - 1), y1 = std::min(y0 + 1, p.h - 1);
      const double fx = sx - x0, fy = sy - y0;
      uint32_t pixel = 0xff000000u;
      for (int shift : {0, 8, 16}) {
        auto c = [&](int xx, int yy) {
          return static_cast<double>((p.At(xx, yy) >> shift) & 0xff);
        };
        const double v = (c(x0, y0) * (1 - fx) + c(x1, y0) * fx) * (1 - fy) +
                         (c(x0, y1) * (1 - fx) + c(x1, y1) * fx) * fy;
        pixel |= static_cast<uint32_t>(std::lround(v)) << shift;
      }
      out.pixels.push_back(pixel);
    }
  }
  return out;
}

// Of the 2 x 2 blocks of the 200 % picture at the places where the 100 %
// picture changes from one pixel to the next, the share whose four pixels
// are alike: 1 for a pixel-doubled picture.
double DoubledShare(const Picture& at100, const Picture& at200, const IRECT& area) {
  int edges = 0, doubled = 0;
  for (int y = area.top; y + 1 < area.bottom; ++y) {
    for (int x = area.left; x + 1 < area.right; ++x) {
      if (at100.At(x, y) == at100.At(x + 1, y) && at100.At(x, y) == at100.At(x, y + 1)) continue;
      const uint32_t a = at200.At(2 * x, 2 * y);
      ++edges;
      doubled += a == at200.At(2 * x + 1, 2 * y) && a == at200.At(2 * x, 2 * y + 1) &&
                 a == at200.At(2 * x + 1, 2 * y + 1);
    }
  }
  return edges > 0 ? static_cast<double>(doubled) / edges : 1.0;
}

TEST(EditorSize, EverySizeDrawsBothPagesAtItsPixelSize) {
  for (int percent : IGraphics::kSizes) {
    SCOPED_TRACE(percent);
    SizedRig rig(percent);
    const int w = rig.ui->PixelWidth(), h = rig.ui->PixelHeight();
    EXPECT_EQ(w, (800 * percent + 50) / 100);
    EXPECT_EQ(h, (360 * percent + 50) / 100);
    const Picture main = Render(rig);
    ASSERT_EQ(main.w, w);
    ASSERT_EQ(main.h, h);
    WriteArtifact(main, "editor-main-" + std::to_string(percent));
    rig.ClickCentre(kPageSwitch);
    ASSERT_TRUE(rig.TweakPageShown());
    WriteArtifact(Render(rig), "editor-tweak-" + std::to_string(percent));
    // The logical layout is the same at every size.
    EXPECT_EQ(rig.ui->Width(), 800);
    EXPECT_EQ(rig.ui->GetControl(kTuneKnob)->GetRECT().left, 46);
  }
  SizedRig rig(200);
  EXPECT_EQ(rig.ui->PixelWidth(), 1600);
  EXPECT_EQ(rig.ui->PixelHeight(), 720);
}

// Sharp: the steepest steps across a knob's and a text's edges stay close to
// those at 100 % and well above those of the 100 % picture stretched.
TEST(EditorSize, KnobsAndTextsAreAsSharpAt150And200AsAt100AndNotPixelDoubled) {
  SizedRig at100(100);
  const Picture p100 = Render(at100);
  const IRECT knob = at100.ui->GetControl(kTuneKnob)->GetRECT();
  const IRECT name(441, 308, 633, 322);  // the program name, drawn by the font engine
  for (int percent : {150, 200}) {
    SCOPED_TRACE(percent);
    SizedRig rig(percent);
    const Picture p = Render(rig);
    const Picture stretched = Stretched(p100, percent);
    for (const IRECT& area : {knob, name}) {
      const IRECT at = rig.ui->ToPixels(area);
      // Measured: 0.65 to 0.95 of the 100 % steps (a one-pixel line becomes
      // 1.5 pixels at 150 %), 1.25 to 2.1 times the stretched picture's.
      EXPECT_GT(Steepness(p, at), 0.6 * Steepness(p100, area)) << area.left;
      EXPECT_GT(Steepness(p, at), 1.15 * Steepness(stretched, at)) << area.left;
    }
    if (percent == 200) {
      EXPECT_LT(DoubledShare(p100, p, knob), 0.5);
      EXPECT_LT(DoubledShare(p100, p, name), 0.5);
    }
  }
}

TEST(EditorSize, ControlsAreHitWhereTheyAreDrawnAtEverySize) {
  for (int percent : IGraphics::kSizes) {
    SizedRig rig(percent);
    // Every control's centre on the window, on both pages, reaches it.
    for (bool tweak : {false, true}) {
      if (tweak) rig.ClickCentre(kPageSwitch);
      // The tweak page covers the main page's controls.
      for (int i = tweak ? kFirstSmallKnob : kTuneKnob; i < kNumControls; ++i) {
        const IControl* c = rig.ui->GetControl(i);
        if (c->IsHidden() || c->GetTargetRECT().W() == 0) continue;  // the meter, the bands
        const IRECT at = rig.ui->ToPixels(c->GetTargetRECT());
        const int x = rig.ui->ToLogical((at.left + at.right) / 2);
        const int y = rig.ui->ToLogical((at.top + at.bottom) / 2);
        EXPECT_EQ(rig.ui->GetMouseControlIdx(x, y), i) << percent << " % control " << i;
      }
    }
    rig.ClickCentre(kPageSwitch);
    // A window's pixel position, taken back to the layout.
    const IRECT knob = rig.ui->ToPixels(rig.ui->GetControl(kTuneKnob)->GetRECT());
    const int x = rig.ui->ToLogical((knob.left + knob.right) / 2);
    const int y = rig.ui->ToLogical((knob.top + knob.bottom) / 2);
    EXPECT_EQ(rig.ui->GetMouseControlIdx(x, y), kTuneKnob) << percent;
    EXPECT_EQ(rig.ui->ToLogical(rig.ui->ToPixels(IRECT(3, 5, 17, 29))).left, 3) << percent;
    EXPECT_EQ(rig.ui->ToLogical(rig.ui->ToPixels(IRECT(3, 5, 17, 29))).bottom, 29) << percent;
  }
}

}  // namespace
}  // namespace layouttest

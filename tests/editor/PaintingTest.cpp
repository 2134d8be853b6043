// What is drawn when, what the surface shows after partial redraws, which
// frame a strip shows, and the idle counter.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/editor/EditorTestSupport.h"

namespace editortest {
namespace {

using Log = std::vector<std::string>;

// Background, a and b overlapping, c apart, d hidden over b.
class PaintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IGraphicsHeadless& g = *rig.graphics;
    back = Probe("back", IRECT(0, 0, 200, 100));
    a = Probe("a", IRECT(10, 10, 50, 50));
    b = Probe("b", IRECT(40, 40, 80, 80), kWhole);
    c = Probe("c", IRECT(150, 10, 190, 50));
    d = Probe("d", IRECT(60, 60, 70, 70), kWhole);
    for (ProbeControl* control : {back, a, b, c, d}) g.AttachControl(control);
    d->Hide(true);
    rig.Open();
  }
  ProbeControl* Probe(const char* name, const IRECT& r, int paramIdx = -1) {
    return new ProbeControl(&rig.plug, &rig.log, name, r, paramIdx);
  }

  Rig rig;
  ProbeControl *back, *a, *b, *c, *d;
};

TEST_F(PaintingTest, DirtyControlRedrawsItselfAndWhatOverlapsItInListOrder) {
  b->SetDirty(false);
  IRECT r;
  ASSERT_TRUE(rig.graphics->IsDirty(&r));
  EXPECT_EQ(r, IRECT(40, 40, 80, 80));
  rig.graphics->Tick();
  EXPECT_EQ(rig.log, (Log{"back draw", "a draw", "b draw"}));
  EXPECT_EQ(rig.graphics->painted.back(), IRECT(40, 40, 80, 80));

  rig.log.clear();
  c->SetDirty(false);
  a->SetDirty(false);
  rig.graphics->Tick();
  EXPECT_EQ(rig.log, (Log{"back draw", "a draw", "b draw", "back draw", "c draw"}));
}

TEST_F(PaintingTest, DirtyBackgroundRedrawsEveryVisibleControl) {
  back->SetDirty(false);
  rig.graphics->Tick();
  EXPECT_EQ(rig.log, (Log{"back draw", "a draw", "b draw", "c draw"}));
}

TEST_F(PaintingTest, StrictModeDrawsWhatOverlapsTheRegionAndCleansAll) {
  rig.graphics->SetStrictDrawing(true);
  c->SetDirty(false);
  a->SetDirty(false);
  rig.graphics->Tick();  // region: a and c together
  EXPECT_EQ(rig.log, (Log{"back draw", "a draw", "b draw", "c draw"}));
  IRECT r;
  EXPECT_FALSE(rig.graphics->IsDirty(&r));
}

TEST_F(PaintingTest, HiddenControlIsNeitherDrawnNorHitButFollowsThePlugIn) {
  rig.plug.HostSetParameter(kWhole, 0.25f);
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(d->GetValue(), 0.25);
  EXPECT_DOUBLE_EQ(b->GetValue(), 0.25);
  EXPECT_EQ(rig.graphics->GetMouseControlIdx(65, 65), 2);
  for (const std::string& entry : rig.log) EXPECT_NE(entry, "d draw");
}

TEST_F(PaintingTest, ChangedControlStaysDirtyOneMoreTickAfterDrawing) {
  rig.plug.HostSetParameter(kWhole, 0.75f);  // b and d change value
  rig.graphics->Tick();
  EXPECT_TRUE(b->IsDirty());
  rig.log.clear();
  rig.graphics->Tick();  // b's overlaps, then the hidden d's
  EXPECT_EQ(rig.log, (Log{"back draw", "a draw", "b draw", "back draw", "b draw"}));
  EXPECT_FALSE(b->IsDirty());
  EXPECT_FALSE(d->IsDirty());

  b->SetDirty(false);  // a plain redraw request lasts one tick
  rig.graphics->Tick();
  EXPECT_FALSE(b->IsDirty());
}

TEST_F(PaintingTest, IdleHookRunsAfter21CleanTicksAndADirtyTickRestartsTheCount) {
  for (int i = 0; i < 20; ++i) rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 0);
  rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 1);

  for (int i = 0; i < 10; ++i) rig.graphics->Tick();
  c->SetDirty(false);
  rig.graphics->Tick();  // drawn: the count starts again
  for (int i = 0; i < 20; ++i) rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 1);
  rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 2);
}

// A level display that moves with the audio.
class LiveProbe : public ProbeControl {
 public:
  using ProbeControl::ProbeControl;
  bool ShowsLiveLevels() const override { return true; }
  void OnGUIIdle() override { SetDirty(false); }
};

TEST_F(PaintingTest, ALiveLevelDisplayRedrawsEveryTickAndLeavesTheIdleCountRunning) {
  auto* live = new LiveProbe(&rig.plug, &rig.log, "live", IRECT(200, 0, 220, 20));
  rig.graphics->AttachControl(live);
  rig.log.clear();
  for (int i = 0; i < 21; ++i) rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 1);
  EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "live draw"), 21);
  // Any other control drawn restarts the count, as before.
  for (int i = 0; i < 10; ++i) rig.graphics->Tick();
  c->SetDirty(false);
  rig.graphics->Tick();
  for (int i = 0; i < 20; ++i) rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 1);
  rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 2);
}

TEST_F(PaintingTest, IdleHookRunsOnEveryTickWhenTheHostMakesNoIdleCalls) {
  rig.graphics->SetIdleHookEveryTick(true);
  for (int i = 0; i < 5; ++i) rig.graphics->Tick();
  c->SetDirty(false);
  rig.graphics->Tick();  // a redraw does not stop it
  EXPECT_EQ(rig.plug.idleCalls, 6);
  rig.graphics->SetIdleHookEveryTick(false);
  for (int i = 0; i < 20; ++i) rig.graphics->Tick();
  EXPECT_EQ(rig.plug.idleCalls, 6);
}

TEST_F(PaintingTest, OpeningTheWindowMarksEveryControlDirty) {
  rig.graphics->CloseWindow();
  rig.graphics->OpenWindow(nullptr);
  for (ProbeControl* control : {back, a, b, c, d}) EXPECT_TRUE(control->IsDirty());
}

TEST(FrameTest, StripShowsFrameRoundOfNMinusOneTimesValuePlusOne) {
  Rig rig;
  auto strip = MakeStrip(8, 6, 5);
  auto* knob = new IKnobMultiControl(&rig.plug, 10, 20, kReal, IBitmap(strip.get(), 8, 30, 5));
  rig.graphics->AttachControl(knob);
  rig.Open();
  const std::pair<float, int> cases[] = {{0.0f, 1}, {0.5f, 3}, {1.0f, 5}, {0.374f, 2}, {0.376f, 3}};
  for (const auto& [value, frame] : cases) {
    rig.plug.HostSetParameter(kReal, value);
    rig.graphics->Tick();
    EXPECT_EQ(PixelAt(*rig.graphics, 10, 20), FrameColour(frame)) << value;
    EXPECT_EQ(PixelAt(*rig.graphics, 17, 25), FrameColour(frame)) << value;
  }
  EXPECT_EQ(IGraphics::FrameForValue(65, 0.5), 33);
  EXPECT_EQ(IGraphics::FrameForValue(1, 0.9), 1);
  EXPECT_EQ(IGraphics::FrameForValue(3, 7.0), 3);
}

TEST(FrameTest, FrameOffsetRoundsHeightTimesFrameShareAndSwitchBitmapsUseIt) {
  EXPECT_EQ(IGraphics::FrameOffset(10, 3, 1), 0);
  EXPECT_EQ(IGraphics::FrameOffset(10, 3, 2), 3);  // round(3.33)
  EXPECT_EQ(IGraphics::FrameOffset(10, 3, 3), 7);  // round(6.67)
  EXPECT_EQ(IGraphics::FrameOffset(10, 1, 2), 0);

  Rig rig;
  auto strip = MakeStrip(4, 5, 2);
  auto* sw = new ISwitchControl(&rig.plug, 0, 0, kFlag, IBitmap(strip.get(), 4, 10, 2));
  rig.graphics->AttachControl(sw);
  rig.Open();
  EXPECT_EQ(PixelAt(*rig.graphics, 1, 1), FrameColour(1));
  rig.graphics->OnMouseDown(1, 1, kLeft);
  rig.graphics->Tick();
  EXPECT_EQ(PixelAt(*rig.graphics, 1, 1), FrameColour(2));
  EXPECT_EQ(PixelAt(*rig.graphics, 3, 4), FrameColour(2));
}

TEST(FrameTest, BitmapWithoutPixelsDrawsNothing) {
  Rig rig;
  rig.Attach();
  EXPECT_EQ(rig.graphics->LoadIBitmap(9000, "nothing.png", 3).bitmap, nullptr);
  const IBitmap none;
  EXPECT_FALSE(rig.graphics->DrawBitmapFrame(none, IRECT(0, 0, 10, 10), 1));
}

// Paints its rectangle in a colour made from its value, partly see-through
// when asked, and optionally the value as text.
class SwatchControl : public IControl {
 public:
  SwatchControl(IPlugBase* plug, const IRECT& r, int alpha, bool label)
      : IControl(plug, r), alpha(alpha), label(label) {}
  bool Draw(IGraphics* graphics) override {
    const int v = static_cast<int>(GetValue() * 255.0);
    graphics->FillIRect(IColor(alpha, v, 255 - v, (v * 7) & 255), GetRECT());
    if (!label) return true;
    const std::string text = std::to_string(v);
    return graphics->DrawIText(IText(12, IColor(255, 255, 255, 255)), text.c_str(), GetRECT());
  }

 private:
  int alpha;
  bool label;
};

std::vector<LICE_pixel> SurfacePixels(IGraphics& graphics) {
  std::vector<LICE_pixel> pixels;
  for (int y = 0; y < graphics.Height(); ++y)
    for (int x = 0; x < graphics.Width(); ++x) pixels.push_back(PixelAt(graphics, x, y));
  return pixels;
}

// The surface after partial redraws against a full one.
class SurfaceTest : public ::testing::Test {
 protected:
  SwatchControl* Add(const IRECT& r, int alpha = 255, bool label = false) {
    auto* control = new SwatchControl(&rig.plug, r, alpha, label);
    rig.graphics->AttachControl(control);
    control->SetValueFromPlug(0.5);
    return control;
  }
  std::vector<LICE_pixel> FullRender() {
    rig.graphics->SetAllControlsDirty();
    rig.graphics->Tick();
    return SurfacePixels(*rig.graphics);
  }

  Rig rig;
};

TEST_F(SurfaceTest, ControlBetweenTwoDirtyOnesKeepsItsPixels) {
  Add(IRECT(0, 0, 200, 100));  // the background
  SwatchControl* a = Add(IRECT(10, 10, 50, 50));
  SwatchControl* b = Add(IRECT(60, 10, 100, 50));
  SwatchControl* c = Add(IRECT(110, 10, 150, 50));
  b->SetValueFromPlug(0.0);
  rig.Open();
  const LICE_pixel bColour = PixelAt(*rig.graphics, 80, 30);
  ASSERT_NE(bColour, PixelAt(*rig.graphics, 55, 30));  // b differs from the background

  a->SetValueFromPlug(1.0);
  c->SetValueFromPlug(1.0);
  rig.graphics->Tick();
  EXPECT_FALSE(b->IsDirty());
  EXPECT_EQ(PixelAt(*rig.graphics, 60, 10), bColour);
  EXPECT_EQ(PixelAt(*rig.graphics, 80, 30), bColour);
  EXPECT_EQ(PixelAt(*rig.graphics, 99, 49), bColour);
  EXPECT_EQ(PixelAt(*rig.graphics, 30, 30), PixelAt(*rig.graphics, 130, 30));  // both drawn
  EXPECT_NE(PixelAt(*rig.graphics, 30, 30), bColour);
}

TEST_F(SurfaceTest, AnySeriesOfChangesLeavesTheSurfaceOfAFullRedraw) {
  // Opaque and see-through controls, overlapping and apart, some labelled.
  Add(IRECT(0, 0, 200, 100));
  std::vector<SwatchControl*> controls = {
      Add(IRECT(5, 5, 60, 40), 255, true),   Add(IRECT(40, 20, 100, 70), 128),
      Add(IRECT(90, 5, 150, 30), 200, true), Add(IRECT(120, 20, 195, 95), 60),
      Add(IRECT(10, 60, 80, 95), 255),       Add(IRECT(70, 50, 130, 90), 100, true),
  };
  rig.Open();
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
      SwatchControl* control = controls[random() % controls.size()];
      if (random() % 5 == 0) {
        control->Hide(!control->IsHidden());
      } else {
        control->SetValueFromPlug((random() % 256) / 255.0);
      }
    }
    Settle(*rig.graphics);
    const std::vector<LICE_pixel> partial = SurfacePixels(*rig.graphics);
    ASSERT_EQ(partial, FullRender()) << "round " << round;
  }
}

}  // namespace
}  // namespace editortest

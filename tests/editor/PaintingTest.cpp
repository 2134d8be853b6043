// What is drawn when, which frame a strip shows, and the idle counter.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace editortest

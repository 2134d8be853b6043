// Mouse, wheel and key input reaching controls, and the standard controls'
// answers to it.

#include <gtest/gtest.h>

#include "tests/editor/EditorTestSupport.h"

namespace editortest {
namespace {

using Log = std::vector<std::string>;

TEST(IRECTTest, ContainsHalfOpenAndEmptyHoldsNothing) {
  const IRECT r(10, 20, 30, 40);
  EXPECT_TRUE(r.Contains(10, 20));
  EXPECT_TRUE(r.Contains(29, 39));
  EXPECT_FALSE(r.Contains(30, 25));
  EXPECT_FALSE(r.Contains(15, 40));
  EXPECT_FALSE(IRECT().Contains(0, 0));
  EXPECT_EQ(IRECT().Union(r), r);
  EXPECT_EQ(r.Union(IRECT()), r);
  EXPECT_EQ(r.Union(IRECT(0, 30, 12, 50)), IRECT(0, 20, 30, 50));
  EXPECT_FALSE(r.Intersects(IRECT(30, 20, 40, 40)));  // touching edges share no pixel
  EXPECT_TRUE(r.Intersects(IRECT(29, 39, 40, 50)));
}

TEST(HitTest, LastControlWinsAndHiddenGrayedOrEmptyAreaAreSkipped) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  g.AttachControl(new ProbeControl(&rig.plug, &rig.log, "back", IRECT(0, 0, 200, 100)));
  g.AttachControl(new ProbeControl(&rig.plug, &rig.log, "a", IRECT(10, 10, 50, 50)));
  g.AttachControl(new ProbeControl(&rig.plug, &rig.log, "b", IRECT(30, 30, 70, 70)));
  auto* zero = new ProbeControl(&rig.plug, &rig.log, "zero", IRECT(0, 0, 200, 100));
  zero->SetTargetArea(IRECT());
  g.AttachControl(zero);
  rig.Open();

  EXPECT_EQ(g.GetMouseControlIdx(40, 40), 2);
  EXPECT_EQ(g.GetMouseControlIdx(15, 15), 1);
  EXPECT_EQ(g.GetMouseControlIdx(0, 0), 0);     // the zero-area control never hit
  EXPECT_EQ(g.GetMouseControlIdx(150, 90), 0);  // only the background there
  g.GetControl(2)->Hide(true);
  EXPECT_EQ(g.GetMouseControlIdx(40, 40), 1);
  g.GetControl(1)->GrayOut(true);
  EXPECT_EQ(g.GetMouseControlIdx(40, 40), 0);
  EXPECT_EQ(g.GetMouseControlIdx(250, 40), -1);

  rig.log.clear();
  g.OnMouseDown(150, 90, kLeft);
  g.OnMouseUp(150, 90, kLeft);
  EXPECT_EQ(rig.log, (Log{"back down", "back up"}));
}

TEST(HitTest, CaptureKeepsDragAndReleaseOnTheControlPressed) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  g.AttachControl(new ProbeControl(&rig.plug, &rig.log, "a", IRECT(0, 0, 20, 20)));
  g.AttachControl(new ProbeControl(&rig.plug, &rig.log, "b", IRECT(50, 0, 70, 20)));
  rig.Open();
  g.OnMouseDown(5, 5, kLeft);
  EXPECT_EQ(g.GetMouseCapture(), 0);
  g.OnMouseUp(60, 5, kLeft);  // released over b
  EXPECT_EQ(g.GetMouseCapture(), -1);
  EXPECT_EQ(rig.log, (Log{"a down", "a up"}));
}

TEST(KnobTest, DragMovesByHeightAndGearingAndShiftOrCtrlMakeItTenTimesFiner) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  auto* knob = new IKnobControl(&rig.plug, IRECT(0, 0, 40, 32), kReal);
  auto* wide =
      new IKnobControl(&rig.plug, IRECT(100, 0, 150, 32), kWhole, IKnobControl::kHorizontal, 2.0);
  g.AttachControl(knob);
  g.AttachControl(wide);
  rig.Open();
  ASSERT_DOUBLE_EQ(knob->GetValue(), 0.5);

  g.OnMouseDown(10, 20, kLeft);
  g.OnMouseDrag(10, 4, kLeft);  // 16 pixels up: 16 / 32 / 4
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.625);
  g.OnMouseDrag(10, 20, IMouseMod(true, false, true));  // Shift: 16 / 32 / 40 down
  EXPECT_NEAR(knob->GetValue(), 0.6125, 1e-12);
  g.OnMouseDrag(10, 4, IMouseMod(true, false, false, true));  // Ctrl
  EXPECT_NEAR(knob->GetValue(), 0.625, 1e-12);
  g.OnMouseDrag(10, -400, kLeft);  // far beyond the top: limited
  EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
  g.OnMouseUp(10, -400, kLeft);
  EXPECT_DOUBLE_EQ(rig.plug.GetParam(kReal)->Value(), 10.0);

  g.OnMouseDown(110, 10, kLeft);
  g.OnMouseDrag(120, 30, kLeft);  // 10 right over 50 wide, gearing 2; vertical ignored
  EXPECT_NEAR(wide->GetValue(), 0.6, 1e-12);
  g.OnMouseUp(120, 30, kLeft);
  EXPECT_NEAR(rig.plug.GetParam(kWhole)->Value(), 60.0, 1e-9);
}

// The host's automation thread sets the parameter while the drag is handled.
class RacingKnob : public IKnobControl {
 public:
  using IKnobControl::IKnobControl;
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override {
    plug->HostSetParameter(paramIdx, 0.1f);
    IKnobControl::OnMouseDrag(x, y, dX, dY, mod);
  }
};

TEST(KnobTest, UserEditOutranksAHostValueStoredBeforeIt) {
  Rig rig;
  auto* knob = new RacingKnob(&rig.plug, IRECT(0, 0, 40, 32), kReal);
  rig.graphics->AttachControl(knob);
  rig.Open();
  rig.graphics->OnMouseDown(10, 20, kLeft);
  rig.graphics->OnMouseDrag(10, 4, kLeft);
  rig.graphics->OnMouseUp(10, 4, kLeft);
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.625);  // the control shows what the plug-in has
  EXPECT_DOUBLE_EQ(rig.plug.GetParam(kReal)->Value(), 6.25);

  rig.plug.HostSetParameter(kReal, 0.1f);  // after the edit: shown
  rig.graphics->Tick();
  EXPECT_NEAR(knob->GetValue(), 0.1, 1e-6);
}

TEST(KnobTest, WheelNotchesAddUpAndShiftOrCtrlIsFiner) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  auto strip = MakeStrip(10, 10, 5);
  auto* knob = new IKnobMultiControl(&rig.plug, 0, 0, kReal, IBitmap(strip.get(), 10, 50, 5));
  g.AttachControl(knob);
  rig.Open();
  EXPECT_EQ(knob->GetRECT(), IRECT(0, 0, 10, 10));

  g.OnMouseWheel(5, 5, IMouseMod(), 240);
  EXPECT_NEAR(knob->GetValue(), 0.52, 1e-12);
  g.OnMouseWheel(5, 5, IMouseMod(false, false, true), -120);
  EXPECT_NEAR(knob->GetValue(), 0.519, 1e-12);
  g.OnMouseWheel(5, 5, IMouseMod(false, false, false, true), -120);
  EXPECT_NEAR(knob->GetValue(), 0.518, 1e-12);
  g.OnMouseWheel(5, 5, IMouseMod(), 60);  // half a notch: nothing yet
  EXPECT_NEAR(knob->GetValue(), 0.518, 1e-12);
  g.OnMouseWheel(5, 5, IMouseMod(), 60);
  EXPECT_NEAR(knob->GetValue(), 0.528, 1e-12);
  EXPECT_NEAR(rig.plug.GetParam(kReal)->Value(), 5.28, 1e-9);
  g.OnMouseWheel(50, 50, IMouseMod(), 120);  // over nothing
  EXPECT_NEAR(knob->GetValue(), 0.528, 1e-12);
}

TEST(KnobTest, DoubleClickReturnsToTheFirstValueThePlugInPushed) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  auto* knob = new IKnobControl(&rig.plug, IRECT(0, 0, 40, 32), kWhole);
  auto* unbound = new IKnobControl(&rig.plug, IRECT(50, 0, 90, 32), -1);
  g.AttachControl(knob);
  g.AttachControl(unbound);
  EXPECT_DOUBLE_EQ(knob->GetDefaultValue(), -1.0);
  rig.Open();
  EXPECT_DOUBLE_EQ(knob->GetDefaultValue(), 0.5);

  rig.plug.HostSetParameter(kWhole, 0.9f);  // later values are no default
  g.Tick();
  EXPECT_NEAR(knob->GetValue(), 0.9, 1e-6);
  g.OnMouseDblClick(10, 10, kLeft);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(rig.plug.GetParam(kWhole)->Value(), 50.0);

  g.OnMouseDown(60, 20, kLeft);
  g.OnMouseDrag(60, 4, kLeft);
  const double moved = unbound->GetValue();
  g.OnMouseDblClick(60, 10, kLeft);  // no default known: stays
  EXPECT_DOUBLE_EQ(unbound->GetValue(), moved);
}

TEST(SwitchTest, ClickStepsOneFrameAndWrapsAfterTheLast) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  auto three = MakeStrip(10, 10, 3);
  auto one = MakeStrip(10, 10, 1);
  auto* sw = new ISwitchControl(&rig.plug, 0, 0, kWhole, IBitmap(three.get(), 10, 30, 3));
  auto* single = new ISwitchControl(&rig.plug, 20, 0, kFlag, IBitmap(one.get(), 10, 10, 1));
  g.AttachControl(sw);
  g.AttachControl(single);
  rig.Open();
  rig.plug.HostSetParameter(kWhole, 0.0f);
  g.Tick();

  std::vector<double> seen;
  for (int i = 0; i < 4; ++i) {
    g.OnMouseDown(5, 5, kLeft);
    g.OnMouseUp(5, 5, kLeft);
    seen.push_back(sw->GetValue());
  }
  EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
  g.OnMouseDblClick(5, 5, kLeft);  // a double-click is one more click
  EXPECT_DOUBLE_EQ(sw->GetValue(), 1.0);
  EXPECT_DOUBLE_EQ(rig.plug.GetParam(kWhole)->Value(), 100.0);

  g.OnMouseDown(25, 5, kLeft);
  EXPECT_DOUBLE_EQ(single->GetValue(), 1.0);
  g.OnMouseDown(25, 5, kLeft);
  EXPECT_DOUBLE_EQ(single->GetValue(), 0.0);
}

TEST(SwitchTest, InvisibleSwitchTogglesWithTheClobberBlend) {
  Rig rig;
  auto* sw = new IInvisibleSwitchControl(&rig.plug, IRECT(0, 0, 10, 10), kFlag);
  rig.graphics->AttachControl(sw);
  rig.Open();
  EXPECT_EQ(sw->GetBlend().method, IChannelBlend::kBlendClobber);
  rig.graphics->OnMouseDown(5, 5, kLeft);
  EXPECT_DOUBLE_EQ(sw->GetValue(), 1.0);
  EXPECT_DOUBLE_EQ(rig.plug.GetParam(kFlag)->Value(), 1.0);
  rig.graphics->OnMouseDown(5, 5, kLeft);
  EXPECT_DOUBLE_EQ(sw->GetValue(), 0.0);
}

TEST(DoubleClickTest, ControlTakingDoubleClicksAsClicksGetsAMouseDownAndTheCapture) {
  Rig rig;
  auto* probe = new ProbeControl(&rig.plug, &rig.log, "p", IRECT(0, 0, 10, 10));
  probe->SetDblAsSingleClick(true);
  rig.graphics->AttachControl(probe);
  rig.graphics->AttachControl(new ProbeControl(&rig.plug, &rig.log, "q", IRECT(20, 0, 30, 10)));
  rig.Open();
  EXPECT_TRUE(rig.graphics->OnMouseDblClick(5, 5, kLeft));
  EXPECT_EQ(rig.graphics->GetMouseCapture(), 0);
  EXPECT_FALSE(rig.graphics->OnMouseDblClick(25, 5, kLeft));
  EXPECT_EQ(rig.log, (Log{"p down", "q double"}));
}

TEST(KeyTest, KeysGoToTheControlUnderTheMouseElseTheKeyCatcher) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  auto strip = MakeStrip(200, 100, 1);
  g.AttachControl(new ProbeControl(&rig.plug, &rig.log, "a", IRECT(0, 0, 20, 20)));
  g.AttachBackground(IBitmap(strip.get(), 200, 100, 1));
  auto* catcher = new ProbeControl(&rig.plug, &rig.log, "catcher", IRECT());
  g.AttachControl(catcher);
  rig.Open();

  EXPECT_EQ(IGraphics::KeyCodeFromChar(' '), KEY_SPACE);
  EXPECT_EQ(IGraphics::KeyCodeFromChar('7'), KEY_DIGIT_0 + 7);
  EXPECT_EQ(IGraphics::KeyCodeFromChar('c'), KEY_ALPHA_A + 2);
  EXPECT_EQ(IGraphics::KeyCodeFromChar('Z'), KEY_ALPHA_A + 25);
  EXPECT_EQ(IGraphics::KeyCodeFromChar('%'), KEY_NONE);

  EXPECT_FALSE(g.OnKeyDown(100, 50, KEY_SPACE));  // background, no catcher yet
  EXPECT_TRUE(g.OnKeyDown(5, 5, KEY_UPARROW));
  g.SetKeyCatcher(catcher);
  EXPECT_TRUE(g.OnKeyDown(100, 50, KEY_SPACE));
  catcher->handlesKeys = false;
  EXPECT_FALSE(g.OnKeyDown(100, 50, KEY_SPACE));
  EXPECT_EQ(rig.log, (Log{"a key 1", "catcher key 0", "catcher key 0"}));
}

TEST(MouseOverTest, OverAndOutFollowTheTopmostControlOnlyWhenEnabled) {
  Rig rig;
  IGraphicsHeadless& g = *rig.graphics;
  g.AttachControl(new ProbeControl(&rig.plug, &rig.log, "a", IRECT(0, 0, 20, 20)));
  auto* grayed = new ProbeControl(&rig.plug, &rig.log, "g", IRECT(30, 0, 50, 20));
  g.AttachControl(grayed);
  rig.Open();
  grayed->GrayOut(true);

  EXPECT_EQ(g.OnMouseOver(5, 5, IMouseMod()), -1);
  EXPECT_TRUE(rig.log.empty());
  g.HandleMouseOver(true);
  EXPECT_EQ(g.OnMouseOver(5, 5, IMouseMod()), 0);
  EXPECT_EQ(g.OnMouseOver(35, 5, IMouseMod()), -1);
  grayed->SetMOWhenGrayed(true);
  EXPECT_EQ(g.OnMouseOver(35, 5, IMouseMod()), 1);
  g.OnMouseOut();
  EXPECT_EQ(rig.log, (Log{"a over", "a out", "g over", "a out", "g out"}));
}

TEST(LinkTest, ValueDisplayShowsTextAndUnitAndAuxiliaryLinksFollowThePlugIn) {
  Rig rig;
  auto* knob = new IKnobControl(&rig.plug, IRECT(0, 0, 40, 32), kWhole);
  auto* shown = new ITextControl(&rig.plug, IRECT(0, 40, 40, 50), IText());
  knob->SetValDisplayControl(shown);
  knob->AddAuxParam(kReal);
  rig.graphics->AttachControl(knob);
  rig.graphics->AttachControl(shown);
  rig.Open();
  rig.graphics->OnMouseDown(10, 20, kLeft);
  rig.graphics->OnMouseDrag(10, 4, kLeft);  // 0.5 + 0.125
  EXPECT_EQ(shown->GetTextString(), "62 %");
  EXPECT_TRUE(shown->IsDirty());

  rig.plug.HostSetParameter(kReal, 0.3f);
  rig.graphics->Tick();
  EXPECT_NEAR(knob->GetAuxParam(0)->value, 0.3, 1e-6);
  EXPECT_NEAR(knob->GetValue(), 0.625, 1e-12);  // its own parameter did not move
}

TEST(FileSelectorTest, ClickAsksForAFileTogglesTheValueAndShowsTheChoiceOnce) {
  Rig rig;
  auto* selector =
      new IFileSelectorControl(&rig.plug, IRECT(0, 0, 20, 20), -1, kFileOpen, "/start", "wav");
  rig.graphics->AttachControl(selector);
  rig.Open();
  rig.graphics->fileAnswers.push_back({"/music/take.wav", "/music/"});

  rig.graphics->OnMouseDown(5, 5, kLeft);
  ASSERT_EQ(rig.graphics->fileDialogs.size(), 1u);
  EXPECT_EQ(rig.graphics->fileDialogs[0].action, kFileOpen);
  EXPECT_EQ(rig.graphics->fileDialogs[0].folder, "/start");
  EXPECT_EQ(rig.graphics->fileDialogs[0].extensions, "wav");
  EXPECT_EQ(selector->GetLastSelectedFileForPlug(), "/music/take.wav");
  EXPECT_EQ(selector->GetFolder(), "/music/");
  EXPECT_DOUBLE_EQ(selector->GetValue(), 1.0);
  EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSDone);

  rig.graphics->Tick();  // draws it; the choice keeps it dirty once more
  selector->SetClean();
  EXPECT_TRUE(selector->IsDirty());
  EXPECT_FALSE(selector->IsDirty());

  rig.graphics->OnMouseDown(5, 5, kLeft);  // cancelled: empty name, folder kept
  EXPECT_EQ(selector->GetLastSelectedFileForPlug(), "");
  EXPECT_EQ(selector->GetFolder(), "/music/");
  EXPECT_DOUBLE_EQ(selector->GetValue(), 0.0);  // stepped past 1: wraps
}

}  // namespace
}  // namespace editortest

// The Win32 editor window in this process, on a layout of test controls:
// what the screen shows against the headless render of the same layout, and
// the window's own input, text entry, menus, boxes and services driven with
// real window messages. Needs a display (Wine with Xvfb).

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/drawing/IGraphicsHeadless.h"
#include "editor/drawing/IGraphicsWin.h"
#include "editor/drawing/LICE.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "tests/editor_win/EditorImages.h"
#include "tests/editor_win/TestHostWindow.h"
#include "tests/framework/RecordingHost.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 360;

// A plain fill: every pixel of the test layout is known.
class FillControl : public IControl {
 public:
  FillControl(IPlugBase* plug, const IRECT& r, const IColor& colour)
      : IControl(plug, r), colour(colour) {}
  bool Draw(IGraphics* graphics) override { return graphics->FillIRect(colour, GetRECT()); }

 private:
  IColor colour;
};

// Keeps what a text entry bound to no parameter commits.
class EntryTarget : public FillControl {
 public:
  using FillControl::FillControl;
  void TextFromTextEntry(const char* text) override { committed.push_back(text); }
  std::vector<std::string> committed;
};

// An 8-frame knob strip, 40 x 40 per frame: each frame a different colour
// with a bar as high as its number.
IBitmap KnobStrip() {
  static std::unique_ptr<LICE_MemBitmap> strip;
  constexpr int kFrames = 8, kSide = 40;
  if (!strip) {
    strip = std::make_unique<LICE_MemBitmap>(kSide, kSide * kFrames);
    for (int f = 0; f < kFrames; ++f) {
      LICE_FillRect(strip.get(), 0, f * kSide, kSide, kSide,
                    LICE_RGBA(30 * f, 255 - 30 * f, 128, 255));
      LICE_FillRect(strip.get(), 16, f * kSide + kSide - 5 * (f + 1), 8, 5 * (f + 1),
                    LICE_RGBA(255, 255, 255, 255));
    }
  }
  return IBitmap(strip.get(), kSide, kSide * kFrames, kFrames);
}

struct TestLayout {
  int knob = -1;
  int entry = -1;
  IRECT knobRect;
};

// The same controls for the window and the headless editor.
TestLayout BuildLayout(IGraphics* graphics, IPlugBase* plug) {
  TestLayout layout;
  graphics->AttachControl(
      new FillControl(plug, IRECT(0, 0, kWidth, kHeight), IColor(255, 40, 60, 90)));
  graphics->AttachControl(
      new FillControl(plug, IRECT(20, 20, 220, 120), IColor(128, 250, 40, 40)));  // half alpha
  layout.knob =
      graphics->AttachControl(new IKnobMultiControl(plug, 100, 160, kFinalVolume, KnobStrip()));
  layout.knobRect = graphics->GetControl(layout.knob)->GetRECT();
  graphics->AttachControl(new ITextControl(plug, IRECT(300, 40, 760, 80),
                                           IText(24, IColor(255, 250, 220, 40), "Arial"),
                                           "REDI editor 0123 gjpqy"));
  layout.entry = graphics->AttachControl(
      new EntryTarget(plug, IRECT(300, 200, 420, 222), IColor(255, 200, 200, 200)));
  graphics->SetParamFromPlug(kFinalVolume, 0.5, true);
  graphics->ApplyPendingParamValues();
  graphics->PrepDraw();
  return layout;
}

int CenterX(const IRECT& r) { return (r.left + r.right) / 2; }
int CenterY(const IRECT& r) { return (r.top + r.bottom) / 2; }

class EditorWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { plug = new REDI(host); }
  static void TearDownTestSuite() {
    delete plug;
    plug = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(hostWindow.Handle(), nullptr);
    editor = std::make_unique<IGraphicsWin>(plug, kWidth, kHeight);
    layout = BuildLayout(editor.get(), plug);
    host->events.clear();
    host->automations.clear();
  }
  void TearDown() override {
    if (editor) editor->CloseWindow();
  }

  HWND Window() const { return static_cast<HWND>(editor->GetWindow()); }
  void Send(UINT msg, WPARAM wParam, int x, int y) {
    SendMessageA(Window(), msg, wParam, MousePoint(x, y));
  }
  // Two timer periods: one tick sees the change, one more paints it.
  static void WaitTicks() { PumpMessages(120); }

  static RecordingHost* host;  // lives as long as the program
  static REDI* plug;
  TestHostWindow hostWindow;
  std::unique_ptr<IGraphicsWin> editor;
  TestLayout layout;
};

RecordingHost* EditorWindowTest::host = new RecordingHost();
REDI* EditorWindowTest::plug = nullptr;

TEST_F(EditorWindowTest, WindowShowsTheHeadlessRenderOfTheSameLayout) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  WaitTicks();
  const Capture shown = CaptureWindow(Window());

  IGraphicsHeadless headless(plug, kWidth, kHeight);
  BuildLayout(&headless, plug);
  ASSERT_TRUE(headless.OpenWindow(nullptr));
  headless.Draw(IRECT(0, 0, kWidth, kHeight));

  // Both draw text with the same system fonts into the same kind of
  // bitmap, so even the text's pixels must agree.
  EXPECT_EQ(CompareWithSurface(shown, *headless.GetDrawBitmap(), "inprocess"), 0);
  // The layout itself is on screen: the knob's middle frame, the fill.
  EXPECT_EQ(shown.At(5, 5), 0x283C5Au);
}

TEST_F(EditorWindowTest, DragOnAKnobIsOneGestureAndTheWindowRepaintsIt) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  WaitTicks();
  const uint32_t before =
      CaptureWindow(Window()).At(CenterX(layout.knobRect), layout.knobRect.top + 2);
  const int x = CenterX(layout.knobRect), y = CenterY(layout.knobRect);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  Send(WM_MOUSEMOVE, MK_LBUTTON, x, y - 20);
  Send(WM_MOUSEMOVE, MK_LBUTTON, x, y - 40);
  Send(WM_LBUTTONUP, 0, x, y - 40);
  WaitTicks();

  ASSERT_EQ(host->events.size(), 2u);
  EXPECT_EQ(host->events.front(), "begin " + std::to_string(kFinalVolume));
  EXPECT_EQ(host->events.back(), "end " + std::to_string(kFinalVolume));
  ASSERT_GE(host->automations.size(), 2u);
  for (const auto& automation : host->automations) EXPECT_EQ(automation.index, kFinalVolume);
  // Up by 40 of the knob's 40 pixels at the gearing of 4: a quarter turn.
  EXPECT_NEAR(editor->GetControl(layout.knob)->GetValue(), 0.75, 1e-9);
  const uint32_t after =
      CaptureWindow(Window()).At(CenterX(layout.knobRect), layout.knobRect.top + 2);
  EXPECT_NE(after, before);
}

TEST_F(EditorWindowTest, WheelNotchesAddUpAndDoubleClickRestoresTheDefault) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  IControl* knob = editor->GetControl(layout.knob);
  POINT screen = {CenterX(layout.knobRect), CenterY(layout.knobRect)};
  ClientToScreen(Window(), &screen);
  const LPARAM at = MousePoint(screen.x, screen.y);
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), at);
  EXPECT_NEAR(knob->GetValue(), 0.52, 1e-9);
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), at);
  EXPECT_NEAR(knob->GetValue(), 0.52, 1e-9);  // half a notch is not yet one
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), at);
  EXPECT_NEAR(knob->GetValue(), 0.53, 1e-9);
  // The wheel's position is the screen's; a point outside the knob turns nothing.
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA),
               MousePoint(screen.x + 200, screen.y));
  EXPECT_NEAR(knob->GetValue(), 0.53, 1e-9);

  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, CenterX(layout.knobRect), CenterY(layout.knobRect));
  EXPECT_NEAR(knob->GetValue(), 0.5, 1e-9);
}

HWND FindEntryBox(HWND editor) { return FindWindowExA(editor, nullptr, "EDIT", nullptr); }

void Type(HWND box, const char* text) {
  for (const char* c = text; *c != '\0'; ++c) SendMessageA(box, WM_CHAR, *c, 0);
}

TEST_F(EditorWindowTest, TextEntryCommitsOnEnterAndCancelsOnEscape) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  auto* target = static_cast<EntryTarget*>(editor->GetControl(layout.entry));
  const IRECT r = target->GetRECT();
  IText style(14, IColor(255, 0, 0, 0), "Arial");
  style.align = IText::kAlignNear;
  target->SetTextEntryLength(5);
  editor->OpenTextEntry(target, style, r, "ab");

  HWND box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  RECT placed;
  GetWindowRect(box, &placed);
  MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, r.left);
  EXPECT_EQ(placed.top, r.top);
  EXPECT_EQ(placed.right - placed.left, r.W() + 1);
  EXPECT_EQ(placed.bottom - placed.top, r.H() + 1);
  EXPECT_NE(GetWindowLongA(box, GWL_STYLE) & ES_MULTILINE, 0);
  EXPECT_EQ(GetFocus(), box);
  EXPECT_EQ(SendMessageA(box, EM_GETLIMITTEXT, 0, 0), 5);
  DWORD selStart = 1, selEnd = 0;
  SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
               reinterpret_cast<LPARAM>(&selEnd));
  EXPECT_EQ(selStart, 0u);
  EXPECT_EQ(selEnd, 2u);

  Type(box, "x.yz!?");  // replaces the selection; no parameter: any character, at most 5
  SendMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(box, WM_CHAR, '\r', 0);
  EXPECT_TRUE(target->committed.empty());  // applied at the next tick
  WaitTicks();
  ASSERT_EQ(target->committed.size(), 1u);
  EXPECT_EQ(target->committed[0], "x.yz!");
  EXPECT_EQ(FindEntryBox(Window()), nullptr);
  EXPECT_FALSE(editor->IsTextEntryOpen());

  editor->OpenTextEntry(target, style, r, "keep");
  box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  Type(box, "zz");
  SendMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0);
  WaitTicks();
  EXPECT_EQ(target->committed.size(), 1u);
  EXPECT_EQ(FindEntryBox(Window()), nullptr);
}

TEST_F(EditorWindowTest, TextEntryOnAParameterFiltersKeysAndCommitsOnAClickOrWheelCancels) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  IControl* knob = editor->GetControl(layout.knob);
  editor->OpenTextEntry(knob, IText(), layout.knobRect, "", kVocoderMode);
  HWND box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  Type(box, "a1.+");  // a list parameter takes digits and signs only
  char text[16] = {};
  GetWindowTextA(box, text, sizeof text);
  EXPECT_STREQ(text, "1+");
  // A wheel turn over the editor cancels.
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MousePoint(0, 0));
  WaitTicks();
  EXPECT_EQ(FindEntryBox(Window()), nullptr);

  editor->OpenTextEntry(knob, IText(), layout.knobRect, "", kFinalVolume);
  box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  Type(box, "0.5");  // a real parameter takes the point
  GetWindowTextA(box, text, sizeof text);
  EXPECT_STREQ(text, "0.5");
  host->events.clear();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);  // a click elsewhere commits, and only commits
  EXPECT_TRUE(host->events.empty());
  WaitTicks();
  EXPECT_EQ(FindEntryBox(Window()), nullptr);
  EXPECT_FALSE(host->automations.empty());
}

}  // namespace

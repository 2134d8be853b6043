// The VST 3 bundle's editor as a Windows host sees it: the view attached to
// the host's window by its HWND, driven by window messages; the window runs
// its own timer, so no run loop is needed. Needs a display (Wine with Xvfb).

#if defined(REDI_VST3_PLUGIN_PATH)  // built with the VST 3 bundle

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "framework/vst3/PlugView.h"
#include "instrument/ParameterIds.h"
#include "tests/editor/LayoutRig.h"
#include "tests/editor_win/EditorImages.h"
#include "tests/editor_win/TestHostWindow.h"
#include "tests/vst3/Vst3TestHost.h"

namespace {

using namespace vst3;

HWND FindEditor(HWND parent) { return FindWindowExA(parent, nullptr, "IPlugWndClass", "IPlug"); }

class Vst3WinView : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plug.Ready()) << REDI_VST3_PLUGIN_PATH;
    ASSERT_NE(host.Handle(), nullptr);
    view = plug.controller->createView("editor");
    ASSERT_NE(view, nullptr);
  }
  void TearDown() override {
    if (view != nullptr) {
      EXPECT_EQ(view->release(), 0u);
    }
  }
  bool Attach() { return view->attached(host.Handle(), kPlatformTypeHWND) == kResultOk; }

  testhost::Instance plug;
  TestHostWindow host;
  IPlugView* view = nullptr;
};

TEST_F(Vst3WinView, OpensAsAChildWindowAtTheViewsSizeShowingTheEditor) {
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
  ViewRect size = {};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  ASSERT_TRUE(Attach());
  HWND editor = FindEditor(host.Handle());
  ASSERT_NE(editor, nullptr);
  RECT client;
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, size.right - size.left);
  EXPECT_EQ(client.bottom, size.bottom - size.top);
  EXPECT_EQ(GetWindowLongA(editor, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  UpdateWindow(editor);
  layouttest::LayoutRig rig;
  rig.Open();
  IGraphics* gui = rig.plug.GetGUI();
  gui->SetAllControlsDirty();
  gui->Draw(IRECT(0, 0, gui->Width(), gui->Height()));
  EXPECT_EQ(CompareWithSurface(CaptureWindow(editor), *gui->GetDrawBitmap(), "vst3_main",
                               IRECT(530, 160, 602, 232)),  // the picture that shows at random
            0);

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(FindEditor(host.Handle()), nullptr);
  EXPECT_EQ(view->removed(), kResultFalse);
}

TEST_F(Vst3WinView, DragOnTheTuneKnobReachesTheHostAsOneEdit) {
  ASSERT_TRUE(Attach());
  HWND editor = FindEditor(host.Handle());
  ASSERT_NE(editor, nullptr);
  const double before = plug.controller->getParamNormalized(kTune);
  const int x = 70, y = 84, dy = before < 0.5 ? -20 : 20;
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MousePoint(x, y));
  for (int step = 1; step <= 4; ++step) {
    SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MousePoint(x, y + dy * step / 4));
  }
  SendMessageA(editor, WM_LBUTTONUP, 0, MousePoint(x, y + dy));
  PumpMessages(100);

  std::vector<char> kinds;
  for (const testhost::ComponentHandler::Edit& edit : plug.handler.edits) {
    EXPECT_EQ(edit.id, static_cast<ParamID>(kTune));
    if (kinds.empty() || kinds.back() != edit.kind) kinds.push_back(edit.kind);
  }
  EXPECT_EQ(kinds, (std::vector<char>{'b', 'p', 'e'}));
  const double after = plug.controller->getParamNormalized(kTune);
  EXPECT_TRUE(dy < 0 ? after > before : after < before) << before << " -> " << after;
  EXPECT_EQ(view->removed(), kResultOk);
}

TEST_F(Vst3WinView, TwentyAttachAndRemoveCyclesLeaveNoWindow) {
  const int threadWindowsBefore = CountThreadWindows();
  for (int cycle = 0; cycle < 20; ++cycle) {
    ASSERT_TRUE(Attach()) << cycle;
    ASSERT_NE(FindEditor(host.Handle()), nullptr) << cycle;
    PumpMessages(cycle % 5 == 0 ? 60 : 0);  // some cycles see timer ticks and paints
    ASSERT_EQ(view->removed(), kResultOk) << cycle;
  }
  EXPECT_EQ(CountChildWindows(host.Handle()), 0);
  EXPECT_EQ(CountThreadWindows(), threadWindowsBefore);
}

}  // namespace

#endif

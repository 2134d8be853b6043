// The editor on the plug-in: attaching, the host's editor calls, parameter
// changes both ways, and gestures reaching the host.

#include <gtest/gtest.h>

#include "framework/VST2.h"
#include "instrument/REDI.h"
#include "tests/editor/EditorTestSupport.h"

namespace editortest {
namespace {

VstIntPtr Dispatch(TestPlug& plug, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr) {
  AEffect* effect = plug.Effect();
  return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
}

// The host calls about parameters, in order, as "begin 1", "automate 1 0.5", "end 1".
std::vector<std::string> ParameterCalls() {
  std::vector<std::string> calls;
  for (const HostCall& call : RecordingCallback::Current().calls) {
    char text[64];
    if (call.opcode == audioMasterBeginEdit) {
      std::snprintf(text, sizeof text, "begin %d", call.index);
    } else if (call.opcode == audioMasterEndEdit) {
      std::snprintf(text, sizeof text, "end %d", call.index);
    } else if (call.opcode == audioMasterAutomate) {
      std::snprintf(text, sizeof text, "automate %d %.4f", call.index, call.opt);
    } else {
      continue;
    }
    calls.push_back(text);
  }
  return calls;
}

TEST(AttachEditorTest, PushesEveryValueAsDefaultAndCreatesTheSurface) {
  Rig rig;
  auto* real = new IKnobControl(&rig.plug, IRECT(0, 0, 10, 10), kReal);
  auto* shaped = new IKnobControl(&rig.plug, IRECT(0, 0, 10, 10), kShaped);
  rig.graphics->AttachControl(real);
  rig.graphics->AttachControl(shaped);
  EXPECT_EQ(rig.graphics->GetDrawBitmap(), nullptr);
  EXPECT_EQ(rig.plug.GetGUI(), nullptr);
  rig.Attach();
  EXPECT_EQ(rig.plug.GetGUI(), rig.graphics);
  ASSERT_NE(rig.graphics->GetDrawBitmap(), nullptr);
  EXPECT_EQ(rig.graphics->GetDrawBitmap()->getWidth(), 200);
  EXPECT_EQ(rig.graphics->GetDrawBitmap()->getHeight(), 100);
  EXPECT_DOUBLE_EQ(real->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(real->GetDefaultValue(), 0.5);
  EXPECT_DOUBLE_EQ(shaped->GetValue(), 0.5);  // 25 of 0...100 with shape 2
  EXPECT_DOUBLE_EQ(shaped->GetDefaultValue(), 0.5);
}

// A headless editor that says it has a window, as a windowed backend does;
// a parent of 1 stands for one the window cannot be made in.
class WindowedGraphics : public IGraphicsHeadless {
 public:
  explicit WindowedGraphics(TestPlug* plug) : IGraphicsHeadless(plug, 300, 150), plug(plug) {}
  bool HasNativeWindow() const override { return true; }
  bool OpenWindow(void* parent) override {
    if (parent == reinterpret_cast<void*>(1)) return false;
    plug->events.push_back("window opened");
    return IGraphicsHeadless::OpenWindow(parent);
  }
  void CloseWindow() override {
    plug->events.push_back("window closed");
    IGraphicsHeadless::CloseWindow();
  }

 private:
  TestPlug* plug;
};

TEST(EditorCallsTest, HeadlessEditorIsNotOfferedToTheHost) {
  Rig rig;
  rig.Attach();
  EXPECT_EQ(rig.plug.Effect()->flags & effFlagsHasEditor, 0);
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(rig.plug, effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);
  int parent = 0;
  EXPECT_EQ(Dispatch(rig.plug, effEditOpen, 0, 0, &parent), 0);
  EXPECT_EQ(Dispatch(rig.plug, effEditClose), 0);
  EXPECT_TRUE(rig.plug.events.empty());
  EXPECT_FALSE(rig.graphics->WindowIsOpen());
  EXPECT_EQ(Dispatch(rig.plug, effEditIdle), 0);
  EXPECT_EQ(rig.plug.idleCalls, 1);
}

TEST(EditorCallsTest, WithoutEditorTheEditorCallsAnswerZero) {
  TestPlug plug;
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(plug, effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(Dispatch(plug, effEditOpen), 0);
  EXPECT_EQ(Dispatch(plug, effEditClose), 0);
  EXPECT_TRUE(plug.events.empty());
}

TEST(EditorCallsTest, WindowedEditorSetsTheFlagAndRectAndOpensAndClosesInOrder) {
  TestPlug plug;
  auto* graphics = new WindowedGraphics(&plug);
  plug.AttachEditor(graphics);
  EXPECT_EQ(plug.Effect()->flags & effFlagsHasEditor, effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(Dispatch(plug, effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 150);
  EXPECT_EQ(rect->right, 300);

  EXPECT_EQ(Dispatch(plug, effEditOpen, 0, 0, reinterpret_cast<void*>(1)), 0);
  EXPECT_TRUE(plug.events.empty());
  int parent = 0;
  EXPECT_EQ(Dispatch(plug, effEditOpen, 0, 0, &parent), 1);
  EXPECT_TRUE(graphics->WindowIsOpen());
  EXPECT_EQ(Dispatch(plug, effEditClose), 1);
  EXPECT_FALSE(graphics->WindowIsOpen());
  EXPECT_EQ(plug.events,
            (std::vector<std::string>{"window opened", "opened", "closed", "window closed"}));
}

TEST(EditorCallsTest, ResizeRecreatesTheSurfaceAndTellsThePlugIn) {
  Rig rig;
  rig.Attach();
  rig.graphics->Resize(120, 80);
  EXPECT_EQ(rig.graphics->GetDrawBitmap()->getWidth(), 120);
  EXPECT_EQ(rig.graphics->GetDrawBitmap()->getHeight(), 80);
  EXPECT_EQ(rig.plug.EditorRect().right, 120);
  EXPECT_EQ(rig.plug.EditorRect().bottom, 80);
}

TEST(HostChangesTest, HostValuesAndTextsMoveTheControlsAtTheNextTick) {
  Rig rig;
  auto* whole = new IKnobControl(&rig.plug, IRECT(0, 0, 10, 10), kWhole);
  auto* shaped = new IKnobControl(&rig.plug, IRECT(0, 0, 10, 10), kShaped);
  rig.graphics->AttachControl(whole);
  rig.graphics->AttachControl(shaped);
  rig.Open();
  AEffect* effect = rig.plug.Effect();
  effect->setParameter(effect, kWhole, 0.75f);
  EXPECT_DOUBLE_EQ(whole->GetValue(), 0.5);  // not on the calling thread
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(whole->GetValue(), 0.75);

  char text[] = "64";
  EXPECT_EQ(Dispatch(rig.plug, effString2Parameter, kShaped, 0, text), 1);
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(shaped->GetValue(), 0.8);  // sqrt(0.64)

  rig.graphics->SetParamFromPlug(kShaped, 500.0, false);             // limited to the range
  rig.graphics->SetParamFromPlug(IPlugBase::kNumParams, 0.1, true);  // no such parameter
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(shaped->GetValue(), 1.0);

  rig.plug.GetParam(kWhole)->SetClamped(10.0);
  rig.plug.RefreshParamControls();
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(whole->GetValue(), 0.1);
}

TEST(GestureTest, KnobDragReachesTheHostAsBeginAutomateEnd) {
  Rig rig;
  rig.graphics->AttachControl(new IKnobControl(&rig.plug, IRECT(0, 0, 40, 32), kReal));
  // The level meter's kind of binding: an index the plug-in does not have.
  rig.graphics->AttachControl(new IKnobControl(&rig.plug, IRECT(50, 0, 90, 32), 112));
  rig.Open();
  RecordingCallback::Current().calls.clear();

  rig.graphics->OnMouseDown(10, 20, kLeft);
  rig.graphics->OnMouseDrag(10, 4, kLeft);
  rig.graphics->OnMouseUp(10, 4, kLeft);
  EXPECT_EQ(ParameterCalls(), (std::vector<std::string>{"begin 0", "automate 0 0.6250", "end 0"}));
  EXPECT_NEAR(rig.plug.GetParam(kReal)->Value(), 6.25, 1e-9);
  EXPECT_EQ(rig.plug.changed, (std::vector<int>{kReal}));

  RecordingCallback::Current().calls.clear();
  rig.graphics->OnMouseDown(60, 20, kLeft);
  rig.graphics->OnMouseDrag(60, 4, kLeft);
  rig.graphics->OnMouseUp(60, 4, kLeft);
  EXPECT_TRUE(ParameterCalls().empty());

  rig.graphics->OnMouseUp(10, 4, kLeft);  // a release with no press
  EXPECT_TRUE(ParameterCalls().empty());
}

TEST(GestureTest, DoubleClickBackToTheDefaultIsOneGesture) {
  Rig rig;
  rig.graphics->AttachControl(new IKnobControl(&rig.plug, IRECT(0, 0, 40, 32), kReal));
  rig.Open();
  rig.graphics->OnMouseDown(10, 20, kLeft);
  rig.graphics->OnMouseDrag(10, 4, kLeft);
  rig.graphics->OnMouseUp(10, 4, kLeft);
  RecordingCallback::Current().calls.clear();

  // The window sends press, release, double-click, release.
  rig.graphics->OnMouseDown(10, 4, kLeft);
  rig.graphics->OnMouseUp(10, 4, kLeft);
  rig.graphics->OnMouseDblClick(10, 4, kLeft);
  rig.graphics->OnMouseUp(10, 4, kLeft);
  EXPECT_EQ(ParameterCalls(), (std::vector<std::string>{"begin 0", "end 0", "begin 0",
                                                        "automate 0 0.5000", "end 0"}));
  EXPECT_DOUBLE_EQ(rig.plug.GetParam(kReal)->Value(), 5.0);
}

TEST(PluginEditorTest, TheVocoderMakesAndAttachesItsEditor) {
  RecordingCallback::Current().Reset();
  VSTHost host(RecordingCallback::Callback);
  REDI plug(&host);
  IGraphics* gui = plug.GetGUI();
  ASSERT_NE(gui, nullptr);
  EXPECT_EQ(gui->Width(), 800);
  EXPECT_EQ(gui->Height(), 360);
  EXPECT_EQ(gui->HasNativeWindow(), (plug.Effect()->flags & effFlagsHasEditor) != 0);
  EXPECT_NE(gui->GetDrawBitmap(), nullptr);
}

}  // namespace
}  // namespace editortest

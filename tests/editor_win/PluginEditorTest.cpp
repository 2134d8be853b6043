// The plug-in library's editor as a host sees it: opened through the effect
// record inside the host's own window, driven with real window messages.
// Needs a display (Wine with Xvfb).

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "framework/VST2.h"
#include "instrument/REDI.h"
#include "tests/editor_win/EditorImages.h"
#include "tests/editor_win/TestHostWindow.h"
#include "tests/framework/RecordingHost.h"
#include "tests/vst/RecordingCallback.h"

namespace {

constexpr const char* kEditorClass = "IPlugWndClass";

HMODULE PluginModule() {
  static HMODULE module = LoadLibraryA(WindowsPath(REDI_PLUGIN_PATH).c_str());
  return module;
}

bool EditorClassRegistered() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  return GetClassInfoExA(PluginModule(), kEditorClass, &wc) != FALSE;
}

HWND FindEditor(HWND parent) { return FindWindowExA(parent, nullptr, kEditorClass, "IPlug"); }

// One plug-in instance from the library's entry, driven as a host drives it.
class Plugin {
 public:
  Plugin() {
    using Entry = AEffect*(VSTCALLBACK*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(PluginModule(), "VSTPluginMain")));
    if (entry != nullptr) effect = entry(&RecordingCallback::Callback);
    if (effect != nullptr) Dispatch(effOpen);
  }
  ~Plugin() {
    if (effect != nullptr) Dispatch(effClose);
  }
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect* Effect() const { return effect; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  }
  bool OpenEditor(HWND parent) { return Dispatch(effEditOpen, 0, 0, parent) == 1; }
  bool CloseEditor() { return Dispatch(effEditClose) == 1; }

 private:
  AEffect* effect = nullptr;
};

class PluginEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(PluginModule(), nullptr) << REDI_PLUGIN_PATH;
    ASSERT_NE(host.Handle(), nullptr);
    RecordingCallback::Current().Reset();
    ASSERT_NE(plugin.Effect(), nullptr);
  }

  TestHostWindow host;
  Plugin plugin;
};

TEST_F(PluginEditorTest, OpensAsAChildWindowAtTheEditorSizeAndCloses) {
  EXPECT_NE(plugin.Effect()->flags & effFlagsHasEditor, 0);
  ERect* rect = nullptr;
  ASSERT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  const int width = rect->right - rect->left, height = rect->bottom - rect->top;

  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  HWND editor = FindEditor(host.Handle());
  ASSERT_NE(editor, nullptr);
  RECT client;
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, width);
  EXPECT_EQ(client.bottom, height);
  POINT origin = {0, 0};
  MapWindowPoints(editor, host.Handle(), &origin, 1);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
  EXPECT_EQ(GetWindowLongA(editor, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  EXPECT_NE(GetClassLongA(editor, GCL_STYLE) & CS_DBLCLKS, 0u);
  EXPECT_EQ(reinterpret_cast<HMODULE>(GetWindowLongPtrA(editor, GWLP_HINSTANCE)), PluginModule());
  EXPECT_TRUE(EditorClassRegistered());
  PumpMessages(100);

  EXPECT_TRUE(plugin.CloseEditor());
  EXPECT_EQ(FindEditor(host.Handle()), nullptr);
  EXPECT_FALSE(EditorClassRegistered());
}

TEST_F(PluginEditorTest, OpeningWithoutAParentWindowFailsAndLeavesNoClass) {
  EXPECT_FALSE(plugin.OpenEditor(nullptr));
  EXPECT_FALSE(EditorClassRegistered());
  EXPECT_TRUE(plugin.CloseEditor());  // closing what never opened is harmless
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  EXPECT_TRUE(plugin.CloseEditor());
  EXPECT_FALSE(EditorClassRegistered());
}

TEST_F(PluginEditorTest, MiddleButtonReleaseFreesTheMouse) {
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  HWND editor = FindEditor(host.Handle());
  ASSERT_NE(editor, nullptr);
  SendMessageA(editor, WM_MBUTTONDOWN, MK_MBUTTON, MousePoint(5, 5));
  EXPECT_EQ(GetCapture(), editor);
  SendMessageA(editor, WM_MBUTTONUP, 0, MousePoint(5, 5));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(plugin.CloseEditor());
}

TEST_F(PluginEditorTest, FiftyOpenCloseCyclesLeaveNoWindowAndNoClass) {
  const int threadWindowsBefore = CountThreadWindows();
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(plugin.OpenEditor(host.Handle())) << "cycle " << i;
    ASSERT_NE(FindEditor(host.Handle()), nullptr) << "cycle " << i;
    PumpMessages(i % 10 == 0 ? 60 : 0);  // let some cycles see timer ticks and paints
    ASSERT_TRUE(plugin.CloseEditor()) << "cycle " << i;
  }
  EXPECT_EQ(CountChildWindows(host.Handle()), 0);
  EXPECT_EQ(FindEditor(host.Handle()), nullptr);
  EXPECT_EQ(CountThreadWindows(), threadWindowsBefore);  // no tool tip window either
  EXPECT_FALSE(EditorClassRegistered());
}

TEST_F(PluginEditorTest, TwoEditorsShareTheClassUntilTheLastCloses) {
  TestHostWindow secondHost;
  Plugin second;
  ASSERT_NE(second.Effect(), nullptr);
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  ASSERT_TRUE(second.OpenEditor(secondHost.Handle()));
  PumpMessages(50);
  EXPECT_TRUE(plugin.CloseEditor());
  EXPECT_TRUE(EditorClassRegistered());
  EXPECT_NE(FindEditor(secondHost.Handle()), nullptr);
  PumpMessages(50);  // the remaining editor still ticks and paints
  EXPECT_TRUE(second.CloseEditor());
  EXPECT_FALSE(EditorClassRegistered());
}

TEST_F(PluginEditorTest, OpeningTwiceWithoutClosingKeepsOneWindow) {
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  EXPECT_EQ(CountChildWindows(host.Handle()), 1);
  EXPECT_TRUE(plugin.CloseEditor());
  EXPECT_EQ(CountChildWindows(host.Handle()), 0);
  EXPECT_FALSE(EditorClassRegistered());
}

TEST_F(PluginEditorTest, HostDestroyingItsWindowBeforeClosingTheEditorIsSurvived) {
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  PumpMessages(60);
  host.Destroy();
  PumpMessages(60);  // a timer tick for a window that is gone must not arrive
  EXPECT_TRUE(plugin.CloseEditor());
  EXPECT_FALSE(EditorClassRegistered());
  // And the editor opens again in a new window.
  TestHostWindow again;
  ASSERT_TRUE(plugin.OpenEditor(again.Handle()));
  EXPECT_NE(FindEditor(again.Handle()), nullptr);
  EXPECT_TRUE(plugin.CloseEditor());
}

TEST_F(PluginEditorTest, KeysTheEditorDoesNotHandleAndAllKeyUpsReachTheTopLevelWindow) {
  HWND panel = host.AddPanel();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(plugin.OpenEditor(panel));
  HWND editor = FindEditor(panel);
  ASSERT_NE(editor, nullptr);
  SendMessageA(editor, WM_KEYDOWN, VK_F1, 0);  // no key code of the editor's
  SendMessageA(editor, WM_KEYUP, 'A', 0);
  ASSERT_EQ(host.Keys().size(), 2u);
  EXPECT_EQ(host.Keys()[0].msg, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(host.Keys()[0].key, static_cast<WPARAM>(VK_F1));
  EXPECT_EQ(host.Keys()[1].msg, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(host.Keys()[1].key, static_cast<WPARAM>('A'));
  EXPECT_TRUE(plugin.CloseEditor());
}

// A fresh plug-in object of this build in this process: its editor, drawn
// without a window, is what the library's window must show.
class InProcessPlugin {
 public:
  InProcessPlugin() : plug(&host) {}
  IGraphics* Editor() { return plug.GetGUI(); }
  // The first knob of the layout that is shown and bound to a parameter.
  IKnobControl* FirstKnob() {
    for (int i = 0; Editor() != nullptr && i < Editor()->NControls(); ++i) {
      auto* knob = dynamic_cast<IKnobControl*>(Editor()->GetControl(i));
      if (knob != nullptr && !knob->IsHidden() && knob->ParamIdx() >= 0) return knob;
    }
    return nullptr;
  }

 private:
  RecordingHost host;
  REDI plug;
};

TEST_F(PluginEditorTest, WindowShowsTheHeadlessRenderOfAFreshPlugin) {
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  PumpMessages(200);
  HWND editor = FindEditor(host.Handle());
  ASSERT_NE(editor, nullptr);
  const Capture shown = CaptureWindow(editor);

  InProcessPlugin reference;
  ASSERT_NE(reference.Editor(), nullptr);
  IGraphics& drawn = *reference.Editor();
  drawn.Draw(IRECT(0, 0, drawn.Width(), drawn.Height()));
  EXPECT_EQ(CompareWithSurface(shown, *drawn.GetDrawBitmap(), "plugin"), 0);
  EXPECT_TRUE(plugin.CloseEditor());
}

TEST_F(PluginEditorTest, DragOnAKnobReachesTheHostAsBeginAutomateEnd) {
  InProcessPlugin reference;
  IKnobControl* knob = reference.FirstKnob();
  if (knob == nullptr) GTEST_SKIP() << "the plug-in's layout has no knob yet";
  const IRECT r = knob->GetRECT();
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2, param = knob->ParamIdx();
  const float before = plugin.Effect()->getParameter(plugin.Effect(), param);

  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  HWND editor = FindEditor(host.Handle());
  ASSERT_NE(editor, nullptr);
  RecordingCallback::Current().Reset();
  const int dy = before < 0.5f ? -20 : 20;  // away from the nearer end
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MousePoint(x, y));
  SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MousePoint(x, y + dy));
  SendMessageA(editor, WM_LBUTTONUP, 0, MousePoint(x, y + dy));

  std::vector<VstInt32> edits;
  for (const HostCall& call : RecordingCallback::Current().calls) {
    if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterAutomate ||
        call.opcode == audioMasterEndEdit) {
      EXPECT_EQ(call.index, param);
      if (edits.empty() || edits.back() != call.opcode) edits.push_back(call.opcode);
    }
  }
  EXPECT_EQ(edits,
            (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
  EXPECT_NE(plugin.Effect()->getParameter(plugin.Effect(), param), before);
  EXPECT_TRUE(plugin.CloseEditor());
}

}  // namespace

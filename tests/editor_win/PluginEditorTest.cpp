// The plug-in library's editor as a host sees it: opened through the effect
// record inside the host's own window, driven with real window messages.
// Needs a display (Wine with Xvfb).

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "framework/VST2.h"
#include "instrument/REDI.h"
#include "tests/editor/LayoutRig.h"
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

// What the same build draws for REDI's editor without a window, opened as
// a host opens it and, for the tweak page, after a click on the page switch.
class HeadlessReference {
 public:
  explicit HeadlessReference(bool tweakPage, int percent = 100) {
    rig.ui->SetSizePercent(percent);
    rig.Open();
    if (tweakPage) rig.ClickCentre(layouttest::kPageSwitch);
    IGraphics* gui = rig.plug.GetGUI();
    gui->SetAllControlsDirty();
    gui->Draw(IRECT(0, 0, gui->Width(), gui->Height()));
  }
  LICE_IBitmap& Surface() { return *rig.plug.GetGUI()->GetDrawBitmap(); }

 private:
  layouttest::LayoutRig rig;
};

// The picture beside the vocoder mode shows up at random on refreshes.
const IRECT kPictureArea(530, 160, 602, 232);

IRECT ControlRect(int index) {
  layouttest::LayoutRig rig;
  return rig.ui->GetControl(index)->GetRECT();
}

void ClickAt(HWND editor, int x, int y) {
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MousePoint(x, y));
  SendMessageA(editor, WM_LBUTTONUP, 0, MousePoint(x, y));
}

class PluginEditorPageTest : public PluginEditorTest {
 protected:
  void SetUp() override {
    PluginEditorTest::SetUp();
    ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
    editor = FindEditor(host.Handle());
    ASSERT_NE(editor, nullptr);
    // The first paint, before any timer tick: it draws every control.
    UpdateWindow(editor);
  }
  void TearDown() override { EXPECT_TRUE(plugin.CloseEditor()); }

  HWND editor = nullptr;
};

TEST_F(PluginEditorPageTest, WindowShowsTheMainPageAsTheHeadlessRenderDraws) {
  const Capture shown = CaptureWindow(editor);
  HeadlessReference mainPage(false);
  EXPECT_EQ(CompareWithSurface(shown, mainPage.Surface(), "main", kPictureArea), 0);
}

TEST_F(PluginEditorPageTest, PageSwitchShowsTheTweakPageAsTheHeadlessRenderDraws) {
  const IRECT r = ControlRect(layouttest::kPageSwitch);
  ClickAt(editor, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PumpMessages(300);  // the page changes on the next tick, then paints
  const Capture switched = CaptureWindow(editor);
  HeadlessReference tweakPage(true);
  EXPECT_EQ(CompareWithSurface(switched, tweakPage.Surface(), "switched", kPictureArea), 0);

  // The editor keeps its page: opened again, it shows the tweak page.
  ASSERT_TRUE(plugin.CloseEditor());
  ASSERT_TRUE(plugin.OpenEditor(host.Handle()));
  editor = FindEditor(host.Handle());
  ASSERT_NE(editor, nullptr);
  UpdateWindow(editor);
  const Capture shown = CaptureWindow(editor);
  EXPECT_EQ(CompareWithSurface(shown, tweakPage.Surface(), "tweak", kPictureArea), 0);
}

TEST_F(PluginEditorPageTest, DragOnTheTuneKnobReachesTheHostAsBeginAutomateEnd) {
  layouttest::LayoutRig rig;
  auto* knob = dynamic_cast<IKnobControl*>(rig.ui->GetControl(layouttest::kTuneKnob));
  ASSERT_NE(knob, nullptr);
  const IRECT r = knob->GetRECT();
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2, param = knob->ParamIdx();
  ASSERT_GE(param, 0);
  const float before = plugin.Effect()->getParameter(plugin.Effect(), param);

  RecordingCallback::Current().Reset();
  const int dy = before < 0.5f ? -20 : 20;  // away from the nearer end
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MousePoint(x, y));
  for (int step = 1; step <= 4; ++step) {
    SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MousePoint(x, y + dy * step / 4));
  }
  SendMessageA(editor, WM_LBUTTONUP, 0, MousePoint(x, y + dy));
  PumpMessages(100);

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
  const float after = plugin.Effect()->getParameter(plugin.Effect(), param);
  EXPECT_TRUE(dy < 0 ? after > before : after < before) << before << " -> " << after;
}

// Watches from a second thread for the pop-up menu window ("#32768") that a
// modal TrackPopupMenu shows on the editor's thread, reads and captures it,
// then closes it with Escape (or, should that not close it, WM_CANCELMODE
// to the menu's owner).
struct MenuWatch {
  HWND owner = nullptr;
  bool seen = false;
  int items = -1;
  int submenus = 0;
  std::string firstItem;
  Capture shot;
  bool closedByEscape = false;
  bool closed = false;

  static HWND VisibleMenuWindow() {
    HWND menu = FindWindowA(MAKEINTATOM(0x8000), nullptr);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
  }
  static bool WaitUntil(bool (*done)(HWND), HWND window, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!done(window)) {
      if (GetTickCount() - start > milliseconds) return false;
      Sleep(10);
    }
    return true;
  }
  static DWORD WINAPI Run(void* self) {
    auto& watch = *static_cast<MenuWatch*>(self);
    HWND menu = nullptr;
    const DWORD start = GetTickCount();
    while ((menu = VisibleMenuWindow()) == nullptr) {
      if (GetTickCount() - start > 5000) {
        // Not found: should a menu be open all the same, end it rather
        // than leave the test waiting.
        PostMessageA(watch.owner, WM_CANCELMODE, 0, 0);
        return 0;
      }
      Sleep(10);
    }
    watch.seen = true;
    Sleep(200);  // let it paint
    DWORD_PTR handle = 0;
    if (SendMessageTimeoutA(menu, MN_GETHMENU, 0, 0, SMTO_NORMAL, 2000, &handle) && handle != 0) {
      HMENU items = reinterpret_cast<HMENU>(handle);
      watch.items = GetMenuItemCount(items);
      for (int i = 0; i < watch.items; ++i) watch.submenus += GetSubMenu(items, i) != nullptr;
      char text[64] = {};
      GetMenuStringA(items, 0, text, sizeof text, MF_BYPOSITION);
      watch.firstItem = text;
    }
    watch.shot = CaptureWindow(menu);
    const auto gone = [](HWND w) { return !IsWindow(w) || !IsWindowVisible(w); };
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(menu, WM_KEYUP, VK_ESCAPE, 0);
    watch.closedByEscape = WaitUntil(gone, menu, 1000);
    if (!watch.closedByEscape) PostMessageA(watch.owner, WM_CANCELMODE, 0, 0);
    watch.closed = watch.closedByEscape || WaitUntil(gone, menu, 1000);
    return 0;
  }
};

TEST_F(PluginEditorPageTest, ClickOnTheProgramNumberOpensTheProgramList) {
  const VstIntPtr program = plugin.Dispatch(effGetProgram);
  MenuWatch watch;
  watch.owner = editor;
  HANDLE thread = CreateThread(nullptr, 0, MenuWatch::Run, &watch, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ClickAt(editor, 402, 316);  // returns once the menu is closed
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  PumpMessages(100);

  ASSERT_TRUE(watch.seen);
  EXPECT_TRUE(watch.closed);
  EXPECT_TRUE(watch.closedByEscape);
  EXPECT_EQ(watch.items, 4);  // groups of 16 programs
  EXPECT_EQ(watch.submenus, 4);
  EXPECT_EQ(watch.firstItem, "00 - 15");
  EXPECT_GT(watch.shot.width, 0);
  if (!watch.shot.pixels.empty()) {
    png_file::Write(ArtifactPath("program_list"), watch.shot.pixels.data(), watch.shot.width,
                    watch.shot.height, watch.shot.width);
  }
  EXPECT_EQ(MenuWatch::VisibleMenuWindow(), nullptr);
  EXPECT_EQ(plugin.Dispatch(effGetProgram), program);  // closing chose nothing
}

// The editor at 200 %, chosen in the configuration file every instance
// reads (the Wine prefix's own, put back afterwards).
class PluginEditorAt200Test : public ::testing::Test {
 protected:
  static std::string ConfigFile() {
    char folder[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LOCALAPPDATA", folder, MAX_PATH) == 0) return std::string();
    return std::string(folder) + "\\Welmora\\redi.ini";
  }
  void SetUp() override {
    ASSERT_NE(PluginModule(), nullptr) << REDI_PLUGIN_PATH;
    const std::string file = ConfigFile();
    ASSERT_FALSE(file.empty());
    CreateDirectoryA(file.substr(0, file.rfind('\\')).c_str(), nullptr);
    ASSERT_TRUE(WritePrivateProfileStringA("Global", "Editor Size", "200", file.c_str()));
    plugin = std::make_unique<Plugin>();
    ASSERT_NE(plugin->Effect(), nullptr);
    ERect* rect = nullptr;
    ASSERT_EQ(plugin->Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_EQ(rect->right - rect->left, 1600);
    ASSERT_EQ(rect->bottom - rect->top, 720);
    ASSERT_TRUE(plugin->OpenEditor(host.Handle()));
    editor = FindEditor(host.Handle());
    ASSERT_NE(editor, nullptr);
    UpdateWindow(editor);
  }
  void TearDown() override {
    if (editor != nullptr) {
      EXPECT_TRUE(plugin->CloseEditor());
    }
    plugin.reset();
    WritePrivateProfileStringA("Global", "Editor Size", nullptr, ConfigFile().c_str());
  }

  TestHostWindow host{1700, 800};
  std::unique_ptr<Plugin> plugin;
  HWND editor = nullptr;
};

TEST_F(PluginEditorAt200Test, ShowsBothPagesAsTheHeadlessRenderAt200AndSwitchesWhereDrawn) {
  RECT client;
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, 1600);
  EXPECT_EQ(client.bottom, 720);
  const IRECT picture(2 * kPictureArea.left, 2 * kPictureArea.top, 2 * kPictureArea.right,
                      2 * kPictureArea.bottom);
  HeadlessReference mainPage(false, 200);
  EXPECT_EQ(CompareWithSurface(CaptureWindow(editor), mainPage.Surface(), "main_200", picture), 0);
  const IRECT r = ControlRect(layouttest::kPageSwitch);
  ClickAt(editor, r.left + r.right, r.top + r.bottom);  // its centre, in pixels at 200 %
  PumpMessages(300);
  HeadlessReference tweakPage(true, 200);
  EXPECT_EQ(CompareWithSurface(CaptureWindow(editor), tweakPage.Surface(), "tweak_200", picture),
            0);
}

TEST_F(PluginEditorAt200Test, ADragKeepsItsFeelInTheEditorsOwnPixels) {
  AEffect* effect = plugin->Effect();
  const float before = effect->getParameter(effect, kTune);
  const int x = 140, y = 168;  // the tune knob's centre at 200 %
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MousePoint(x, y));
  for (int step = 1; step <= 4; ++step) {
    SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MousePoint(x, y - 9 * step));
  }
  SendMessageA(editor, WM_LBUTTONUP, 0, MousePoint(x, y - 36));
  PumpMessages(100);
  // 36 pixels are 18 of the editor's; a 32-pixel knob at gearing 4 moves by
  // 1 / 128 per pixel.
  EXPECT_NEAR(effect->getParameter(effect, kTune) - before, 18.0 / 128.0, 1.0 / 128.0);
}

}  // namespace

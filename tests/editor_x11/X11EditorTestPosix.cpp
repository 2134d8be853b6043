// The editor in a Linux host: the plug-in library loaded as hosts load it,
// its editor opened in a window of ours on the X server (Xvfb in the test
// run), driven with synthetic input from another process.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "editor/EditorTestSupport.h"
#include "editor/IControls.h"
#include "editor/LayoutRig.h"
#include "editor/drawing/IGraphicsX11.h"
#include "editor/drawing/LICE.h"
#include "editor/drawing/X11Support.h"
#include "editor_x11/EditorPixels.h"
#include "editor_x11/X11TestHost.h"
#include "framework/VST2.h"
#include "framework/VSTHost.h"
#include "instrument/REDI.h"
#include "support/PluginConfigHome.h"
#include "vst/RecordingCallback.h"

namespace {

using x11test::DifferentPixels;
using x11test::HeadlessRender;
using x11test::HostWindow;

constexpr int kW = 800;
constexpr int kH = 360;

// Kept open for the whole run, as a host's is: an X server resets when its
// last client leaves, and refuses connections while it does.
bool HaveDisplay() {
  static Display* const keeper = XOpenDisplay(nullptr);
  return keeper != nullptr;
}

#define REQUIRE_DISPLAY() \
  if (!HaveDisplay()) GTEST_SKIP() << "no X server (the suite runs under xvfb-run)"

VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr) {
  return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
}

// The plug-in library as a host loads it.
class PluginLibrary {
 public:
  PluginLibrary() {
    handle = dlopen(REDI_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(handle, "VSTPluginMain"));
  }
  ~PluginLibrary() {
    if (handle != nullptr) dlclose(handle);
  }
  AEffect* Instance() {
    AEffect* effect = entry != nullptr ? entry(RecordingCallback::Callback) : nullptr;
    if (effect != nullptr) Dispatch(effect, effOpen);
    return effect;
  }

 private:
  void* handle = nullptr;
  AEffect* (*entry)(audioMasterCallback) = nullptr;
};

TEST(X11PluginEditor, ShowsInTheHostsWindowAsTheHeadlessRenderDraws) {
  REQUIRE_DISPLAY();
  PluginLibrary library;
  AEffect* effect = library.Instance();
  ASSERT_NE(effect, nullptr);
  EXPECT_NE(effect->flags & effFlagsHasEditor, 0);
  ERect* rect = nullptr;
  ASSERT_EQ(Dispatch(effect, effEditGetRect, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, kW);
  EXPECT_EQ(rect->bottom - rect->top, kH);

  HostWindow host(kW, kH);
  const int errorsBefore = x11test::HostErrors();
  ASSERT_EQ(Dispatch(effect, effEditOpen, 0, host.Handle()), 1);
  x11test::IdleFor(400, [&] { Dispatch(effect, effEditIdle); });
  const std::vector<uint32_t> shown = host.Capture(kW, kH);
  const std::vector<uint32_t> expected = HeadlessRender(false);
  x11test::SaveImage("x11_editor_window", shown, kW, kH);
  x11test::SaveImage("x11_editor_headless", expected, kW, kH);
  EXPECT_EQ(DifferentPixels(shown, expected), 0);
  EXPECT_EQ(host.Children(), 1);

  EXPECT_EQ(Dispatch(effect, effEditClose), 1);
  EXPECT_EQ(host.Children(), 0);
  EXPECT_EQ(x11test::HostErrors(), errorsBefore);
  Dispatch(effect, effClose);
}

TEST(X11PluginEditor, OpensAndClosesRepeatedlyAndSideBySide) {
  REQUIRE_DISPLAY();
  PluginLibrary library;
  AEffect* first = library.Instance();
  AEffect* second = library.Instance();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  HostWindow hostA(kW, kH);
  HostWindow hostB(kW, kH);
  const int errorsBefore = x11test::HostErrors();
  const auto idle = [&] {
    Dispatch(first, effEditIdle);
    Dispatch(second, effEditIdle);
  };

  for (int cycle = 0; cycle < 20; ++cycle) {
    ASSERT_EQ(Dispatch(first, effEditOpen, 0, hostA.Handle()), 1) << cycle;
    idle();
    EXPECT_EQ(hostA.Children(), 1) << cycle;
    ASSERT_EQ(Dispatch(first, effEditClose), 1) << cycle;
    EXPECT_EQ(hostA.Children(), 0) << cycle;
  }

  // Both open; closed in the order they were opened, then the other way.
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(Dispatch(first, effEditOpen, 0, hostA.Handle()), 1);
    ASSERT_EQ(Dispatch(second, effEditOpen, 0, hostB.Handle()), 1);
    x11test::IdleFor(150, idle);
    EXPECT_EQ(hostA.Children(), 1);
    EXPECT_EQ(hostB.Children(), 1);
    AEffect* closeFirst = round == 0 ? first : second;
    AEffect* closeLast = round == 0 ? second : first;
    EXPECT_EQ(Dispatch(closeFirst, effEditClose), 1);
    x11test::IdleFor(60, idle);
    EXPECT_EQ(Dispatch(closeLast, effEditClose), 1);
  }
  EXPECT_EQ(hostA.Children(), 0);
  EXPECT_EQ(hostB.Children(), 0);
  EXPECT_EQ(x11test::HostErrors(), errorsBefore);
  // The host's own error handler is back in place.
  EXPECT_EQ(XSetErrorHandler(x11test::HostErrorHandler()), x11test::HostErrorHandler());
  Dispatch(first, effClose);
  Dispatch(second, effClose);
}

TEST(X11PluginEditor, SurvivesTheHostDestroyingItsWindowFirst) {
  REQUIRE_DISPLAY();
  PluginLibrary library;
  AEffect* effect = library.Instance();
  ASSERT_NE(effect, nullptr);
  {
    HostWindow host(kW, kH);
    ASSERT_EQ(Dispatch(effect, effEditOpen, 0, host.Handle()), 1);
    x11test::IdleFor(120, [&] { Dispatch(effect, effEditIdle); });
    host.Destroy();
    x11test::IdleFor(120, [&] { Dispatch(effect, effEditIdle); });
    EXPECT_EQ(Dispatch(effect, effEditClose), 1);
  }
  // And it opens again in a new window.
  HostWindow again(kW, kH);
  const int errorsBefore = x11test::HostErrors();
  ASSERT_EQ(Dispatch(effect, effEditOpen, 0, again.Handle()), 1);
  x11test::IdleFor(120, [&] { Dispatch(effect, effEditIdle); });
  EXPECT_EQ(again.Children(), 1);
  EXPECT_EQ(Dispatch(effect, effEditClose), 1);
  EXPECT_EQ(x11test::HostErrors(), errorsBefore);
  EXPECT_EQ(XSetErrorHandler(x11test::HostErrorHandler()), x11test::HostErrorHandler());
  Dispatch(effect, effClose);
}

// REDI's own editor in the host's window, used as a user would.
class X11PluginSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no X server (the suite runs under xvfb-run)";
    RecordingCallback::Current().Reset();
    effect = library.Instance();
    ASSERT_NE(effect, nullptr);
    ERect* rect = nullptr;
    ASSERT_EQ(Dispatch(effect, effEditGetRect, 0, &rect), 1);
    ASSERT_EQ(rect->right - rect->left, Px(kW));
    ASSERT_EQ(rect->bottom - rect->top, Px(kH));
    window = std::make_unique<HostWindow>(Px(kW), Px(kH));
    ASSERT_EQ(Dispatch(effect, effEditOpen, 0, window->Handle()), 1);
    Idle(300);
  }
  void TearDown() override {
    if (effect == nullptr) return;
    if (window) Dispatch(effect, effEditClose);
    Dispatch(effect, effClose);
  }
  void Idle(int ms) {
    x11test::IdleFor(ms, [&] { Dispatch(effect, effEditIdle); });
  }
  bool Run(const std::vector<x11test::Input>& steps) {
    return x11test::IdleUntilDone(x11test::SendInput(steps),
                                  [&] { Dispatch(effect, effEditIdle); });
  }
  // The editor's logical positions on the screen, at its size.
  int Px(int logical) const { return (logical * percent + 50) / 100; }
  int X(int x) const { return window->RootX() + Px(x); }
  int Y(int y) const { return window->RootY() + Px(y); }
  std::string ProgramName() {
    char name[64] = {};
    Dispatch(effect, effGetProgramName, 0, name);
    return name;
  }

  int percent = 100;  // the editor's size
  PluginLibrary library;
  AEffect* effect = nullptr;
  std::unique_ptr<HostWindow> window;
};

// The same at 200 %, the size chosen in the configuration file every
// instance reads.
class X11PluginSessionAt200 : public X11PluginSession {
 protected:
  void SetUp() override {
    percent = 200;
    home.WriteConfiguration("[Global]\nEditor Size=200\n");
    X11PluginSession::SetUp();
  }
  PluginConfigHome home;
};

std::vector<x11test::Input> Join(std::vector<std::vector<x11test::Input>> parts) {
  std::vector<x11test::Input> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST_F(X11PluginSession, DraggingTheTuneKnobTellsTheHostTheWholeGesture) {
  std::vector<x11test::Input> drag = {x11test::Move(X(70), Y(84)), x11test::Wait(60),
                                      x11test::Press(1)};
  for (int step = 1; step <= 6; ++step) {
    drag.push_back(x11test::Move(X(70), Y(84 - 6 * step)));
    drag.push_back(x11test::Wait(40));
  }
  drag.push_back(x11test::Release(1));
  ASSERT_TRUE(Run(drag));
  std::vector<VstInt32> calls;
  for (const HostCall& call : RecordingCallback::Current().calls) {
    if (call.opcode != audioMasterBeginEdit && call.opcode != audioMasterEndEdit &&
        call.opcode != audioMasterAutomate) {
      continue;
    }
    EXPECT_EQ(call.index, kTune);
    if (calls.empty() || calls.back() != call.opcode) calls.push_back(call.opcode);
  }
  const std::vector<VstInt32> expected = {audioMasterBeginEdit, audioMasterAutomate,
                                          audioMasterEndEdit};
  EXPECT_EQ(calls, expected);
}

TEST_F(X11PluginSession, PartsUncoveredByAnotherWindowShowTheEditorAgain) {
  Display* display = window->GetDisplay();
  XSetWindowAttributes attributes = {};
  attributes.override_redirect = True;
  attributes.background_pixel = 0xff00ff;
  const Window cover = XCreateWindow(display, DefaultRootWindow(display), window->RootX() + 100,
                                     window->RootY() + 50, 300, 200, 0, CopyFromParent, InputOutput,
                                     CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
  XMapRaised(display, cover);
  XSync(display, False);
  Idle(200);
  XDestroyWindow(display, cover);
  XSync(display, False);
  Idle(200);
  EXPECT_EQ(DifferentPixels(window->Capture(kW, kH), HeadlessRender(false)), 0);
}

TEST_F(X11PluginSession, PageSwitchShowsTheTweakPageAsTheHeadlessRenderDraws) {
  ASSERT_TRUE(Run(x11test::Click(X(769), Y(316))));
  Idle(200);
  const std::vector<uint32_t> shown = window->Capture(kW, kH);
  const std::vector<uint32_t> expected = HeadlessRender(true);
  x11test::SaveImage("x11_editor_tweak_window", shown, kW, kH);
  x11test::SaveImage("x11_editor_tweak_headless", expected, kW, kH);
  EXPECT_EQ(DifferentPixels(shown, expected), 0);
  EXPECT_GT(DifferentPixels(shown, HeadlessRender(false)), kW * kH / 10);
}

TEST_F(X11PluginSession, ProgramListChoosesAProgramInASubmenu) {
  // Second group ("16 - 31"), into it, two down: program 18.
  ASSERT_TRUE(Run(Join({x11test::Click(X(402), Y(316)),
                        {x11test::ExpectPopups(1), x11test::Key(XK_Down), x11test::Key(XK_Down),
                         x11test::Key(XK_Right), x11test::ExpectPopups(2), x11test::Key(XK_Down),
                         x11test::Key(XK_Down), x11test::Key(XK_Return)}})));
  EXPECT_EQ(Dispatch(effect, effGetProgram), 18);
  EXPECT_EQ(x11test::OverrideRedirectWindows(window->GetDisplay()), 0);
}

TEST_F(X11PluginSession, NameBoxTakesATypedProgramName) {
  ASSERT_TRUE(Run(Join(
      {x11test::Click(X(537), Y(315)), x11test::Keys("Deep Voice"), {x11test::Key(XK_Return)}})));
  Idle(100);
  EXPECT_EQ(ProgramName(), "Deep Voice");
}

TEST_F(X11PluginSession, WavMenuOpensAndEscapeClosesIt) {
  ASSERT_TRUE(Run(Join({x11test::Click(X(474), Y(270)),
                        {x11test::ExpectPopups(1), x11test::Key(XK_Escape), x11test::Wait(100),
                         x11test::ExpectPopups(0)}})));
  EXPECT_EQ(window->Children(), 1);
}

TEST_F(X11PluginSessionAt200, ShowsBothPagesAsTheHeadlessRenderAt200Draws) {
  std::vector<uint32_t> shown = window->Capture(1600, 720);
  x11test::SaveImage("x11_editor_window_200", shown, 1600, 720);
  EXPECT_EQ(DifferentPixels(shown, HeadlessRender(false, 200), 200), 0);
  ASSERT_TRUE(Run(x11test::Click(X(769), Y(316))));  // the page switch, where it is drawn
  Idle(200);
  shown = window->Capture(1600, 720);
  x11test::SaveImage("x11_editor_tweak_window_200", shown, 1600, 720);
  EXPECT_EQ(DifferentPixels(shown, HeadlessRender(true, 200), 200), 0);
}

TEST_F(X11PluginSessionAt200, ADragKeepsItsFeelAndADoubleClickRestoresTheDefault) {
  const float before = effect->getParameter(effect, kTune);
  // 36 pixels up on the screen are 18 of the editor's own.
  std::vector<x11test::Input> drag = {x11test::Move(X(70), Y(84)), x11test::Wait(60),
                                      x11test::Press(1)};
  for (int step = 1; step <= 6; ++step) {
    drag.push_back(x11test::Move(X(70), Y(84) - 6 * step));
    drag.push_back(x11test::Wait(40));
  }
  drag.push_back(x11test::Release(1));
  ASSERT_TRUE(Run(drag));
  const float moved = effect->getParameter(effect, kTune);
  // A vertical knob of 32 pixels at gearing 4 moves by 1 / 128 per pixel.
  EXPECT_NEAR(moved - before, 18.0 / 128.0, 1.5 / 128.0);
  ASSERT_TRUE(Run(Join({x11test::Click(X(62), Y(76)), x11test::Click(X(62), Y(76))})));
  EXPECT_FLOAT_EQ(effect->getParameter(effect, kTune), before);
}

TEST_F(X11PluginSessionAt200, MenusAndTheNameBoxWorkWhereTheyAreDrawn) {
  ASSERT_TRUE(Run(Join({x11test::Click(X(402), Y(316)),
                        {x11test::ExpectPopups(1), x11test::Key(XK_Down), x11test::Key(XK_Down),
                         x11test::Key(XK_Right), x11test::ExpectPopups(2), x11test::Key(XK_Down),
                         x11test::Key(XK_Down), x11test::Key(XK_Return)}})));
  EXPECT_EQ(Dispatch(effect, effGetProgram), 18);
  ASSERT_TRUE(Run(Join(
      {x11test::Click(X(537), Y(315)), x11test::Keys("Deep Voice"), {x11test::Key(XK_Return)}})));
  Idle(100);
  EXPECT_EQ(ProgramName(), "Deep Voice");
}

TEST(X11EditorScale, XftDpiGivesTheScreensScale) {
  EXPECT_EQ(XftDpiPercent(nullptr), 100);
  EXPECT_EQ(XftDpiPercent("Xft.antialias:\t1\nXft.dpi:\t192\n"), 200);
  EXPECT_EQ(XftDpiPercent("Xft.dpi: 144\n"), 150);
  EXPECT_EQ(XftDpiPercent("Xft.dpi:\t120.5\nXft.hinting:\t1"), 126);
  EXPECT_EQ(XftDpiPercent("Xft.dpi:\tlarge\n"), 100);
  EXPECT_EQ(XftDpiPercent("Xft.dpi:\t100000\n"), 100);
  EXPECT_EQ(XftDpiPercent("Xcursor.size:\t24\n"), 100);
}

// ---- The backend with controls of the test's own ----

using editortest::TestPlug;
using x11test::Click;
using x11test::Input;

class X11Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no X server (the suite runs under xvfb-run)";
    RecordingCallback::Current().Reset();
    gui = new IGraphicsX11(&plug, kW, kH);
    realKnob = AddKnob(IRECT(20, 20, 80, 80), editortest::kReal);
    modeKnob = AddKnob(IRECT(120, 20, 180, 80), editortest::kMode);
    gui->AttachControl(
        new editortest::ProbeControl(&plug, &probeLog, "probe", IRECT(220, 20, 280, 80)));
    plug.AttachEditor(gui);
    window = std::make_unique<HostWindow>(kW, kH);
    ASSERT_NE(window->Id(), 0u);
    ASSERT_EQ(Dispatch(plug.Effect(), effEditOpen, 0, window->Handle()), 1);
    Idle(150);
  }
  void TearDown() override {
    if (window) Dispatch(plug.Effect(), effEditClose);
  }

  IControl* AddKnob(const IRECT& r, int param) {
    auto* knob = new IKnobControl(&plug, r, param);
    knob->DisablePrompt(false);
    gui->AttachControl(knob);
    return knob;
  }
  void Idle(int ms) {
    x11test::IdleFor(ms, [&] { Dispatch(plug.Effect(), effEditIdle); });
  }
  // Runs the input while the host keeps idling.
  bool Run(const std::vector<Input>& steps) {
    return x11test::IdleUntilDone(x11test::SendInput(steps),
                                  [&] { Dispatch(plug.Effect(), effEditIdle); });
  }
  int X(int x) const { return window->RootX() + x; }
  int Y(int y) const { return window->RootY() + y; }
  double Value(int param) { return plug.GetParam(param)->Value(); }
  std::vector<VstInt32> EditCalls() {
    std::vector<VstInt32> calls;
    for (const HostCall& call : RecordingCallback::Current().calls) {
      if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
          call.opcode == audioMasterAutomate) {
        if (calls.empty() || calls.back() != call.opcode) calls.push_back(call.opcode);
      }
    }
    return calls;
  }
  static std::vector<Input> Join(std::vector<std::vector<Input>> parts) {
    std::vector<Input> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  }

  TestPlug plug;
  IGraphicsX11* gui = nullptr;
  IControl* realKnob = nullptr;
  IControl* modeKnob = nullptr;
  std::vector<std::string> probeLog;
  std::unique_ptr<HostWindow> window;
};

TEST_F(X11Editor, DraggingAKnobUpRaisesItAndTellsTheHostTheGesture) {
  const double before = Value(editortest::kReal);
  std::vector<Input> drag = {x11test::Move(X(50), Y(60)), x11test::Wait(60), x11test::Press(1)};
  for (int step = 1; step <= 8; ++step) {
    drag.push_back(x11test::Move(X(50), Y(60 - 5 * step)));
    drag.push_back(x11test::Wait(40));
  }
  drag.push_back(x11test::Release(1));
  ASSERT_TRUE(Run(drag));
  EXPECT_GT(Value(editortest::kReal), before);
  const std::vector<VstInt32> expected = {audioMasterBeginEdit, audioMasterAutomate,
                                          audioMasterEndEdit};
  EXPECT_EQ(EditCalls(), expected);
}

TEST_F(X11Editor, WheelNotchesDoubleClicksAndKeysReachTheControl) {
  ASSERT_TRUE(Run(Join({{x11test::Move(X(250), Y(50))},
                        Click(X(250), Y(50), 4),
                        Click(X(250), Y(50), 5),
                        Click(X(250), Y(50), 5),
                        {x11test::Wait(500)},
                        Click(X(250), Y(50)),
                        {x11test::Press(1), x11test::Wait(30), x11test::Release(1)},
                        {x11test::Key(XK_b), x11test::Key(XK_Up)}})));
  std::vector<std::string> input;
  for (const std::string& entry : probeLog) {
    if (entry.find(" draw") == std::string::npos) input.push_back(entry);
  }
  const std::vector<std::string> expected = {"probe wheel 1", "probe wheel -1", "probe wheel -1",
                                             "probe down",    "probe up",       "probe double",
                                             "probe up",      "probe key 16",   "probe key 1"};
  EXPECT_EQ(input, expected);
}

TEST_F(X11Editor, ListMenuChoosesWithTheMouseAndTheKeys) {
  // The menu opens below the control: first item at its bottom edge.
  const int itemX = X(150);
  const int secondItemY = Y(80) + 2 + 20 + 10;
  ASSERT_TRUE(Run(Join({Click(X(150), Y(50), 3),
                        {x11test::ExpectPopups(1), x11test::Move(itemX, secondItemY - 5)},
                        Click(itemX, secondItemY)})));
  EXPECT_EQ(Value(editortest::kMode), 1.0);

  // Down to the first item, down to the second, up again, Enter.
  ASSERT_TRUE(Run(Join({Click(X(150), Y(50), 3),
                        {x11test::ExpectPopups(1), x11test::Key(XK_Down), x11test::Key(XK_Down),
                         x11test::Key(XK_Up), x11test::Key(XK_Return)}})));
  EXPECT_EQ(Value(editortest::kMode), 0.0);

  // Escape and a click elsewhere dismiss without a choice.
  ASSERT_TRUE(Run(Join({Click(X(150), Y(50), 3),
                        {x11test::ExpectPopups(1), x11test::Key(XK_Down), x11test::Key(XK_Down),
                         x11test::Key(XK_Escape)}})));
  EXPECT_EQ(Value(editortest::kMode), 0.0);
  ASSERT_TRUE(
      Run(Join({Click(X(150), Y(50), 3), {x11test::ExpectPopups(1)}, Click(X(600), Y(300))})));
  EXPECT_EQ(Value(editortest::kMode), 0.0);
  EXPECT_EQ(window->Children(), 1);
}

TEST_F(X11Editor, TextEntryReplacesTheSelectedValueAndEditsWithTheKeys) {
  // Right-click opens the entry with the value selected: typing replaces it.
  ASSERT_TRUE(Run(Join({Click(X(50), Y(50), 3), x11test::Keys("7.5"), {x11test::Key(XK_Return)}})));
  EXPECT_DOUBLE_EQ(Value(editortest::kReal), 7.5);

  // "7.50" selected; End, Backspace twice -> "7."; Home, Delete -> "."; then
  // "3" at the start -> "3.", Right, "2" -> "3.2". Letters are filtered out.
  ASSERT_TRUE(
      Run(Join({Click(X(50), Y(50), 3),
                {x11test::Key(XK_End), x11test::Key(XK_BackSpace), x11test::Key(XK_BackSpace),
                 x11test::Key(XK_Home), x11test::Key(XK_Delete)},
                x11test::Keys("3x"),
                {x11test::Key(XK_Right)},
                x11test::Keys("2"),
                {x11test::Key(XK_Return)}})));
  EXPECT_DOUBLE_EQ(Value(editortest::kReal), 3.2);

  // Escape leaves the value alone.
  ASSERT_TRUE(Run(Join({Click(X(50), Y(50), 3), x11test::Keys("9"), {x11test::Key(XK_Escape)}})));
  EXPECT_DOUBLE_EQ(Value(editortest::kReal), 3.2);
  EXPECT_FALSE(gui->IsTextEntryOpen());
  EXPECT_EQ(window->Children(), 1);
}

// A menu of every kind of item, shown below (20, 100)-(120, 120).
class MenuOfEveryKind {
 public:
  MenuOfEveryKind() : menu(IPopupMenu::kPrefixTwoDigits) {
    menu.AddItem("Banks", -1, IPopupMenu::kTitle);
    menu.AddItem("Load", -1, IPopupMenu::kDisabled);
    menu.AddSeparator();
    menu.AddItem("Save");
    auto* more = new IPopupMenu;
    more->AddItem("Alpha", -1, IPopupMenu::kChecked);
    more->AddItem("Beta");
    submenu = more;
    menu.AddItem("More", more);
  }
  IPopupMenu menu;
  IPopupMenu* submenu;
};

TEST_F(X11Editor, MenuKeysSkipTitlesDisabledItemsAndSeparatorsAndEnterSubmenus) {
  MenuOfEveryKind m;
  // Down lands on "Save", then "More"; Right opens it on "Alpha"; Down, Enter.
  const pid_t child =
      x11test::SendInput({x11test::ExpectPopups(1), x11test::Key(XK_Down), x11test::Key(XK_Down),
                          x11test::Key(XK_Right), x11test::ExpectPopups(2), x11test::Key(XK_Down),
                          x11test::Key(XK_Return)});
  IPopupMenu* chosen = gui->CreateIPopupMenu(&m.menu, IRECT(20, 100, 120, 120));
  EXPECT_TRUE(x11test::IdleUntilDone(child, [] {}));
  EXPECT_EQ(chosen, m.submenu);
  EXPECT_EQ(m.submenu->GetChosenItemIdx(), 1);

  // Left leaves the submenu, Up goes back to "Save", Enter chooses it.
  const pid_t again =
      x11test::SendInput({x11test::ExpectPopups(1), x11test::Key(XK_Up), x11test::Key(XK_Right),
                          x11test::ExpectPopups(2), x11test::Key(XK_Left), x11test::ExpectPopups(1),
                          x11test::Key(XK_Up), x11test::Key(XK_Return)});
  chosen = gui->CreateIPopupMenu(&m.menu, IRECT(20, 100, 120, 120));
  EXPECT_TRUE(x11test::IdleUntilDone(again, [] {}));
  EXPECT_EQ(chosen, &m.menu);
  EXPECT_EQ(m.menu.GetChosenItemIdx(), 3);
}

TEST_F(X11Editor, MenuClicksOnTitlesAndDisabledItemsChooseNothing) {
  MenuOfEveryKind m;
  m.menu.SetChosenItemIdx(-1);
  // Rows of 20 pixels from 2 below the menu's top: title, "Load", then the
  // 7-pixel separator; the click outside at last dismisses.
  const int left = X(40);
  const int top = Y(120);
  const pid_t child = x11test::SendInput(Join({{x11test::ExpectPopups(1)},
                                               Click(left, top + 12),
                                               Click(left, top + 32),
                                               Click(left, top + 45),
                                               {x11test::ExpectPopups(1)},
                                               Click(X(700), Y(300))}));
  IPopupMenu* chosen = gui->CreateIPopupMenu(&m.menu, IRECT(20, 100, 120, 120));
  EXPECT_TRUE(x11test::IdleUntilDone(child, [] {}));
  EXPECT_EQ(chosen, nullptr);
  EXPECT_EQ(m.menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(x11test::OverrideRedirectWindows(window->GetDisplay()), 0);
}

TEST_F(X11Editor, AnOpenMenuLeavesThePlugInLockFree) {
  // While the user looks at the menu, the audio thread takes the plug-in's
  // lock as it does for every block.
  // The input process starts first: a fork copies only the calling thread.
  const pid_t input = x11test::SendInput(
      Join({Click(X(150), Y(50), 3),
            {x11test::ExpectPopups(1), x11test::Wait(2500), x11test::Key(XK_Down),
             x11test::Key(XK_Down), x11test::Key(XK_Return)}}));
  const auto start = std::chrono::steady_clock::now();
  std::atomic<long long> lockedAfterMs{-1};
  std::thread audio([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    plug.Lock().Lock();
    plug.Lock().Unlock();
    lockedAfterMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  });
  const bool ran = x11test::IdleUntilDone(input, [&] { Dispatch(plug.Effect(), effEditIdle); });
  audio.join();
  ASSERT_TRUE(ran);
  EXPECT_EQ(Value(editortest::kMode), 1.0);
  // The menu was chosen after 2.5 s at the earliest; the lock came at once.
  EXPECT_GE(lockedAfterMs.load(), 900);
  EXPECT_LT(lockedAfterMs.load(), 2000);
}

TEST_F(X11Editor, TooltipAppearsOverItsControlAndGoesWhenThePointerLeaves) {
  gui->EnableTooltips(true);
  gui->HandleMouseOver(true);
  modeKnob->SetTooltip("Mode of the test");
  ASSERT_TRUE(Run({x11test::Move(X(140), Y(40)), x11test::Wait(60), x11test::Move(X(150), Y(50)),
                   x11test::Wait(1200)}));
  Display* display = window->GetDisplay();
  EXPECT_EQ(x11test::OverrideRedirectWindows(display), 1);
  ASSERT_TRUE(Run({x11test::Move(X(600), Y(300)), x11test::Wait(100)}));
  EXPECT_EQ(x11test::OverrideRedirectWindows(display), 0);
}

// ---- Dialogs through a stand-in zenity ----

class X11Dialogs : public X11Editor {
 protected:
  void SetUp() override {
    X11Editor::SetUp();
    if (IsSkipped()) return;
    char pattern[] = "/tmp/redi-x11-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    const char* path = getenv("PATH");
    savedPath = path != nullptr ? path : "";
    setenv("PATH", (folder + ":" + savedPath).c_str(), 1);
  }
  void TearDown() override {
    if (!folder.empty()) {
      setenv("PATH", savedPath.c_str(), 1);
      std::system(("rm -rf '" + folder + "'").c_str());
    }
    X11Editor::TearDown();
  }
  // A zenity that records its arguments, prints the answer and exits so.
  void FakeZenity(const std::string& answer, int status) {
    const std::string script = folder + "/zenity";
    std::ofstream out(script);
    out << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" << folder << "/args'; done\n";
    if (!answer.empty()) out << "echo '" << answer << "'\n";
    out << "exit " << status << "\n";
    out.close();
    chmod(script.c_str(), 0755);
  }
  std::string Args() {
    std::ifstream in(folder + "/args");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string folder;
  std::string savedPath;
};

TEST_F(X11Dialogs, FileDialogsAndQuestionsComeFromZenity) {
  FakeZenity("/home/user/banks/live.fxb", 0);
  std::string name = "REDI.fxb";
  std::string start = "/home/user/banks/";
  gui->PromptForFile(&name, kFileSave, &start, "fxb fxp");
  EXPECT_EQ(name, "/home/user/banks/live.fxb");
  EXPECT_EQ(start, "/home/user/banks/");
  const std::string args = Args();
  EXPECT_NE(args.find("--file-selection\n"), std::string::npos) << args;
  EXPECT_NE(args.find("--save\n"), std::string::npos) << args;
  EXPECT_NE(args.find("--filename=/home/user/banks/REDI.fxb\n"), std::string::npos) << args;
  EXPECT_NE(args.find("*.fxb *.fxp"), std::string::npos) << args;

  FakeZenity("", 1);  // cancelled
  name = "REDI.fxp";
  gui->PromptForFile(&name, kFileOpen, &start, "fxp");
  EXPECT_EQ(name, "");
  EXPECT_EQ(start, "/home/user/banks/");

  FakeZenity("", 0);
  EXPECT_EQ(gui->ShowMessageBox("Replace it?", "REDI", kMB_YESNO), kIDYES);
  FakeZenity("", 1);
  EXPECT_EQ(gui->ShowMessageBox("Replace it?", "REDI", kMB_YESNO), kIDNO);
  EXPECT_NE(Args().find("--question\n--title=REDI\n--text=Replace it?\n"), std::string::npos)
      << Args();
}

TEST_F(X11Dialogs, AddressesOpenThroughXdgOpenAfterTheQuestion) {
  const std::string opener = folder + "/xdg-open";
  const auto fakeOpener = [&](int status) {
    std::ofstream out(opener);
    out << "#!/bin/sh\necho \"$1\" >> '" << folder << "/opened'\nexit " << status << "\n";
    out.close();
    chmod(opener.c_str(), 0755);
  };
  const auto opened = [&] {
    std::ifstream in(folder + "/opened");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  fakeOpener(0);
  FakeZenity("", 1);  // "No" to the question
  EXPECT_FALSE(gui->OpenURL("https://welmora.example/redi", "REDI", "Open the site?"));
  EXPECT_EQ(opened(), "");
  FakeZenity("", 0);  // "Yes"
  EXPECT_TRUE(gui->OpenURL("https://welmora.example/redi", "REDI", "Open the site?"));
  EXPECT_EQ(opened(), "https://welmora.example/redi\n");

  fakeOpener(4);  // no browser
  std::remove((folder + "/args").c_str());
  EXPECT_FALSE(gui->OpenURL("https://welmora.example/redi", "REDI", nullptr, "No browser."));
  EXPECT_NE(Args().find("--text=No browser.\n"), std::string::npos) << Args();
}

TEST_F(X11Dialogs, WithoutADialogProgramOurOwnBoxSaysSoAndNoFileIsChosen) {
  setenv("PATH", folder.c_str(), 1);  // neither zenity nor kdialog
  const pid_t child = x11test::SendInput({x11test::Wait(400), x11test::Key(XK_Return)});
  std::string name = "REDI.fxb";
  std::string start;
  gui->PromptForFile(&name, kFileOpen, &start, "fxb");
  EXPECT_TRUE(x11test::IdleUntilDone(child, [] {}));
  EXPECT_EQ(name, "");
  EXPECT_EQ(window->Children(), 1);
}

TEST_F(X11Dialogs, FoldersOfTheHostThePlugInAndTheDesktop) {
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::string exePath = exe;
  EXPECT_EQ(gui->HostPath(), exePath.substr(0, exePath.rfind('/') + 1));
  // The editor is linked into this test program, so its library is the program.
  EXPECT_EQ(gui->PluginPath(), gui->HostPath());

  std::ofstream(folder + "/user-dirs.dirs") << "# written by xdg-user-dirs\n"
                                            << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
  const char* home = getenv("HOME");
  const std::string savedHome = home != nullptr ? home : "";
  setenv("HOME", "/home/anna", 1);
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  EXPECT_EQ(gui->DesktopPath(), "/home/anna/Schreibtisch/");
  setenv("XDG_CONFIG_HOME", (folder + "/none").c_str(), 1);
  EXPECT_EQ(gui->DesktopPath(), "/home/anna/Desktop/");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace

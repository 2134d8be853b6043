// The host's audio and automation threads change parameters while the
// editor's thread ticks, draws and takes mouse input. Run under
// ThreadSanitizer by test.sh, which reports any unguarded hand-over.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/drawing/IGraphicsHeadless.h"
#include "framework/VST2.h"
#include "framework/VSTHost.h"
#include "instrument/REDI.h"
#include "tests/vst/HostEvents.h"

namespace {

constexpr int kBlock = 64;
constexpr int kBlocks = 300;
constexpr int kParams = 24;
constexpr int kLearnedController = 7;

VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
  return effect->dispatcher(effect, opcode, 0, value, ptr, opt);
}

TEST(EditorConcurrency, AudioAndAutomationRunWhileTheEditorTicksDrawsAndIsDragged) {
  VSTHost host(StatelessHost);
  REDI plug(&host);
  AEffect* effect = plug.Effect();
  // Headless on every platform, so that prompts open no real menus.
  auto* gui = new IGraphicsHeadless(&plug, 800, 360);
  for (int i = 0; i < kParams; ++i) {
    auto* knob = new IKnobControl(&plug, IRECT(i * 20, 0, i * 20 + 20, 32), i);
    knob->DisablePrompt(false);
    gui->AttachControl(knob);
  }
  plug.AttachEditor(gui);
  ASSERT_EQ(plug.GetGUI(), gui);
  plug.controllerMap[kLearnedController] = 5;  // a learned controller moves a control too
  Dispatch(effect, effOpen);
  Dispatch(effect, effSetSampleRate, 0, nullptr, 48000.0f);
  Dispatch(effect, effSetBlockSize, kBlock);
  Dispatch(effect, effMainsChanged, 1);
  ASSERT_TRUE(gui->OpenWindow(nullptr));

  std::atomic<bool> running{true};
  std::thread audio([effect] {
    PlayBlocks(effect, kBlocks, kBlock, [](int block) {
      return EventList({MidiEvent(0, 0xB0, kLearnedController, block % 128)});
    });
  });
  std::thread automation([effect, &running] {
    for (int edit = 0; running; ++edit) {
      effect->setParameter(effect, edit % kParams, static_cast<float>(edit % 100) / 100.0f);
    }
  });

  const IMouseMod left(true, false);
  for (int tick = 0; tick < 400; ++tick) {
    gui->OnTimerTick();
    const int x = (tick % kParams) * 20 + 5;
    gui->OnMouseDown(x, 20, left);
    gui->OnMouseDrag(x, 10 + tick % 7, left);
    gui->OnMouseUp(x, 10, left);
    if (tick % 10 == 0) {  // a typed value or a choice, prompted with the current value
      gui->OnMouseDown(x, 20, IMouseMod(false, true));
      gui->OnMouseUp(x, 20, IMouseMod(false, true));
      gui->Type("1");
      gui->Commit();
    }
    Dispatch(effect, effEditIdle);
  }
  audio.join();
  running = false;
  automation.join();
  gui->CloseWindow();

  // Once every thread is done, a refresh shows the plug-in's values.
  plug.RefreshParamControls();
  gui->OnTimerTick();
  for (int i = 0; i < kParams; ++i) {
    const IControl* control = gui->GetControl(gui->NControls() - kParams + i);
    EXPECT_NEAR(control->GetValue(), effect->getParameter(effect, i), 1e-6) << i;
  }
}

}  // namespace

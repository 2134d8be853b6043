#pragma once

// A small plug-in with a handful of parameter kinds, a headless editor on it,
// test-only controls that record what happens to them, and bitmap strips
// made in the test.

#include <memory>
#include <string>
#include <vector>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/drawing/IGraphicsHeadless.h"
#include "editor/drawing/LICE.h"
#include "framework/IPlugVST.h"
#include "framework/VSTHost.h"
#include "vst/RecordingCallback.h"

namespace editortest {

enum Param {
  kReal = 0,     // 0...10 in steps of 0.01, two decimals
  kWhole = 1,    // 0...100 in whole steps
  kMode = 2,     // list: "Alpha", "Beta"
  kFlag = 3,     // switch: "off", "on"
  kNegated = 4,  // -10...0 shown with the sign reversed
  kShaped = 5,   // 0...100, shape 2
};

// A plug-in talking to a recording VST 2 host callback.
class TestPlug : public IPlugVST {
 public:
  static constexpr Identity kIdentity = {"Test", "", "Welmora", 0x74657374, 0x00010000, "2-2"};

  TestPlug() : TestPlug(std::make_unique<VSTHost>(RecordingCallback::Callback)) {}

  void IdleHook() override { ++idleCalls; }
  void EditorOpened() override { events.push_back("opened"); }
  void EditorClosed() override { events.push_back("closed"); }
  void ParamChanged(int index) override { changed.push_back(index); }

  int idleCalls = 0;
  std::vector<std::string> events;
  std::vector<int> changed;

 private:
  explicit TestPlug(std::unique_ptr<VSTHost> host) : IPlugVST(host.get(), kIdentity) {
    AdoptHost(std::move(host));
    GetParam(kReal)->DefineContinuous("Real", 5.0, 0.0, 10.0, 0.01);
    GetParam(kWhole)->DefineContinuous("Whole", 50.0, 0.0, 100.0, 1.0, "%");
    GetParam(kMode)->DefineList("Mode", 0, "Alpha", "Beta");
    GetParam(kFlag)->DefineSwitch("Flag", false);
    GetParam(kNegated)->DefineContinuous("Negated", -2.0, -10.0, 0.0, 0.1);
    GetParam(kNegated)->SetNegateDisplay(true);
    GetParam(kShaped)->DefineContinuous("Shaped", 25.0, 0.0, 100.0, 1.0, "", 2.0);
  }
};

// Records calls into a shared log as "<name> <operation>".
class ProbeControl : public IControl {
 public:
  ProbeControl(IPlugBase* plug, std::vector<std::string>* log, const char* name, const IRECT& r,
               int paramIdx = -1)
      : IControl(plug, r, paramIdx), log(log), name(name) {}

  bool Draw(IGraphics* /*graphics*/) override {
    log->push_back(name + " draw");
    return true;
  }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override {
    log->push_back(name + " down");
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) override {
    log->push_back(name + " up");
  }
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override {
    log->push_back(name + " double");
    IControl::OnMouseDblClick(x, y, mod);
  }
  void OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& /*mod*/, int notches) override {
    log->push_back(name + " wheel " + std::to_string(notches));
  }
  bool OnKeyDown(int /*x*/, int /*y*/, int key) override {
    log->push_back(name + " key " + std::to_string(key));
    return handlesKeys;
  }
  void OnMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) override {
    log->push_back(name + " over");
  }
  void OnMouseOut() override { log->push_back(name + " out"); }
  void TextFromTextEntry(const char* text) override { log->push_back(name + " text " + text); }

  void SetValue(double v) { value = v; }
  bool handlesKeys = true;

 private:
  std::vector<std::string>* log;
  std::string name;
};

// A vertical strip of frames, each filled with its own colour.
inline LICE_pixel FrameColour(int frame) { return LICE_RGBA(10 * frame, 200, 255 - frame, 255); }

inline std::unique_ptr<LICE_MemBitmap> MakeStrip(int w, int frameH, int frames) {
  auto bitmap = std::make_unique<LICE_MemBitmap>(w, frameH * frames);
  for (int f = 0; f < frames; ++f)
    LICE_FillRect(bitmap.get(), 0, f * frameH, w, frameH, FrameColour(f + 1));
  return bitmap;
}

inline LICE_pixel PixelAt(IGraphics& graphics, int x, int y) {
  LICE_IBitmap* surface = graphics.GetDrawBitmap();
  return surface->getBits()[y * surface->getRowSpan() + x];
}

// Ticks until nothing is dirty (at most a few ticks).
inline void Settle(IGraphicsHeadless& graphics) {
  IRECT r;
  for (int i = 0; i < 5 && graphics.IsDirty(&r); ++i) graphics.Tick();
}

// A plug-in with its headless editor, the editor attached when asked.
struct Rig {
  Rig() : graphics(new IGraphicsHeadless(&plug, 200, 100)) { RecordingCallback::Current().Reset(); }
  ~Rig() {
    if (!attached) delete graphics;
  }
  void Attach() {
    plug.AttachEditor(graphics);
    attached = true;
  }
  // Attaches and opens, and draws everything once.
  void Open() {
    Attach();
    graphics->OpenWindow(nullptr);
    Settle(*graphics);
    log.clear();
  }

  TestPlug plug;
  IGraphicsHeadless* graphics;
  bool attached = false;
  std::vector<std::string> log;
};

inline const IMouseMod kLeft(true, false);
inline const IMouseMod kRight(false, true);

}  // namespace editortest

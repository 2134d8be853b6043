#pragma once

#include <atomic>

#include "framework/vst3/EditController.h"
#include "framework/vst3/PlugView.h"

class IPlugBase;

// The view over REDI's own editor window. It holds a reference on the
// controller, so the plug-in object and its editor outlive it. On Linux the
// window's events and redraws run from the host's run loop only.
class Vst3Editor final : public vst3::IPlugView,
                         public vst3::IPlugViewContentScaleSupport,
                         public vst3::Linux::IEventHandler,
                         public vst3::Linux::ITimerHandler {
 public:
  // Starts with one reference, the caller's. hostContext may be null. While
  // attached, the view stands in *openView, where the plug-in finds it.
  Vst3Editor(vst3::IEditController* controller, IPlugBase* plug, vst3::FUnknown* hostContext,
             Vst3Editor** openView);
  Vst3Editor(const Vst3Editor&) = delete;
  Vst3Editor& operator=(const Vst3Editor&) = delete;

  vst3::tresult VST3_CALL queryInterface(const vst3::TUID iid, void** obj) override;
  vst3::uint32 VST3_CALL addRef() override;
  vst3::uint32 VST3_CALL release() override;

  vst3::tresult VST3_CALL isPlatformTypeSupported(vst3::FIDString type) override;
  vst3::tresult VST3_CALL attached(void* parent, vst3::FIDString type) override;
  vst3::tresult VST3_CALL removed() override;
  // The window takes mouse and keys itself.
  vst3::tresult VST3_CALL onWheel(float) override { return vst3::kResultFalse; }
  vst3::tresult VST3_CALL onKeyDown(vst3::char16, vst3::int16, vst3::int16) override {
    return vst3::kResultFalse;
  }
  vst3::tresult VST3_CALL onKeyUp(vst3::char16, vst3::int16, vst3::int16) override {
    return vst3::kResultFalse;
  }
  vst3::tresult VST3_CALL getSize(vst3::ViewRect* size) override;
  vst3::tresult VST3_CALL onSize(vst3::ViewRect* newSize) override;
  vst3::tresult VST3_CALL onFocus(vst3::TBool) override { return vst3::kResultOk; }
  vst3::tresult VST3_CALL setFrame(vst3::IPlugFrame* frame) override;
  vst3::tresult VST3_CALL canResize() override { return vst3::kResultFalse; }
  vst3::tresult VST3_CALL checkSizeConstraint(vst3::ViewRect* rect) override;

  // The host's scale: the editor's size when the user has chosen none.
  vst3::tresult VST3_CALL setContentScaleFactor(float factor) override;
  float ContentScale() const { return scale; }

  void VST3_CALL onFDIsSet(vst3::Linux::FileDescriptor fd) override;
  void VST3_CALL onTimer() override;

  bool IsAttached() const { return isAttached; }
  // Asks the host's frame for this size of the view, in pixels.
  bool RequestSize(int width, int height);

 private:
  ~Vst3Editor();
  void Close();

  std::atomic<vst3::uint32> references{1};
  vst3::IEditController* controller;
  IPlugBase* plug;
  vst3::FUnknown* hostContext;
  Vst3Editor** openView;
  vst3::IPlugFrame* frame = nullptr;
  vst3::Linux::IRunLoop* runLoop = nullptr;
  bool isAttached = false;
  float scale = 1.0f;
};

#include "framework/vst3/Vst3Editor.h"

#include <cmath>
#include <cstring>

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

using namespace vst3;

namespace {

#if defined(_WIN32)
constexpr const char* kNativeType = kPlatformTypeHWND;
constexpr bool kNeedsRunLoop = false;  // the window runs its own timer
#else
constexpr const char* kNativeType = kPlatformTypeX11EmbedWindowID;
constexpr bool kNeedsRunLoop = true;
#endif

// Hosts offer the run loop on the frame; some only on the host context.
Linux::IRunLoop* QueryRunLoop(FUnknown* from) {
  void* found = nullptr;
  if (from == nullptr || from->queryInterface(Linux::IRunLoop::iid.bytes, &found) != kResultOk) {
    return nullptr;
  }
  return static_cast<Linux::IRunLoop*>(found);
}

}  // namespace

Vst3Editor::Vst3Editor(IEditController* controller_, IPlugBase* plug_, FUnknown* hostContext_,
                       Vst3Editor** openView_)
    : controller(controller_), plug(plug_), hostContext(hostContext_), openView(openView_) {
  controller->addRef();
  if (hostContext != nullptr) hostContext->addRef();
}

Vst3Editor::~Vst3Editor() {
  Close();
  if (frame != nullptr) frame->release();
  if (hostContext != nullptr) hostContext->release();
  controller->release();
}

tresult VST3_CALL Vst3Editor::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  void* found = nullptr;
  if (FUnknown::iid.Equals(iid) || IPlugView::iid.Equals(iid)) {
    found = static_cast<IPlugView*>(this);
  } else if (IPlugViewContentScaleSupport::iid.Equals(iid)) {
    found = static_cast<IPlugViewContentScaleSupport*>(this);
  } else if (Linux::IEventHandler::iid.Equals(iid)) {
    found = static_cast<Linux::IEventHandler*>(this);
  } else if (Linux::ITimerHandler::iid.Equals(iid)) {
    found = static_cast<Linux::ITimerHandler*>(this);
  }
  *obj = found;
  if (found == nullptr) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 VST3_CALL Vst3Editor::addRef() { return ++references; }

uint32 VST3_CALL Vst3Editor::release() {
  const uint32 left = --references;
  if (left == 0) delete this;
  return left;
}

tresult VST3_CALL Vst3Editor::isPlatformTypeSupported(FIDString type) {
  return type != nullptr && std::strcmp(type, kNativeType) == 0 ? kResultTrue : kResultFalse;
}

tresult VST3_CALL Vst3Editor::attached(void* parent, FIDString type) {
  IGraphics* editor = plug->GetGUI();
  if (isAttached || editor == nullptr || parent == nullptr ||
      isPlatformTypeSupported(type) != kResultTrue) {
    return kResultFalse;
  }
  if (kNeedsRunLoop) {
    runLoop = QueryRunLoop(frame);
    if (runLoop == nullptr) runLoop = QueryRunLoop(hostContext);
    if (runLoop == nullptr) return kResultFalse;
  }
  {
    ScopedLock guard(plug->Lock());
    plug->PrepareEditorSize();
    if (!editor->OpenWindow(parent)) {
      if (runLoop != nullptr) runLoop->release();
      runLoop = nullptr;
      return kResultFalse;
    }
    plug->EditorOpened();
    // VST 3 hosts make no editor-idle calls: the meter moves on the tick.
    editor->SetIdleHookEveryTick(true);
  }
  isAttached = true;
  if (openView != nullptr) *openView = this;
  if (runLoop != nullptr) {
    const int fd = editor->EventDescriptor();
    const int fps = editor->FPS() > 0 ? editor->FPS() : IGraphics::kDefaultFPS;
    if ((fd >= 0 && runLoop->registerEventHandler(this, fd) != kResultOk) ||
        runLoop->registerTimer(this, static_cast<Linux::TimerInterval>(1000 / fps)) != kResultOk) {
      Close();
      return kResultFalse;
    }
  }
  return kResultOk;
}

tresult VST3_CALL Vst3Editor::removed() {
  if (!isAttached) return kResultFalse;
  Close();
  return kResultOk;
}

void Vst3Editor::Close() {
  if (runLoop != nullptr) {
    // Both, whichever registered: unregistering an unknown handler is harmless.
    runLoop->unregisterTimer(this);
    runLoop->unregisterEventHandler(this);
    runLoop->release();
    runLoop = nullptr;
  }
  if (!isAttached) return;
  isAttached = false;
  if (openView != nullptr && *openView == this) *openView = nullptr;
  ScopedLock guard(plug->Lock());
  plug->EditorClosed();
  if (IGraphics* editor = plug->GetGUI()) editor->CloseWindow();
}

tresult VST3_CALL Vst3Editor::getSize(ViewRect* size) {
  IGraphics* editor = plug->GetGUI();
  if (size == nullptr || editor == nullptr) return kInvalidArgument;
  if (!isAttached) {
    ScopedLock guard(plug->Lock());
    plug->PrepareEditorSize();
  }
  *size = ViewRect{0, 0, editor->PixelWidth(), editor->PixelHeight()};
  return kResultOk;
}

bool Vst3Editor::RequestSize(int width, int height) {
  if (frame == nullptr || !isAttached) return false;
  ViewRect asked = {0, 0, width, height};
  return frame->resizeView(this, &asked) == kResultTrue;
}

tresult VST3_CALL Vst3Editor::onSize(ViewRect* newSize) {
  if (newSize == nullptr) return kInvalidArgument;
  // The size is fixed: any other asks the host to keep ours.
  ViewRect fixed = {};
  getSize(&fixed);
  return newSize->right - newSize->left == fixed.right &&
                 newSize->bottom - newSize->top == fixed.bottom
             ? kResultOk
             : kResultFalse;
}

tresult VST3_CALL Vst3Editor::checkSizeConstraint(ViewRect* rect) {
  ViewRect fixed = {};
  if (rect == nullptr || getSize(&fixed) != kResultOk) return kInvalidArgument;
  rect->right = rect->left + fixed.right;
  rect->bottom = rect->top + fixed.bottom;
  return kResultTrue;
}

tresult VST3_CALL Vst3Editor::setFrame(IPlugFrame* newFrame) {
  if (newFrame != nullptr) newFrame->addRef();
  if (frame != nullptr) frame->release();
  frame = newFrame;
  return kResultOk;
}

tresult VST3_CALL Vst3Editor::setContentScaleFactor(float factor) {
  if (!(factor > 0.0f) || !std::isfinite(factor)) return kInvalidArgument;
  scale = factor;
  ScopedLock guard(plug->Lock());
  plug->HostEditorScale(factor);
  return kResultOk;
}

// The editor locks where it touches shared state, as under effEditIdle.
void VST3_CALL Vst3Editor::onFDIsSet(Linux::FileDescriptor /*fd*/) {
  if (IGraphics* editor = plug->GetGUI()) editor->OnHostIdle();
}

void VST3_CALL Vst3Editor::onTimer() {
  if (IGraphics* editor = plug->GetGUI()) editor->OnHostIdle();
}

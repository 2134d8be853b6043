#include "editor/IControls.h"

#include "editor/IGraphics.h"

namespace {

IRECT FrameRect(int x, int y, const IBitmap& bitmap) {
  return IRECT(x, y, x + bitmap.FrameW(), y + bitmap.FrameH());
}

}  // namespace

// ---- IBitmapControl ----

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& b,
                               IChannelBlend::EBlendMethod blendMethod)
    : IControl(plug, FrameRect(x, y, b), paramIdx, blendMethod), bitmap(b) {}

bool IBitmapControl::Draw(IGraphics* graphics) {
  const int frame = IGraphics::FrameForValue(bitmap.N, value);
  return graphics->DrawBitmapFrame(bitmap, rect, frame, &blend);
}

// ---- ISwitchControl ----

void ISwitchControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  value += bitmap.N < 2 ? 1.0 : 1.0 / (bitmap.N - 1);
  // The tolerance keeps the last frame reachable despite rounding in the step.
  if (value > 1.001) value = 0.0;
  SetDirty(true);
}

// ---- IInvisibleSwitchControl ----

IInvisibleSwitchControl::IInvisibleSwitchControl(IPlugBase* plug, const IRECT& r, int paramIdx)
    : IControl(plug, r, paramIdx, IChannelBlend::kBlendClobber) {}

void IInvisibleSwitchControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  value = value < 0.5 ? 1.0 : 0.0;
  SetDirty(true);
}

// ---- IKnobControl ----

IKnobControl::IKnobControl(IPlugBase* plug, const IRECT& r, int paramIdx, EDirection dir, double g)
    : IControl(plug, r, paramIdx), direction(dir), gearing(g) {}

void IKnobControl::OnMouseDrag(int /*x*/, int /*y*/, int dX, int dY, const IMouseMod& mod) {
  const double g = (mod.S || mod.C) ? gearing * 10.0 : gearing;
  if (direction == kVertical) {
    if (rect.bottom == rect.top) return;
    value += static_cast<double>(dY) / static_cast<double>(rect.top - rect.bottom) / g;
  } else {
    if (rect.right == rect.left) return;
    value += static_cast<double>(dX) / static_cast<double>(rect.right - rect.left) / g;
  }
  SetDirty(true);
}

// ---- IKnobMultiControl ----

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& b,
                                     EDirection dir, double g)
    : IKnobControl(plug, FrameRect(x, y, b), paramIdx, dir, g), bitmap(b) {}

void IKnobMultiControl::OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& mod, int notches) {
  value += notches * ((mod.S || mod.C) ? 0.001 : 0.01);
  SetDirty(true);
}

bool IKnobMultiControl::Draw(IGraphics* graphics) {
  const int frame = IGraphics::FrameForValue(bitmap.N, value);
  return graphics->DrawBitmapFrame(bitmap, rect, frame, &blend);
}

// ---- ITextControl ----

ITextControl::ITextControl(IPlugBase* plug, const IRECT& r, const IText& style, const char* t)
    : IControl(plug, r), str(t != nullptr ? t : "") {
  text = style;
}

void ITextControl::SetTextFromPlug(const char* newText) {
  const char* t = newText != nullptr ? newText : "";
  if (str == t) return;
  str = t;
  SetDirty(false);
  redrawPending = true;
}

bool ITextControl::Draw(IGraphics* graphics) {
  if (str.empty()) return true;
  return graphics->DrawIText(text, str.c_str(), rect);
}

// ---- IFileSelectorControl ----

IFileSelectorControl::IFileSelectorControl(IPlugBase* plug, const IRECT& r, int paramIdx,
                                           EFileAction fileAction, const char* startFolder,
                                           const char* extensionList)
    : IControl(plug, r, paramIdx),
      folder(startFolder != nullptr ? startFolder : ""),
      extensions(extensionList != nullptr ? extensionList : ""),
      action(fileAction) {}

void IFileSelectorControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  if (graphics == nullptr) return;
  state = kFSSelecting;
  graphics->PromptForFile(&file, action, &folder, extensions.c_str());
  value += 1.0;
  if (value > 1.0) value = 0.0;
  state = kFSDone;
  SetDirty(true);
}

bool IFileSelectorControl::IsDirty() {
  if (dirty) return true;
  if (state != kFSDone) return false;
  state = kFSNone;
  return true;
}

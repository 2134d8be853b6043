#include "editor/IControl.h"

#include <algorithm>
#include <cstring>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"

IText::IText(int fontSize, const IColor& colour, const char* fontName, EStyle fontStyle,
             EAlign alignment, int degrees, EQuality renderQuality)
    : size(fontSize),
      color(colour),
      style(fontStyle),
      align(alignment),
      orientation(degrees),
      quality(renderQuality) {
  if (fontName != nullptr) SetFont(fontName);
}

void IText::SetFont(const char* fontName) {
  CopyText(font, sizeof font, fontName);
  cachedFont = nullptr;
}

IControl::IControl(IPlugBase* plugIn, const IRECT& r, int param,
                   IChannelBlend::EBlendMethod blendMethod)
    : plug(plugIn), rect(r), targetRect(r), paramIdx(param), blend(blendMethod) {}

void IControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& mod) {
  if (mod.R) PromptUserInput();
}

void IControl::OnMouseDblClick(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  if (defaultValue < 0.0) return;
  value = defaultValue;
  SetDirty(true);
}

void IControl::SetValueFromPlug(double v) {
  if (defaultValue < 0.0) {
    defaultValue = v;
    value = v;
  }
  if (v == value) return;
  value = v;
  SetDirty(false);
  redrawPending = true;
}

void IControl::SetValueFromUserInput(double v) {
  if (v == value) return;
  value = v;
  SetDirty(true);
  redrawPending = true;
}

void IControl::Hide(bool hide) {
  hidden = hide;
  redrawPending = true;
  SetDirty(false);
}

void IControl::GrayOut(bool gray) {
  grayed = gray;
  blend.weight = gray ? 0.25f : 1.0f;
  SetDirty(false);
}

void IControl::SetDirty(bool pushParamToPlug) {
  value = std::clamp(value, clampLo, clampHi);
  dirty = true;
  if (pushParamToPlug && paramIdx >= 0 && plug != nullptr) {
    // Host values stored before this edit are older than it; under the lock
    // no newer one can slip in between.
    ScopedLock guard(plug->Lock());
    plug->SetParamFromEditor(paramIdx, value);
    if (graphics != nullptr) graphics->DiscardPendingValue(paramIdx);
  }
  const IParameter* param = GetParam();
  if (valueDisplay != nullptr && param != nullptr) {
    char display[IParameter::kTextSize];
    param->DisplayText(value, true, true, display);
    std::string shown = display;
    shown += ' ';
    shown += param->Label();
    valueDisplay->SetTextFromPlug(shown.c_str());
  }
}

void IControl::SetClean() {
  dirty = redrawPending;
  redrawPending = false;
}

void IControl::SetAuxParamValueFromPlug(int auxParamIdx, double v) {
  AuxParam* aux = GetAuxParam(auxParamIdx);
  if (aux == nullptr) return;
  aux->value = v;
  SetDirty(false);
  redrawPending = true;
}

IParameter* IControl::GetParam() const {
  return plug != nullptr ? plug->GetParam(paramIdx) : nullptr;
}

IControl::AuxParam* IControl::GetAuxParam(int index) {
  if (index < 0 || index >= NAuxParams()) return nullptr;
  return &auxParams[static_cast<size_t>(index)];
}

void IControl::PromptUserInput() {
  IParameter* param = GetParam();
  if (disablePrompt || param == nullptr || graphics == nullptr) return;
  graphics->PromptUserInput(this, param, rect);
}

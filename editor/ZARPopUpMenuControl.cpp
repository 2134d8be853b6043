#include "editor/ZARPopUpMenuControl.h"

#include <cstring>

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "editor/ZARShared.h"
#include "framework/IParameter.h"

namespace {

const char* TextForValue(const IParameter& param, int v) {
  for (const IParameter::DisplayEntry& entry : param.DisplayTexts())
    if (entry.value == v) return entry.text;
  return "";
}

}  // namespace

ZARPopUpMenuControl::ZARPopUpMenuControl(IPlugBase* plug, const IRECT& r, int paramIdx)
    : IControl(plug, r, paramIdx) {
  text = SelectorStyle();
}

bool ZARPopUpMenuControl::Draw(IGraphics* graphics) {
  const IParameter* param = GetParam();
  if (param == nullptr) return false;
  char display[IParameter::kTextSize];
  param->DisplayText(value, true, true, display);
  return graphics->DrawIText(text, display, rect);
}

void ZARPopUpMenuControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  const IParameter* param = GetParam();
  if (param == nullptr || graphics == nullptr) return;
  char current[IParameter::kTextSize];
  param->DisplayText(value, true, true, current);
  IPopupMenu menu;
  const int count = static_cast<int>(param->DisplayTexts().size());
  for (int i = 0; i < count; ++i) {
    const char* shown = TextForValue(*param, i);
    menu.AddItem(shown, -1, std::strcmp(shown, current) == 0 ? IPopupMenu::kChecked : 0);
  }
  const IPopupMenu* chosen = graphics->CreateIPopupMenu(&menu, rect);
  if (chosen == nullptr || chosen->GetChosenItemIdx() < 0) return;
  value = NormalizedFromPlain(*param, chosen->GetChosenItemIdx());
  SetDirty(true);
}

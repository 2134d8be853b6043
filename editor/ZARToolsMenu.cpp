#include "editor/ZARToolsMenu.h"

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "instrument/REDI.h"

namespace {

// One frequency group's tools; the first is the copy from the other group.
IPopupMenu* GroupMenu(const char* copyText) {
  auto* menu = new IPopupMenu;
  menu->AddItem(copyText);
  menu->AddItem("Distribute (logarithmic)");
  menu->AddItem("Distribute (linear)");
  menu->AddItem("Reverse");
  menu->AddItem("Reset");
  menu->AddSeparator();
  menu->AddItem("Shift 1 octave up");
  menu->AddItem("Shift 1 semitone up");
  menu->AddItem("Shift 1 semitone down");
  menu->AddItem("Shift 1 octave down");
  return menu;
}

}  // namespace

ZARToolsMenu::ZARToolsMenu(REDI* r, const IRECT& rect)
    : IControl(r, rect, kFrequencyTools), redi(r) {}

void ZARToolsMenu::OnMouseDown(int x, int y, const IMouseMod& /*mod*/) {
  if (graphics == nullptr) return;
  IPopupMenu menu;
  IPopupMenu* analysis = GroupMenu("Copy from Synthesis frequencies");
  IPopupMenu* synthesis = GroupMenu("Copy from Analysis frequencies");
  menu.AddItem("Analysis frequencies...", analysis);
  menu.AddItem("Synthesis frequencies...", synthesis);
  menu.AddSeparator();
  menu.AddItem("Set all levels equal to level 1");
  menu.AddItem("Set all levels to +6 dB");
  menu.AddItem("Set all levels to 0 dB");
  menu.AddItem("Set all levels to -oo dB");
  menu.AddSeparator();
  menu.AddItem("Set all to \"Modulate\"");
  menu.AddItem("Set all to \"Fixed\"");
  menu.AddSeparator();
  menu.AddItem("Reset all to default");

  const IPopupMenu* chosen = graphics->CreateIPopupMenu(&menu, IRECT(x, y, x, y));
  if (chosen == nullptr || chosen->GetChosenItemIdx() < 0) return;
  const IPopupMenu::Item* item = chosen->GetItem(chosen->GetChosenItemIdx());
  if (item == nullptr || item->IsSeparator() || item->GetSubmenu() != nullptr) return;
  int tool = chosen->GetChosenItemIdx();
  if (chosen == analysis) tool += kAnalysisFirst;
  if (chosen == synthesis) tool += kSynthesisFirst;
  redi->ApplyBandTool(tool);
  graphics->SetAllControlsDirty();
}

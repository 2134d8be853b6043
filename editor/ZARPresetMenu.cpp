#include "editor/ZARPresetMenu.h"

#include <cstdio>

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "editor/ZARShared.h"
#include "instrument/REDI.h"

ZARPresetMenu::ZARPresetMenu(REDI* r, const IRECT& number, const IRECT& name)
    : IControl(r, number.Union(name)), redi(r), numberBox(number), nameBox(name) {
  text = ProgramStyle();
  textEntryLength = kNameLength;
}

void ZARPresetMenu::Current(int* number, std::string* name) const {
  // Programs change on the host's threads too.
  ScopedLock guard(redi->Lock());
  *number = redi->CurrentProgram();
  *name = FitText(redi->ProgramName(*number), kNameLength);
}

bool ZARPresetMenu::Draw(IGraphics* graphics) {
  int number = 0;
  std::string name;
  Current(&number, &name);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02d", number);
  graphics->DrawIText(text, digits, numberBox);
  if (!name.empty()) graphics->DrawIText(text, name.c_str(), nameBox);
  return true;
}

void ZARPresetMenu::OnMouseDown(int x, int y, const IMouseMod& /*mod*/) {
  if (graphics == nullptr) return;
  if (numberBox.Contains(x, y)) {
    ShowProgramList();
  } else if (nameBox.Contains(x, y)) {
    int number = 0;
    std::string name;
    Current(&number, &name);
    graphics->OpenTextEntry(this, text, nameBox, name.c_str());
  }
}

void ZARPresetMenu::ShowProgramList() {
  IPopupMenu menu;
  IPopupMenu* groups[REDI::kNumPrograms / kProgramsPerGroup] = {};
  {
    ScopedLock guard(redi->Lock());
    const int current = redi->CurrentProgram();
    for (int g = 0; g < REDI::kNumPrograms / kProgramsPerGroup; ++g) {
      auto* group = new IPopupMenu;
      for (int p = 0; p < kProgramsPerGroup; ++p) {
        const int index = g * kProgramsPerGroup + p;
        char item[IProgram::kNameSize + 8];
        std::snprintf(item, sizeof item, "%02u: %s", static_cast<unsigned>(index),
                      redi->ProgramName(index));
        group->AddItem(FitText(item, kListItemLength).c_str(), -1,
                       index == current ? IPopupMenu::kChecked : 0);
      }
      char title[16];
      std::snprintf(title, sizeof title, "%02d - %02d", g * kProgramsPerGroup,
                    g * kProgramsPerGroup + kProgramsPerGroup - 1);
      menu.AddItem(title, group);
      groups[g] = group;
    }
  }
  const IPopupMenu* chosen = graphics->CreateIPopupMenu(&menu, numberBox);
  if (chosen == nullptr || chosen->GetChosenItemIdx() < 0) return;
  for (int g = 0; g < REDI::kNumPrograms / kProgramsPerGroup; ++g) {
    if (chosen != groups[g]) continue;
    redi->SelectProgram(g * kProgramsPerGroup + chosen->GetChosenItemIdx());
    SetDirty(false);
  }
}

void ZARPresetMenu::TextFromTextEntry(const char* typed) {
  const std::string name = FitText(typed != nullptr ? typed : "", kNameLength);
  {
    ScopedLock guard(redi->Lock());
    redi->ModifyCurrentPreset(name.c_str());
  }
  redi->ReportProgramChange();
  redi->ReportAllParams();
  SetDirty(false);
}

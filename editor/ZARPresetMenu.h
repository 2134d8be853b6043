#pragma once

#include <string>

#include "editor/IControl.h"

class REDI;

// The current program's number and name. A click on the number lists the
// programs; a click on the name lets the user rename the program.
class ZARPresetMenu : public IControl {
 public:
  static constexpr int kNameLength = 27;      // bytes of a name shown or typed
  static constexpr int kListItemLength = 31;  // bytes of a program-list item
  static constexpr int kProgramsPerGroup = 16;

  ZARPresetMenu(REDI* redi, const IRECT& numberBox, const IRECT& nameBox);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;
  void TextFromTextEntry(const char* text) override;
  bool IsHit(int x, int y) const override {
    return numberBox.Contains(x, y) || nameBox.Contains(x, y);
  }

  const IRECT& NumberBox() const { return numberBox; }
  const IRECT& NameBox() const { return nameBox; }
  // The current program's number and name (cut to kNameLength), as shown.
  void Current(int* number, std::string* name) const;

 private:
  void ShowProgramList();

  REDI* redi;
  IRECT numberBox;
  IRECT nameBox;
};

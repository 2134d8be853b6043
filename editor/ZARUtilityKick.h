#pragma once

#include "editor/IControls.h"

class REDI;

// The previous- and next-program buttons: pressed while the mouse is down,
// the program steps when it is let go.
class ZARUtilityKick : public IContactControl {
 public:
  static constexpr int kPreviousProgram = -108;
  static constexpr int kNextProgram = -109;

  ZARUtilityKick(REDI* redi, int x, int y, int action, const IBitmap& bitmap);
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;

 private:
  REDI* redi;
};

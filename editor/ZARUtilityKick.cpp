#include "editor/ZARUtilityKick.h"

#include "instrument/REDI.h"

ZARUtilityKick::ZARUtilityKick(REDI* r, int x, int y, int action, const IBitmap& b)
    : IContactControl(r, x, y, action, b), redi(r) {}

void ZARUtilityKick::OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  value = 0.0;
  SetDirty(false);
  int program = 0;
  {
    ScopedLock guard(redi->Lock());
    program = redi->CurrentProgram();
  }
  if (paramIdx == kPreviousProgram) {
    program = program - 1 < 0 ? REDI::kNumPrograms - 1 : program - 1;
  } else if (paramIdx == kNextProgram) {
    program = program + 1 >= REDI::kNumPrograms ? 0 : program + 1;
  } else {
    return;
  }
  redi->SelectProgram(program);
}

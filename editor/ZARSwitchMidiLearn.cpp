#include "editor/ZARSwitchMidiLearn.h"

#include "instrument/REDI.h"

ZARSwitchMidiLearn::ZARSwitchMidiLearn(REDI* r, int x, int y, const IBitmap& learn,
                                       const IBitmap& unlearn)
    : ISwitchControl(r, x, y, kMidiLearn, learn),
      redi(r),
      learnBitmap(learn),
      unlearnBitmap(unlearn) {}

void ZARSwitchMidiLearn::OnMouseDown(int x, int y, const IMouseMod& mod) {
  if (mod.L) {
    bitmap = learnBitmap;
    forget = false;
  } else if (mod.R) {
    bitmap = unlearnBitmap;
    forget = true;
  } else {
    SetDirty(false);
    return;
  }
  ISwitchControl::OnMouseDown(x, y, mod);
  {
    // The audio thread reads the learn state while it takes MIDI in.
    ScopedLock guard(redi->Lock());
    redi->ArmLearn(value > 0.0, forget);
  }
  SetDirty(false);
}

void ZARSwitchMidiLearn::OnGUIIdle() {
  if (!redi->TakeLearnSwitchReset()) return;
  value = 0.0;
  SetDirty(false);
}

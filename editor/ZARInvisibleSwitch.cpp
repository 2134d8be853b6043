#include "editor/ZARInvisibleSwitch.h"

#include "instrument/REDI.h"

ZARInvisibleSwitch::ZARInvisibleSwitch(REDI* r, const IRECT& rect)
    : IInvisibleSwitchControl(r, rect, kPageSwitch), redi(r) {}

void ZARInvisibleSwitch::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
  value = value < 0.5 ? 1.0 : 0.0;
  SetDirty(false);
  redi->tweakPage = !redi->tweakPage;
  redi->RefreshParamControls();
}

void ZARInvisibleSwitch::OnGUIIdle() { redi->ApplyEditorRefresh(); }

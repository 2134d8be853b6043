#pragma once

#include "editor/IControls.h"

class REDI;

// The page switch: an invisible button over the background's page symbol.
// It also serves the plug-in's refresh requests at every editor tick.
class ZARInvisibleSwitch : public IInvisibleSwitchControl {
 public:
  static constexpr int kPageSwitch = -113;

  ZARInvisibleSwitch(REDI* redi, const IRECT& rect);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* /*graphics*/) override { return true; }
  void OnGUIIdle() override;

 private:
  REDI* redi;
};

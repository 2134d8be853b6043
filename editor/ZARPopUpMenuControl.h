#pragma once

#include "editor/IControl.h"

// A list parameter shown as its current text; a click offers every text.
class ZARPopUpMenuControl : public IControl {
 public:
  ZARPopUpMenuControl(IPlugBase* plug, const IRECT& rect, int paramIdx);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;
};

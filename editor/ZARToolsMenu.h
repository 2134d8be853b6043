#pragma once

#include "editor/IControl.h"

class IPopupMenu;
class REDI;

// The band page's frequency tools: an invisible button that opens their menu.
class ZARToolsMenu : public IControl {
 public:
  static constexpr int kFrequencyTools = -114;
  // Tool numbers of the two submenus' first items.
  static constexpr int kAnalysisFirst = 12;
  static constexpr int kSynthesisFirst = 22;

  ZARToolsMenu(REDI* redi, const IRECT& rect);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* /*graphics*/) override { return true; }

 private:
  REDI* redi;
};

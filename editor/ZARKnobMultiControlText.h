#pragma once

#include "editor/IControls.h"

// A small knob with its value written underneath. The control covers the
// knob and the text line: 4 pixels more on each side and 16 below.
class ZARKnobMultiControlText : public IKnobControl {
 public:
  static constexpr int kSideMargin = 4;
  static constexpr int kTextSpace = 16;

  ZARKnobMultiControlText(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap);

  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int notches) override;
  bool Draw(IGraphics* graphics) override;

  const IRECT& KnobRect() const { return knobRect; }
  const IRECT& TextRect() const { return textRect; }
  // The text in the style it is drawn in: what Draw shows.
  std::string ValueText(IText* style) const;

 private:
  IBitmap bitmap;
  IRECT knobRect;
  IRECT textRect;
};

#include "editor/ZARKnobMultiControlText.h"

#include <string>

#include "editor/IGraphics.h"
#include "editor/ZARShared.h"
#include "framework/IParameter.h"
#include "framework/IPlugBase.h"

ZARKnobMultiControlText::ZARKnobMultiControlText(IPlugBase* plug, int x, int y, int paramIdx,
                                                 const IBitmap& b)
    : IKnobControl(
          plug,
          IRECT(x - kSideMargin, y, x + b.FrameW() + kSideMargin, y + b.FrameH() + kTextSpace),
          paramIdx),
      bitmap(b),
      knobRect(x, y, x + b.FrameW(), y + b.FrameH()),
      textRect(rect.left, knobRect.bottom + 1, rect.right, knobRect.bottom + 11) {
  if (const IParameter* param = GetParam()) {
    value = param->ToNormalized();
    defaultValue = NormalizedFromPlain(*param, param->Default());
  }
}

void ZARKnobMultiControlText::OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int dY,
                                          const IMouseMod& mod) {
  // Geared to the knob itself, not the text line below it.
  const double g = (mod.S || mod.C) ? gearing * 10.0 : gearing;
  value += static_cast<double>(dY) / static_cast<double>(knobRect.top - knobRect.bottom) / g;
  SetDirty(true);
}

void ZARKnobMultiControlText::OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& mod,
                                           int notches) {
  value += notches * ((mod.S || mod.C) ? 0.001 : 0.01);
  SetDirty(true);
}

std::string ZARKnobMultiControlText::ValueText(IText* style) const {
  const IParameter* param = GetParam();
  if (param == nullptr) return std::string();
  // The parameter's own value: one recomputed from the control's 0...1 value
  // can land just below a whole number, and the text shows whole parts.
  double plain = 0.0;
  {
    ScopedLock guard(plug->Lock());
    plain = param->Value();
  }
  char display[IParameter::kTextSize];
  param->DisplayText(plain, false, true, display);
  if (style != nullptr) *style = plain == 0.0 ? KnobValueAtZeroStyle() : KnobValueStyle();
  return std::string(display) + param->Label();
}

bool ZARKnobMultiControlText::Draw(IGraphics* graphics) {
  const int frame = IGraphics::FrameForValue(bitmap.N, value);
  const bool drawn = graphics->DrawBitmapFrame(bitmap, knobRect, frame, &blend);
  IText style;
  const std::string shown = ValueText(&style);
  if (!shown.empty()) graphics->DrawIText(style, shown.c_str(), textRect);
  return drawn;
}

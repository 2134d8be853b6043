#include "editor/ZARShared.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/IParameter.h"
#include "framework/Text.h"

IText KnobValueStyle() {
  return IText(14, IColor(160, 255, 255, 192), "Arial", IText::kStyleNormal, IText::kAlignCenter, 0,
               IText::kQualityClearType);
}

IText KnobValueAtZeroStyle() {
  return IText(14, IColor(160, 128, 128, 96), "Arial", IText::kStyleNormal, IText::kAlignCenter, 0,
               IText::kQualityClearType);
}

IText SelectorStyle() { return IText(14, IColor(192, 255, 255, 255), "Arial"); }

IText SelectorErrorStyle() { return IText(14, IColor(192, 255, 32, 32), "Arial"); }

IText ProgramStyle() {
  return IText(15, IColor(160, 255, 255, 255), "Arial", IText::kStyleNormal, IText::kAlignCenter);
}

IText VersionStyle() {
  return IText(12, IColor(128, 255, 255, 255), "Verdana", IText::kStyleNormal, IText::kAlignFar);
}

std::string FitText(const std::string& text, std::size_t maxBytes) {
  return text.substr(0, Utf8FitLength(text.c_str(), maxBytes));
}

std::string FormatMessageWithPath(const char* format, const std::string& path) {
  // Formatted whole first: snprintf would cut at a byte, inside a character.
  const int needed = std::snprintf(nullptr, 0, format, path.c_str());
  if (needed < 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
  std::snprintf(buffer.data(), buffer.size(), format, path.c_str());
  return FitText(buffer.data(), kMessageTextMax);
}

double NormalizedFromPlain(const IParameter& param, double plain) {
  const double lo = param.Min();
  const double hi = param.Max();
  if (!(hi > lo) || std::isnan(plain)) return 0.0;
  return std::pow((std::clamp(plain, lo, hi) - lo) / (hi - lo), 1.0 / param.Shape());
}

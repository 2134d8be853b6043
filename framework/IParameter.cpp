#include "framework/IParameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/Text.h"

namespace {

constexpr int kMaxDisplayPrecision = 6;

// Decimal places a step needs: step 1 gives 0, 0.01 gives 2, never more than 6.
int PrecisionFromStep(double step) {
  int precision = 0;
  while (step != std::floor(step) && precision < kMaxDisplayPrecision) {
    ++precision;
    step *= 10.0;
  }
  return precision;
}

// Display entries are looked up by the integer part of a plain value. Compared
// in double so that NaN or values beyond int never convert (and never match).
bool EntryMatches(const IParameter::DisplayEntry& entry, double plainValue) {
  return static_cast<double>(entry.value) == std::trunc(plainValue);
}

}  // namespace

void IParameter::DefineContinuous(const char* newName, double newDefault, double newMinimum,
                                  double newMaximum, double newStep, const char* newLabel,
                                  double newShape) {
  if (kind == kUndefined) kind = kContinuous;
  CopyText(name, sizeof name, newName);
  CopyText(label, sizeof label, newLabel);
  value = newDefault;
  defaultValue = newDefault;
  minimum = newMinimum;
  step = newStep;
  maximum = std::max(newMaximum, newMinimum + newStep);
  displayPrecision = PrecisionFromStep(newStep);
  if (newShape != 0.0) shape = newShape;
}

void IParameter::DefineSwitch(const char* newName, bool defaultOn) {
  if (kind == kUndefined) kind = kSwitch;
  DefineContinuous(newName, defaultOn ? 1.0 : 0.0, 0.0, 1.0, 1.0, "", 1.0);
  AddDisplayText(0, "off");
  AddDisplayText(1, "on");
}

void IParameter::DefineList(const char* newName, int newDefault, const char* firstText,
                            const char* secondText) {
  if (kind == kUndefined) kind = kList;
  DefineContinuous(newName, newDefault, 0.0, 1.0, 1.0, "", 1.0);
  AddDisplayText(0, firstText);
  AddDisplayText(1, secondText);
}

void IParameter::AddDisplayText(int entryValue, const char* text) {
  DisplayEntry entry;
  entry.value = entryValue;
  CopyText(entry.text, sizeof entry.text, text);
  displayTexts.push_back(entry);
}

double IParameter::ToNormalized() const {
  // A range of zero width has no position in it; report the bottom.
  if (!(maximum > minimum)) return 0.0;
  const double v = std::clamp(value, minimum, maximum);
  return std::pow((v - minimum) / (maximum - minimum), 1.0 / shape);
}

double IParameter::FromNormalized(double x) const {
  return std::pow(x, shape) * (maximum - minimum) + minimum;
}

void IParameter::SetNormalized(double x) {
  if (std::isnan(x)) return;
  double v = FromNormalized(x);
  if (kind != kContinuous && step > 0.0) v = std::floor(v / step + 0.5) * step;
  value = std::min(v, maximum);
}

void IParameter::SetClamped(double v) {
  // A NaN (say from a damaged state chunk) would reach the engine; keep the old value.
  if (std::isnan(v)) return;
  value = std::clamp(v, minimum, std::max(minimum, maximum));
}

void IParameter::DisplayText(double v, bool isNormalized, bool useDisplayTexts, char* text) const {
  if (isNormalized) v = FromNormalized(v);
  if (displayFormatter != nullptr) {
    displayFormatter(v, text);
    return;
  }
  if (useDisplayTexts) {
    for (const DisplayEntry& entry : displayTexts) {
      if (!EntryMatches(entry, v)) continue;
      if (entry.text[0] != '\0') {
        CopyText(text, kTextSize, entry.text);
        return;
      }
      break;
    }
  }
  if (negateDisplay) v = -v;
  if (displayPrecision > 0) {
    FormatFixed(text, kTextSize, v, displayPrecision);
  } else {
    // Integer part; adding 0.0 turns a negative zero into "0".
    FormatFixed(text, kTextSize, std::trunc(v) + 0.0, 0);
  }
}

const char* IParameter::LabelForHost() const {
  for (const DisplayEntry& entry : displayTexts) {
    if (EntryMatches(entry, value)) return entry.text[0] != '\0' ? "" : label;
  }
  return label;
}

bool IParameter::ValueFromText(const char* text, double* plainValue) const {
  if (text == nullptr) return false;
  if (displayTexts.empty()) {
    double v = 0.0;
    ParseLeadingNumber(text, &v);  // no number reads as 0
    if (!std::isfinite(v)) return false;
    *plainValue = negateDisplay ? -v : v;
    return true;
  }
  for (const DisplayEntry& entry : displayTexts) {
    if (std::strcmp(entry.text, text) == 0) {
      *plainValue = entry.value;
      return true;
    }
  }
  return false;
}

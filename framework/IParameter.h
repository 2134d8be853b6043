#pragma once

#include <vector>

// One automatable value. The plain value (in the parameter's own range) is
// the value of record; hosts and editor controls see it normalised to 0...1
// through the shape exponent.
class IParameter {
 public:
  enum Kind { kUndefined = 0, kSwitch = 1, kList = 3, kContinuous = 4 };
  static constexpr int kTextSize = 32;  // names, labels and display texts

  using DisplayFormatter = void (*)(double plainValue, char* text);

  struct DisplayEntry {
    int value;
    char text[kTextSize];
  };

  void DefineContinuous(const char* name, double defaultValue, double minimum, double maximum,
                        double step, const char* label = "", double shape = 1.0);
  void DefineSwitch(const char* name, bool defaultOn);
  void DefineList(const char* name, int defaultValue, const char* firstText,
                  const char* secondText);
  void AddDisplayText(int value, const char* text);
  void SetDisplayFormatter(DisplayFormatter f) { displayFormatter = f; }

  double ToNormalized() const;
  double FromNormalized(double x) const;
  void SetNormalized(double x);
  void SetClamped(double v);

  // Writes at most kTextSize bytes (terminator included) into text.
  void DisplayText(double v, bool isNormalized, bool useDisplayTexts, char* text) const;
  const char* LabelForHost() const;
  // False when the text matches no display entry or reads as NaN/infinity;
  // the parameter is not changed either way.
  bool ValueFromText(const char* text, double* plainValue) const;

  Kind GetKind() const { return kind; }
  double Value() const { return value; }
  double Min() const { return minimum; }
  double Max() const { return maximum; }
  double Step() const { return step; }
  double Shape() const { return shape; }
  double Default() const { return defaultValue; }
  int DisplayPrecision() const { return displayPrecision; }
  const char* Name() const { return name; }
  const char* Label() const { return label; }
  bool NegateDisplay() const { return negateDisplay; }
  void SetNegateDisplay(bool on) { negateDisplay = on; }
  const std::vector<DisplayEntry>& DisplayTexts() const { return displayTexts; }

 private:
  DisplayFormatter displayFormatter = nullptr;
  Kind kind = kUndefined;
  double value = 0.0;
  double minimum = 0.0;
  double maximum = 1.0;
  double step = 1.0;
  double shape = 1.0;
  double defaultValue = 0.0;
  int displayPrecision = 0;
  char name[kTextSize] = "";
  char label[kTextSize] = "";
  bool negateDisplay = false;
  std::vector<DisplayEntry> displayTexts;
};

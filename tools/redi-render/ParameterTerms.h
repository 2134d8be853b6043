#pragma once

#include <string>
#include <vector>

#include "PluginHost.h"

// A parameter in the terms the plug-in shows it to a host: the display texts
// of its values, plus the unit the plug-in leaves implied. Everything here is
// learned from the plug-in through the VST 2 interface: its names, labels,
// the stepped-parameter query and the display text of any normalised value.
struct ParameterTerms {
  enum class Unit {
    kPlain,     // a number, followed by the plug-in's label (if any)
    kDecibels,  // levels: the display bottoms out at "-oo"
    kPercent,   // the display ends in "%"
    kRatio,     // balances: "A:B", with words at the two ends
  };

  int index = 0;
  std::string name;
  bool stepped = false;
  std::vector<std::string> choices;  // stepped: every display text, in order
  Unit unit = Unit::kPlain;
  std::string label;              // the plug-in's unit label
  std::string lowText, highText;  // the displays of the two ends
  int decimals = 0;               // digits after the point in the display

  static ParameterTerms Learn(PluginHost& host, int index);

  // A display text with its unit: "-12.0 dB", "5.50 Hz", "on".
  std::string WithUnit(const std::string& display) const;
  // "-oo to 0.0 dB", "off | on", "Simulator (100:0) to Mic (0:100)".
  std::string Range() const;

  // Sets the parameter from a text in these terms; false with a reason when
  // the text is not one of them or lies outside the range.
  bool Set(PluginHost& host, const std::string& text, std::string* error) const;
};

#include "ParameterTerms.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// Enough probes to find every text of a list of up to 64 entries.
constexpr int kChoiceProbes = 64;
constexpr const char* kMinusInfinity = "-oo";

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A decimal number at the start of the text (point as separator, whatever
// the locale); the rest, trimmed, goes to rest.
bool LeadingNumber(const std::string& text, double* value, std::string* rest) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto result = std::from_chars(begin, end, *value, std::chars_format::fixed);
  if (result.ec != std::errc() || !std::isfinite(*value)) return false;
  *rest = Trim(std::string(result.ptr, end));
  return true;
}

bool IsNumber(const std::string& text) {
  double v = 0.0;
  std::string rest;
  return LeadingNumber(text, &v, &rest);
}

// "A:B" (the two sides of a balance, in percent): B.
bool RatioNumber(const std::string& text, double* value) {
  double a = 0.0, b = 0.0;
  std::string rest, tail;
  if (!LeadingNumber(text, &a, &rest) || rest.empty() || rest[0] != ':') return false;
  if (!LeadingNumber(Trim(rest.substr(1)), &b, &tail) || !tail.empty()) return false;
  if (a < 0 || b < 0 || std::fabs(a + b - 100.0) > 1e-6) return false;
  *value = b;
  return true;
}

int Decimals(const std::string& display) {
  const std::size_t point = display.find('.');
  if (point == std::string::npos) return 0;
  int n = 0;
  for (std::size_t i = point + 1;
       i < display.size() && std::isdigit(static_cast<unsigned char>(display[i])); ++i)
    ++n;
  return n;
}

// Without an exponent: the plug-in reads a plain decimal number.
std::string PlainText(double value) {
  char text[512] = {};
  const auto result = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed);
  *result.ptr = '\0';
  return text;
}

}  // namespace

ParameterTerms ParameterTerms::Learn(PluginHost& host, int index) {
  ParameterTerms t;
  t.index = index;
  t.name = host.ParamName(index);
  t.stepped = host.IsStepped(index);
  if (t.stepped) {
    for (int k = 0; k <= kChoiceProbes; ++k) {
      const std::string text = host.DisplayOf(index, static_cast<float>(k) / kChoiceProbes);
      if (std::find(t.choices.begin(), t.choices.end(), text) == t.choices.end())
        t.choices.push_back(text);
    }
    return t;
  }
  t.lowText = host.DisplayOf(index, 0.0f);
  t.highText = host.DisplayOf(index, 1.0f);
  const std::string middle = host.DisplayOf(index, 0.5f);
  double ignored = 0.0;
  if (t.lowText == kMinusInfinity) {
    t.unit = Unit::kDecibels;
  } else if (!middle.empty() && middle.back() == '%') {
    t.unit = Unit::kPercent;
  } else if (RatioNumber(middle, &ignored)) {
    t.unit = Unit::kRatio;
  } else {
    t.label = host.ParamLabel(index);
  }
  t.decimals = Decimals(middle);
  return t;
}

std::string ParameterTerms::WithUnit(const std::string& display) const {
  if (stepped) return display;
  switch (unit) {
    case Unit::kDecibels:
      return display + " dB";
    case Unit::kPercent:
    case Unit::kRatio:
      return display;
    case Unit::kPlain:
      break;
  }
  return label.empty() ? display : display + " " + label;
}

std::string ParameterTerms::Range() const {
  if (stepped) {
    std::string text;
    for (const std::string& choice : choices) text += (text.empty() ? "" : " | ") + choice;
    return text;
  }
  if (unit == Unit::kRatio) return lowText + " (100:0) to " + highText + " (0:100)";
  return lowText + " to " + WithUnit(highText);
}

bool ParameterTerms::Set(PluginHost& host, const std::string& given, std::string* error) const {
  const std::string text = Trim(given);
  const std::string quoted = "\"" + name + "\"";
  if (stepped) {
    for (const std::string& choice : choices) {
      if (SameIgnoringCase(choice, text) && host.SetFromText(index, choice)) return true;
    }
    *error = "bad value '" + given + "' for " + quoted + " (choices: " + Range() + ")";
    return false;
  }
  // The words at the ends ("-oo", "Simulator", "Mic") stand for the ends exactly.
  if (!IsNumber(lowText) && SameIgnoringCase(text, lowText)) {
    host.SetNormalized(index, 0.0f);
    return true;
  }
  if (!IsNumber(highText) && SameIgnoringCase(text, highText)) {
    host.SetNormalized(index, 1.0f);
    return true;
  }

  double value = 0.0;
  std::string rest;
  const std::string unitText = unit == Unit::kDecibels  ? "dB"
                               : unit == Unit::kPercent ? "%"
                                                        : label;
  const bool read = unit == Unit::kRatio ? RatioNumber(text, &value)
                                         : LeadingNumber(text, &value, &rest) &&
                                               (rest.empty() || SameIgnoringCase(rest, unitText));
  if (!read) {
    const std::string expected = unit == Unit::kRatio
                                     ? "A:B with A + B = 100, " + lowText + " or " + highText
                                 : unit == Unit::kDecibels ? "a number of dB or -oo"
                                                           : "a number";
    *error = "bad value '" + given + "' for " + quoted + " (expected " + expected + ")";
    return false;
  }

  auto number = [this](const std::string& display) -> double {
    double v = 0.0;
    std::string ignored;
    if (display == kMinusInfinity) return -INFINITY;
    if (unit == Unit::kRatio) {
      if (RatioNumber(display, &v)) return v;
      return display == lowText ? 0.0 : 100.0;
    }
    return LeadingNumber(display, &v, &ignored) ? v : NAN;
  };
  // Values are read to the precision the plug-in displays.
  const double unitStep = std::pow(10.0, -decimals);
  const double low = std::min(number(lowText), number(highText));
  const double high = std::max(number(lowText), number(highText));
  if (!(value >= low - unitStep / 2 && value <= high + unitStep / 2)) {
    *error = "value '" + given + "' for " + quoted + " is outside its range " + Range();
    return false;
  }
  const double plain = unit == Unit::kDecibels ? std::pow(10.0, value / 20.0)
                       : unit == Unit::kPercent || unit == Unit::kRatio ? value / 100.0
                                                                        : value;
  const std::string shown =
      host.SetFromText(index, PlainText(plain)) ? host.ParamDisplay(index) : "";
  if (!(std::fabs(number(shown) - value) <= unitStep * 1.01)) {
    *error = "could not set " + quoted + " to '" + given + "' (the plug-in shows '" + shown + "')";
    return false;
  }
  return true;
}

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "framework/IParameter.h"
#include "framework/Text.h"

namespace {

std::string Display(const IParameter& p, double v, bool normalized = false, bool texts = true) {
  char text[IParameter::kTextSize];
  p.DisplayText(v, normalized, texts, text);
  return text;
}

TEST(IParameterTest, DefineContinuousRaisesATooSmallMaximumAndKeepsShapeOnZero) {
  IParameter narrow;
  narrow.DefineContinuous("Narrow", 5.0, 5.0, 4.0, 0.5);
  EXPECT_EQ(narrow.Max(), 5.5);

  IParameter p;
  p.DefineContinuous("A", 0, 0, 1, 0.01, "", 0.0);
  EXPECT_EQ(p.Shape(), 1.0);
  p.DefineContinuous("A", 0, 0, 1, 0.01, "", 2.5);
  p.DefineContinuous("A", 0, 0, 1, 0.01, "", 0.0);
  EXPECT_EQ(p.Shape(), 2.5);
}

TEST(IParameterTest, PrecisionFollowsTheStep) {
  const struct {
    double step;
    int precision;
  } cases[] = {{1, 0}, {10, 0}, {0.1, 1}, {0.5, 1}, {0.01, 2}, {0.25, 2}, {0.001, 3}, {1e-7, 6}};
  for (const auto& c : cases) {
    IParameter p;
    p.DefineContinuous("P", 0, 0, 100, c.step);
    EXPECT_EQ(p.DisplayPrecision(), c.precision) << "step " << c.step;
  }
}

TEST(IParameterTest, LongTextsAreCutToTheFieldOnACharacterBoundary) {
  IParameter p;
  // 30 ASCII bytes then a two-byte character that would straddle byte 31.
  const std::string longName = std::string(30, 'x') + "\xC3\xA9" + "tail";
  p.DefineContinuous(longName.c_str(), 0, 0, 1, 1, longName.c_str());
  EXPECT_EQ(std::string(p.Name()), std::string(30, 'x'));
  EXPECT_EQ(std::string(p.Label()), std::string(30, 'x'));
  p.AddDisplayText(5, std::string(40, 'y').c_str());
  EXPECT_EQ(std::string(p.DisplayTexts().back().text), std::string(31, 'y'));
}

TEST(IParameterTest, ShapedMappingRoundTrips) {
  IParameter p;
  p.DefineContinuous("F", 240.6, 16, 16000, 1, "", 4);
  const double x = p.ToNormalized();
  EXPECT_NEAR(x, std::pow((240.6 - 16) / (16000 - 16), 0.25), 1e-15);
  EXPECT_NEAR(p.FromNormalized(x), 240.6, 1e-9);
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.5), 0.0625 * 15984 + 16);
  EXPECT_EQ(p.FromNormalized(0.0), 16.0);
  EXPECT_EQ(p.FromNormalized(1.0), 16000.0);
}

TEST(IParameterTest, ToNormalizedClampsTheValueAndSurvivesAnEmptyRange) {
  IParameter p;
  p.DefineContinuous("A", 0.5, 0, 1, 0.01);
  p.SetClamped(7.0);
  EXPECT_EQ(p.ToNormalized(), 1.0);

  // Negative step: max stays equal to min, so there is no range to map into.
  IParameter flat;
  flat.DefineContinuous("Flat", 3, 3, 3, -1);
  EXPECT_EQ(flat.Max(), 3.0);
  EXPECT_EQ(flat.ToNormalized(), 0.0);
}

TEST(IParameterTest, SetNormalizedQuantisesListsAndLimitsOnlyTheTop) {
  IParameter list;
  list.DefineList("L", 0, "a", "b");
  for (const auto& c : {std::make_pair(1.0, 1.0), {0.49, 0.0}, {0.5, 1.0}}) {
    list.SetNormalized(c.first);
    EXPECT_EQ(list.Value(), c.second) << c.first;
  }

  IParameter p;
  p.DefineContinuous("C", 0, 0, 10, 1);
  p.SetNormalized(0.37);
  EXPECT_DOUBLE_EQ(p.Value(), 3.7);  // continuous values are not quantised
  p.SetNormalized(1.5);
  EXPECT_EQ(p.Value(), 10.0);
  p.SetNormalized(-0.5);
  EXPECT_EQ(p.Value(), -5.0);
  p.SetNormalized(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(p.Value(), -5.0);
}

TEST(IParameterTest, SetClampedLimitsBothEndsAndIgnoresNaN) {
  IParameter p;
  p.DefineContinuous("C", 0, -1, 1, 0.01);
  for (const auto& c : {std::make_pair(-5.0, -1.0), {5.0, 1.0}, {0.25, 0.25}}) {
    p.SetClamped(c.first);
    EXPECT_EQ(p.Value(), c.second) << c.first;
  }
  p.SetClamped(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(p.Value(), 0.25);
}

TEST(IParameterTest, NumericDisplayUsesPrecisionOrTheIntegerPart) {
  IParameter two;
  two.DefineContinuous("A", 0, -1, 1, 0.01);
  EXPECT_EQ(Display(two, 0.5), "0.50");
  EXPECT_EQ(Display(two, -0.125), "-0.12");
  EXPECT_EQ(Display(two, 0.5, true), "0.00");  // normalised 0.5 is plain 0

  IParameter whole;
  whole.DefineContinuous("B", 0, -100, 100, 1);
  EXPECT_EQ(Display(whole, 240.6), "240");
  EXPECT_EQ(Display(whole, -7.9), "-7");
  EXPECT_EQ(Display(whole, -0.5), "0");
  EXPECT_EQ(Display(whole, 1e300).size(), static_cast<size_t>(IParameter::kTextSize - 1));

  IParameter fine;
  fine.DefineContinuous("C", 0, 0, 1, 0.0000001);
  EXPECT_EQ(Display(fine, 0.25), "0.250000");
}

TEST(IParameterTest, NegateDisplayReversesShownAndParsedSign) {
  IParameter p;
  p.DefineContinuous("N", 0, -100, 100, 0.1);
  p.SetNegateDisplay(true);
  EXPECT_EQ(Display(p, 3.5), "-3.5");
  double v = 0;
  ASSERT_TRUE(p.ValueFromText("12.5", &v));
  EXPECT_EQ(v, -12.5);
}

TEST(IParameterTest, DisplayTextsMatchTheIntegerPartFirstEntryWins) {
  IParameter p;
  p.DefineContinuous("Mode", 0, 0, 5, 1);
  p.AddDisplayText(2, "two");
  p.AddDisplayText(2, "second two");
  p.AddDisplayText(3, "");
  EXPECT_EQ(Display(p, 2.9), "two");
  EXPECT_EQ(Display(p, 3), "3");  // empty text falls through to the number
  EXPECT_EQ(Display(p, 4), "4");
  EXPECT_EQ(Display(p, 2, false, false), "2");
  EXPECT_EQ(Display(p, std::numeric_limits<double>::quiet_NaN()), "nan");
}

void FixedText(double, char* text) { CopyText(text, IParameter::kTextSize, "F"); }

TEST(IParameterTest, HostLabelAndFormatterPrecedence) {
  IParameter s;
  s.DefineSwitch("S", true);
  EXPECT_EQ(Display(s, s.Value()), "on");
  EXPECT_STREQ(s.LabelForHost(), "");
  s.SetDisplayFormatter(FixedText);
  EXPECT_EQ(Display(s, 1.0), "F");  // the formatter wins over the texts

  // The label shows only while no non-empty text speaks for the value.
  IParameter p;
  p.DefineContinuous("P", 1, 0, 10, 1, "Hz");
  EXPECT_STREQ(p.LabelForHost(), "Hz");
  p.AddDisplayText(1, "one");
  EXPECT_STREQ(p.LabelForHost(), "");
  p.SetClamped(2);
  EXPECT_STREQ(p.LabelForHost(), "Hz");
  p.AddDisplayText(2, "");
  EXPECT_STREQ(p.LabelForHost(), "Hz");
}

TEST(IParameterTest, ValueFromTextReadsLeadingNumbersAndRefusesTheRest) {
  IParameter p;
  p.DefineContinuous("P", 0, -10, 10, 0.01);
  // A comma is not a decimal separator; no number at all reads as 0.
  for (const auto& c :
       {std::make_pair("  -3.25 Hz", -3.25), {"abc", 0.0}, {"1e2", 100.0}, {"0,5", 0.0}}) {
    double v = 99;
    ASSERT_TRUE(p.ValueFromText(c.first, &v)) << c.first;
    EXPECT_EQ(v, c.second) << c.first;
  }
  double v = 42;
  for (const char* text : {"nan", "inf", "-1e999", static_cast<const char*>(nullptr)})
    EXPECT_FALSE(p.ValueFromText(text, &v)) << (text ? text : "null");
  EXPECT_EQ(v, 42.0);

  // Switch texts match exactly; a number is not one of them.
  IParameter s;
  s.DefineSwitch("S", false);
  ASSERT_TRUE(s.ValueFromText("on", &v));
  EXPECT_EQ(v, 1.0);
  EXPECT_FALSE(s.ValueFromText("ON", &v));
  EXPECT_FALSE(s.ValueFromText("1", &v));
  EXPECT_EQ(v, 1.0);
  EXPECT_EQ(s.Value(), 0.0);
}

}  // namespace

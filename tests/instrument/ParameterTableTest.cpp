#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "framework/IPlugBase.h"
#include "instrument/ParameterIds.h"
#include "instrument/ParameterTable.h"

namespace {

const IPlugBase::Identity kIdentity = {"REDI", "", "Welmora", 1, 0x00010101, "2-2 4-2"};

enum class Shown { kNumeric, kTexts, kDecibels, kOutBalance, kInBalance, kPercent };

struct Row {
  int index;
  std::string name;
  IParameter::Kind kind;
  double defaultValue, minimum, maximum, step, shape;
  const char* label;
  Shown shown;
  int precision;
  std::vector<std::string> texts;

  Row WithKind(IParameter::Kind k) const {
    Row row = *this;
    row.kind = k;
    return row;
  }
};

Row List(int index, const std::string& name, double defaultValue, std::vector<std::string> texts) {
  return {index, name, IParameter::kList, defaultValue, 0, 1, 1, 1, "", Shown::kTexts, 0, texts};
}

Row Switch(int index, const std::string& name, double defaultValue) {
  return List(index, name, defaultValue, {"off", "on"}).WithKind(IParameter::kSwitch);
}

// Continuous rows step by 1 (no decimals) or by 0.01 (two).
Row Continuous(int i, const std::string& name, double def, double lo, double hi, double step,
               double shape, Shown shown, const char* label = "") {
  const int precision = step == 1 ? 0 : 2;
  return {i, name, IParameter::kContinuous, def, lo, hi, step, shape, label, shown, precision, {}};
}

std::vector<Row> ExpectedTable() {
  const Shown number = Shown::kNumeric, decibels = Shown::kDecibels;
  std::vector<Row> rows = {
      List(0, "Vocoder Mode", 0, {"RA-10 Standard", "RA-10 Full Bands"}),
      Switch(1, "Keyboard", 1),
      List(2, "Input Mode", 0, {"Live Input", "WAV File"}),
      Switch(3, "Sample Legato", 1),
      Continuous(4, "Final Volume", 0.25, 0, 1, 0.01, 2, decibels),
      Continuous(5, "Out Balance", 0, 0, 1, 0.01, 1, Shown::kOutBalance),
      Continuous(6, "Tune", 0, -100, 100, 1, 1, number),
      Continuous(7, "Velocity", 0, 0, 1, 0.01, 1, number),
      List(8, "Octave Up", 0, {"Normal", "Up"}),
      Continuous(9, "In Balance", 0, 0, 1, 0.01, 1, Shown::kInBalance),
      Continuous(10, "Ext Level", 1, 0, 2, 0.01, 1, decibels),
      Continuous(11, "Mic Level", 1, 0, 2, 0.01, 1, decibels),
      Continuous(12, "Accent Bend", 0, 0, 1, 0.01, 1, number),
      Continuous(13, "Pitch Bend", 2, -12, 12, 1, 1, number),
      Continuous(14, "Vibrato Speed", 5.5, 0.001, 24.999, 0.01, 2, number, "Hz"),
      Continuous(15, "Vibrato Depth", 0, 0, 1, 0.01, 3, Shown::kPercent),
      Switch(16, "Ensemble", 0),
      List(17, "Meter Mode", 1, {"Signal", "Mic"}),
      Continuous(18, "Attack", 0, 0, 1, 0.01, 1, number),
      Continuous(19, "Release", 0, 0, 1, 0.01, 1, number),
      Continuous(20, "Ensemble (L) Rate 1", 0.65, 0.001, 24.999, 0.01, 2, number),
      Continuous(21, "Ensemble (R) Rate 1", 0.55, 0.001, 24.999, 0.01, 2, number),
      Continuous(22, "Ensemble (L) Rate 2", 5.7, 0.001, 24.999, 0.01, 2, number),
      Continuous(23, "Ensemble (R) Rate 2", 6.3, 0.001, 24.999, 0.01, 2, number),
      Continuous(104, "Bias", 0, -1, 1, 0.01, 1, number),
      Continuous(105, "Limit", 0, 0, 1, 0.01, 1, number),
      Continuous(106, "Speed", 0, -1, 1, 0.01, 1, number),
  };
  const double frequencies[20] = {240.6,  290.0,  342.7,  418.9,  514.1,  628.3,  754.0,
                                  942.5,  1131.0, 1379.3, 1663.2, 2019.7, 2406.4, 2900.0,
                                  3427.3, 4188.9, 5140.9, 6283.4, 7540.1, 9425.1};
  for (int n = 0; n < 20; ++n) {
    const std::string band = " " + std::to_string(n + 1);
    const double f = frequencies[n];
    rows.push_back(Continuous(24 + n, "Analysis Freq" + band, f, 16, 16000, 1, 4, number));
    rows.push_back(Continuous(44 + n, "Synthesis Freq" + band, f, 16, 16000, 1, 4, number));
    rows.push_back(Continuous(64 + n, "Synthesis Level" + band, 1, 0, 2, 0.01, 1, decibels));
    rows.push_back(Switch(84 + n, "Synthesis Fixed" + band, 0));
  }
  return rows;
}

class ParameterTableTest : public ::testing::Test {
 protected:
  ParameterTableTest() { DefineVocoderParameters(plug); }

  std::string Display(int index, double plainValue) const {
    char text[IParameter::kTextSize];
    plug.GetParam(index)->DisplayText(plainValue, false, true, text);
    return text;
  }

  IPlugBase plug{nullptr, kIdentity};
};

std::string Formatted(void (*format)(double, char*), double value) {
  char text[IParameter::kTextSize];
  format(value, text);
  return text;
}

TEST_F(ParameterTableTest, EveryRowMatchesTheTable) {
  const std::vector<Row> rows = ExpectedTable();
  ASSERT_EQ(rows.size(), 107u);
  std::vector<bool> seen(107, false);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_FALSE(seen[row.index]);
    seen[row.index] = true;
    const IParameter& p = *plug.GetParam(row.index);
    EXPECT_EQ(p.Name(), row.name);
    EXPECT_EQ(p.GetKind(), row.kind);
    EXPECT_EQ(p.Default(), row.defaultValue);
    EXPECT_EQ(p.Value(), row.defaultValue);
    EXPECT_EQ(p.Min(), row.minimum);
    EXPECT_EQ(p.Max(), row.maximum);
    EXPECT_EQ(p.Step(), row.step);
    EXPECT_EQ(p.Shape(), row.shape);
    EXPECT_STREQ(p.Label(), row.label);
    EXPECT_EQ(p.DisplayPrecision(), row.precision);
    ASSERT_EQ(p.DisplayTexts().size(), row.texts.size());
    for (size_t i = 0; i < row.texts.size(); ++i) {
      EXPECT_EQ(p.DisplayTexts()[i].value, static_cast<int>(i));
      EXPECT_EQ(p.DisplayTexts()[i].text, row.texts[i]);
      EXPECT_EQ(Display(row.index, static_cast<double>(i)), row.texts[i]);
    }
  }
}

TEST_F(ParameterTableTest, FormattersAreAttachedWhereTheTableSaysSo) {
  for (const Row& row : ExpectedTable()) {
    SCOPED_TRACE(row.name);
    const double v = 0.3;  // shows differently under every formatter and as a number
    switch (row.shown) {
      case Shown::kDecibels:
        EXPECT_EQ(Display(row.index, v), Formatted(FormatDecibels, v));
        break;
      case Shown::kOutBalance:
        EXPECT_EQ(Display(row.index, 0.0), "Simulator");
        break;
      case Shown::kInBalance:
        EXPECT_EQ(Display(row.index, 0.0), "KBD");
        break;
      case Shown::kPercent:
        EXPECT_EQ(Display(row.index, v), "30%");
        break;
      case Shown::kNumeric:
        EXPECT_EQ(Display(row.index, v), row.precision == 2 ? "0.30" : "0");
        break;
      case Shown::kTexts:
        break;
    }
  }
}

TEST(ParameterFormatters, DecibelExamples) {
  EXPECT_EQ(Formatted(FormatDecibels, 1.0), "0.0");
  EXPECT_EQ(Formatted(FormatDecibels, 2.0), "6.0");
  EXPECT_EQ(Formatted(FormatDecibels, 0.25), "-12.0");
  EXPECT_EQ(Formatted(FormatDecibels, 0.0), "-oo");
  EXPECT_EQ(Formatted(FormatDecibels, -0.5), "-oo");
  EXPECT_EQ(Formatted(FormatDecibels, 0.001), "-60.0");
}

TEST(ParameterFormatters, BalanceAndPercentExamples) {
  EXPECT_EQ(Formatted(FormatOutBalance, 0.0), "Simulator");
  EXPECT_EQ(Formatted(FormatOutBalance, 1.0), "Mic");
  EXPECT_EQ(Formatted(FormatOutBalance, 0.3), "70:30");
  EXPECT_EQ(Formatted(FormatOutBalance, 0.5), "50:50");
  EXPECT_EQ(Formatted(FormatOutBalance, 0.99999), "0:100");
  EXPECT_EQ(Formatted(FormatInBalance, 0.0), "KBD");
  EXPECT_EQ(Formatted(FormatInBalance, 1.0), "Noise");
  EXPECT_EQ(Formatted(FormatInBalance, 0.25), "75:25");
  EXPECT_EQ(Formatted(FormatPercent, 0.35), "35%");
  EXPECT_EQ(Formatted(FormatPercent, 0.0), "0%");
  EXPECT_EQ(Formatted(FormatPercent, 1.0), "100%");
}

TEST_F(ParameterTableTest, DisplayEdgesOfTheTable) {
  EXPECT_EQ(Display(kVibratoSpeed, 24.999), "25.00");
  EXPECT_EQ(Display(kVibratoSpeed, 0.001), "0.00");
  EXPECT_EQ(Display(kAnalysisFreq1, 240.6), "240");
  EXPECT_EQ(Display(kSynthesisFreq1 + 19, 9425.1), "9425");
  for (int index : {int(kFinalVolume), int(kExtLevel), int(kMicLevel), kSynthesisLevel1 + 7})
    EXPECT_EQ(Display(index, 0.0), "-oo") << index;
  EXPECT_EQ(Display(kMeterMode, plug.GetParam(kMeterMode)->Value()), "Mic");
  EXPECT_EQ(Display(kTune, -37.0), "-37");
  EXPECT_EQ(Display(kBias, -0.5), "-0.50");
  EXPECT_STREQ(plug.GetParam(kVibratoSpeed)->LabelForHost(), "Hz");
  EXPECT_STREQ(plug.GetParam(kKeyboard)->LabelForHost(), "");
}

// A host may have switched the process to a locale with a decimal comma.
class CommaLocaleTest : public ParameterTableTest {
 protected:
  void SetUp() override {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    saved = previous != nullptr ? previous : "C";
    // POSIX and Windows name the German locale differently.
    for (const char* name : {"de_DE.UTF-8", "German_Germany.1252", "German"})
      if (std::setlocale(LC_ALL, name) != nullptr) return;
    GTEST_SKIP() << "no German locale";
  }
  void TearDown() override { std::setlocale(LC_ALL, saved.c_str()); }
  std::string saved;
};

TEST_F(CommaLocaleTest, NumbersKeepTheirDecimalPoint) {
  EXPECT_EQ(Display(kVelocity, 0.5), "0.50");
  EXPECT_EQ(Display(kFinalVolume, 0.25), "-12.0");
  EXPECT_EQ(Formatted(FormatOutBalance, 0.3), "70:30");
  double v = 0;
  ASSERT_TRUE(plug.GetParam(kVelocity)->ValueFromText("0.75", &v));
  EXPECT_EQ(v, 0.75);
}

}  // namespace

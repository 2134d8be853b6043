#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "tests/framework/RecordingHost.h"

namespace {

constexpr int kFirstBandParam = kAnalysisFreq1;
constexpr int kEndBandParams = kBias;  // one past the last band parameter

// Tool numbers as the tools menu numbers its items.
constexpr int kAnalysisCopy = 12, kAnalysisLog = 13, kAnalysisLinear = 14, kAnalysisReverse = 15,
              kAnalysisReset = 16, kAnalysisOctaveUp = 18, kAnalysisSemitoneUp = 19,
              kAnalysisSemitoneDown = 20, kAnalysisOctaveDown = 21;
constexpr int kSynthesisCopy = 22, kSynthesisLog = 23, kSynthesisOctaveUp = 28,
              kSynthesisOctaveDown = 31;
constexpr int kLevelsLikeFirst = 3, kLevelsPlus6dB = 4, kLevels0dB = 5, kLevelsSilent = 6;
constexpr int kAllModulate = 8, kAllFixed = 9, kResetAll = 11;

// Logs, in one list, what reaches the engine, the host and the controls.
class LoggingREDI : public REDI {
 public:
  using REDI::REDI;
  void ParamChanged(int index) override {
    log.push_back("engine " + std::to_string(index) + "=" +
                  std::to_string(GetParam(index)->Value()));
    REDI::ParamChanged(index);
  }
  void ReportParamChange(int index, double normalizedValue) override {
    log.push_back("host " + std::to_string(index));
    REDI::ReportParamChange(index, normalizedValue);
  }
  void RefreshParamControls() override {
    log.push_back("controls");
    REDI::RefreshParamControls();
  }
  std::vector<std::string> log;
};

class BandToolsTest : public ::testing::Test {
 protected:
  BandToolsTest() { plug.log.clear(); }

  double Analysis(int band) { return plug.GetParam(kAnalysisFreq1 + band - 1)->Value(); }
  double Synthesis(int band) { return plug.GetParam(kSynthesisFreq1 + band - 1)->Value(); }
  double Level(int band) { return plug.GetParam(kSynthesisLevel1 + band - 1)->Value(); }
  double Fixed(int band) { return plug.GetParam(kSynthesisFixed1 + band - 1)->Value(); }
  void SetAnalysis(int band, double hz) {
    plug.GetParam(kAnalysisFreq1 + band - 1)->SetClamped(hz);
  }
  void SetSynthesis(int band, double hz) {
    plug.GetParam(kSynthesisFreq1 + band - 1)->SetClamped(hz);
  }
  std::vector<double> Values() {
    std::vector<double> values;
    for (int i = 0; i < plug.NParams(); ++i) values.push_back(plug.GetParam(i)->Value());
    return values;
  }
  // A state in which every tool changes something: no band at its default,
  // analysis and synthesis apart, levels and switches mixed.
  void Scramble() {
    for (int band = 1; band <= kNumBands; ++band) {
      SetAnalysis(band, 50.0 * band + 7.0 * (band % 3));
      SetSynthesis(band, 13000.0 - 600.0 * band - 30.0 * (band % 4));
      plug.GetParam(kSynthesisLevel1 + band - 1)->SetClamped(0.05 * band);
      plug.GetParam(kSynthesisFixed1 + band - 1)->SetClamped(band % 2);
    }
  }

  RecordingHost host;
  LoggingREDI plug{&host};
};

TEST_F(BandToolsTest, DistributionsFillTheBandsBetweenTheEnds) {
  SetAnalysis(1, 100.0);
  SetAnalysis(20, 10000.0);
  const std::vector<double> before = Values();
  plug.ApplyBandTool(kAnalysisLog);
  EXPECT_NEAR(Analysis(11), 1128.8, 0.05);
  for (int band = 1; band <= kNumBands; ++band)
    EXPECT_NEAR(Analysis(band), 100.0 * std::pow(100.0, (band - 1) / 19.0), 1e-9 * Analysis(band))
        << "band " << band;
  EXPECT_EQ(Analysis(1), 100.0);
  EXPECT_EQ(Analysis(20), 10000.0);
  for (int band = 1; band <= kNumBands; ++band)
    EXPECT_EQ(Synthesis(band), before[kSynthesisFreq1 + band - 1]) << "band " << band;

  SetAnalysis(1, 100.0);
  SetAnalysis(20, 2000.0);
  plug.ApplyBandTool(kAnalysisLinear);
  for (int band = 1; band <= kNumBands; ++band)
    EXPECT_NEAR(Analysis(band), 100.0 * band, 1e-9) << "band " << band;

  // Equal ends: nothing to spread.
  SetAnalysis(1, 777.0);
  SetAnalysis(20, 777.0);
  plug.ApplyBandTool(kAnalysisLinear);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Analysis(band), 777.0);
  plug.ApplyBandTool(kAnalysisLog);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Analysis(band), 777.0);

  // The synthesis group has its own distribution, downwards too.
  SetSynthesis(1, 8000.0);
  SetSynthesis(20, 80.0);
  plug.ApplyBandTool(kSynthesisLog);
  EXPECT_NEAR(Synthesis(11), 8000.0 * std::pow(0.01, 10.0 / 19.0), 1e-6);
  EXPECT_GT(Synthesis(2), Synthesis(3));
}

TEST_F(BandToolsTest, ShiftsStopAtTheRangeAndDoNotComeBack) {
  SetAnalysis(1, 10000.0);
  SetAnalysis(2, 20.0);
  SetAnalysis(3, 440.0);
  plug.ApplyBandTool(kAnalysisOctaveUp);
  EXPECT_EQ(Analysis(1), 16000.0);
  EXPECT_EQ(Analysis(2), 40.0);
  plug.ApplyBandTool(kAnalysisOctaveDown);
  EXPECT_EQ(Analysis(1), 8000.0);
  plug.ApplyBandTool(kAnalysisOctaveDown);
  plug.ApplyBandTool(kAnalysisOctaveDown);
  EXPECT_EQ(Analysis(2), 16.0);  // 10 Hz is below the range
  EXPECT_EQ(Analysis(3), 110.0);
  plug.ApplyBandTool(kAnalysisSemitoneUp);
  EXPECT_NEAR(Analysis(3), 116.54094, 1e-5);
  plug.ApplyBandTool(kAnalysisSemitoneDown);
  EXPECT_NEAR(Analysis(3), 110.0, 1e-9);

  SetSynthesis(5, 10000.0);
  plug.ApplyBandTool(kSynthesisOctaveUp);
  plug.ApplyBandTool(kSynthesisOctaveDown);
  EXPECT_EQ(Synthesis(5), 8000.0);
}

TEST_F(BandToolsTest, ReverseCopyAndResetMoveWholeGroups) {
  Scramble();
  const std::vector<double> before = Values();
  plug.ApplyBandTool(kAnalysisReverse);
  EXPECT_EQ(Analysis(1), before[kAnalysisFreq1 + 19]);
  EXPECT_EQ(Analysis(20), before[kAnalysisFreq1]);
  EXPECT_EQ(Analysis(10), before[kAnalysisFreq1 + 10]);
  plug.ApplyBandTool(kAnalysisReverse);
  EXPECT_EQ(Values(), before);

  plug.ApplyBandTool(kSynthesisCopy);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Synthesis(band), Analysis(band));
  SetSynthesis(4, 3333.0);
  plug.ApplyBandTool(kAnalysisCopy);
  EXPECT_EQ(Analysis(4), 3333.0);

  plug.ApplyBandTool(kAnalysisReset);
  for (int band = 1; band <= kNumBands; ++band) {
    EXPECT_EQ(Analysis(band), kBandDefaultFrequencies[band - 1]);
    EXPECT_NE(Synthesis(band), kBandDefaultFrequencies[band - 1]);
  }
}

TEST_F(BandToolsTest, LevelAndSwitchToolsSetAllTwenty) {
  Scramble();
  const double first = Level(1);
  plug.ApplyBandTool(kLevelsLikeFirst);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Level(band), first);
  plug.ApplyBandTool(kLevelsPlus6dB);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Level(band), 2.0);
  plug.ApplyBandTool(kLevels0dB);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Level(band), 1.0);
  plug.ApplyBandTool(kLevelsSilent);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Level(band), 0.0);
  plug.ApplyBandTool(kAllFixed);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Fixed(band), 1.0);
  plug.ApplyBandTool(kAllModulate);
  for (int band = 1; band <= kNumBands; ++band) EXPECT_EQ(Fixed(band), 0.0);

  Scramble();
  plug.GetParam(kFinalVolume)->SetClamped(0.9);
  plug.ApplyBandTool(kResetAll);
  for (int i = kFirstBandParam; i < kEndBandParams; ++i)
    EXPECT_EQ(plug.GetParam(i)->Value(), plug.GetParam(i)->Default()) << plug.GetParam(i)->Name();
  EXPECT_EQ(plug.GetParam(kFinalVolume)->Value(), 0.9);
}

// Each number touches only its own group; separators, submenu titles and
// unknown numbers touch nothing and tell no one.
TEST_F(BandToolsTest, EveryNumberEditsOnlyItsGroup) {
  auto group = [](int tool) -> std::pair<int, int> {
    if (tool >= 12 && tool <= 21 && tool != 17) return {kAnalysisFreq1, kSynthesisFreq1};
    if (tool >= 22 && tool <= 31 && tool != 27) return {kSynthesisFreq1, kSynthesisLevel1};
    if (tool >= 3 && tool <= 6) return {kSynthesisLevel1, kSynthesisFixed1};
    if (tool == 8 || tool == 9) return {kSynthesisFixed1, kBias};
    if (tool == 11) return {kFirstBandParam, kEndBandParams};
    return {0, 0};
  };
  for (int tool = -2; tool <= 40; ++tool) {
    Scramble();
    const std::vector<double> before = Values();
    plug.log.clear();
    plug.ApplyBandTool(tool);
    const std::pair<int, int> expected = group(tool);
    std::set<int> changed;
    for (int i = 0; i < plug.NParams(); ++i)
      if (plug.GetParam(i)->Value() != before[static_cast<size_t>(i)]) changed.insert(i);
    if (expected.first == expected.second) {
      EXPECT_TRUE(changed.empty()) << "tool " << tool;
      EXPECT_TRUE(plug.log.empty()) << "tool " << tool;
      continue;
    }
    EXPECT_FALSE(changed.empty()) << "tool " << tool;
    for (int i : changed)
      EXPECT_TRUE(i >= expected.first && i < expected.second)
          << "tool " << tool << " changed " << i;
  }
  plug.log.clear();
  host.automations.clear();
  plug.ApplyBandTool(1000);
  plug.ApplyBandTool(-114);
  EXPECT_TRUE(plug.log.empty());
  EXPECT_TRUE(host.automations.empty());
}

TEST_F(BandToolsTest, FinishesWithEngineThenHostThenControls) {
  plug.ApplyBandTool(kAllFixed);
  std::vector<std::string> expected;
  for (int i = kFirstBandParam; i < kEndBandParams; ++i)
    expected.push_back("engine " + std::to_string(i) + "=" +
                       std::to_string(plug.GetParam(i)->Value()));
  for (int i = 0; i < plug.NParams(); ++i) expected.push_back("host " + std::to_string(i));
  expected.push_back("controls");
  EXPECT_EQ(plug.log, expected);

  // The engine took the new switches; the host heard every parameter once,
  // with the band parameters' new values.
  for (int band = 0; band < kNumBands; ++band) EXPECT_TRUE(plug.vocoder.fixedBands[band]);
  ASSERT_EQ(host.automations.size(), static_cast<size_t>(plug.NParams()));
  for (int i = 0; i < plug.NParams(); ++i) {
    EXPECT_EQ(host.automations[static_cast<size_t>(i)].index, i);
    EXPECT_EQ(host.automations[static_cast<size_t>(i)].value,
              static_cast<float>(plug.GetParam(i)->ToNormalized()));
  }
  EXPECT_EQ(host.automations[kSynthesisFixed1].value, 1.0f);
}

}  // namespace

#include <cmath>

#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"

namespace {

constexpr double kSemitone = 1.0594630943592953;

// Tools that act on every band. The two frequency groups number their own
// tools from their first number on, in the order of GroupTool.
enum BandToolNumber {
  kLevelsLikeFirst = 3,
  kLevelsPlus6dB = 4,
  kLevels0dB = 5,
  kLevelsSilent = 6,
  kAllModulate = 8,
  kAllFixed = 9,
  kResetAllBands = 11,
  kAnalysisTools = 12,
  kSynthesisTools = 22
};

enum GroupTool {
  kCopyFromOtherGroup,
  kDistributeLogarithmic,
  kDistributeLinear,
  kReverse,
  kReset,
  kGroupSeparator,
  kOctaveUp,
  kSemitoneUp,
  kSemitoneDown,
  kOctaveDown,
  kNumGroupTools
};

// Twenty consecutive band parameters starting at `first`.
class BandGroup {
 public:
  BandGroup(IPlugBase& plug, int first) : plug(plug), first(first) {}
  IParameter& operator[](int band) { return *plug.GetParam(first + band); }
  double Value(int band) { return (*this)[band].Value(); }
  // Every write is limited to the parameter's range and left unrounded.
  void Set(int band, double value) { (*this)[band].SetClamped(value); }
  void SetAll(double value) {
    for (int band = 0; band < kNumBands; ++band) Set(band, value);
  }

 private:
  IPlugBase& plug;
  int first;
};

void Scale(BandGroup& group, double factor) {
  for (int band = 0; band < kNumBands; ++band) group.Set(band, group.Value(band) * factor);
}

// Bands 2 to 19 follow from the ends; each step builds on the value just
// written, so a limited value carries on to the next band.
void DistributeLogarithmic(BandGroup& group) {
  const double ratio = std::pow(group.Value(kNumBands - 1) / group.Value(0), 1.0 / (kNumBands - 1));
  for (int band = 1; band < kNumBands - 1; ++band) group.Set(band, group.Value(band - 1) * ratio);
}

void DistributeLinear(BandGroup& group) {
  const double step = (group.Value(kNumBands - 1) - group.Value(0)) / (kNumBands - 1);
  for (int band = 1; band < kNumBands - 1; ++band) group.Set(band, group.Value(band - 1) + step);
}

void Reverse(BandGroup& group) {
  for (int band = 0; band < kNumBands / 2; ++band) {
    const int mirror = kNumBands - 1 - band;
    const double low = group.Value(band);
    group.Set(band, group.Value(mirror));
    group.Set(mirror, low);
  }
}

// False for a separator or a number without a tool.
bool EditFrequencies(BandGroup& group, BandGroup& other, int tool) {
  switch (tool) {
    case kCopyFromOtherGroup:
      for (int band = 0; band < kNumBands; ++band) group.Set(band, other.Value(band));
      return true;
    case kDistributeLogarithmic:
      DistributeLogarithmic(group);
      return true;
    case kDistributeLinear:
      DistributeLinear(group);
      return true;
    case kReverse:
      Reverse(group);
      return true;
    case kReset:
      for (int band = 0; band < kNumBands; ++band) group.Set(band, group[band].Default());
      return true;
    case kOctaveUp:
      Scale(group, 2.0);
      return true;
    case kSemitoneUp:
      Scale(group, kSemitone);
      return true;
    case kSemitoneDown:
      Scale(group, 1.0 / kSemitone);
      return true;
    case kOctaveDown:
      Scale(group, 0.5);
      return true;
    default:
      return false;
  }
}

// False when the number names no tool.
bool EditBands(IPlugBase& plug, int tool) {
  BandGroup analysis(plug, kAnalysisFreq1);
  BandGroup synthesis(plug, kSynthesisFreq1);
  BandGroup levels(plug, kSynthesisLevel1);
  BandGroup fixed(plug, kSynthesisFixed1);
  if (tool >= kAnalysisTools && tool < kAnalysisTools + kNumGroupTools)
    return EditFrequencies(analysis, synthesis, tool - kAnalysisTools);
  if (tool >= kSynthesisTools && tool < kSynthesisTools + kNumGroupTools)
    return EditFrequencies(synthesis, analysis, tool - kSynthesisTools);
  switch (tool) {
    case kLevelsLikeFirst:
      levels.SetAll(levels.Value(0));
      return true;
    case kLevelsPlus6dB:
      levels.SetAll(2.0);
      return true;
    case kLevels0dB:
      levels.SetAll(1.0);
      return true;
    case kLevelsSilent:
      levels.SetAll(0.0);
      return true;
    case kAllModulate:
      fixed.SetAll(0.0);
      return true;
    case kAllFixed:
      fixed.SetAll(1.0);
      return true;
    case kResetAllBands:
      for (int i = kAnalysisFreq1; i < kBias; ++i)
        plug.GetParam(i)->SetClamped(plug.GetParam(i)->Default());
      return true;
    default:
      return false;
  }
}

}  // namespace

void REDI::ApplyBandTool(int tool) {
  {
    // The audio thread reads these values under the same lock.
    ScopedLock guard(Lock());
    if (!EditBands(*this, tool)) return;
    BeginParamBatch();
    for (int i = kAnalysisFreq1; i < kBias; ++i) ParamChanged(i);
    EndParamBatch();
  }
  ReportAllParams();
  RefreshParamControls();
}

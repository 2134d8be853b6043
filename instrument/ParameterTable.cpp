#include "instrument/ParameterTable.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "framework/IPlugBase.h"
#include "framework/Text.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"

namespace {

constexpr size_t kTextSize = IParameter::kTextSize;

// "%.0f:%.0f" of the two sides of a balance, locale-independent.
void FormatRatio(double value, char* text) {
  char left[kTextSize];
  char right[kTextSize];
  FormatFixed(left, sizeof left, (1.0 - value) * 100.0, 0);
  FormatFixed(right, sizeof right, value * 100.0, 0);
  CopyText(text, kTextSize, (std::string(left) + ":" + right).c_str());
}

void DefineBand(IPlugBase& plug, int band) {
  const int number = band + 1;
  const double frequency = kBandDefaultFrequencies[band];
  char name[kTextSize];
  std::snprintf(name, sizeof name, "Analysis Freq %i", number);
  plug.GetParam(kAnalysisFreq1 + band)->DefineContinuous(name, frequency, 16, 16000, 1, "", 4);
  std::snprintf(name, sizeof name, "Synthesis Freq %i", number);
  plug.GetParam(kSynthesisFreq1 + band)->DefineContinuous(name, frequency, 16, 16000, 1, "", 4);
  std::snprintf(name, sizeof name, "Synthesis Level %i", number);
  IParameter* level = plug.GetParam(kSynthesisLevel1 + band);
  level->DefineContinuous(name, 1, 0, 2, 0.01, "", 1);
  level->SetDisplayFormatter(FormatDecibels);
  std::snprintf(name, sizeof name, "Synthesis Fixed %i", number);
  plug.GetParam(kSynthesisFixed1 + band)->DefineSwitch(name, false);
}

}  // namespace

void FormatDecibels(double value, char* text) {
  if (value <= 0.0) {
    CopyText(text, kTextSize, "-oo");
    return;
  }
  FormatFixed(text, kTextSize, 20.0 * std::log10(value), 1);
}

void FormatOutBalance(double value, char* text) {
  if (value == 0.0) {
    CopyText(text, kTextSize, "Simulator");
  } else if (value == 1.0) {
    CopyText(text, kTextSize, "Mic");
  } else {
    FormatRatio(value, text);
  }
}

void FormatInBalance(double value, char* text) {
  if (value == 0.0) {
    CopyText(text, kTextSize, "KBD");
  } else if (value == 1.0) {
    CopyText(text, kTextSize, "Noise");
  } else {
    FormatRatio(value, text);
  }
}

void FormatPercent(double value, char* text) {
  char number[kTextSize];
  FormatFixed(number, sizeof number, value * 100.0, 0);
  CopyText(text, kTextSize, (std::string(number) + "%").c_str());
}

void DefineVocoderParameters(IPlugBase& plug) {
  auto param = [&plug](int index) { return plug.GetParam(index); };

  param(kVocoderMode)->DefineList("Vocoder Mode", 0, "RA-10 Standard", "RA-10 Full Bands");
  param(kKeyboard)->DefineSwitch("Keyboard", true);
  param(kInputMode)->DefineList("Input Mode", 0, "Live Input", "WAV File");
  param(kSampleLegato)->DefineSwitch("Sample Legato", true);
  param(kFinalVolume)->DefineContinuous("Final Volume", 0.25, 0, 1, 0.01, "", 2);
  param(kFinalVolume)->SetDisplayFormatter(FormatDecibels);
  param(kOutBalance)->DefineContinuous("Out Balance", 0, 0, 1, 0.01, "", 1);
  param(kOutBalance)->SetDisplayFormatter(FormatOutBalance);
  param(kTune)->DefineContinuous("Tune", 0, -100, 100, 1, "", 1);
  param(kVelocity)->DefineContinuous("Velocity", 0, 0, 1, 0.01, "", 1);
  param(kOctaveUp)->DefineList("Octave Up", 0, "Normal", "Up");
  param(kInBalance)->DefineContinuous("In Balance", 0, 0, 1, 0.01, "", 1);
  param(kInBalance)->SetDisplayFormatter(FormatInBalance);
  param(kExtLevel)->DefineContinuous("Ext Level", 1, 0, 2, 0.01, "", 1);
  param(kExtLevel)->SetDisplayFormatter(FormatDecibels);
  param(kMicLevel)->DefineContinuous("Mic Level", 1, 0, 2, 0.01, "", 1);
  param(kMicLevel)->SetDisplayFormatter(FormatDecibels);
  param(kAccentBend)->DefineContinuous("Accent Bend", 0, 0, 1, 0.01, "", 1);
  param(kPitchBend)->DefineContinuous("Pitch Bend", 2, -12, 12, 1, "", 1);
  param(kVibratoSpeed)->DefineContinuous("Vibrato Speed", 5.5, 0.001, 24.999, 0.01, "Hz", 2);
  param(kVibratoDepth)->DefineContinuous("Vibrato Depth", 0, 0, 1, 0.01, "", 3);
  param(kVibratoDepth)->SetDisplayFormatter(FormatPercent);
  param(kEnsemble)->DefineSwitch("Ensemble", false);
  param(kMeterMode)->DefineList("Meter Mode", 1, "Signal", "Mic");
  param(kAttack)->DefineContinuous("Attack", 0, 0, 1, 0.01, "", 1);
  param(kRelease)->DefineContinuous("Release", 0, 0, 1, 0.01, "", 1);
  param(kEnsembleLeftRate1)
      ->DefineContinuous("Ensemble (L) Rate 1", 0.65, 0.001, 24.999, 0.01, "", 2);
  param(kEnsembleRightRate1)
      ->DefineContinuous("Ensemble (R) Rate 1", 0.55, 0.001, 24.999, 0.01, "", 2);
  param(kEnsembleLeftRate2)
      ->DefineContinuous("Ensemble (L) Rate 2", 5.7, 0.001, 24.999, 0.01, "", 2);
  param(kEnsembleRightRate2)
      ->DefineContinuous("Ensemble (R) Rate 2", 6.3, 0.001, 24.999, 0.01, "", 2);
  for (int band = 0; band < kNumBands; ++band) DefineBand(plug, band);
  param(kBias)->DefineContinuous("Bias", 0, -1, 1, 0.01, "", 1);
  param(kLimit)->DefineContinuous("Limit", 0, 0, 1, 0.01, "", 1);
  param(kSpeed)->DefineContinuous("Speed", 0, -1, 1, 0.01, "", 1);
}

void REDI::InitParameters() { DefineVocoderParameters(*this); }

// Program changes and band tools while a chord sounds over a steady voice:
// in the 300 ms after a change the output stays within 3 dB of the louder of
// the two settings' steady peaks, and where the change happens (its fades and
// switch, the first 12 ms) it takes no step beyond their own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/RecordingHost.h"
#include "instrument/REDI.h"
#include "support/TestConfigFolder.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kShortSweep = true;  // sanitizer builds run many times slower
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kShortSweep = true;
#else
constexpr bool kShortSweep = sizeof(void*) < 8;  // the 32-bit build lacks the wide paths
#endif
#else
constexpr bool kShortSweep = sizeof(void*) < 8;
#endif

constexpr double kTwoPi = 6.283185307179586;
constexpr int kBlock = 256;
constexpr double kWindowSeconds = 0.3;
constexpr double kChangeSeconds = 0.012;
constexpr double kSettleSeconds = 0.5;
// Long enough for the peaks to meet the chord's beats and the ensemble's
// slow sweep.
constexpr double kSteadySeconds = 4.0;
constexpr double kToolSteadySeconds = 1.0;  // measured right around the tool
constexpr double kPeakMargin = 1.4125;      // +3 dB
// The chord's beats and the noise make a steady sound's largest step vary by
// some tens of percent from one stretch to the next (measured: up to 1.34
// times in a change's first 12 ms, 1.04 times without any change); a click
// jumps by the sound's whole amplitude, several times its steps.
constexpr double kStepMargin = 1.5;

enum class Modulator { kNoise, kVowel };

// One second of modulator, looped: white noise, or a sung "ah" (150 Hz, so
// the loop holds whole periods and joins without a seam).
std::vector<double> MakeModulator(Modulator kind, double rate) {
  const int n = static_cast<int>(rate);
  std::vector<double> x(static_cast<size_t>(n));
  if (kind == Modulator::kNoise) {
    uint32_t state = 12345u;
    for (double& v : x) {
      state = state * 1664525u + 1013904223u;
      v = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.8;
    }
    return x;
  }
  const double formants[3][2] = {{700.0, 130.0}, {1220.0, 70.0}, {2600.0, 160.0}};
  double peak = 0.0;
  for (int k = 1; k * 150.0 < std::min(5000.0, rate / 2); ++k) {
    double a = 0.0;
    for (const auto& f : formants) a += 1.0 / (1.0 + std::pow((k * 150.0 - f[0]) / f[1], 2.0));
    for (int i = 0; i < n; ++i)
      x[static_cast<size_t>(i)] += a * std::sin(kTwoPi * 150.0 * k * i / rate);
  }
  for (double v : x) peak = std::max(peak, std::fabs(v));
  for (double& v : x) v *= 0.4 / peak;
  return x;
}

struct Levels {
  double peak = 0.0;
  double step = 0.0;  // largest sample-to-sample difference
  void Add(const Levels& other) {
    peak = std::max(peak, other.peak);
    step = std::max(step, other.step);
  }
};

// What a change window measured: its first 12 ms (where the change happens),
// the whole window, and its second half (the new setting playing on).
struct ChangeLevels {
  Levels change, window, tail;
};

// One plug-in with a held chord over a looped modulator.
class Session {
 public:
  Session(double rate, Modulator kind) : plug(&host), modulator(MakeModulator(kind, rate)) {
    plug.ChangeSampleRate(rate);
    plug.ResetState();
    plug.Activate(true);
    for (auto& channel : out) channel.resize(kBlock);
    for (auto& channel : in) channel.resize(kBlock);
  }

  void HoldChord() {
    for (int note : {48, 55, 60, 63}) plug.HandleMidiMessage(Note(note));
  }

  // Plays `seconds`; measures into `levels` when given. The step across the
  // start of the stretch counts as well.
  void Play(double seconds, Levels* levels) {
    long frames = std::lround(seconds * plug.SampleRate());
    while (frames > 0) {
      const int n = static_cast<int>(std::min<long>(kBlock, frames));
      for (int i = 0; i < n; ++i) {
        in[0][i] = in[1][i] = modulator[static_cast<size_t>(position)];
        position = (position + 1) % static_cast<long>(modulator.size());
      }
      double* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
      double* outputs[2] = {out[0].data(), out[1].data()};
      plug.ProcessBlock(inputs, outputs, n);
      for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < n; ++i) {
          const double v = out[ch][i];
          if (levels != nullptr) {
            levels->peak = std::max(levels->peak, std::fabs(v));
            levels->step = std::max(levels->step, std::fabs(v - last[ch]));
          }
          last[ch] = v;
        }
      }
      frames -= n;
    }
  }

  ChangeLevels PlayChange() {
    ChangeLevels levels;
    Play(kChangeSeconds, &levels.change);
    levels.window = levels.change;
    Play(kWindowSeconds / 2 - kChangeSeconds, &levels.window);
    Play(kWindowSeconds / 2, &levels.tail);
    levels.window.Add(levels.tail);
    return levels;
  }

  Levels Steady(double seconds = kSteadySeconds) {
    Play(kSettleSeconds, nullptr);
    Levels levels;
    Play(seconds, &levels);
    return levels;
  }

  RecordingHost host;
  TestConfigFolder config;
  REDI plug;

 private:
  static IMidiMessage Note(int note) {
    IMidiMessage message;
    message.status = 0x90;
    message.data1 = static_cast<uint8_t>(note);
    message.data2 = 100;
    return message;
  }

  std::vector<double> modulator;
  long position = 0;
  std::vector<double> in[4];
  std::vector<double> out[2];
  double last[2] = {};
};

// What a change may do, against the levels of the two settings around it:
// within 3 dB of the louder peak, and no step beyond the larger one (with
// kStepMargin). Below -60 dBFS (the WAV programs here have no file to play)
// nothing counts.
constexpr double kAudible = 0.001;

// The worst change seen, and the ones past the bounds.
struct Verdict {
  double peak = 0.0;  // window peak / louder steady peak
  double step = 0.0;  // window step / larger steady step
  std::string worstPeak, worstStep;
  std::vector<std::string> failures;

  void Take(const ChangeLevels& levels, const Levels& a, const Levels& b, const std::string& name) {
    const Levels& change = levels.change;
    const Levels& window = levels.window;
    const double peakBound = std::max(kPeakMargin * std::max(a.peak, b.peak), kAudible);
    const double stepBound = std::max(kStepMargin * std::max(a.step, b.step), kAudible);
    const double p = window.peak / std::max({a.peak, b.peak, kAudible});
    const double s = change.step / std::max({a.step, b.step, kAudible});
    if (p > peak) {
      peak = p;
      worstPeak = name;
    }
    if (s > step) {
      step = s;
      worstStep = name;
    }
    if (window.peak > peakBound || change.step > stepBound) {
      char text[200];
      std::snprintf(text, sizeof text, "%s: peak %.4f (steady %.4f, %.4f), step %.4f (%.4f, %.4f)",
                    name.c_str(), window.peak, a.peak, b.peak, change.step, a.step, b.step);
      failures.push_back(text);
    }
  }

  void Report(const std::string& what) const {
    std::printf("%s: worst peak %.3f of the louder steady peak (%s), worst step %.3f (%s)\n",
                what.c_str(), peak, worstPeak.c_str(), step, worstStep.c_str());
    for (size_t k = 0; k < failures.size() && k < 12; ++k)
      ADD_FAILURE() << what << ", " << failures[k];
    EXPECT_TRUE(failures.empty()) << failures.size() << " changes past the bounds";
  }
};

// Every ordered pair of programs once, one after the other: an Euler circuit
// of the complete directed graph.
std::vector<int> EveryOrderedPair(const std::vector<int>& programs) {
  const int n = static_cast<int>(programs.size());
  std::vector<int> tried(static_cast<size_t>(n), 0);
  std::vector<int> stack{0};
  std::vector<int> circuit;
  while (!stack.empty()) {
    const int v = stack.back();
    int& next = tried[static_cast<size_t>(v)];
    if (next < n - 1) {
      stack.push_back(next < v ? next : next + 1);
      ++next;
    } else {
      circuit.push_back(programs[static_cast<size_t>(v)]);
      stack.pop_back();
    }
  }
  std::reverse(circuit.begin(), circuit.end());
  return circuit;
}

std::vector<int> SweptPrograms() {
  std::vector<int> programs;
  for (int p = 0; p < IPlugBase::kNumPrograms; ++p) {
    // The short sweep keeps every fourth program and the reversed and
    // shifted ones, which move their bands farthest.
    if (!kShortSweep || p % 4 == 0 || p == 12 || p == 22) programs.push_back(p);
  }
  return programs;
}

TEST(ProgramChange, EveryOrderedPairOfProgramsChangesWithoutBurstOrStep) {
  const std::vector<int> programs = SweptPrograms();
  const std::vector<int> order = EveryOrderedPair(programs);
  ASSERT_EQ(order.size(), programs.size() * (programs.size() - 1) + 1);
  const std::vector<double> rates =
      kShortSweep ? std::vector<double>{48000.0} : std::vector<double>{44100.0, 48000.0, 96000.0};
  for (double rate : rates) {
    for (Modulator kind : {Modulator::kNoise, Modulator::kVowel}) {
      const char* name = kind == Modulator::kNoise ? "noise" : "vowel";
      Session session(rate, kind);
      session.HoldChord();
      std::vector<Levels> steady(IPlugBase::kNumPrograms);
      for (int p : programs) {
        ASSERT_TRUE(session.plug.ApplyProgram(p));
        steady[static_cast<size_t>(p)] = session.Steady();
      }
      ASSERT_TRUE(session.plug.ApplyProgram(order[0]));
      session.Play(kSettleSeconds, nullptr);
      Verdict verdict;
      Levels previousTail;
      for (size_t k = 1; k < order.size(); ++k) {
        const int from = order[k - 1];
        const int to = order[k];
        ASSERT_TRUE(session.plug.ApplyProgram(to));
        const ChangeLevels levels = session.PlayChange();
        // A program's level depends on how the chord's phases stand, which
        // the programs before it moved (tune, octave, vibrato): each setting
        // is also measured where it plays in the chain, before and after.
        Levels a = steady[static_cast<size_t>(from)];
        a.Add(previousTail);
        Levels b = steady[static_cast<size_t>(to)];
        b.Add(levels.tail);
        verdict.Take(levels, a, b, std::to_string(from) + " to " + std::to_string(to));
        previousTail = levels.tail;
      }
      verdict.Report(std::to_string(static_cast<int>(rate)) + " Hz, " + name);
    }
  }
}

// Tool numbers as the tools menu numbers them: levels, modulate/fixed, reset,
// then each frequency group's copy, distribute, reverse, reset and shifts.
std::vector<int> EveryBandTool() {
  std::vector<int> tools = {3, 4, 5, 6, 8, 9, 11};
  for (int group : {12, 22}) {
    for (int k = 0; k < 10; ++k) {
      if (k != 5) tools.push_back(group + k);  // 5 is the menu's separator
    }
  }
  return tools;
}

TEST(ProgramChange, EveryBandToolMovesTheBandsWithoutBurstOrStep) {
  const std::vector<int> programs =
      kShortSweep ? std::vector<int>{12, 22} : std::vector<int>{0, 5, 12, 22, 40};
  for (Modulator kind : {Modulator::kNoise, Modulator::kVowel}) {
    Session session(48000.0, kind);
    session.HoldChord();
    Verdict verdict;
    for (int p : programs) {
      for (int tool : EveryBandTool()) {
        ASSERT_TRUE(session.plug.ApplyProgram(p));
        const Levels before = session.Steady(kToolSteadySeconds);
        session.plug.ApplyBandTool(tool);
        const ChangeLevels levels = session.PlayChange();
        Levels after = session.Steady(kToolSteadySeconds);
        after.Add(levels.tail);
        verdict.Take(levels, before, after,
                     "program " + std::to_string(p) + ", tool " + std::to_string(tool));
      }
    }
    verdict.Report(std::string("band tools, ") + (kind == Modulator::kNoise ? "noise" : "vowel"));
  }
}

}  // namespace

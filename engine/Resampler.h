#pragma once

#include <vector>

// Converts interleaved frames from inRate to outRate by linear interpolation,
// with cascaded lowpass stages against aliasing (on the input when reducing
// the rate, on the output when raising it).
//
// Use: Reserve() outside the audio thread, then per piece BeginFeed(m),
// write up to m frames at the returned place, and Process() with the count
// written. A count below m marks the end of the input: zeros are appended so
// the last frames can still be interpolated.
class Resampler {
 public:
  static constexpr int maxChannels = 64;
  static constexpr int maxStages = 4;

  // Sizes the input buffer for feeds of up to maxFeedFrames frames of
  // `channelCount` channels. The only call that allocates.
  void Reserve(int maxFeedFrames, int channelCount);
  // Clears position, buffered input and filter states.
  void Reset() noexcept;
  void Configure(bool interpolating, int stages, float position, float q) noexcept;
  // Rates are clamped to at least 1; the ratio is recomputed only on a change.
  void SetRates(double in, double out) noexcept;

  // Largest m that BeginFeed accepts in full right now.
  int FeedRoom() const noexcept;
  // Announces m input frames (clamped to FeedRoom) and returns where to write them.
  double* BeginFeed(int m) noexcept;
  // Takes m new frames (m <= the announced count) and writes up to p output
  // frames to `out`. Returns the output frames written.
  int Process(int m, double* out, int p) noexcept;

  double inRate = 44100.0, outRate = 44100.0;
  double fracPos = 0.0;
  double ratio = 1.0;
  float filterQ = 0.707f;
  float filterPos = 0.693f;
  int framesBuffered = 0;
  int lastRequested = 0;
  int filterCount = 1;
  bool interpolate = true;
  bool feedMode = false;

 private:
  struct Stage {
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double x1[maxChannels] = {}, x2[maxChannels] = {}, y1[maxChannels] = {}, y2[maxChannels] = {};
  };
  void TuneStages(double q) noexcept;
  void Filter(double* frames, int count) noexcept;

  Stage stages[maxStages];
  double stageFrequency = -1.0;
  int channels = 1;
  int capacityFrames = 0;
  std::vector<double> buffer;  // interleaved input frames
};

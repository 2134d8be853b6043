#include "engine/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void Resampler::Reserve(int maxFeedFrames, int channelCount) {
  channels = std::clamp(channelCount, 1, maxChannels);
  // Room for the few frames left over from the last piece, one feed and the
  // zero padding that may follow it (up to twice the feed).
  capacityFrames = 3 * std::max(maxFeedFrames, 0) + 8;
  buffer.assign(static_cast<size_t>(capacityFrames) * static_cast<size_t>(channels), 0.0);
  Reset();
}

void Resampler::Reset() noexcept {
  fracPos = 0.0;
  framesBuffered = 0;
  lastRequested = 0;
  for (Stage& s : stages) {
    std::fill(std::begin(s.x1), std::end(s.x1), 0.0);
    std::fill(std::begin(s.x2), std::end(s.x2), 0.0);
    std::fill(std::begin(s.y1), std::end(s.y1), 0.0);
    std::fill(std::begin(s.y2), std::end(s.y2), 0.0);
  }
}

void Resampler::Configure(bool interpolating, int stageCount, float position, float q) noexcept {
  interpolate = interpolating;
  filterCount = std::clamp(stageCount, 0, maxStages);
  filterPos = position;
  filterQ = q;
  feedMode = true;
  stageFrequency = -1.0;
}

void Resampler::SetRates(double in, double out) noexcept {
  in = std::max(in, 1.0);
  out = std::max(out, 1.0);
  if (in != inRate || out != outRate) {
    inRate = in;
    outRate = out;
    ratio = inRate / outRate;
  }
}

int Resampler::FeedRoom() const noexcept {
  return std::max(0, (capacityFrames - framesBuffered) / 2);
}

double* Resampler::BeginFeed(int m) noexcept {
  lastRequested = std::clamp(m, 0, FeedRoom());
  return buffer.data() + static_cast<size_t>(framesBuffered) * channels;
}

int Resampler::Process(int m, double* out, int p) noexcept {
  m = std::clamp(m, 0, lastRequested);
  if (buffer.empty()) return 0;
  double* fresh = buffer.data() + static_cast<size_t>(framesBuffered) * channels;
  if (ratio > 1 && m > 0) {
    TuneStages(1 / ratio * filterPos);
    Filter(fresh, m);
  }
  framesBuffered += m;
  int available = framesBuffered;
  const bool padded = m < lastRequested;
  if (padded) {
    // The input has ended: zeros let the last frames be interpolated.
    const int pad = (lastRequested - m) * 2;
    std::fill_n(fresh + static_cast<size_t>(m) * channels, static_cast<size_t>(pad) * channels,
                0.0);
    available += pad;
  }
  lastRequested = 0;

  double pos = fracPos;
  int count = 0;
  while (count < p) {
    const int i = static_cast<int>(pos);
    if (i >= available - 1) break;
    const double f = pos - i;
    const double* a = buffer.data() + static_cast<size_t>(i) * channels;
    const double* b = a + channels;
    double* o = out + static_cast<size_t>(count) * channels;
    for (int c = 0; c < channels; ++c) o[c] = interpolate ? a[c] * (1 - f) + b[c] * f : a[c];
    pos += ratio;
    ++count;
  }
  if (ratio < 1 && count > 0) {
    TuneStages(ratio * filterPos);
    Filter(out, count);
  }
  if (padded) {
    const long beyond = std::lround((pos - framesBuffered) / ratio);
    if (beyond > 0) count = static_cast<int>(std::max<long>(0, count - beyond));
  }

  const int consumed = std::min(static_cast<int>(pos), framesBuffered);
  std::memmove(buffer.data(), buffer.data() + static_cast<size_t>(consumed) * channels,
               static_cast<size_t>(framesBuffered - consumed) * channels * sizeof(double));
  framesBuffered -= consumed;
  fracPos = pos - consumed;
  return count;
}

void Resampler::TuneStages(double q) noexcept {
  if (std::fabs(q - stageFrequency) < 1e-6) return;
  stageFrequency = q;
  const double w = q * 3.141592653589793;
  const double alpha = std::sin(w) / (2 * filterQ);
  const double a0 = 1 + alpha;
  const double b1 = (1 - std::cos(w)) / a0;
  for (Stage& s : stages) {
    s.b1 = b1;
    s.b0 = s.b2 = b1 / 2;
    s.a1 = -2 * std::cos(w) / a0;
    s.a2 = (1 - alpha) / a0;
  }
}

void Resampler::Filter(double* frames, int count) noexcept {
  for (int st = 0; st < filterCount; ++st) {
    Stage& s = stages[st];
    for (int f = 0; f < count; ++f) {
      double* frame = frames + static_cast<size_t>(f) * channels;
      for (int c = 0; c < channels; ++c) {
        const double x = frame[c];
        double y = s.b0 * x + s.b1 * s.x1[c] + s.b2 * s.x2[c] - s.a1 * s.y1[c] - s.a2 * s.y2[c];
        if (!std::isnormal(y)) y = 0;  // zero, denormal (or non-finite input)
        s.x2[c] = s.x1[c];
        s.x1[c] = x;
        s.y2[c] = s.y1[c];
        s.y1[c] = y;
        frame[c] = y;
      }
    }
  }
}

#include "engine/WavPlayer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "framework/platform/Files.h"

namespace {

// Frames one piece may ask the resampler for; bounds the buffer for absurd rate ratios.
constexpr int kMaxFeedFrames = 1 << 18;

double EnvelopeCoefficient(double x, double sampleRate) {
  return std::pow(10.0, 2.3 - 4.5 * x) * 2.302585092994046 / sampleRate;
}

bool SameFolderText(char a, char b) {
  if (!Files::kNamesIgnoreCase) return a == b;
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

bool WavPlayer::OpenWav(const char* path) {
  CloseWav();
  if (!path || !reader.Open(path)) return false;
  frameCount = reader.frameCount;
  fileRateD = reader.fileRate;
  // More than two channels: the first two play as stereo.
  stereo = reader.channels >= 2;
  UpdateRates();
  return true;
}

void WavPlayer::CloseWav() {
  reader.Close();
  frameCount = 0;
  outputLength = 0;
  remaining = 0;
  needsResampling = false;
}

void WavPlayer::ResetWavPlayer(double sampleRate, int tickSamples) {
  hostRate = sampleRate;
  remaining = 0;
  capacity = std::max(tickSamples, 0);
  bufInterleaved.assign(2 * static_cast<size_t>(capacity), 0.0);
  // A host may change its rate with a file loaded: keep length and pitch right.
  UpdateRates();
}

void WavPlayer::UpdateRates() {
  if (frameCount <= 0) {
    outputLength = 0;
    needsResampling = false;
    return;
  }
  double length = std::floor(frameCount * hostRate / fileRateD);
  if (!(length > 0)) length = 0;
  outputLength = static_cast<int32_t>(
      std::min(length, static_cast<double>(std::numeric_limits<int32_t>::max())));
  needsResampling = frameCount != outputLength;

  // A piece of capacity outputs spans capacity x ratio input frames, plus
  // the two that bracket the last output.
  const double ratio = std::max(fileRateD, 1.0) / std::max(hostRate, 1.0);
  const double feed = std::ceil(std::max(capacity, 1) * ratio) + 4;
  resampler.Reserve(static_cast<int>(std::min(feed, static_cast<double>(kMaxFeedFrames))),
                    ChannelsToRead());
  RestartResampler();
}

void WavPlayer::RestartResampler() noexcept {
  resampler.Reset();
  resampler.Configure(true, 4, 0.693f, 0.707f);
  resampler.SetRates(fileRateD, hostRate);
}

void WavPlayer::TriggerWav() noexcept {
  remaining = outputLength;
  reader.Rewind();
  RestartResampler();
  target = 10.0 / 9.0;
  coefficient = EnvelopeCoefficient(attack, hostRate);
}

void WavPlayer::ReleaseWav() noexcept {
  target = -1.0 / 9.0;
  coefficient = EnvelopeCoefficient(release, hostRate);
}

double WavPlayer::EnvelopeStep() noexcept {
  level = std::clamp((target - level) * coefficient + level, 0.0, 1.0);
  return level;
}

void WavPlayer::RenderWav(double* outLeft, double* outRight, int n) noexcept {
  // Pieces longer than the buffers are split rather than overrun them.
  do {
    const int piece = capacity > 0 ? std::min(n, static_cast<int>(capacity)) : n;
    if (piece <= 0) return;
    RenderPiece(outLeft, outRight, piece);
    outLeft += piece;
    outRight += piece;
    n -= piece;
  } while (n > 0);
}

void WavPlayer::RenderPiece(double* outLeft, double* outRight, int n) noexcept {
  if (capacity == 0 || frameCount == 0 || remaining == 0) {
    std::fill_n(outLeft, n, 0.0);
    std::fill_n(outRight, n, 0.0);
    return;
  }
  const int produced =
      needsResampling ? RenderResampled(outLeft, outRight, n) : RenderDirect(outLeft, outRight, n);
  for (int i = produced; i < n; ++i) {
    outLeft[i] = outRight[i] = 0.0;
    if (remaining == 0) EnvelopeStep();
  }
}

int WavPlayer::RenderDirect(double* outLeft, double* outRight, int n) noexcept {
  const int frames =
      reader.ReadFrames(bufInterleaved.data(), std::min(n, remaining), ChannelsToRead());
  return Emit(outLeft, outRight, frames);
}

int WavPlayer::RenderResampled(double* outLeft, double* outRight, int n) noexcept {
  const int wanted = std::min(n, remaining);
  // Input frames up to the pair that brackets the last wanted output.
  const double last = resampler.fracPos + (wanted - 1) * resampler.ratio;
  const double need = std::floor(last) + 2 - resampler.framesBuffered;
  const int feed =
      static_cast<int>(std::clamp(need, 0.0, static_cast<double>(resampler.FeedRoom())));
  double* input = resampler.BeginFeed(feed);
  const int got = reader.ReadFrames(input, resampler.lastRequested, ChannelsToRead());
  const int produced = resampler.Process(got, bufInterleaved.data(), wanted);
  return Emit(outLeft, outRight, produced);
}

int WavPlayer::Emit(double* outLeft, double* outRight, int frames) noexcept {
  const int k = ChannelsToRead();
  int i = 0;
  for (; i < frames && remaining > 0; ++i) {
    --remaining;
    const double gain = EnvelopeStep();
    const double* frame = bufInterleaved.data() + static_cast<size_t>(i) * k;
    outLeft[i] = gain * frame[0];
    outRight[i] = stereo ? gain * frame[1] : outLeft[i];
  }
  return i;
}

bool OpenWavSource(WavPlayer& player, std::string& requestedPath, const std::string& baseFolder) {
  if (player.OpenWav(requestedPath.c_str())) return true;
  // Without a folder the joined name would point at the file-system root.
  if (baseFolder.empty()) return false;
  const std::string joined =
      Files::WithNativeSeparators(baseFolder + Files::kPathSeparator + requestedPath);
  if (!player.OpenWav(joined.c_str())) return false;

  const std::string base = Files::WithNativeSeparators(baseFolder);
  size_t start = 0;
  if (joined.size() >= base.size() &&
      std::equal(base.begin(), base.end(), joined.begin(), SameFolderText)) {
    start = base.size();
  }
  while (start < joined.size() && joined[start] == Files::kPathSeparator) ++start;
  requestedPath = joined.substr(start);
  return true;
}

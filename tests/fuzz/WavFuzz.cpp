// WAV files as the modulator source opens, reads and plays them. First byte:
// the host rate (file rate differs, so the resampler runs too); the rest is
// the file.

#include <cmath>
#include <vector>

#include "engine/WavPlayer.h"
#include "engine/WavReader.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr int kMaxFrames = 1 << 16;  // enough to reach the end of any small input

void ReadWhole(const std::string& path) {
  WavReader reader;
  if (!reader.Open(path.c_str())) return;
  std::vector<double> frames(static_cast<size_t>(64) * 3);
  for (int total = 0; total < kMaxFrames;) {
    const int got = reader.ReadFrames(frames.data(), 64, 3);
    fuzz::Require(got >= 0 && got <= 64, "read more frames than asked");
    if (got == 0) break;
    total += got;
  }
}

void Play(const std::string& path, double hostRate) {
  WavPlayer player;
  const int tick = static_cast<int>(hostRate) / 1000;
  player.ResetWavPlayer(hostRate, tick);
  if (!player.OpenWav(path.c_str())) return;
  player.TriggerWav();
  std::vector<double> left(static_cast<size_t>(tick)), right(left.size());
  // Until the file has played out (and a few ticks of silence after it).
  for (int t = 0, after = 0; t < 400 && after < 3; ++t) {
    player.RenderWav(left.data(), right.data(), tick);
    for (int i = 0; i < tick; ++i)
      fuzz::Require(std::isfinite(left[i]) && std::isfinite(right[i]), "non-finite sample");
    if (t == 20) player.ReleaseWav();
    if (player.remaining == 0) ++after;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const double kRates[] = {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
  const std::string path = fuzz::WriteFile("input.wav", data + 1, size - 1);
  ReadWhole(path);
  Play(path, kRates[data[0] % 6]);
  return 0;
}

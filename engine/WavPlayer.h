#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Resampler.h"
#include "engine/WavReader.h"

// Plays a WAV file as the modulator, like a one-shot sample: TriggerWav
// restarts it, the attack/release envelope fades it, and it stops at its end.
// Files at another rate than the host's are resampled. Files with more than
// two channels play their first two.
class WavPlayer {
 public:
  // User-interface thread, plug-in lock held. Opening sizes the resampler's
  // buffer; a zero-frame data chunk opens and plays silence.
  bool OpenWav(const char* path);
  void CloseWav();
  // Allocates the piece buffers for tickSamples and re-rates an open file
  // for the new host rate.
  void ResetWavPlayer(double sampleRate, int tickSamples);

  // Audio thread; none of these allocates.
  void TriggerWav() noexcept;
  void ReleaseWav() noexcept;
  // Always writes n samples to both outputs (n <= tickSamples).
  void RenderWav(double* outLeft, double* outRight, int n) noexcept;

  WavReader reader;
  Resampler resampler;
  // One piece of interleaved frames (two values per frame), from the reader
  // or the resampler.
  std::vector<double> bufInterleaved;
  double hostRate = 44100.0;
  double fileRateD = 44100.0;
  int32_t capacity = 0;
  int32_t frameCount = 0;
  int32_t outputLength = 0;
  int32_t remaining = 0;
  bool stereo = false;
  bool needsResampling = false;
  double attack = 0.0, release = 0.0;  // "Attack" and "Release" values
  double target = 0.0, coefficient = 0.0, level = 0.0;

 private:
  void UpdateRates();
  void RestartResampler() noexcept;
  double EnvelopeStep() noexcept;
  // Writes the k-channel frames of bufInterleaved through the envelope.
  int Emit(double* outLeft, double* outRight, int frames) noexcept;
  void RenderPiece(double* outLeft, double* outRight, int n) noexcept;
  int RenderDirect(double* outLeft, double* outRight, int n) noexcept;
  int RenderResampled(double* outLeft, double* outRight, int n) noexcept;
  int ChannelsToRead() const noexcept { return stereo ? 2 : 1; }
};

// Resolves and opens requestedPath (absolute, or relative to baseFolder);
// returns false when it cannot be opened. Rewrites requestedPath to the
// relative form when it was found under baseFolder.
bool OpenWavSource(WavPlayer& player, std::string& requestedPath, const std::string& baseFolder);

#pragma once

// Plays a WAV file as the modulator, like a one-shot sample. The reader and
// the resampler live beside it (WavReader.h, Resampler.h).
//
// Interface the process loop relies on (the WAV work completes the class and
// may add members, but keeps these):
//
// class WavPlayer {
// public:
//   bool OpenWav(const char* path);   // user-interface thread, lock held
//   void CloseWav();
//   void ResetWavPlayer(double sampleRate, int tickSamples);  // allocates
//   void TriggerWav() noexcept;                                // audio thread
//   void ReleaseWav() noexcept;                                // audio thread
//   // Always writes n samples to both outputs (n <= tickSamples).
//   void RenderWav(double* outLeft, double* outRight, int n) noexcept;
//   double attack = 0.0, release = 0.0;  // "Attack" and "Release" values
// };
//
// // Resolves and opens requestedPath (absolute, or relative to baseFolder);
// // returns false when it cannot be opened. Rewrites requestedPath to the
// // relative form when it was found under baseFolder.
// bool OpenWavSource(WavPlayer& player, std::string& requestedPath,
//                    const std::string& baseFolder);

#pragma once

// Plays a WAV file as the modulator. The full interface is in this file;
// the reader and the resampler live beside it (WavReader.h, Resampler.h).
// Sketch of the interface the process loop relies on:
//   bool OpenWav(const char* path);
//   void CloseWav();
//   void ResetWavPlayer(double sampleRate, int tickSamples);  // allocates
//   void TriggerWav();                                        // audio thread
//   void ReleaseWav();                                        // audio thread
//   void RenderWav(double* outLeft, double* outRight, int n); // audio thread
//   double attack, release;  // "Attack" and "Release" values

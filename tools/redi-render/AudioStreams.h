#pragma once

#include <sndfile.h>
#include <soxr.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// An audio file read block by block as stereo at the render's rate, resampled
// on the way when its own rate differs. Memory use does not grow with the
// file's length.
class AudioInput {
 public:
  // A file image in memory, as libsndfile reads it.
  struct Memory {
    const unsigned char* data = nullptr;
    sf_count_t size = 0, pos = 0;
  };

  AudioInput() = default;
  ~AudioInput();
  AudioInput(const AudioInput&) = delete;
  AudioInput& operator=(const AudioInput&) = delete;

  bool Open(const std::string& path, std::string* error);
  // The same from a file image in memory, which must outlive the input.
  bool OpenMemory(const unsigned char* data, std::size_t size, std::string* error);
  double FileRate() const { return info.samplerate; }
  // Sets the rate of what Read delivers; call once, after opening.
  bool Start(double rate, std::string* error);
  // The length at the render's rate.
  int64_t Frames() const { return frames; }
  // The next frames of each channel; silence after the end.
  void Read(float* left, float* right, int count);

  // Samples that were not numbers (NaN or infinite), read as silence.
  int64_t NonFiniteSamples() const { return nonFinite; }
  int64_t FirstNonFiniteFrame() const { return firstNonFinite; }  // in the file's frames

 private:
  bool Opened(const std::string& name, std::string* error);
  // Reads the next block of the file as stereo; the count read, 0 at its end.
  std::size_t ReadFileBlock();
  void Refill();

  Memory memory;
  SNDFILE* file = nullptr;
  SF_INFO info{};
  soxr_t resampler = nullptr;
  bool fileEnded = false, flushed = false;
  int64_t frames = 0;
  int64_t fileFrame = 0;
  int64_t delivered = 0;
  int64_t nonFinite = 0, firstNonFinite = -1;
  std::vector<float> raw, block;  // the file's interleaved frames; stereo frames
  std::vector<float> converted;   // the resampler's latest stereo frames
  std::vector<float> ready;       // stereo frames at the render's rate, not yet read
  std::size_t readyStart = 0;
};

enum class SampleFormat { kDefault, kInteger16, kInteger24, kFloat32 };

// The render written as it is made, to a file whose format follows its name
// (.wav, .flac, .ogg, .aif/.aiff), or as WAV to standard output ("-").
class AudioOutput {
 public:
  AudioOutput() = default;
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Checks the name and the sample format without creating anything.
  static bool Check(const std::string& path, SampleFormat format, std::string* error);
  // totalFrames: the exact length to come (standard output needs it first).
  bool Open(const std::string& path, int rate, SampleFormat format, int64_t totalFrames,
            std::string* error);
  bool Write(const float* left, const float* right, int count, std::string* error);
  bool Close(std::string* error);
  // Removes a file left half written after a failure.
  void Discard();

  // Samples beyond full scale, which formats other than float cannot hold.
  int64_t ClippedSamples() const { return clipped; }
  bool CanClip() const { return canClip; }
  float Peak() const { return peak; }
  std::string Description() const { return description; }

 private:
  std::string path;
  SNDFILE* file = nullptr;
  bool toStdout = false;
  sf_count_t stdoutBytes = 0;
  SampleFormat format = SampleFormat::kFloat32;
  bool canClip = false;
  int64_t clipped = 0;
  float peak = 0.0f;
  std::string description;
  std::vector<float> interleaved;
  std::vector<unsigned char> bytes;
};

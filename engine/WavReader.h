#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Streams the sample data of a RIFF/WAVE file: 8/16/24-bit integer PCM or
// 32/64-bit IEEE float, any channel count up to maxChannels.
class WavReader {
 public:
  static constexpr int maxChannels = 64;
  // Highest file rate accepted: twice the highest rate in use (768 kHz).
  static constexpr uint32_t maxFileRate = 1536000;

  WavReader() = default;
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;
  ~WavReader();

  // Walks the chunks up to the first usable "data" chunk and leaves the file
  // positioned at its first sample. False (and closed) when the file is
  // missing, not RIFF/WAVE, or has no valid "fmt " before a non-empty "data".
  bool Open(const char* path);
  void Close();
  bool IsOpen() const { return file != nullptr; }

  // Back to the first frame of the data.
  bool Rewind() noexcept;

  // Reads up to `frames` whole frames, decoding channels 0..k-1 into `out`
  // (k values per frame, interleaved); output j repeats file channel
  // j mod channels when k exceeds the file's count. Stops at the end of the
  // data chunk or of the file. Returns the frames read.
  int ReadFrames(double* out, int frames, int k) noexcept;

  std::string path;
  std::FILE* file = nullptr;
  int32_t frameCount = 0;
  int64_t dataStart = -1;  // file offset of the first sample; -1 = none
  int bitsPerSample = 0;
  int channels = 0;
  int fileRate = 0;

 private:
  int BytesPerFrame() const { return channels * (bitsPerSample / 8); }
  bool ParseChunks();

  int32_t framesLeft = 0;  // frames of the data chunk not yet read
};

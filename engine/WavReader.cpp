#include "engine/WavReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/platform/Files.h"

namespace {

// 64-bit offsets so that chunk sizes up to 4 GiB walk correctly everywhere.
bool SeekTo(std::FILE* f, int64_t offset, int origin) { return Files::Seek(f, offset, origin); }
int64_t Tell(std::FILE* f) { return Files::Tell(f); }

uint32_t U16(const unsigned char* p) { return p[0] | (uint32_t{p[1]} << 8); }

uint32_t U32(const unsigned char* p) { return U16(p) | (U16(p + 2) << 16); }

uint64_t U64(const unsigned char* p) { return U32(p) | (uint64_t{U32(p + 4)} << 32); }

bool IsAcceptedFormat(uint32_t tag, uint32_t bits, uint32_t channels, uint32_t rate) {
  const bool integerPcm = tag == 1 && (bits == 8 || bits == 16 || bits == 24);
  const bool ieeeFloat = tag == 3 && (bits == 32 || bits == 64);
  // A zero rate would make the played length infinite.
  return (integerPcm || ieeeFloat) && channels >= 1 &&
         channels <= static_cast<uint32_t>(WavReader::maxChannels) && rate >= 1 &&
         rate <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
}

// Float samples that are not numbers play as silence.
double Finite(double x) { return std::isfinite(x) ? x : 0.0; }

double DecodeSample(const unsigned char* p, int bits) {
  switch (bits) {
    case 8:
      return p[0] * 0.0078125 - 1;
    case 16: {
      const int32_t s = static_cast<int32_t>(U16(p)) - (p[1] >= 0x80 ? 0x10000 : 0);
      return s * 0.000030517578125;
    }
    case 24: {
      const int32_t raw = static_cast<int32_t>(U16(p) | (uint32_t{p[2]} << 16));
      const int32_t s = raw - (p[2] >= 0x80 ? 0x1000000 : 0);
      return s * 1.1920928955078125e-7;
    }
    case 32: {
      const uint32_t u = U32(p);
      float f;
      std::memcpy(&f, &u, sizeof f);
      return Finite(f);
    }
    default: {
      const uint64_t u = U64(p);
      double d;
      std::memcpy(&d, &u, sizeof d);
      return Finite(d);
    }
  }
}

}  // namespace

WavReader::~WavReader() { Close(); }

bool WavReader::Open(const char* newPath) {
  Close();
  // Only a regular file: a name from a project can point at a FIFO or a
  // device, which would block or never end.
  file = Files::OpenRegularFile(newPath);
  if (!file) return false;
  path = newPath;
  if (!ParseChunks()) {
    Close();
    return false;
  }
  return true;
}

void WavReader::Close() {
  if (file) std::fclose(file);
  file = nullptr;
  path.clear();
  frameCount = 0;
  framesLeft = 0;
  dataStart = -1;
  bitsPerSample = channels = fileRate = 0;
}

bool WavReader::ParseChunks() {
  unsigned char header[12];
  if (std::fread(header, 1, sizeof header, file) != sizeof header) return false;
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) return false;

  bool formatValid = false;
  for (;;) {
    unsigned char chunk[8];
    if (std::fread(chunk, 1, sizeof chunk, file) != sizeof chunk) return false;
    const uint32_t size = U32(chunk + 4);
    // Odd-sized chunks are followed by a pad byte.
    int64_t skip = int64_t{size} + (size & 1);

    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
      unsigned char fmt[16];
      if (std::fread(fmt, 1, sizeof fmt, file) != sizeof fmt) return false;
      const uint32_t tag = U16(fmt), count = U16(fmt + 2), rate = U32(fmt + 4);
      const uint32_t bits = U16(fmt + 14);
      formatValid = IsAcceptedFormat(tag, bits, count, rate);
      channels = formatValid ? static_cast<int>(count) : 0;
      bitsPerSample = formatValid ? static_cast<int>(bits) : 0;
      fileRate = formatValid ? static_cast<int>(rate) : 0;
      skip -= 16;
    } else if (std::memcmp(chunk, "data", 4) == 0 && size > 0 && formatValid) {
      if (BytesPerFrame() <= 0) return false;
      dataStart = Tell(file);
      if (dataStart < 0) return false;
      const uint32_t frames = size / static_cast<uint32_t>(BytesPerFrame());
      frameCount = static_cast<int32_t>(
          std::min<uint32_t>(frames, static_cast<uint32_t>(std::numeric_limits<int32_t>::max())));
      framesLeft = frameCount;
      return true;
    }
    if (!SeekTo(file, skip, SEEK_CUR)) return false;
  }
}

bool WavReader::Rewind() noexcept {
  if (!file || dataStart < 0) return false;
  framesLeft = 0;
  if (!SeekTo(file, dataStart, SEEK_SET)) return false;
  framesLeft = frameCount;
  return true;
}

int WavReader::ReadFrames(double* out, int frames, int k) noexcept {
  if (!file || frames <= 0 || k <= 0) return 0;
  frames = std::min(frames, framesLeft);
  const int frameBytes = BytesPerFrame();
  const int sampleBytes = bitsPerSample / 8;
  unsigned char block[4096];  // at least 8 frames of 64 channels x 8 bytes
  const int framesPerBlock = static_cast<int>(sizeof block) / frameBytes;

  int done = 0;
  while (done < frames) {
    const int want = std::min(frames - done, framesPerBlock);
    // Counts whole frames only, so a trailing partial frame is never decoded.
    const int got = static_cast<int>(std::fread(block, frameBytes, want, file));
    for (int f = 0; f < got; ++f) {
      const unsigned char* frame = block + f * frameBytes;
      for (int j = 0; j < k; ++j) {
        *out++ = DecodeSample(frame + (j % channels) * sampleBytes, bitsPerSample);
      }
    }
    done += got;
    framesLeft -= got;
    if (got < want) {
      framesLeft = 0;  // the file ends before its data chunk does
      break;
    }
  }
  return done;
}

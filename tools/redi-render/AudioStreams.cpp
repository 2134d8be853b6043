#include "AudioStreams.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

constexpr sf_count_t kFileBlock = 4096;

using MemoryFile = AudioInput::Memory;

// libsndfile reading from a file image in memory.
sf_count_t MemLength(void* user) { return static_cast<MemoryFile*>(user)->size; }
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->size;
  m->pos = std::clamp<sf_count_t>(base + offset, 0, m->size);
  return m->pos;
}
sf_count_t MemRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t n = std::clamp<sf_count_t>(count, 0, m->size - m->pos);
  std::copy(m->data + m->pos, m->data + m->pos + n, static_cast<unsigned char*>(out));
  m->pos += n;
  return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

struct OutputKind {
  int container = 0;  // 0: unknown name
  const char* name = "";
};

OutputKind KindOf(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (path == "-" || extension == ".wav") return {SF_FORMAT_WAV, "WAV"};
  if (extension == ".flac") return {SF_FORMAT_FLAC, "FLAC"};
  if (extension == ".ogg" || extension == ".oga") return {SF_FORMAT_OGG, "OGG Vorbis"};
  if (extension == ".aif" || extension == ".aiff") return {SF_FORMAT_AIFF, "AIFF"};
  return {};
}

// Without a choice: float where the container holds it (nothing can clip),
// else 24 bits, the finest integer format FLAC holds.
SampleFormat Resolve(const OutputKind& kind, SampleFormat format) {
  if (format != SampleFormat::kDefault) return format;
  return kind.container == SF_FORMAT_FLAC ? SampleFormat::kInteger24 : SampleFormat::kFloat32;
}

int BytesPerSample(SampleFormat format) {
  return format == SampleFormat::kInteger16 ? 2 : format == SampleFormat::kInteger24 ? 3 : 4;
}

void PutLittleEndian(std::vector<unsigned char>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutTag(std::vector<unsigned char>* out, const char* tag) {
  out->insert(out->end(), tag, tag + 4);
}

// Standard output as a stream that only grows: headerless samples need no
// going back, whether it is a pipe or a file.
sf_count_t StdoutLength(void* user) { return *static_cast<sf_count_t*>(user); }
sf_count_t StdoutSeek(sf_count_t, int, void* user) { return *static_cast<sf_count_t*>(user); }
sf_count_t StdoutRead(void*, sf_count_t, void*) { return 0; }
sf_count_t StdoutWrite(const void* data, sf_count_t count, void* user) {
  const auto* bytes = static_cast<const char*>(data);
  sf_count_t done = 0;
  while (done < count) {
    const ssize_t n = write(STDOUT_FILENO, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  *static_cast<sf_count_t*>(user) += done;
  return done;
}
SF_VIRTUAL_IO kStdoutIo{StdoutLength, StdoutSeek, StdoutRead, StdoutWrite, StdoutLength};

}  // namespace

AudioInput::~AudioInput() {
  if (resampler != nullptr) soxr_delete(resampler);
  if (file != nullptr) sf_close(file);
}

bool AudioInput::Open(const std::string& path, std::string* error) {
  file = sf_open(path.c_str(), SFM_READ, &info);
  return Opened(path, error);
}

bool AudioInput::OpenMemory(const unsigned char* data, std::size_t size, std::string* error) {
  static SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
  memory = {data, static_cast<sf_count_t>(size), 0};
  file = sf_open_virtual(&io, SFM_READ, &info, &memory);
  return Opened("the built-in demo voice", error);
}

bool AudioInput::Opened(const std::string& name, std::string* error) {
  if (file == nullptr) {
    *error = "cannot read the audio file " + name + ": " + sf_strerror(nullptr);
    return false;
  }
  if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0) {
    *error = "the audio file " + name + " holds no audio";
    return false;
  }
  // Integer files are read at full scale; clipping is the output's business.
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  return true;
}

bool AudioInput::Start(double rate, std::string* error) {
  frames = info.frames;
  if (rate == info.samplerate) return true;
  frames = std::llround(static_cast<double>(info.frames) * rate / info.samplerate);
  soxr_error_t failure = nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  resampler = soxr_create(info.samplerate, rate, 2, &failure, &io, &quality, nullptr);
  if (resampler == nullptr || failure != nullptr) {
    *error = std::string("cannot convert the rate: ") + (failure ? failure : "no resampler");
    return false;
  }
  return true;
}

std::size_t AudioInput::ReadFileBlock() {
  const auto channels = static_cast<std::size_t>(info.channels);
  raw.resize(static_cast<std::size_t>(kFileBlock) * channels);
  const sf_count_t got = sf_readf_float(file, raw.data(), kFileBlock);
  const std::size_t n = got > 0 ? static_cast<std::size_t>(got) : 0;
  block.resize(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t c = 0; c < 2; ++c) {
      float v = raw[i * channels + std::min(c, channels - 1)];
      if (!std::isfinite(v)) {
        // Counted once per sample of the file, not per stereo copy.
        if (c < channels) {
          if (nonFinite++ == 0) firstNonFinite = fileFrame + static_cast<int64_t>(i);
        }
        v = 0.0f;
      }
      block[2 * i + c] = v;
    }
  }
  fileFrame += static_cast<int64_t>(n);
  return n;
}

void AudioInput::Refill() {
  ready.clear();
  readyStart = 0;
  if (resampler == nullptr) {
    if (ReadFileBlock() == 0) fileEnded = true;
    ready.swap(block);
    return;
  }
  converted.resize(2 * 8192);
  const std::size_t capacity = converted.size() / 2;
  if (!fileEnded) {
    const std::size_t n = ReadFileBlock();
    if (n == 0) fileEnded = true;
    for (std::size_t offset = 0; offset < n;) {
      std::size_t used = 0, made = 0;
      soxr_process(resampler, block.data() + 2 * offset, n - offset, &used, converted.data(),
                   capacity, &made);
      ready.insert(ready.end(), converted.begin(),
                   converted.begin() + 2 * static_cast<std::ptrdiff_t>(made));
      offset += used;
      if (used == 0 && made == 0) break;
    }
  }
  if (fileEnded) {
    std::size_t made = 0;
    soxr_process(resampler, nullptr, 0, nullptr, converted.data(), capacity, &made);
    ready.insert(ready.end(), converted.begin(),
                 converted.begin() + 2 * static_cast<std::ptrdiff_t>(made));
    if (made == 0) flushed = true;
  }
}

void AudioInput::Read(float* left, float* right, int count) {
  for (int i = 0; i < count; ++i) {
    while (readyStart * 2 >= ready.size() && !(resampler ? flushed : fileEnded)) Refill();
    if (readyStart * 2 >= ready.size() || delivered >= frames) {
      left[i] = right[i] = 0.0f;
      continue;
    }
    left[i] = ready[2 * readyStart];
    right[i] = ready[2 * readyStart + 1];
    ++readyStart;
    ++delivered;
  }
}

AudioOutput::~AudioOutput() {
  if (file != nullptr) sf_close(file);
}

bool AudioOutput::Check(const std::string& path, SampleFormat format, std::string* error) {
  const OutputKind kind = KindOf(path);
  if (kind.container == 0) {
    *error =
        "cannot tell the format of " + path + " from its name (use .wav, .flac, .ogg or .aiff)";
    return false;
  }
  if (kind.container == SF_FORMAT_OGG && format != SampleFormat::kDefault) {
    *error = "--sample-format does not apply to OGG Vorbis";
    return false;
  }
  if (kind.container == SF_FORMAT_FLAC && format == SampleFormat::kFloat32) {
    *error = "FLAC holds 16 or 24-bit samples, not float";
    return false;
  }
  return true;
}

bool AudioOutput::Open(const std::string& outputPath, int rate, SampleFormat requested,
                       int64_t totalFrames, std::string* error) {
  if (!Check(outputPath, requested, error)) return false;
  path = outputPath;
  const OutputKind kind = KindOf(path);
  format = Resolve(kind, requested);
  const bool isFloat = format == SampleFormat::kFloat32;
  canClip = kind.container == SF_FORMAT_OGG || !isFloat;
  description = kind.container == SF_FORMAT_OGG
                    ? std::string(kind.name)
                    : (isFloat ? std::string("32-bit float ")
                               : std::to_string(8 * BytesPerSample(format)) + "-bit ") +
                          kind.name;
  if (path == "-") {
    toStdout = true;
    const uint64_t dataBytes = static_cast<uint64_t>(totalFrames) * 2 * BytesPerSample(format);
    if (dataBytes > 0xFFFFFF00u) {
      *error = "the render is too long for a WAV file on standard output";
      return false;
    }
    // The header is written first, so its sizes come from the known length.
    const uint32_t fmtBytes = isFloat ? 18 : 16;
    const uint32_t blockAlign = 2 * static_cast<uint32_t>(BytesPerSample(format));
    bytes.clear();
    PutTag(&bytes, "RIFF");
    PutLittleEndian(
        &bytes, static_cast<uint32_t>(4 + 8 + fmtBytes + (isFloat ? 12 : 0) + 8 + dataBytes), 4);
    PutTag(&bytes, "WAVE");
    PutTag(&bytes, "fmt ");
    PutLittleEndian(&bytes, fmtBytes, 4);
    PutLittleEndian(&bytes, isFloat ? 3 : 1, 2);
    PutLittleEndian(&bytes, 2, 2);
    PutLittleEndian(&bytes, static_cast<uint32_t>(rate), 4);
    PutLittleEndian(&bytes, static_cast<uint32_t>(rate) * blockAlign, 4);
    PutLittleEndian(&bytes, blockAlign, 2);
    PutLittleEndian(&bytes, 8 * static_cast<uint32_t>(BytesPerSample(format)), 2);
    if (isFloat) {
      PutLittleEndian(&bytes, 0, 2);
      PutTag(&bytes, "fact");
      PutLittleEndian(&bytes, 4, 4);
      PutLittleEndian(&bytes, static_cast<uint32_t>(totalFrames), 4);
    }
    PutTag(&bytes, "data");
    PutLittleEndian(&bytes, static_cast<uint32_t>(dataBytes), 4);
    if (StdoutWrite(bytes.data(), static_cast<sf_count_t>(bytes.size()), &stdoutBytes) !=
        static_cast<sf_count_t>(bytes.size())) {
      *error = "cannot write to standard output";
      return false;
    }
  }
  // The samples themselves go through libsndfile in every case, so that a
  // render piped out holds exactly the samples of the same render in a file.
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = kind.container | (kind.container == SF_FORMAT_OGG      ? SF_FORMAT_VORBIS
                                  : format == SampleFormat::kInteger16 ? SF_FORMAT_PCM_16
                                  : format == SampleFormat::kInteger24 ? SF_FORMAT_PCM_24
                                                                       : SF_FORMAT_FLOAT);
  if (toStdout) info.format = SF_FORMAT_RAW | SF_ENDIAN_LITTLE | (info.format & SF_FORMAT_SUBMASK);
  file = toStdout ? sf_open_virtual(&kStdoutIo, SFM_WRITE, &info, &stdoutBytes)
                  : sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    *error = "cannot write " + (toStdout ? std::string("to standard output") : path) + ": " +
             sf_strerror(nullptr);
    return false;
  }
  if (canClip) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // The float formats' peak chunk carries the time of writing; without it
  // the same render gives the same bytes.
  sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  return true;
}

bool AudioOutput::Write(const float* left, const float* right, int count, std::string* error) {
  interleaved.resize(2 * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    interleaved[2 * static_cast<std::size_t>(i)] = left[i];
    interleaved[2 * static_cast<std::size_t>(i) + 1] = right[i];
  }
  for (float v : interleaved) {
    peak = std::max(peak, std::fabs(v));
    if (std::fabs(v) > 1.0f) ++clipped;
  }
  errno = 0;
  if (sf_writef_float(file, interleaved.data(), count) != count) {
    const std::string reason = errno != 0 ? std::strerror(errno) : std::string(sf_strerror(file));
    *error = (toStdout ? std::string("cannot write to standard output")
                       : "cannot write all of " + path) +
             ": " + reason;
    return false;
  }
  return true;
}

bool AudioOutput::Close(std::string* error) {
  const int result = sf_close(file);
  file = nullptr;
  if (result != 0) {
    *error = "cannot finish " + (toStdout ? std::string("the output") : path);
    return false;
  }
  return true;
}

void AudioOutput::Discard() {
  if (toStdout || path.empty()) return;
  if (file != nullptr) sf_close(file);
  file = nullptr;
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

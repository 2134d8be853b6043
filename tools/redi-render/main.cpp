// redi-render: renders audio files through the REDI plug-in, loaded from its
// library as a VST 2 host loads it.

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "MidiFile.h"
#include "PluginHost.h"
#include "RenderOptions.h"

extern const unsigned char demoVoice[];
extern const unsigned long demoVoice_size;

namespace {

struct Audio {
  double rate = 0.0;
  std::vector<float> left, right;
  std::size_t Frames() const { return left.size(); }
};

int Fail(const std::string& message) {
  std::cerr << "redi-render: " << message << "\n";
  return 1;
}

bool ToStereo(SNDFILE* file, const SF_INFO& info, Audio* audio) {
  std::vector<float> interleaved(static_cast<std::size_t>(info.frames) *
                                 static_cast<std::size_t>(info.channels));
  const sf_count_t read = sf_readf_float(file, interleaved.data(), info.frames);
  audio->rate = info.samplerate;
  audio->left.resize(static_cast<std::size_t>(read));
  audio->right.resize(static_cast<std::size_t>(read));
  for (sf_count_t i = 0; i < read; ++i) {
    const float* frame = &interleaved[static_cast<std::size_t>(i * info.channels)];
    audio->left[static_cast<std::size_t>(i)] = frame[0];
    audio->right[static_cast<std::size_t>(i)] = info.channels > 1 ? frame[1] : frame[0];
  }
  sf_close(file);
  return read > 0;
}

bool ReadAudioFile(const std::string& path, Audio* audio, std::string* error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    *error = "cannot read the audio file " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  if (!ToStereo(file, info, audio)) {
    *error = "the audio file " + path + " holds no audio";
    return false;
  }
  return true;
}

// libsndfile reading from the demo voice compiled into this program.
struct MemoryFile {
  const unsigned char* data;
  sf_count_t size, pos;
};
sf_count_t MemLength(void* user) { return static_cast<MemoryFile*>(user)->size; }
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->size;
  m->pos = std::clamp<sf_count_t>(base + offset, 0, m->size);
  return m->pos;
}
sf_count_t MemRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t n = std::min(count, m->size - m->pos);
  std::copy(m->data + m->pos, m->data + m->pos + n, static_cast<unsigned char*>(out));
  m->pos += n;
  return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

bool ReadDemoVoice(Audio* audio) {
  MemoryFile memory{demoVoice, static_cast<sf_count_t>(demoVoice_size), 0};
  SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
  SF_INFO info{};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
  return file != nullptr && ToStereo(file, info, audio);
}

// Linear interpolation is enough for a modulator or carrier at another rate.
void Resample(Audio* audio, double rate) {
  if (audio->rate == rate || audio->Frames() == 0) return;
  const double step = audio->rate / rate;
  const auto frames = static_cast<std::size_t>(audio->Frames() / step);
  auto convert = [&](const std::vector<float>& in) {
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
      const double pos = i * step;
      const auto k = static_cast<std::size_t>(pos);
      const double f = pos - k;
      const float next = k + 1 < in.size() ? in[k + 1] : in[k];
      out[i] = static_cast<float>(in[k] * (1.0 - f) + next * f);
    }
    return out;
  };
  audio->left = convert(audio->left);
  audio->right = convert(audio->right);
  audio->rate = rate;
}

// Notes held from the first sample to the end of the render. They are never
// released, so that the output does not depend on the block size (events
// take effect at the plug-in's 1 ms control ticks, counted per block).
std::vector<PluginHost::MidiEvent> HeldChord(const std::vector<int>& notes) {
  std::vector<PluginHost::MidiEvent> events;
  for (int n : notes) events.push_back({0, 0x90, static_cast<uint8_t>(n), 100});
  return events;
}

// The demo's chords: A minor, F major, C major, G major, each held a quarter
// of the phrase, the last one until the end.
std::vector<PluginHost::MidiEvent> DemoProgression(int64_t frames) {
  static const int kChords[4][4] = {
      {45, 57, 60, 64}, {41, 57, 60, 65}, {48, 55, 60, 64}, {43, 55, 59, 62}};
  std::vector<PluginHost::MidiEvent> events;
  for (int c = 0; c < 4; ++c) {
    const int64_t on = frames * c / 4;
    const int64_t off = c == 3 ? frames : frames * (c + 1) / 4;
    for (int n : kChords[c]) events.push_back({on, 0x90, static_cast<uint8_t>(n), 100});
    for (int n : kChords[c]) events.push_back({off, 0x80, static_cast<uint8_t>(n), 0});
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a.frame < b.frame; });
  return events;
}

bool ReadMidiEvents(const std::string& path, double rate, std::vector<PluginHost::MidiEvent>* out,
                    std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open the MIDI file " + path;
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  std::vector<TimedMidiEvent> events;
  if (!ReadMidiFile(bytes, &events, error)) {
    *error = path + ": " + *error;
    return false;
  }
  for (const TimedMidiEvent& e : events)
    out->push_back(
        {static_cast<int64_t>(std::llround(e.seconds * rate)), e.status, e.data1, e.data2});
  return true;
}

std::string DefaultPluginPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(".");
  dir = dir.substr(0, dir.find_last_of('/') + 1);
  return dir + "REDI64.so";
}

class Progress {
 public:
  explicit Progress(int64_t total) : total(total), shown(isatty(STDERR_FILENO) != 0) {}
  void Update(int64_t done) {
    using namespace std::chrono;
    if (!shown || steady_clock::now() - start < seconds(1)) return;
    const int width = 40;
    const int filled = static_cast<int>(width * done / std::max<int64_t>(total, 1));
    std::fprintf(stderr, "\r[%s%s] %3d%%",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(),
                 static_cast<int>(100 * done / std::max<int64_t>(total, 1)));
    drawn = true;
  }
  ~Progress() {
    if (drawn) std::fprintf(stderr, "\r%s\r", std::string(50, ' ').c_str());
  }

 private:
  int64_t total;
  bool shown;
  bool drawn = false;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

bool WriteAudioFile(const std::string& path, const Audio& audio, std::string* error) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(audio.rate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  std::vector<float> interleaved(audio.Frames() * 2);
  for (std::size_t i = 0; i < audio.Frames(); ++i) {
    interleaved[2 * i] = audio.left[i];
    interleaved[2 * i + 1] = audio.right[i];
  }
  const sf_count_t written =
      sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(audio.Frames()));
  sf_close(file);
  if (written != static_cast<sf_count_t>(audio.Frames())) {
    *error = "cannot write all of " + path;
    return false;
  }
  return true;
}

void ListParams(PluginHost& host) {
  for (int i = 0; i < host.NumParams(); ++i) {
    std::string label = host.ParamLabel(i);
    std::printf("%3d  %-24s %s%s%s\n", i, host.ParamName(i).c_str(), host.ParamDisplay(i).c_str(),
                label.empty() ? "" : " ", label.c_str());
  }
}

void ListPrograms(PluginHost& host) {
  for (int i = 0; i < host.NumPrograms(); ++i)
    std::printf("%2d  %s\n", i, host.ProgramName(i).c_str());
}

// Runs the modulator (and carrier) through the plug-in; the render goes on a
// second past the input so that releases ring out.
Audio Render(PluginHost& host, const Audio& modulator, const Audio* carrier,
             const std::vector<PluginHost::MidiEvent>& events, int block) {
  const auto inputFrames = static_cast<int64_t>(modulator.Frames());
  const int64_t total = inputFrames + static_cast<int64_t>(modulator.rate);
  Audio out;
  out.rate = modulator.rate;
  out.left.assign(static_cast<std::size_t>(total), 0.0f);
  out.right.assign(static_cast<std::size_t>(total), 0.0f);
  std::vector<float> in[4];
  for (auto& channel : in) channel.assign(static_cast<std::size_t>(block), 0.0f);
  float* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
  std::size_t nextEvent = 0;
  Progress progress(total);
  for (int64_t pos = 0; pos < total; pos += block) {
    const int n = static_cast<int>(std::min<int64_t>(block, total - pos));
    auto fill = [&](std::vector<float>& dst, const std::vector<float>& src) {
      for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(pos + i);
        dst[static_cast<std::size_t>(i)] = k < src.size() ? src[k] : 0.0f;
      }
    };
    fill(in[0], modulator.left);
    fill(in[1], modulator.right);
    if (carrier != nullptr) {
      fill(in[2], carrier->left);
      fill(in[3], carrier->right);
    }
    float* outputs[2] = {&out.left[static_cast<std::size_t>(pos)],
                         &out.right[static_cast<std::size_t>(pos)]};
    host.Process(inputs, outputs, n, pos, events, &nextEvent);
    progress.Update(pos + n);
  }
  return out;
}

bool IsFinite(const Audio& audio) {
  auto finite = [](float v) { return std::isfinite(v); };
  return std::all_of(audio.left.begin(), audio.left.end(), finite) &&
         std::all_of(audio.right.begin(), audio.right.end(), finite);
}

double PeakDecibels(const Audio& audio) {
  float peak = 0.0f;
  for (float v : audio.left) peak = std::max(peak, std::fabs(v));
  for (float v : audio.right) peak = std::max(peak, std::fabs(v));
  return peak > 0.0f ? 20.0 * std::log10(peak) : -INFINITY;
}

}  // namespace

int main(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!ParseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
    return Fail(error);
  if (options.mode == RenderOptions::Mode::kHelp) {
    std::cout << kRenderUsage;
    return 0;
  }
  PluginHost host;
  if (!host.Load(options.plugin.empty() ? DefaultPluginPath() : options.plugin, &error))
    return Fail(error);
  if (options.mode == RenderOptions::Mode::kListParams) {
    ListParams(host);
    return 0;
  }
  if (options.mode == RenderOptions::Mode::kListPrograms) {
    ListPrograms(host);
    return 0;
  }

  const bool demo = options.mode == RenderOptions::Mode::kDemo;
  Audio modulator, carrier;
  if (demo ? !ReadDemoVoice(&modulator) : !ReadAudioFile(options.modulator, &modulator, &error))
    return Fail(demo ? "the built-in demo voice is damaged" : error);
  if (!options.carrier.empty() && !ReadAudioFile(options.carrier, &carrier, &error))
    return Fail(error);
  // The demo voice is stored at a low rate; the demo renders at CD rate.
  const double rate = options.rate > 0 ? options.rate : demo ? 44100.0 : modulator.rate;
  Resample(&modulator, rate);
  Resample(&carrier, rate);

  std::vector<PluginHost::MidiEvent> events;
  const auto frames = static_cast<int64_t>(modulator.Frames());
  if (!options.midiFile.empty()) {
    if (!ReadMidiEvents(options.midiFile, rate, &events, &error)) return Fail(error);
  } else if (!options.notes.empty()) {
    events = HeldChord(options.notes);
  } else if (demo) {
    events = DemoProgression(frames);
  } else {
    events = HeldChord({48, 55, 60, 63});  // C minor when nothing is said
  }

  host.Start(rate, options.block, options.carrier.empty() ? 2 : 4);
  if (!options.bank.empty() && !host.LoadBankFile(options.bank, &error)) return Fail(error);
  if (options.program >= 0) host.SetProgram(options.program);
  for (const auto& [name, value] : options.settings) {
    const int index = host.FindParam(name);
    if (index < 0) return Fail("unknown parameter \"" + name + "\" (see --list-params)");
    if (!host.SetParam(index, value, &error)) return Fail(error);
  }
  host.Resume();
  const Audio out =
      Render(host, modulator, options.carrier.empty() ? nullptr : &carrier, events, options.block);
  host.Suspend();
  // A WAV file of integer samples cannot carry NaN or infinity: they would
  // come out as full-scale clicks, so they are reported instead.
  if (!IsFinite(out)) return Fail("the plug-in produced samples that are not numbers");
  if (!WriteAudioFile(options.output, out, &error)) return Fail(error);
  std::error_code ec;
  const std::string where = std::filesystem::absolute(options.output, ec).string();
  std::printf("wrote %s (%.1f s at %.0f Hz, peak %.1f dBFS)\n", where.c_str(),
              out.Frames() / out.rate, out.rate, PeakDecibels(out));
  return 0;
}

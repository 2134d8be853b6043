// redi-render: renders audio files through the REDI plug-in, loaded from its
// library as a VST 2 host loads it.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "AudioStreams.h"
#include "BankFile.h"
#include "MidiFile.h"
#include "ParameterTerms.h"
#include "PluginHost.h"
#include "PrivateConfiguration.h"
#include "RenderOptions.h"

extern const unsigned char demoVoice[];
extern const unsigned long demoVoice_size;

namespace {

namespace fs = std::filesystem;

constexpr const char* kWavFolderName = "REDI-wav";
constexpr const char* kPluginFileName = "REDI64.so";
// Far larger than any bank or MIDI file; a bigger file is something else.
constexpr off_t kLargestWholeFile = 64 << 20;

// Set by an interrupt or termination signal.
volatile sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

int Fail(const std::string& message) {
  std::cerr << "redi-render: " << message << "\n";
  return 1;
}

class Messages {
 public:
  explicit Messages(bool quiet) : quiet(quiet) {}
  void Warn(const std::string& message) const {
    if (!quiet) std::cerr << "redi-render: warning: " << message << "\n";
  }
  void Say(const std::string& message) const {
    if (!quiet) std::cerr << message << "\n";
  }

 private:
  bool quiet;
};

// Checks that the path names something readable that is not a folder; the
// reason names the path and what it was meant to be.
bool CheckReadable(const std::string& path, const std::string& what, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  const bool opened = fd >= 0 && fstat(fd, &status) == 0;
  const int reason = errno;
  if (fd >= 0) close(fd);
  if (!opened) {
    *error = "cannot read the " + what + " " + path + ": " + std::strerror(reason);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    *error = "the " + what + " " + path + " is a folder, not a file";
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, const std::string& what, std::vector<uint8_t>* bytes,
                   std::string* error) {
  if (!CheckReadable(path, what, error)) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot read the " + what + " " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  uint8_t chunk[65536];
  std::size_t got = 0;
  bool tooLarge = false;
  while (!tooLarge && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes->insert(bytes->end(), chunk, chunk + got);
    tooLarge = bytes->size() > static_cast<std::size_t>(kLargestWholeFile);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || tooLarge) {
    *error = "cannot read the " + what + " " + path +
             (tooLarge ? ": far too large for one" : ": read error");
    return false;
  }
  return true;
}

std::string ExecutableFolder() {
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  return n > 0 ? fs::path(std::string(self, static_cast<std::size_t>(n))).parent_path().string()
               : std::string(".");
}

// Beside this program (the build tree), in the install layout's lib/vst, or
// in the folder Linux hosts search in the user's home.
std::string DefaultPluginPath() {
  const std::string here = ExecutableFolder();
  std::vector<std::string> candidates = {here + "/" + kPluginFileName,
                                         here + "/../lib/vst/" + kPluginFileName};
  if (const char* home = std::getenv("HOME"))
    candidates.push_back(std::string(home) + "/.vst/" + kPluginFileName);
  for (const std::string& path : candidates)
    if (fs::is_regular_file(path)) return path;
  return candidates.front();
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
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
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, "MIDI file", &bytes, error)) return false;
  std::vector<TimedMidiEvent> events;
  if (!ReadMidiFile(bytes, &events, error)) {
    *error = "the MIDI file " + path + " is damaged: " + *error;
    return false;
  }
  for (const TimedMidiEvent& e : events)
    out->push_back(
        {static_cast<int64_t>(std::llround(e.seconds * rate)), e.status, e.data1, e.data2});
  return true;
}

bool LoadBank(PluginHost& host, const std::string& path, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, "bank file", &bytes, error)) return false;
  BankFile bank;
  if (!ReadBankFile(bytes, host.UniqueId(), host.NumParams(), &bank, error)) {
    *error = "the bank file " + path + " " + *error;
    return false;
  }
  if (bank.form == BankFile::Form::kChunk) {
    if (!host.SetBankChunk(bank.chunk)) {
      *error = "the bank file " + path + " is damaged: the plug-in could not read its programs";
      return false;
    }
    return true;
  }
  // The parameter-list form, program by program, as the plug-in's loader
  // takes it: values, then the name.
  for (std::size_t i = 0;
       i < bank.programs.size() && i < static_cast<std::size_t>(host.NumPrograms()); ++i) {
    host.SetProgram(static_cast<int>(i));
    for (int p = 0; p < host.NumParams(); ++p)
      host.SetNormalized(p, bank.programs[i].values[static_cast<std::size_t>(p)]);
    host.SetProgramName(bank.programs[i].name);
  }
  host.SetProgram(bank.currentProgram);
  return true;
}

class Progress {
 public:
  Progress(int64_t total, bool quiet) : total(total), shown(!quiet && isatty(STDERR_FILENO) != 0) {}
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

// The display of every parameter in a fresh plug-in's "Init" program, which
// holds the defaults; empty when there is none.
std::vector<std::string> DefaultDisplays(PluginHost& host) {
  int init = -1;
  for (int i = host.NumPrograms() - 1; i >= 0 && init < 0; --i)
    if (host.ProgramName(i) == "Init") init = i;
  if (init < 0) return {};
  const int current = host.CurrentProgram();
  host.SetProgram(init);
  std::vector<std::string> values;
  for (int i = 0; i < host.NumParams(); ++i) values.push_back(host.ParamDisplay(i));
  host.SetProgram(current);
  return values;
}

void ListParams(PluginHost& host, const std::vector<std::string>& defaults) {
  for (int i = 0; i < host.NumParams(); ++i) {
    const ParameterTerms terms = ParameterTerms::Learn(host, i);
    std::string line = std::to_string(i);
    line.insert(0, 3 - std::min<std::size_t>(3, line.size()), ' ');
    char text[512];
    std::snprintf(text, sizeof text, "%s  %-22s %-16s %s: %s", line.c_str(), terms.name.c_str(),
                  terms.WithUnit(host.ParamDisplay(i)).c_str(), terms.stepped ? "choices" : "range",
                  terms.Range().c_str());
    line = text;
    if (static_cast<std::size_t>(i) < defaults.size())
      line += "; default " + terms.WithUnit(defaults[static_cast<std::size_t>(i)]);
    std::printf("%s\n", line.c_str());
  }
}

void ListPrograms(PluginHost& host) {
  std::vector<std::string> names;
  // The bank state holds the names whole; the name call cuts them short.
  if (!ProgramNamesInBankChunk(host.BankChunk(), host.NumParams(), &names) ||
      names.size() != static_cast<std::size_t>(host.NumPrograms())) {
    names.clear();
    for (int i = 0; i < host.NumPrograms(); ++i) names.push_back(host.ProgramName(i));
  }
  for (std::size_t i = 0; i < names.size(); ++i) std::printf("%2zu  %s\n", i, names[i].c_str());
}

bool ApplySettings(PluginHost& host, const RenderOptions& options, std::string* error) {
  if (!options.bank.empty() && !LoadBank(host, options.bank, error)) return false;
  if (options.program >= 0) host.SetProgram(options.program);
  for (const auto& [name, value] : options.settings) {
    const int index = host.FindParam(name);
    if (index < 0) {
      *error = "unknown parameter \"" + name + "\" (see --list-params)";
      return false;
    }
    if (!ParameterTerms::Learn(host, index).Set(host, value, error)) return false;
  }
  return true;
}

bool PlaysWavFile(PluginHost& host) {
  const int index = host.FindParam("Input Mode");
  return index >= 0 && host.GetNormalized(index) >= 0.5f;
}

std::string Seconds(int64_t frames, double rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(frames) / rate);
  return text;
}

// Runs the inputs through the plug-in block by block, straight into the output.
bool Render(PluginHost& host, AudioInput& modulator, AudioInput* carrier,
            const std::vector<PluginHost::MidiEvent>& events, int block, int64_t total, double rate,
            AudioOutput& output, bool quiet, std::string* error) {
  std::vector<float> in[4], out[2];
  for (auto& channel : in) channel.assign(static_cast<std::size_t>(block), 0.0f);
  for (auto& channel : out) channel.assign(static_cast<std::size_t>(block), 0.0f);
  float* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
  float* outputs[2] = {out[0].data(), out[1].data()};
  std::size_t nextEvent = 0;
  Progress progress(total, quiet);
  for (int64_t pos = 0; pos < total; pos += block) {
    if (stopRequested != 0) {
      *error = "interrupted";
      return false;
    }
    const int n = static_cast<int>(std::min<int64_t>(block, total - pos));
    modulator.Read(inputs[0], inputs[1], n);
    if (carrier != nullptr) carrier->Read(inputs[2], inputs[3], n);
    host.Process(inputs, outputs, n, pos, events, &nextEvent);
    for (int c = 0; c < 2; ++c) {
      const auto bad =
          std::find_if(outputs[c], outputs[c] + n, [](float v) { return !std::isfinite(v); });
      if (bad != outputs[c] + n) {
        *error = "the plug-in produced samples that are not numbers at " +
                 Seconds(pos + (bad - outputs[c]), rate);
        return false;
      }
    }
    if (!output.Write(outputs[0], outputs[1], n, error)) return false;
    progress.Update(pos + n);
  }
  return true;
}

void WarnAboutInput(const Messages& messages, const AudioInput& input, const std::string& path) {
  if (input.NonFiniteSamples() == 0) return;
  messages.Warn(path + " holds " + std::to_string(input.NonFiniteSamples()) +
                " samples that are not numbers (the first at " +
                Seconds(input.FirstNonFiniteFrame(), input.FileRate()) +
                "); they were rendered as silence");
}

std::string PeakText(float peak) {
  // Below this nothing is left in any output format.
  if (!(peak > 1e-8f)) return "silent";
  char text[64];
  std::snprintf(text, sizeof text, "peak %.1f dBFS", 20.0 * std::log10(peak));
  return text;
}

// Everything a run names must be there before anything is loaded or written.
bool CheckInputs(const RenderOptions& options, bool listing, bool demo, std::string* error) {
  if (!listing) {
    if (!AudioOutput::Check(options.output, options.sampleFormat, error)) return false;
    if (!demo && !CheckReadable(options.modulator, "modulator", error)) return false;
    if (!options.carrier.empty() && !CheckReadable(options.carrier, "carrier", error)) return false;
    if (!options.midiFile.empty() && !CheckReadable(options.midiFile, "MIDI file", error))
      return false;
  }
  if (!options.bank.empty() && !CheckReadable(options.bank, "bank file", error)) return false;
  if (!options.wavFolder.empty() && !IsFolder(options.wavFolder)) {
    *error = "the WAV folder " + options.wavFolder + " is not a folder";
    return false;
  }
  return true;
}

// The named folder, else the one installed beside the plug-in; empty when none.
std::string WavFolder(const RenderOptions& options, const std::string& pluginPath) {
  if (!options.wavFolder.empty()) return options.wavFolder;
  const std::string beside = (fs::path(pluginPath).parent_path() / kWavFolderName).string();
  return IsFolder(beside) ? beside : std::string();
}

int List(PluginHost& host, const RenderOptions& options) {
  std::string error;
  const std::vector<std::string> defaults = options.mode == RenderOptions::Mode::kListParams
                                                ? DefaultDisplays(host)
                                                : std::vector<std::string>();
  if (!ApplySettings(host, options, &error)) return Fail(error);
  if (options.mode == RenderOptions::Mode::kListParams)
    ListParams(host, defaults);
  else
    ListPrograms(host);
  return 0;
}

std::vector<PluginHost::MidiEvent> Events(const RenderOptions& options, bool demo, int64_t frames) {
  if (!options.notes.empty()) return HeldChord(options.notes);
  if (demo) return DemoProgression(frames);
  return HeldChord({48, 55, 60, 63});  // C minor when nothing is said
}

void Summarise(const Messages& messages, const RenderOptions& options, bool demo,
               const AudioInput& modulator, const AudioInput& carrier, const AudioOutput& output,
               int64_t total, double rate) {
  WarnAboutInput(messages, modulator, demo ? "the demo voice" : options.modulator);
  WarnAboutInput(messages, carrier, options.carrier);
  if (output.CanClip() && output.ClippedSamples() > 0)
    messages.Warn(std::to_string(output.ClippedSamples()) +
                  " samples beyond full scale were clipped in " + output.Description() + " (" +
                  PeakText(output.Peak()) + "); lower \"Final Volume\" or write 32-bit float WAV");
  std::error_code ec;
  const std::string where = options.output == "-" ? std::string("standard output")
                                                  : fs::absolute(options.output, ec).string();
  char rateText[32];
  std::snprintf(rateText, sizeof rateText, "%.0f Hz", rate);
  messages.Say("wrote " + where + " (" + Seconds(total, rate) + " at " + rateText + ", " +
               output.Description() + ", " + PeakText(output.Peak()) + ")");
}

int RenderToOutput(PluginHost& host, const RenderOptions& options, bool wavFolderKnown) {
  const Messages messages(options.quiet);
  const bool demo = options.mode == RenderOptions::Mode::kDemo;
  std::string error;
  AudioInput modulator, carrier;
  if (demo ? !modulator.OpenMemory(demoVoice, demoVoice_size, &error)
           : !modulator.Open(options.modulator, &error))
    return Fail(error);
  if (!options.carrier.empty() && !carrier.Open(options.carrier, &error)) return Fail(error);
  // The demo voice is stored at a low rate; the demo renders at CD rate.
  const double rate = options.rate > 0 ? options.rate : demo ? 44100.0 : modulator.FileRate();
  if (!modulator.Start(rate, &error)) return Fail(error);
  if (!options.carrier.empty() && !carrier.Start(rate, &error)) return Fail(error);

  std::vector<PluginHost::MidiEvent> events;
  if (options.midiFile.empty())
    events = Events(options, demo, modulator.Frames());
  else if (!ReadMidiEvents(options.midiFile, rate, &events, &error))
    return Fail(error);
  const int64_t lastEvent = events.empty() ? 0 : events.back().frame;
  const int64_t total = std::max(modulator.Frames(), lastEvent) + std::llround(options.tail * rate);

  host.Start(rate, options.block, options.carrier.empty() ? 2 : 4);
  if (!ApplySettings(host, options, &error)) return Fail(error);
  if (PlaysWavFile(host) && !wavFolderKnown)
    messages.Warn("the program plays a WAV file, but no " + std::string(kWavFolderName) +
                  " folder was found beside the plug-in; name one with --wav-folder");

  std::error_code ec;
  for (const std::string& input : {options.modulator, options.carrier})
    if (!input.empty() && options.output != "-" && fs::equivalent(input, options.output, ec))
      return Fail("the output " + options.output + " is one of the inputs");
  AudioOutput output;
  if (!output.Open(options.output, static_cast<int>(rate), options.sampleFormat, total, &error))
    return Fail(error);
  host.Resume();
  const bool rendered = Render(host, modulator, options.carrier.empty() ? nullptr : &carrier,
                               events, options.block, total, rate, output, options.quiet, &error);
  host.Suspend();
  if (!rendered || !output.Close(&error)) {
    output.Discard();
    return Fail(error);
  }
  Summarise(messages, options, demo, modulator, carrier, output, total, rate);
  return 0;
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
  if (options.mode == RenderOptions::Mode::kVersion) {
    std::cout << "redi-render " REDI_VERSION "\n";
    return 0;
  }
  const bool listing = options.mode == RenderOptions::Mode::kListParams ||
                       options.mode == RenderOptions::Mode::kListPrograms;
  if (!CheckInputs(options, listing, options.mode == RenderOptions::Mode::kDemo, &error))
    return Fail(error);
  const std::string pluginPath = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
  if (!CheckReadable(pluginPath, "plug-in", &error)) return Fail(error);

  // From here on an interrupt stops the render at the next block, so that
  // the private configuration and a half-written output are cleaned up; a
  // reader that goes away ends the render with a message, not a signal.
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // The plug-in reads its WAV folder from its configuration file; it gets a
  // private one, so that the user's own stays untouched and the render does
  // not depend on it.
  const std::string wavFolder = WavFolder(options, pluginPath);
  PrivateConfiguration configuration;
  if (!configuration.Create(wavFolder, &error)) return Fail(error);
  PluginHost host;
  if (!host.Load(pluginPath, &error)) return Fail(error);
  return listing ? List(host, options) : RenderToOutput(host, options, !wavFolder.empty());
}

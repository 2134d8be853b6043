// Runs the built redi-render as a user would, on small generated inputs.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace {

constexpr int kRate = 44100;
const double kPi = std::acos(-1.0);

struct Audio {
  int rate = 0;
  int channels = 0;
  int format = 0;              // libsndfile's container and sample format
  std::vector<float> samples;  // interleaved

  std::size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
  double Peak() const {
    double peak = 0.0;
    for (float v : samples) peak = std::max(peak, std::fabs(static_cast<double>(v)));
    return peak;
  }
  double Rms() const {
    double sum = 0.0;
    for (float v : samples) sum += static_cast<double>(v) * v;
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
  }
  // The level of one frequency in the left channel (Goertzel), as the
  // amplitude of a sine: 1.0 for a full-scale sine at that frequency.
  double Amplitude(double hz) const {
    const double w = 2.0 * kPi * hz / rate;
    double re = 0.0, im = 0.0;
    const std::size_t n = Frames();
    for (std::size_t i = 0; i < n; ++i) {
      const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * i / n);  // Hann
      re += window * samples[i * channels] * std::cos(w * i);
      im -= window * samples[i * channels] * std::sin(w * i);
    }
    return 2.0 * std::hypot(re, im) / (0.5 * n);
  }
};

struct Result {
  int exitCode = -1;
  std::string out, err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool WriteAudio(const std::string& path, const Audio& audio,
                int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
  SF_INFO info{};
  info.samplerate = audio.rate;
  info.channels = audio.channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const auto frames = static_cast<sf_count_t>(audio.Frames());
  const bool written = sf_writef_float(file, audio.samples.data(), frames) == frames;
  return sf_close(file) == 0 && written;
}

Audio ReadAudio(const std::string& path) {
  Audio audio;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return audio;
  audio.rate = info.samplerate;
  audio.channels = info.channels;
  audio.format = info.format;
  audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  audio.samples.resize(
      static_cast<std::size_t>(sf_readf_float(file, audio.samples.data(), info.frames)) *
      static_cast<std::size_t>(info.channels));
  sf_close(file);
  return audio;
}

// A voice-like modulator: a 140 Hz buzz with a moving formant and some hiss,
// swelling in at syllable rate. Deterministic.
Audio Modulator(double seconds) {
  Audio audio;
  audio.rate = kRate;
  audio.channels = 2;
  const int frames = static_cast<int>(seconds * kRate);
  uint32_t noise = 12345;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double buzz = 0.0;
    for (int h = 1; h <= 30; ++h) {
      const double formant = 700.0 + 500.0 * std::sin(2.0 * kPi * 3.0 * t);
      const double weight = 1.0 / (1.0 + std::pow((140.0 * h - formant) / 300.0, 2.0));
      buzz += weight * std::sin(2.0 * kPi * 140.0 * h * t);
    }
    noise = noise * 1664525u + 1013904223u;
    const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.1;
    const double swell = 0.5 - 0.5 * std::cos(2.0 * kPi * 4.0 * t);
    const auto v = static_cast<float>(0.15 * swell * buzz + hiss);
    audio.samples.push_back(v);
    audio.samples.push_back(v);
  }
  return audio;
}

Audio Sine(int rate, double hz, double seconds, double amplitude) {
  Audio audio;
  audio.rate = rate;
  audio.channels = 1;
  const auto frames = static_cast<std::size_t>(seconds * rate);
  for (std::size_t i = 0; i < frames; ++i)
    audio.samples.push_back(static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * i / rate)));
  return audio;
}

std::string MidiFile(const std::string& track) {
  const auto length = static_cast<uint32_t>(track.size());
  std::string file("MThd\0\0\0\6\0\0\0\1\0\x60MTrk", 18);
  for (int shift = 24; shift >= 0; shift -= 8) file += static_cast<char>((length >> shift) & 0xFF);
  return file + track;
}

class RediRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The user's configuration home: the tool must neither read nor write it.
    std::filesystem::create_directories(config.File("Welmora"));
    WriteBytes(config.File("Welmora/redi.ini"), kUserIni);
    ASSERT_TRUE(WriteAudio(work.File("mic.wav"), Modulator(0.3)));
  }
  void TearDown() override {
    EXPECT_EQ(ReadBytes(config.File("Welmora/redi.ini")), kUserIni);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(config.Path()), {}), 1);
  }

  Result Run(const std::string& arguments) const {
    const std::string command = "cd " + Quote(work.Path()) +
                                " && XDG_CONFIG_HOME=" + Quote(config.Path()) + " " +
                                Quote(REDI_RENDER_PATH) + " " + arguments + " >" +
                                Quote(work.File("stdout")) + " 2>" + Quote(work.File("stderr"));
    const int status = std::system(command.c_str());
    Result result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadBytes(work.File("stdout"));
    result.err = ReadBytes(work.File("stderr"));
    return result;
  }

  // Renders mic.wav with the options; the output must be written cleanly,
  // with its summary line (and nothing else) on standard error.
  Audio Render(const std::string& options, const std::string& name = "out.wav",
               const std::string& modulator = "--modulator mic.wav") const {
    const Result r = Run(modulator + " -o " + name + " " + options);
    EXPECT_EQ(r.exitCode, 0) << options << ": " << r.err;
    EXPECT_EQ(r.out, "") << options;
    EXPECT_EQ(r.err.rfind("wrote " + work.File(name) + " (", 0), 0u) << options << ": " << r.err;
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    return ReadAudio(work.File(name));
  }

  // The run must fail with exit status 1 and exactly this message.
  void ExpectFailure(const std::string& arguments, const std::string& message) const {
    std::filesystem::remove(work.File("out.wav"));
    const Result r = Run(arguments);
    EXPECT_EQ(r.exitCode, 1) << arguments;
    EXPECT_EQ(r.out, "") << arguments;
    EXPECT_EQ(r.err, "redi-render: " + message + "\n") << arguments;
    EXPECT_FALSE(std::filesystem::exists(work.File("out.wav"))) << arguments;
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text does not end with a line break";
    return lines;
  }

  // --list-params with the options: each parameter's line by name.
  std::map<std::string, std::string> ListParams(const std::string& options = "") const {
    const Result r = Run("--list-params " + options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> lines;
    for (const std::string& line : Lines(r.out)) lines[Trim(line.substr(5, 22))] = line;
    return lines;
  }
  // The value column of a --list-params line.
  static std::string ValueOf(const std::string& line) { return Trim(line.substr(28, 16)); }
  static std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
  }

  static constexpr const char* kUserIni = "[Global]\nPath to WAV Files=/nowhere\n";
  TempFolder config;
  TempFolder work;
};

// A folder, a missing file or a file of the wrong kind, wherever a file is
// expected, gives one line naming it and exit status 1 (a folder used to
// stop the program with an uncaught exception).
TEST_F(RediRenderTest, PathsThatAreNotTheExpectedFileAreNamed) {
  const std::string dir = work.Path();
  ExpectFailure("--modulator mic.wav --bank " + dir + " -o out.wav",
                "the bank file " + dir + " is a folder, not a file");
  ExpectFailure("--modulator mic.wav --midi " + dir + " -o out.wav",
                "the MIDI file " + dir + " is a folder, not a file");
  ExpectFailure("--modulator " + dir + " -o out.wav",
                "the modulator " + dir + " is a folder, not a file");
  ExpectFailure("--modulator mic.wav --carrier " + dir + " -o out.wav",
                "the carrier " + dir + " is a folder, not a file");
  ExpectFailure("--plugin " + dir + " --list-programs",
                "the plug-in " + dir + " is a folder, not a file");
  ExpectFailure("--modulator missing.wav -o out.wav",
                "cannot read the modulator missing.wav: No such file or directory");
  ExpectFailure("--modulator mic.wav --midi mic.wav -o out.wav",
                "the MIDI file mic.wav is damaged: not a Standard MIDI File");
  ExpectFailure("--modulator mic.wav --bank mic.wav -o out.wav",
                "the bank file mic.wav is not a bank file");
  ExpectFailure("--modulator mic.wav --wav-folder mic.wav -o out.wav",
                "the WAV folder mic.wav is not a folder");
  ExpectFailure("--modulator mic.wav -o no-such-folder/out.wav",
                "cannot write no-such-folder/out.wav: System error : No such file or directory.");
  ExpectFailure("--modulator mic.wav -o mic.wav", "the output mic.wav is one of the inputs");
  ExpectFailure("--modulator mic.wav --program 64 -o out.wav", "bad --program '64' (0-63)");
}

// --list-params shows values, ranges, defaults and choices in the terms
// --set takes; --set takes exactly those and refuses what lies outside.
TEST_F(RediRenderTest, ParametersAreListedAndSetInTheSameTerms) {
  auto params = ListParams();
  ASSERT_EQ(params.size(), 107u);
  EXPECT_EQ(params["Final Volume"].substr(28),
            "-12.0 dB         range: -oo to 0.0 dB; default -12.0 dB");
  EXPECT_EQ(params["Out Balance"].substr(28),
            "Simulator        range: Simulator (100:0) to Mic (0:100); default Simulator");
  EXPECT_EQ(params["Vibrato Speed"].substr(28),
            "5.50 Hz          range: 0.00 to 25.00 Hz; default 5.50 Hz");
  EXPECT_EQ(params["Ensemble"].substr(28), "off              choices: off | on; default off");
  EXPECT_EQ(params["Sample Legato"].substr(28), "off              choices: off | on; default on");

  // Every listed value is accepted back as it is shown.
  std::string all;
  for (const auto& [name, line] : params) all += " --set " + Quote(name + "=" + ValueOf(line));
  EXPECT_EQ(ListParams(all), params);

  const auto set = ListParams(
      "--set 'Final Volume=-6' --set 'Out Balance=30:70' --set 'Vibrato Depth=50' "
      "--set 'Tune=-12' --set 'Ensemble=ON' --set 'Vibrato Speed=7.25 Hz' --set 'Mic Level=-oo' "
      "--set 'Vocoder Mode=ra-10 full bands' --set 'In Balance=noise'");
  EXPECT_EQ(ValueOf(set.at("Final Volume")), "-6.0 dB");
  EXPECT_EQ(ValueOf(set.at("Out Balance")), "30:70");
  EXPECT_EQ(ValueOf(set.at("Vibrato Depth")), "50%");
  EXPECT_EQ(ValueOf(set.at("Tune")), "-12");
  EXPECT_EQ(ValueOf(set.at("Ensemble")), "on");
  EXPECT_EQ(ValueOf(set.at("Vibrato Speed")), "7.25 Hz");
  EXPECT_EQ(ValueOf(set.at("Mic Level")), "-oo dB");
  EXPECT_EQ(ValueOf(set.at("Vocoder Mode")), "RA-10 Full Bands");
  EXPECT_EQ(ValueOf(set.at("In Balance")), "Noise");

  ExpectFailure("--modulator mic.wav -o out.wav --set 'Final Volume=3'",
                "value '3' for \"Final Volume\" is outside its range -oo to 0.0 dB");
  ExpectFailure("--modulator mic.wav -o out.wav --set 'Vibrato Depth=150'",
                "value '150' for \"Vibrato Depth\" is outside its range 0% to 100%");
  ExpectFailure("--modulator mic.wav -o out.wav --set 'Tune=-101'",
                "value '-101' for \"Tune\" is outside its range -100 to 100");
  ExpectFailure("--modulator mic.wav -o out.wav --set 'Final Volume=loud'",
                "bad value 'loud' for \"Final Volume\" (expected a number of dB or -oo)");
  ExpectFailure("--modulator mic.wav -o out.wav --set 'Out Balance=30:60'",
                "bad value '30:60' for \"Out Balance\" (expected A:B with A + B = 100, "
                "Simulator or Mic)");
  ExpectFailure("--modulator mic.wav -o out.wav --set 'Ensemble=1'",
                "bad value '1' for \"Ensemble\" (choices: off | on)");
  ExpectFailure("--modulator mic.wav -o out.wav --set 'No Such Knob=1'",
                "unknown parameter \"No Such Knob\" (see --list-params)");

  // The renders follow: 6 dB up doubles the level.
  const Audio plain = Render("", "plain.wav");
  const Audio louder = Render("--set 'Final Volume=-6'", "louder.wav");
  EXPECT_NEAR(louder.Rms() / plain.Rms(), 2.0, 0.01);
}

// The WAV programs find the WAV files that ship with REDI without any
// configuration; --wav-folder names another folder.
TEST_F(RediRenderTest, WavProgramsPlayTheShippedFiles) {
  for (int program = 23; program <= 31; ++program) {
    const Audio out = Render("--program " + std::to_string(program));
    EXPECT_GT(out.Rms(), 1e-3) << "program " << program << " is silent";
  }
  std::filesystem::create_directory(work.File("empty"));
  const Result r = Run("--modulator mic.wav -o out.wav --program 23 --wav-folder empty");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find(", silent)\n"), std::string::npos) << r.err;
  std::filesystem::create_directory_symlink(REDI_SOURCE_DIR "/resources/wav", work.File("mine"));
  EXPECT_GT(Render("--program 23 --wav-folder mine").Rms(), 1e-3);
}

// Banks are checked as the plug-in's own loader checks them; a refused bank
// fails the run. Program names come whole from the bank loaded.
TEST_F(RediRenderTest, BanksAreCheckedAndTheirNamesListedWhole) {
  std::string bank = ReadBytes(REDI_SOURCE_DIR "/resources/factory.fxb");
  ASSERT_EQ(bank.size(), 58133u);
  const std::size_t name = bank.find("RA-10 Standard");
  ASSERT_NE(name, std::string::npos);
  bank.replace(name, 14, "Renamed Tenth!");
  WriteBytes(work.File("renamed.fxb"), bank);
  const Result listed = Run("--list-programs --bank renamed.fxb");
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  const auto lines = Lines(listed.out);
  ASSERT_EQ(lines.size(), 64u);
  EXPECT_EQ(lines[0], " 0  Renamed Tenth!");
  EXPECT_EQ(lines[24], "24  Crappy Morning (WAV play)");
  EXPECT_EQ(lines[30], "30  Zisch  (WAV play)");
  EXPECT_GT(Render("--bank renamed.fxb --program 1").Rms(), 1e-3);

  std::string foreign = bank;
  foreign.replace(16, 4, "abcd");
  WriteBytes(work.File("foreign.fxb"), foreign);
  ExpectFailure("--modulator mic.wav -o out.wav --bank foreign.fxb",
                "the bank file foreign.fxb is a bank of another plug-in (identifier 'abcd', not "
                "'redi')");
  std::string garbled = bank.substr(0, 168);
  uint32_t noise = 99;
  for (int i = 0; i < 4000; ++i)
    garbled += static_cast<char>((noise = noise * 1103515245u + 12345u) >> 24);
  WriteBytes(work.File("garbled.fxb"), garbled);
  ExpectFailure("--modulator mic.wav -o out.wav --bank garbled.fxb",
                "the bank file garbled.fxb is damaged: the plug-in could not read its programs");
  WriteBytes(work.File("short.fxb"), bank.substr(0, 100));
  ExpectFailure("--list-programs --bank short.fxb", "the bank file short.fxb is not a bank file");

  // The parameter-list form: one program of 107 normalised values.
  std::string list = bank.substr(0, 156);
  list.replace(8, 4, "FxBk");
  list.replace(24, 4, std::string("\0\0\0\1", 4));
  std::string record("CcnK\0\0\0\0FxCk\0\0\0\1redi\0\0\0\0\0\0\0\x6b", 28);
  record += std::string("Half Way") + std::string(20, '\0');
  for (int p = 0; p < 107; ++p) record += std::string("\x3f\0\0\0", 4);  // 0.5
  WriteBytes(work.File("list.fxb"), list + record);
  const Result fromList = Run("--list-programs --bank list.fxb");
  EXPECT_EQ(fromList.exitCode, 0) << fromList.err;
  EXPECT_EQ(Lines(fromList.out).at(0), " 0  Half Way");
  EXPECT_EQ(ValueOf(ListParams("--bank list.fxb").at("Out Balance")), "50:50");
}

// Every rate conversion goes through a proper resampler: no alias of a
// 15 kHz tone at 96 kHz rendered at 22050 Hz, and the passband untouched.
// ("Out Balance=Mic" passes the modulator straight to the output.)
TEST_F(RediRenderTest, RateConversionLeavesNoAlias) {
  Audio tones = Sine(96000, 15000.0, 1.0, 0.5);
  const Audio low = Sine(96000, 1000.0, 1.0, 0.25);
  for (std::size_t i = 0; i < tones.samples.size(); ++i) tones.samples[i] += low.samples[i];
  ASSERT_TRUE(WriteAudio(work.File("tones.wav"), tones));
  const Result r =
      Run("--modulator tones.wav -o out.wav --rate 22050 --tail 0 --set Out\\ Balance=Mic "
          "--set 'Final Volume=0' --set 'Mic Level=0'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Audio out = ReadAudio(work.File("out.wav"));
  ASSERT_EQ(out.rate, 22050);
  EXPECT_EQ(out.Frames(), 22050u);
  const double passband = out.Amplitude(1000.0);
  ASSERT_GT(passband, 0.01);
  EXPECT_LT(20.0 * std::log10(out.Amplitude(22050.0 - 15000.0) / passband), -100.0);
}

// Inputs are streamed: the memory a render takes does not grow with the
// input's length. Two minutes against ten seconds keeps the run short on
// a shared machine; holding the two-minute input (or the output) whole
// would take far more than the margin allowed.
TEST_F(RediRenderTest, MemoryStaysFlatWhateverTheLength) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer holds freed memory back, so the peak measures it";
#endif
  auto peakMemory = [&](double seconds) {
    // Freed before the fork: the child's peak counts what it shares with this process.
    EXPECT_TRUE(WriteAudio(work.File("long.wav"), Sine(22050, 220.0, seconds, 0.3),
                           SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const pid_t child = fork();
    if (child == 0) {
      execl(REDI_RENDER_PATH, REDI_RENDER_PATH, "--modulator", work.File("long.wav").c_str(),
            "--rate", "24000", "-q", "-o", work.File("long-out.wav").c_str(), nullptr);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    SF_INFO info{};
    SNDFILE* out = sf_open(work.File("long-out.wav").c_str(), SFM_READ, &info);
    EXPECT_EQ(info.frames, std::llround((seconds + 1.0) * 24000));
    if (out != nullptr) sf_close(out);
    return usage.ru_maxrss;  // kilobytes
  };
  const long shortRun = peakMemory(10.0);
  const long longRun = peakMemory(120.0);
  // The long input alone is 5 MB as 16-bit samples and 21 MB as floats.
  EXPECT_LT(longRun - shortRun, 4 * 1024)
      << shortRun << " kB for 10 s, " << longRun << " kB for 120 s";
}

// The name chooses the format; the default cannot clip or says how much did;
// "-o -" writes WAV to standard output and nothing else goes there.
TEST_F(RediRenderTest, OutputFormatsFollowTheName) {
  EXPECT_EQ(Render("", "out.wav").format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(Render("", "out.aiff").format, SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
  EXPECT_EQ(Render("", "out.flac").format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  EXPECT_EQ(Render("", "out.ogg").format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
  EXPECT_EQ(Render("--sample-format 16", "out16.wav").format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(Render("--sample-format 24", "out24.aif").format, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
  ExpectFailure("--modulator mic.wav -o out.mp3",
                "cannot tell the format of out.mp3 from its name (use .wav, .flac, .ogg or .aiff)");
  ExpectFailure("--modulator mic.wav -o out.flac --sample-format float",
                "FLAC holds 16 or 24-bit samples, not float");

  // Full volume and the voice 6 dB up, straight to the output, pass full scale.
  const std::string loud =
      "--modulator mic.wav --set 'Final Volume=0' --set 'Mic Level=6' "
      "--set 'Out Balance=Mic' ";
  const Result asFloat = Run(loud + "-o loud.wav");
  EXPECT_EQ(asFloat.exitCode, 0);
  EXPECT_EQ(asFloat.err.find("warning"), std::string::npos) << asFloat.err;
  EXPECT_GT(ReadAudio(work.File("loud.wav")).Peak(), 1.0);
  const Result asFlac = Run(loud + "-o loud.flac");
  EXPECT_EQ(asFlac.exitCode, 0);
  EXPECT_EQ(asFlac.err.rfind("redi-render: warning: ", 0), 0u) << asFlac.err;
  EXPECT_NE(asFlac.err.find(" samples beyond full scale were clipped in 24-bit FLAC"),
            std::string::npos)
      << asFlac.err;

  const Result piped = Run("--modulator mic.wav -o - --sample-format 24");
  EXPECT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_EQ(piped.err.rfind("wrote standard output (", 0), 0u) << piped.err;
  WriteBytes(work.File("piped.wav"), piped.out);
  const Audio fromPipe = ReadAudio(work.File("piped.wav"));
  const Audio fromFile = Render("--sample-format 24", "file.wav");
  EXPECT_EQ(fromPipe.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_GT(fromFile.Rms(), 1e-3);
  EXPECT_EQ(fromPipe.samples, fromFile.samples);
  const Result pipedFloat = Run("--modulator mic.wav -o -");
  WriteBytes(work.File("piped.wav"), pipedFloat.out);
  EXPECT_EQ(ReadAudio(work.File("piped.wav")).samples, Render("", "float.wav").samples);
}

// The render lasts until the later of the input's end and the last MIDI
// event, plus the tail; a damaged MIDI file is refused with its fault.
TEST_F(RediRenderTest, MidiDecidesTheLengthAndDamagedFilesAreRefused) {
  // 96 ticks per beat at 120 beats per minute: a delta of 576 ticks (0x84
  // 0x40) is 3 s, long after the 0.3 s voice.
  WriteBytes(work.File("late.mid"),
             MidiFile(std::string("\0\x90\x3c\x64\x84\x40\x80\x3c\0\0\xff\x2f\0", 13)));
  EXPECT_EQ(Render("--midi late.mid").Frames(), static_cast<std::size_t>(4 * kRate));
  EXPECT_EQ(Render("--midi late.mid --tail 0.5").Frames(), static_cast<std::size_t>(3.5 * kRate));
  EXPECT_EQ(Render("--tail 0").Frames(), static_cast<std::size_t>(0.3 * kRate));

  WriteBytes(work.File("long-delta.mid"),
             MidiFile(std::string("\x81\x81\x81\x81\x01\x90\x3c\x64\0\xff\x2f\0", 12)));
  ExpectFailure("--modulator mic.wav -o out.wav --midi long-delta.mid",
                "the MIDI file long-delta.mid is damaged: track 1 has a delta time longer than "
                "four bytes (byte 22)");
  const std::string whole = MidiFile(std::string("\0\x90\x3c\x64\0\xff\x2f\0", 8));
  WriteBytes(work.File("cut.mid"), whole.substr(0, whole.size() - 3));
  ExpectFailure("--modulator mic.wav -o out.wav --midi cut.mid",
                "the MIDI file cut.mid is damaged: track 1 is cut off: it declares 8 bytes but 5 "
                "follow (byte 14)");
}

// Samples that are not numbers are rendered as silence, and the run says so
// and where.
TEST_F(RediRenderTest, NonNumbersInTheInputAreSilencedAndReported) {
  Audio input = Modulator(0.3);
  input.samples[2 * 4410] = NAN;
  input.samples[2 * 4410 + 1] = NAN;
  input.samples[2 * 8000] = INFINITY;
  ASSERT_TRUE(WriteAudio(work.File("nan.wav"), input));
  const Result r = Run("--modulator nan.wav -o out.wav");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const auto lines = Lines(r.err);
  ASSERT_EQ(lines.size(), 2u) << r.err;
  EXPECT_EQ(lines[0],
            "redi-render: warning: nan.wav holds 3 samples that are not numbers (the "
            "first at 0.100 s); they were rendered as silence");
  const Audio out = ReadAudio(work.File("out.wav"));
  EXPECT_GT(out.Rms(), 1e-3);
  EXPECT_TRUE(std::all_of(out.samples.begin(), out.samples.end(),
                          [](float v) { return std::isfinite(v); }));
}

// The installer ./run.sh uses asks only for what the plug-in and the tool
// need, and without root names what is missing and stops.
TEST_F(RediRenderTest, RunInstallerNamesOnlyWhatTheRenderNeeds) {
  std::filesystem::create_directory(work.File("bin"));
  WriteBytes(work.File("bin/id"), "#!/bin/sh\necho 1000\n");
  WriteBytes(work.File("bin/dpkg-query"), "#!/bin/sh\nexit 1\n");
  std::filesystem::permissions(work.File("bin/id"), std::filesystem::perms::owner_all);
  std::filesystem::permissions(work.File("bin/dpkg-query"), std::filesystem::perms::owner_all);
  const std::string command = "PATH=" + Quote(work.File("bin")) + ":$PATH " +
                              Quote(REDI_SOURCE_DIR "/tools/install-run-deps.sh") + " 2>" +
                              Quote(work.File("stderr")) + " >/dev/null";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  const std::string err = ReadBytes(work.File("stderr"));
  EXPECT_NE(err.find("libsoxr-dev"), std::string::npos) << err;
  EXPECT_NE(err.find("libsndfile1-dev"), std::string::npos) << err;
  EXPECT_EQ(err.find("wine"), std::string::npos) << err;
  EXPECT_EQ(err.find("mingw"), std::string::npos) << err;
}

// Loudness of a render: the mean power of its 100 ms pieces that lie within
// 20 dB of the loudest piece, so that pauses and a WAV file's early end do
// not count. In dB relative to full scale.
double GatedLoudness(const Audio& audio) {
  const std::size_t piece = static_cast<std::size_t>(audio.rate / 10) * audio.channels;
  std::vector<double> powers;
  for (std::size_t start = 0; start + piece <= audio.samples.size(); start += piece) {
    double sum = 0.0;
    for (std::size_t i = start; i < start + piece; ++i)
      sum += double{audio.samples[i]} * audio.samples[i];
    powers.push_back(sum / piece);
  }
  const double loudest = powers.empty() ? 0.0 : *std::max_element(powers.begin(), powers.end());
  double sum = 0.0;
  int counted = 0;
  for (double p : powers) {
    if (p >= loudest * 0.01) {
      sum += p;
      ++counted;
    }
  }
  return counted > 0 ? 10.0 * std::log10(sum / counted) : -INFINITY;
}

// On the demo voice and a held C minor chord, the factory programs we
// designed sit within 4 dB of the bank's median loudness, and no program
// clips. The programs whose settings are prescribed (the RA-10 emulations and
// the other reference programs) keep their levels, whatever they are.
TEST_F(RediRenderTest, FactoryProgramsAreEvenlyLoudAndNoneClips) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "levels do not depend on the build, and the sanitized renders are slow";
#endif
  const std::vector<int> prescribed = {0, 1, 2, 3, 4, 5, 9, 14, 23, 27};
  std::vector<double> loudness;
  for (int program = 0; program < 32; ++program) {
    const Audio out = Render("--tail 0 --program " + std::to_string(program), "program.wav",
                             "--modulator " REDI_SOURCE_DIR "/resources/demo/demo-voice.wav");
    loudness.push_back(GatedLoudness(out));
    EXPECT_LT(20.0 * std::log10(out.Peak()), -1.0) << "program " << program << " clips";
  }
  std::vector<double> sorted = loudness;
  std::sort(sorted.begin(), sorted.end());
  const double median = (sorted[15] + sorted[16]) / 2.0;
  for (int program = 0; program < 32; ++program) {
    if (std::find(prescribed.begin(), prescribed.end(), program) != prescribed.end()) continue;
    EXPECT_NEAR(loudness[static_cast<std::size_t>(program)], median, 4.0)
        << "program " << program << " against the median";
  }
}

TEST_F(RediRenderTest, EveryProgramRendersFiniteSound) {
  for (int program = 0; program < 64; ++program) {
    const Audio out = Render("--program " + std::to_string(program));
    ASSERT_EQ(out.rate, kRate);
    ASSERT_EQ(out.channels, 2);
    // The input and a second after it. (Finite is checked by redi-render
    // itself, which refuses to write samples that are not numbers.)
    EXPECT_EQ(out.Frames(), static_cast<std::size_t>(0.3 * kRate + kRate));
    EXPECT_GT(out.Rms(), 1e-4) << "program " << program << " is silent";
  }
}

// cmake --install puts the plug-in where Linux hosts look, the tool in bin
// and the WAV material beside the plug-in; the installed tool finds both.
TEST_F(RediRenderTest, InstalledToolFindsThePluginAndItsWavFiles) {
  const std::string prefix = work.File("prefix");
  const std::string install = Quote(CMAKE_COMMAND_PATH) + " --install " + Quote(REDI_BINARY_DIR) +
                              " --prefix " + Quote(prefix) + " >/dev/null";
  ASSERT_EQ(std::system(install.c_str()), 0) << install;
  EXPECT_TRUE(std::filesystem::is_regular_file(prefix + "/lib/vst/REDI64.so"));
  EXPECT_TRUE(std::filesystem::is_regular_file(prefix + "/lib/vst/REDI-wav/Guten.Morgen.wav"));
  const std::string tool = prefix + "/bin/redi-render";
  const std::string command = "cd " + Quote(work.Path()) +
                              " && XDG_CONFIG_HOME=" + Quote(config.Path()) + " " + Quote(tool) +
                              " --modulator mic.wav --program 23 -q -o installed.wav";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_GT(ReadAudio(work.File("installed.wav")).Rms(), 1e-3);
}

// Control ticks run on across host blocks, so a chord held from the first
// sample sounds the same whatever the block size. (It is never released:
// events inside a block take effect at that block's ticks.)
TEST_F(RediRenderTest, BlockSizeDoesNotChangeTheSound) {
  WriteBytes(work.File("chord.mid"),
             MidiFile(std::string("\0\x90\x30\x64\0\x37\x64\0\x3c\x64\0\x3f\x64\0\xff\x2f\0", 17)));
  // Vibrato and ensemble move at the ticks. (Accent bend reads the latest
  // piece alone, which a block boundary may cut short.)
  const std::string kMoving = "--program 6 --set Ensemble=on";
  const Audio small = Render("--midi chord.mid --block 64 " + kMoving, "small.wav");
  Render("--midi chord.mid --block 1000 " + kMoving, "large.wav");
  EXPECT_GT(small.Rms(), 1e-3);
  EXPECT_TRUE(ReadBytes(work.File("small.wav")) == ReadBytes(work.File("large.wav")));
}

TEST_F(RediRenderTest, QuietVersionAndDemo) {
  const Result quiet = Run("--modulator mic.wav -o out.wav -q");
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.out + quiet.err, "");
  const Result version = Run("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("redi-render 1.", 0), 0u) << version.out;
  const Result silent = Run("--modulator mic.wav -o out.wav --set 'Final Volume=-oo'");
  EXPECT_EQ(silent.exitCode, 0);
  EXPECT_NE(silent.err.find(", silent)\n"), std::string::npos) << silent.err;

  const Result demo = Run("");
  EXPECT_EQ(demo.exitCode, 0) << demo.err;
  const std::string path = work.File("redi-demo.wav");
  EXPECT_EQ(demo.err.rfind("wrote " + path + " (", 0), 0u) << demo.err;
  const Audio out = ReadAudio(path);
  EXPECT_EQ(out.rate, kRate);
  EXPECT_GT(out.Rms(), 1e-3);
}

}  // namespace

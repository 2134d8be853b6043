// Runs the built redi-render as a user would, on small generated inputs.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace {

constexpr int kRate = 44100;

struct Audio {
  int rate = 0;
  int channels = 0;
  std::vector<float> samples;  // interleaved

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

bool WriteWav(const std::string& path, const Audio& audio) {
  SF_INFO info{};
  info.samplerate = audio.rate;
  info.channels = audio.channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const auto frames = static_cast<sf_count_t>(audio.samples.size()) / audio.channels;
  const bool written = sf_writef_float(file, audio.samples.data(), frames) == frames;
  return sf_close(file) == 0 && written;
}

Audio ReadWav(const std::string& path) {
  Audio audio;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return audio;
  audio.rate = info.samplerate;
  audio.channels = info.channels;
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
  const double pi = std::acos(-1.0);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double buzz = 0.0;
    for (int h = 1; h <= 30; ++h) {
      const double formant = 700.0 + 500.0 * std::sin(2.0 * pi * 3.0 * t);
      const double weight = 1.0 / (1.0 + std::pow((140.0 * h - formant) / 300.0, 2.0));
      buzz += weight * std::sin(2.0 * pi * 140.0 * h * t);
    }
    noise = noise * 1664525u + 1013904223u;
    const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.1;
    const double swell = 0.5 - 0.5 * std::cos(2.0 * pi * 4.0 * t);
    const auto v = static_cast<float>(0.15 * swell * buzz + hiss);
    audio.samples.push_back(v);
    audio.samples.push_back(v);
  }
  return audio;
}

class RediRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The plug-in reads and writes its configuration under XDG_CONFIG_HOME;
    // the WAV folder is named through a short link, as the setting holds at
    // most 63 characters.
    std::filesystem::create_directories(config.Path() + "/Welmora");
    std::filesystem::create_directory_symlink(REDI_SOURCE_DIR "/resources/wav", config.File("wav"));
    WriteBytes(config.File("Welmora/redi.ini"),
               "[Global]\nPath to WAV Files=" + config.File("wav") + "\n");
    ASSERT_TRUE(WriteWav(work.File("mic.wav"), Modulator(0.3)));
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

  // Renders mic.wav with the options; the output must be written cleanly.
  Audio Render(const std::string& options, const std::string& name = "out.wav") const {
    const Result r = Run("--modulator mic.wav -o " + name + " " + options);
    EXPECT_EQ(r.exitCode, 0) << options << ": " << r.err;
    EXPECT_EQ(r.err, "") << options;
    EXPECT_EQ(r.out.rfind("wrote ", 0), 0u) << options << ": " << r.out;
    return ReadWav(work.File(name));
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text does not end with a line break";
    return lines;
  }

  TempFolder config;
  TempFolder work;
};

TEST_F(RediRenderTest, ErrorsAreOneLineAndAFailingExit) {
  const char* const cases[] = {
      "--modulator missing.wav -o out.wav",
      "--modulator mic.wav -o out.wav --set 'No Such Knob=1'",
      "--modulator mic.wav -o out.wav --set 'Final Volume=loud'",
      "--modulator mic.wav -o out.wav --set 'Ensemble=sideways'",
      "--modulator mic.wav -o out.wav --program 64",
      "--modulator mic.wav -o out.wav --midi missing.mid",
      "--modulator mic.wav -o out.wav --bank mic.wav",
      "--modulator mic.wav -o no-such-folder/out.wav",
  };
  for (const char* arguments : cases) {
    const Result r = Run(arguments);
    EXPECT_NE(r.exitCode, 0) << arguments;
    EXPECT_EQ(r.out, "") << arguments;
    ASSERT_FALSE(r.err.empty()) << arguments;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << arguments << ": " << r.err;
    EXPECT_EQ(r.err.rfind("redi-render: ", 0), 0u) << r.err;
    EXPECT_FALSE(std::filesystem::exists(work.File("out.wav"))) << arguments;
  }
}

TEST_F(RediRenderTest, EveryProgramRendersFiniteSound) {
  for (int program = 0; program < 64; ++program) {
    const Audio out = Render("--program " + std::to_string(program));
    ASSERT_EQ(out.rate, kRate);
    ASSERT_EQ(out.channels, 2);
    // The input and a second after it. (Finite is checked by redi-render
    // itself, which refuses to write samples that are not numbers.)
    EXPECT_EQ(out.samples.size(), 2u * static_cast<std::size_t>(0.3 * kRate + kRate));
    EXPECT_GT(out.Rms(), 1e-4) << "program " << program << " is silent";
  }
}

// Control ticks run on across host blocks, so a chord held from the first
// sample sounds the same whatever the block size. (It is never released:
// events inside a block take effect at that block's ticks.)
TEST_F(RediRenderTest, BlockSizeDoesNotChangeTheSound) {
  const std::string chord(
      "MThd\0\0\0\6\0\0\0\1\0\x60"
      "MTrk\0\0\0\x11\0\x90\x30\x64\0\x37\x64\0\x3c\x64\0\x3f\x64\0\xff\x2f\0",
      39);
  WriteBytes(work.File("chord.mid"), chord);
  // Vibrato and ensemble move at the ticks. (Accent bend reads the latest
  // piece alone, which a block boundary may cut short.)
  const std::string kMoving = "--program 6 --set Ensemble=on";
  const Audio small = Render("--midi chord.mid --block 64 " + kMoving, "small.wav");
  Render("--midi chord.mid --block 1000 " + kMoving, "large.wav");
  EXPECT_GT(small.Rms(), 1e-3);
  EXPECT_TRUE(ReadBytes(work.File("small.wav")) == ReadBytes(work.File("large.wav")));
}

TEST_F(RediRenderTest, SettingsTakePlainValuesAndDisplayTexts) {
  const Audio plain = Render("", "plain.wav");
  const Audio louder = Render("--set 'Final Volume=0.5'", "louder.wav");
  EXPECT_NEAR(louder.Rms() / plain.Rms(), 2.0, 0.01);
  for (const char* setting : {"Tune=-12", "Ensemble=on", "Vocoder Mode=RA-10 Full Bands"}) {
    const Audio changed = Render("--set " + Quote(setting), "changed.wav");
    ASSERT_EQ(changed.samples.size(), plain.samples.size());
    EXPECT_NE(changed.samples, plain.samples) << setting << " made no difference";
    EXPECT_GT(changed.Rms(), 1e-4) << setting;
  }
}

TEST_F(RediRenderTest, ListsParametersAndPrograms) {
  const Result params = Run("--list-params");
  EXPECT_EQ(params.exitCode, 0) << params.err;
  const auto paramLines = Lines(params.out);
  ASSERT_EQ(paramLines.size(), 107u);
  EXPECT_EQ(paramLines[0].rfind("  0  Vocoder Mode ", 0), 0u) << paramLines[0];
  EXPECT_EQ(paramLines[106].rfind("106  Speed ", 0), 0u) << paramLines[106];

  const Result programs = Run("--list-programs");
  EXPECT_EQ(programs.exitCode, 0) << programs.err;
  const auto programLines = Lines(programs.out);
  ASSERT_EQ(programLines.size(), 64u);
  EXPECT_EQ(programLines[0], " 0  RA-10 Standard");
  EXPECT_EQ(programLines[8], " 8   Goofy Coder");
  EXPECT_EQ(programLines[30], "30  Zisch  (WAV play)");
  EXPECT_EQ(programLines[63], "63  Init");
}

TEST_F(RediRenderTest, WithoutArgumentsRendersTheDemoHere) {
  const Result r = Run("");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string demo = work.File("redi-demo.wav");
  EXPECT_EQ(r.out.rfind("wrote " + demo + " (", 0), 0u) << r.out;
  const Audio out = ReadWav(demo);
  EXPECT_EQ(out.rate, kRate);
  EXPECT_GT(out.Rms(), 1e-3);
}

}  // namespace

// Processing cost of the vocoder engine. The "rt_share" counter is processing
// time divided by the duration of the audio processed: 0.01 means 1 % of one
// core at real time. The band cases run each band path (0 scalar reference,
// 1 SSE2, 2 AVX, 3 AVX-512) side by side, so their ratios come from one run.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/Vocoder.h"
#include "instrument/HeldNotes.h"
#include "instrument/MidiQueue.h"

namespace {

class BenchHost : public VocoderHost {
 public:
  bool IsInputConnected(int index) const override { return connected[index]; }
  void MapController(int, int) override {}
  bool connected[4] = {true, true, false, false};
};

struct Engine {
  Engine(double rate, int blockFrames) : frames(blockFrames) {
    vocoder.ResetState(rate);
    for (int k = 0; k < 4; ++k) {
      in[k].resize(static_cast<size_t>(frames));
      for (int i = 0; i < frames; ++i)
        in[k][static_cast<size_t>(i)] =
            0.3 * std::sin(0.01 * (k + 1) * i) + 0.2 * std::sin(0.173 * (k + 2) * i);
    }
    for (auto& channel : out) channel.resize(static_cast<size_t>(frames));
  }

  void Process() {
    double* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    double* outputs[2] = {out[0].data(), out[1].data()};
    vocoder.ProcessBlock(inputs, outputs, frames);
  }

  BenchHost host;
  MidiQueue queue;
  HeldNotes heldNotes;
  Vocoder vocoder{host, queue, heldNotes};
  int frames;
  std::vector<double> in[4];
  std::vector<double> out[2];
};

void FullLoad(Engine& engine) {
  Vocoder& v = engine.vocoder;
  for (bool& connected : engine.host.connected) connected = true;
  v.ResetState(v.SampleRate());  // records the EXT inputs as connected
  v.ApplyParameter(kVocoderMode, 1.0);
  v.ApplyParameter(kInBalance, 0.5);
  v.ApplyParameter(kEnsemble, 1.0);
  v.ApplyParameter(kVibratoDepth, 0.2);
  v.ApplyParameter(kAccentBend, 0.5);
  for (int note = 30; note < 94; ++note) v.NoteOn(note, 100);
}

// Processes one block per iteration, after beforeBlock (a cheap check).
template <typename BeforeBlock>
void Run(benchmark::State& state, Engine& engine, double rate, BeforeBlock beforeBlock) {
  for (auto _ : state) {
    beforeBlock();
    engine.Process();
    benchmark::DoNotOptimize(engine.out[0].data());
  }
  const double audioSeconds = static_cast<double>(state.iterations()) * engine.frames / rate;
  state.counters["rt_share"] =
      benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Selects the band path of the third argument; false if this CPU lacks it.
bool SelectBandPath(benchmark::State& state, Engine& engine) {
  const auto path = static_cast<BandPath>(state.range(2));
  if (!BandPathAvailable(path)) {
    state.SkipWithError("band path not available on this processor");
    return false;
  }
  engine.vocoder.bandPath = path;
  state.SetLabel(BandPathName(path));
  return true;
}

void DefaultsChord(benchmark::State& state) {
  const double rate = static_cast<double>(state.range(1));
  Engine engine(rate, static_cast<int>(state.range(0)));
  if (!SelectBandPath(state, engine)) return;
  for (int note : {48, 52, 55, 59, 60, 64, 67, 71}) engine.vocoder.NoteOn(note, 100);
  Run(state, engine, rate, [] {});
}

void FullLoadAtRate(benchmark::State& state) {
  const double rate = static_cast<double>(state.range(1));
  Engine engine(rate, static_cast<int>(state.range(0)));
  if (!SelectBandPath(state, engine)) return;
  FullLoad(engine);
  Run(state, engine, rate, [] {});
}

void BandCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"frames", "rate", "path"});
  for (int rate : {44100, 48000, 96000}) {
    for (int frames : {64, 512}) {
      for (BandPath path : {BandPath::kScalar, BandPath::kSse2, BandPath::kAvx, BandPath::kAvx512})
        b->Args({frames, rate, static_cast<int>(path)});
    }
  }
}

// A 32 kHz stereo file resampled to a 48 kHz host, restarted when it ends.
void WavModulatorResampled(benchmark::State& state) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "redi_bench_modulator.wav").string();
  {
    const uint32_t rate = 32000, frames = rate * 10;
    std::vector<unsigned char> bytes;
    auto put = [&bytes](uint32_t v, int size) {
      for (int i = 0; i < size; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
    put(36 + frames * 4, 4);
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(rate, 4);
    put(rate * 4, 4);
    put(4, 2);
    put(16, 2);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    put(frames * 4, 4);
    for (uint32_t i = 0; i < frames; ++i) {
      const auto s = static_cast<uint32_t>(static_cast<int>(9000.0 * std::sin(0.07 * i)));
      put(s & 0xFFFF, 2);
      put(s & 0xFFFF, 2);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      state.SkipWithError("cannot write the WAV file");
      return;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  Engine engine(48000.0, static_cast<int>(state.range(0)));
  Vocoder& v = engine.vocoder;
  if (!v.wavPlayer.OpenWav(path.c_str())) {
    state.SkipWithError("cannot open the WAV file");
    return;
  }
  v.ApplyParameter(kInputMode, 1.0);
  for (int note : {48, 52, 55, 59, 60, 64, 67, 71}) v.NoteOn(note, 100);
  Run(state, engine, 48000.0, [&v] {
    if (v.wavPlayer.remaining == 0) v.wavPlayer.TriggerWav();
  });
  v.wavPlayer.CloseWav();
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(DefaultsChord)->Apply(BandCases);
BENCHMARK(FullLoadAtRate)->Apply(BandCases);
BENCHMARK(WavModulatorResampled)->Arg(64)->Arg(512);

BENCHMARK_MAIN();

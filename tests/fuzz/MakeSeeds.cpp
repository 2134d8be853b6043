// Writes the fuzz targets' seed corpora (tests/fuzz/corpus/<target>/): small
// valid inputs made with the plug-in's own writers or built byte by byte, and
// host-call sequences that once found faults. Run by hand from the fuzz tree:
//   build/fuzz/fuzz/make_fuzz_seeds tests/fuzz/corpus

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string corpus;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
  const std::string path = corpus + "/" + target + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  fuzz::Require(file != nullptr, "cannot write a seed (do the corpus folders exist?)");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

Bytes ReadFile(const std::string& path) {
  Bytes bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
  }
  return bytes;
}

void Le(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Be(Bytes& b, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Text(Bytes& b, const char* text) { b.insert(b.end(), text, text + std::strlen(text)); }

Bytes Chunk(fuzz::Plugin& plug, bool bank) {
  void* data = nullptr;
  const VstIntPtr size = plug.Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  const auto* bytes = static_cast<const uint8_t*>(data);
  return Bytes(bytes, bytes + size);
}

void ChunkSeeds(fuzz::Plugin& plug, REDI& redi) {
  Bytes program = {0};
  const Bytes state = Chunk(plug, false);
  program.insert(program.end(), state.begin(), state.end());
  Write("chunk", "program", program);
  Bytes bank = {1};
  const Bytes banked = Chunk(plug, true);
  // The header and the first programs: enough to reach every field.
  bank.insert(bank.end(), banked.begin(), banked.begin() + std::min<size_t>(banked.size(), 2000));
  Write("chunk", "bank-start", bank);
  // The VST 3 state: the bank chunk (its start, as above) and a trailer
  // naming the program (5), read whole by the component, and in pieces of
  // four bytes by the controller.
  Bytes vst3 = bank;
  vst3.insert(vst3.end(), {'R', 'p', 'r', 'g', 5, 0, 0, 0});
  Write("vst3_state", "bank-and-program", vst3);
  vst3[0] = 4 << 1;
  Write("vst3_state", "short-reads", vst3);
  plug.effect->setParameter(plug.effect, kInputMode, 1.0f);
  redi.wavRequestedPath = "voice.wav";
  Bytes wav = {0};
  const Bytes withWav = Chunk(plug, false);
  wav.insert(wav.end(), withWav.begin(), withWav.end());
  Write("chunk", "program-with-wav", wav);
  redi.wavRequestedPath.clear();
  plug.effect->setParameter(plug.effect, kInputMode, 0.0f);
}

void FileSeeds(REDI& redi) {
  const std::string fxp = fuzz::WorkFolder() + "/seed.fxp";
  const std::string fxb = fuzz::WorkFolder() + "/seed.fxb";
  redi.SaveProgramFile(fxp.c_str());
  Write("program_file", "program", ReadFile(fxp));
  redi.SaveBankFile(fxb.c_str());
  Bytes bank = ReadFile(fxb);
  bank.resize(std::min<size_t>(bank.size(), 2500));
  Write("bank_file", "bank-start", bank);

  // The parameter-list forms, which the plug-in reads but never writes.
  Bytes list;
  Text(list, "CcnK");
  Be(list, 48 + 4 * kNumParameters, 4);
  Text(list, "FxCk");
  Be(list, 1, 4);
  Text(list, "redi");
  Be(list, 10101, 4);
  Be(list, kNumParameters, 4);
  Bytes name(28, 0);
  std::memcpy(name.data(), "Listed", 6);
  list.insert(list.end(), name.begin(), name.end());
  for (int i = 0; i < kNumParameters; ++i) Be(list, 0x3F000000u, 4);  // 0.5f
  Write("program_file", "parameter-list", list);
  Bytes listBank;
  Text(listBank, "CcnK");
  Be(listBank, 152 + 2 * static_cast<uint32_t>(list.size()), 4);
  Text(listBank, "FxBk");
  Be(listBank, 1, 4);
  Text(listBank, "redi");
  Be(listBank, 10101, 4);
  Be(listBank, 2, 4);  // programs
  Be(listBank, 1, 4);  // current
  listBank.resize(156, 0);
  listBank.insert(listBank.end(), list.begin(), list.end());
  listBank.insert(listBank.end(), list.begin(), list.end());
  Write("bank_file", "parameter-list", listBank);
}

Bytes Wav(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, const Bytes& data) {
  Bytes b;
  Text(b, "RIFF");
  Le(b, static_cast<uint32_t>(36 + data.size()), 4);
  Text(b, "WAVEfmt ");
  Le(b, 16, 4);
  Le(b, tag, 2);
  Le(b, channels, 2);
  Le(b, rate, 4);
  Le(b, rate * channels * bits / 8, 4);
  Le(b, channels * bits / 8, 2);
  Le(b, bits, 2);
  Text(b, "data");
  Le(b, static_cast<uint32_t>(data.size()), 4);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

void WavSeeds() {
  Bytes pcm16;
  for (int i = 0; i < 24; ++i) Le(pcm16, static_cast<uint32_t>((i * 2731) & 0xFFFF), 2);
  Bytes seed = {2};  // host at 44.1 kHz, file at 22.05 kHz: resampled
  const Bytes mono = Wav(1, 1, 22050, 16, pcm16);
  seed.insert(seed.end(), mono.begin(), mono.end());
  Write("wav", "s16-mono", seed);
  Bytes floats;
  for (uint32_t bits : {0x3F000000u, 0xBF000000u, 0x7FC00000u, 0x7F800000u, 0u, 0x3E800000u})
    Le(floats, bits, 4);
  seed = {3};
  const Bytes stereo = Wav(3, 2, 48000, 32, floats);
  seed.insert(seed.end(), stereo.begin(), stereo.end());
  Write("wav", "f32-stereo-nonfinite", seed);
  Bytes pcm24(3 * 4 * 3, 0x81);
  seed = {5};
  const Bytes quad = Wav(1, 4, 96000, 24, pcm24);
  seed.insert(seed.end(), quad.begin(), quad.end());
  Write("wav", "s24-quad", seed);
  seed = {0};
  const Bytes bytes8 = Wav(1, 1, 8000, 8, Bytes{0, 64, 128, 192, 255, 7});
  seed.insert(seed.end(), bytes8.begin(), bytes8.end());
  Write("wav", "u8-mono", seed);
}

void IniSeeds() {
  Bytes ini;
  Text(ini,
       "[Global]\r\nPath to WAV Files=/home/someone/Music/Vocoder material/REDI/WAV files\r\n"
       "Path to Program Files=\"C:\\Users\\someone\\Documents\"\r\n"
       "[Startup Bank]\r\nFile=banks/start.fxb\r\n"
       "[MIDI Global]\r\nMIDI Thru=TRUE\r\nIgnore Program Change=false\r\n"
       "[MIDI Control]\r\nCC7=4\r\nCC1=12x\r\nCC74=abc\r\n; comment\r\nCC119=-5\r\n");
  Write("ini", "typical", ini);
}

void MidiSeeds() {
  Bytes f0;
  Text(f0, "MThd");
  Be(f0, 6, 4);
  Be(f0, 0, 2);
  Be(f0, 1, 2);
  Be(f0, 96, 2);
  const Bytes events = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000
                        0x00, 0x90, 60,   100,  0x10, 64,   90,    // running status
                        0x60, 0x80, 60,   0,    0x00, 0xB0, 64,   127,  0x81, 0x00, 0xE0,
                        0x00, 0x40, 0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
  Text(f0, "MTrk");
  Be(f0, static_cast<uint32_t>(events.size()), 4);
  f0.insert(f0.end(), events.begin(), events.end());
  Write("midi_file", "format0", f0);
  Bytes f1;
  Text(f1, "MThd");
  Be(f1, 6, 4);
  Be(f1, 1, 2);
  Be(f1, 2, 2);
  Be(f1, 0xE728, 2);  // SMPTE division: 25 frames of 40 ticks
  for (int track = 0; track < 2; ++track) {
    const Bytes notes = {0x00,
                         static_cast<uint8_t>(0x90 + track),
                         48,
                         80,
                         0x83,
                         0x60,
                         static_cast<uint8_t>(0x80 + track),
                         48,
                         0,
                         0x00,
                         0xFF,
                         0x2F,
                         0x00};
    Text(f1, "MTrk");
    Be(f1, static_cast<uint32_t>(notes.size()), 4);
    f1.insert(f1.end(), notes.begin(), notes.end());
  }
  Write("midi_file", "format1-smpte", f1);
}

// Host-call sequences in the chaos target's encoding (see HostChaosFuzz.cpp):
// an operation byte, then its arguments.
namespace chaos {
void Rate(Bytes& b, uint32_t hz) {
  b.push_back(0);
  Le(b, hz - 1, 4);
}
void Parameter(Bytes& b, int index, uint32_t floatBits) {
  b.push_back(4);
  b.push_back(static_cast<uint8_t>(index));
  Le(b, floatBits, 4);
}
void Program(Bytes& b, int index) {
  b.push_back(5);
  b.push_back(static_cast<uint8_t>(index));
}
void Process(Bytes& b, int frames, int inputKind, int variant) {
  b.push_back(9);
  b.push_back(static_cast<uint8_t>(variant));
  Le(b, static_cast<uint32_t>(frames - 1), 2);
  b.push_back(static_cast<uint8_t>(inputKind));
}
}  // namespace chaos

void ChaosSeeds() {
  Bytes low;  // the ensemble program at 8 kHz: its 7 kHz input filter
  chaos::Rate(low, 8000);
  chaos::Program(low, 5);
  for (int i = 0; i < 4; ++i) chaos::Process(low, 4000, 3, i % 3);
  Write("host_chaos", "ensemble-at-8k", low);

  Bytes events;  // a list of more than the two declared entries
  events.push_back(8);
  events.push_back(5);
  for (int i = 0; i < 5; ++i) {
    events.push_back(static_cast<uint8_t>(i == 1 ? 1 : (i == 3 ? 0 : 2)));  // SysEx, null, MIDI
    Le(events, static_cast<uint32_t>(i * 20), 2);
    if (i == 1) {
      events.push_back(3);
      events.insert(events.end(), {0xF0, 0x7E, 0xF7});
    } else if (i != 3) {
      events.insert(events.end(), {0x90, static_cast<uint8_t>(60 + i), 100});
    }
  }
  chaos::Process(events, 512, 0, 0);
  Write("host_chaos", "five-events", events);

  Bytes odd;  // numbers that are not, for parameters, rates and input
  chaos::Parameter(odd, kFinalVolume, 0x7FC00000u);
  chaos::Parameter(odd, kAnalysisFreq1, 0x7F800000u);
  chaos::Parameter(odd, kSpeed, 0xFF800000u);
  odd.push_back(1);
  Le(odd, 0x7FC00000u, 4);  // a NaN rate
  chaos::Rate(odd, 1000);
  chaos::Process(odd, 700, 1, 0);
  chaos::Process(odd, 700, 2, 2);
  chaos::Rate(odd, 768000);
  odd.insert(odd.end(), {2, 0xFF, 0x1F});  // block size 8192
  chaos::Process(odd, 8192, 0, 1);
  odd.insert(odd.end(), {6, 0, 6, 1, 3, 0, 3, 1});  // chunk round trips, suspend, resume
  chaos::Process(odd, 64, 0, 0);
  Write("host_chaos", "odd-numbers", odd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  corpus = argv[1];
  fuzz::IsolateConfiguration();
  fuzz::Plugin& plug = fuzz::SharedPlugin();
  auto& redi = *static_cast<REDI*>(static_cast<IPlugVST*>(plug.effect->object));
  ChunkSeeds(plug, redi);
  FileSeeds(redi);
  WavSeeds();
  IniSeeds();
  MidiSeeds();
  ChaosSeeds();
  return 0;
}

// The host's audio thread and its user-interface thread call in at once; the
// plug-in lock must keep every call whole. Run under ThreadSanitizer by
// test.sh, which then also reports any unguarded shared state.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "framework/VST2.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "tests/vst/PluginInstance.h"

namespace {

constexpr int kBlock = 128;
constexpr int kBlocks = 400;
constexpr int kEdits = 160;

TEST(Concurrency, AudioThreadRunsWhileTheHostEditsEverything) {
  PluginInstance plug(StatelessHost);
  AEffect* effect = plug.Effect();
  ASSERT_NE(effect, nullptr);
  plug.Start(48000.0f, kBlock);
  const std::vector<uint8_t> bank = plug.Chunk(true);
  const std::vector<uint8_t> program = plug.Chunk(false);
  ASSERT_FALSE(bank.empty() || program.empty());

  std::atomic<bool> finite{true};
  std::thread audio([effect, &finite] {
    // Events arrive on the audio thread, just before their block.
    finite = PlayBlocks(effect, kBlocks, kBlock, [](int block) {
      return EventList({MidiEvent(0, 0x90, 40 + block % 40, 90),
                        MidiEvent(kBlock / 2, 0x80, 40 + (block + 37) % 40, 0)});
    });
  });

  for (int edit = 0; edit < kEdits; ++edit) {
    effect->setParameter(effect, (edit * 7) % 107, static_cast<float>((edit * 37) % 101) / 100.0f);
    effect->getParameter(effect, edit % 107);
    switch (edit % 4) {
      case 0:
        plug.Chunk(edit % 8 == 0);
        break;
      case 1: {
        const std::vector<uint8_t>& chunk = edit % 8 == 1 ? bank : program;
        plug.Dispatch(effSetChunk, edit % 8 == 1 ? 0 : 1, static_cast<VstIntPtr>(chunk.size()),
                      const_cast<uint8_t*>(chunk.data()));
        break;
      }
      case 2:
        plug.Dispatch(effSetProgram, 0, edit % 64);
        break;
      default:
        plug.Send({MidiEvent(3, 0xB0, 64, edit % 2 == 0 ? 127 : 0),
                   MidiEvent(5, 0xC0, edit % 64, 0), MidiEvent(9, 0xE0, 0, edit % 128),
                   MidiEvent(12, 0xB0, 123, 0)});
        break;
    }
  }
  audio.join();
  EXPECT_TRUE(finite);
}

// The frequency tools run on the editor's thread while the audio thread plays
// and moves a band parameter through a learned controller, so both write and
// read the same values.
TEST(Concurrency, BandToolsRunWhileTheAudioThreadPlays) {
  REDI plug(nullptr);
  AEffect* effect = plug.Effect();
  constexpr int kController = 20;
  plug.controllerMap[kController] = kAnalysisFreq1 + 5;
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

  std::atomic<bool> finite{true};
  std::thread audio([effect, &finite] {
    finite = PlayBlocks(effect, kBlocks, kBlock, [](int block) {
      return EventList({MidiEvent(0, 0x90, 48 + block % 24, 100),
                        MidiEvent(kBlock / 4, 0xB0, kController, block % 128),
                        MidiEvent(kBlock / 2, 0x80, 48 + (block + 12) % 24, 0)});
    });
  });
  for (int round = 0; round < kEdits; ++round) {
    plug.ApplyBandTool(round % 32);
    // Room for whole audio blocks between two tools, so that the tools' writes
    // meet reads that no lock orders before them.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  audio.join();
  effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
  EXPECT_TRUE(finite);
  for (int i = kAnalysisFreq1; i < kBias; ++i) {
    const IParameter* param = plug.GetParam(i);
    EXPECT_TRUE(param->Value() >= param->Min() && param->Value() <= param->Max()) << param->Name();
  }
}

}  // namespace

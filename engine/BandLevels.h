#pragma once

#include <atomic>
#include <cstdint>

#include "instrument/ParameterIds.h"

// Each band's envelope for the editor's band display. The audio thread
// stores them at the end of every block and the editor loads them on its
// tick: single values, no lock, no allocation. A tick that reads some bands
// of one block and some of the next shows nothing wrong.
class BandLevels {
 public:
  enum Kind : uint8_t {
    kIdle,     // the band does not run: the vocoder is not heard, or no carrier reaches it
    kCarrier,  // vocodes the carrier
    kNoise,    // in the standard mode the top bands vocode the noise alone
    kFixed,    // passes the full carrier without an envelope
  };

  void Store(int band, float level, Kind kind) noexcept {
    levels[band].store(level, std::memory_order_relaxed);
    kinds[band].store(kind, std::memory_order_relaxed);
  }
  // The louder channel's envelope (1.0 = full scale); 0 unless the band
  // vocodes.
  float Level(int band) const noexcept { return levels[band].load(std::memory_order_relaxed); }
  Kind KindOf(int band) const noexcept {
    return static_cast<Kind>(kinds[band].load(std::memory_order_relaxed));
  }

 private:
  static_assert(std::atomic<float>::is_always_lock_free &&
                std::atomic<uint8_t>::is_always_lock_free);
  std::atomic<float> levels[kNumBands] = {};
  std::atomic<uint8_t> kinds[kNumBands] = {};
};

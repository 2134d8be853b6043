// The wavetables for a build whose machine cannot run the target's own
// programs to compute them at build time: the library computes them once,
// when it loads, with the same code and the target's own sin.
#include "engine/Wavetables.h"

namespace {

struct Tables {
  Tables() { ComputeWavetables(data); }
  double data[kNumWavetables][kWavetableSize];
};

const Tables tables;

}  // namespace

const double (&kWavetables)[kNumWavetables][kWavetableSize] = tables.data;

#pragma once

#include "engine/Voice.h"

// The voices' sawtooth wavetables, table t band-limited to 2048 / sqrt(2)^t
// harmonics with a raised-cosine taper. Computing them takes millions of
// sines, too slow for every process that loads the plug-in (hosts load it
// just to scan it): make-wavetables computes them when the plug-in is built
// and writes them out as exact hexadecimal literals. (Where the build machine
// cannot run the target's programs, the library computes them when it loads.)
extern const double (&kWavetables)[kNumWavetables][kWavetableSize];

// The computation itself, for the generator and for the test that checks
// what it wrote.
void ComputeWavetables(double (*tables)[kWavetableSize]);

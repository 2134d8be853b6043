#pragma once

// The fused band loop, written once for any lane width. Included only by the
// translation units of the vector paths, each of which compiles it for its
// own instruction set: everything here has internal linkage, so no copy built
// for AVX can stand in for another path's.
//
// A lane type S supplies the vector V, kLanes, kBands (= kLanes / 2) and the
// operations below; its compares give lane masks, which Keep and Select take.
// Each lane repeats the scalar code's operations in the same order; the
// clamps and NaN rules are masks, never branches.

#include "engine/BandLanes.h"

namespace {

template <class S>
using Vec = typename S::V;

// Lane l from objects[l]->field; built in registers, not through memory, so
// that no vector load waits on scalar stores.
template <class S, class T, class Owner>
Vec<S> Gather(T* const objects[], double Owner::*field) {
  return S::Make([&](int l) { return objects[l]->*field; });
}

template <class S, class T, class Owner>
void Scatter(T* const objects[], double Owner::*field, Vec<S> v) {
  S::Split(v, [&](int l, double value) { objects[l]->*field = value; });
}

// NaN lanes become +0, others pass.
template <class S>
Vec<S> ZeroNaN(Vec<S> v) {
  return S::Keep(v, S::Ordered(v));
}

// The clamp of a value that cannot be NaN: an input already cleared of NaN,
// or a state (always a clamp's result, so within +-64) plus the offset.
template <class S>
Vec<S> ClampNumber(Vec<S> v) {
  return S::ClampMagnitude(v, S::Set1(BandPassPair::kStateLimit));
}

// BandPassPair's state clamp: into +-64, NaN to +0. ClampNumber may leave a
// NaN lane at -64 or NaN; the mask of v's own order then clears it.
template <class S>
Vec<S> ClampState(Vec<S> v) {
  return S::Keep(ClampNumber<S>(v), S::Ordered(v));
}

// BandPassPair::Step across lanes.
template <class S>
struct PairLanes {
  using V = Vec<S>;
  explicit PairLanes(BandPassPair* const* p) : pairs(p) {
    b0a = Gather<S>(p, &BandPassPair::b0First);
    c1a = Gather<S>(p, &BandPassPair::c1First);
    c2a = Gather<S>(p, &BandPassPair::c2First);
    b0b = Gather<S>(p, &BandPassPair::b0Second);
    c1b = Gather<S>(p, &BandPassPair::c1Second);
    c2b = Gather<S>(p, &BandPassPair::c2Second);
    gain = Gather<S>(p, &BandPassPair::gain);
    x1a = Gather<S>(p, &BandPassPair::x1First);
    x2a = Gather<S>(p, &BandPassPair::x2First);
    y1a = Gather<S>(p, &BandPassPair::y1First);
    y2a = Gather<S>(p, &BandPassPair::y2First);
    x1b = Gather<S>(p, &BandPassPair::x1Second);
    x2b = Gather<S>(p, &BandPassPair::x2Second);
    y1b = Gather<S>(p, &BandPassPair::y1Second);
    y2b = Gather<S>(p, &BandPassPair::y2Second);
    d = Gather<S>(p, &BandPassPair::offset);
  }

  // After tame steps the second section's input states are the first's
  // output states (see Step).
  template <bool kTame>
  void Save() const {
    Scatter<S>(pairs, &BandPassPair::x1First, x1a);
    Scatter<S>(pairs, &BandPassPair::x2First, x2a);
    Scatter<S>(pairs, &BandPassPair::y1First, y1a);
    Scatter<S>(pairs, &BandPassPair::y2First, y2a);
    Scatter<S>(pairs, &BandPassPair::x1Second, kTame ? y1a : x1b);
    Scatter<S>(pairs, &BandPassPair::x2Second, kTame ? y2a : x2b);
    Scatter<S>(pairs, &BandPassPair::y1Second, y1b);
    Scatter<S>(pairs, &BandPassPair::y2Second, y2b);
    Scatter<S>(pairs, &BandPassPair::offset, d);
  }

  // Whether these lanes can take the tame path: numbers that keep every
  // result finite for tame input, so that no NaN can arise, a first section
  // whose input state was tame input too, and the second section's input
  // states equal to the first's output states, as Step always leaves them.
  bool Tame() const {
    const V four = S::Set1(4.0);
    const auto coefficients =
        S::Both(S::Both(S::Both(S::Less(S::Abs(b0a), four), S::Less(S::Abs(c1a), four)),
                        S::Both(S::Less(S::Abs(c2a), four), S::Less(S::Abs(b0b), four))),
                S::Both(S::Less(S::Abs(c1b), four), S::Less(S::Abs(c2b), four)));
    const auto rest =
        S::Both(S::Less(S::Abs(gain), S::Set1(1e100)), S::Less(S::Abs(x1a), S::Set1(kTameLevel)));
    const auto shared = S::Both(S::Equal(x1b, y1a), S::Equal(x2b, y2a));
    return S::All(S::Both(S::Both(coefficients, rest), shared));
  }

  template <bool kTame>
  V Step(V x) {
    if (!kTame) x = ZeroNaN<S>(x);
    const V x1 = S::Add(x1a, d);
    const V x2 = S::Add(x2a, d);
    const V y1 = S::Add(y1a, d);
    const V y2 = S::Add(y2a, d);
    const V u = S::Add(S::Add(S::Mul(c2a, y2), S::Mul(c1a, y1)), S::Mul(b0a, S::Sub(x, x2)));
    x2a = kTame ? x1 : ClampNumber<S>(x1);
    x1a = kTame ? x : ClampNumber<S>(x);
    y2a = ClampNumber<S>(y1);
    y1a = kTame ? ClampNumber<S>(u) : ClampState<S>(u);

    // The second section's input states are the same clamps of the same
    // values as the first's output states, so on the tame path (which checks
    // that) their shifted values are y1 and y2, and they are not kept apart.
    const V x2s = kTame ? y2 : S::Add(x2b, d);
    const V y1s = S::Add(y1b, d);
    const V y2s = S::Add(y2b, d);
    const V v = S::Add(S::Add(S::Mul(c1b, y1s), S::Mul(c2b, y2s)), S::Mul(b0b, S::Sub(u, x2s)));
    if (!kTame) {
      x2b = ClampNumber<S>(S::Add(x1b, d));
      x1b = y1a;  // the same clamp of u
    }
    y2b = ClampNumber<S>(y1s);
    y1b = kTame ? ClampNumber<S>(v) : ClampState<S>(v);

    d = S::Negate(d);
    const V out = S::Mul(v, gain);
    return kTame ? out : ZeroNaN<S>(out);
  }

  BandPassPair* const* pairs;
  V b0a, c1a, c2a, b0b, c1b, c2b, gain;
  V x1a, x2a, y1a, y2a, x1b, x2b, y1b, y2b, d;
};

// Filter::Step across lanes, including its restart from silence after a
// non-finite result.
template <class S>
struct LowpassLanes {
  using V = Vec<S>;
  explicit LowpassLanes(Lowpass* const* f) : filters(f) {
    b0 = Gather<S>(f, &Filter::b0);
    b1 = Gather<S>(f, &Filter::b1);
    c1 = Gather<S>(f, &Filter::c1);
    c2 = Gather<S>(f, &Filter::c2);
    x1 = Gather<S>(f, &Filter::x1);
    x2 = Gather<S>(f, &Filter::x2);
    y1 = Gather<S>(f, &Filter::y1);
    y2 = Gather<S>(f, &Filter::y2);
    d = Gather<S>(f, &Filter::offset);
  }

  void Save() const {
    Scatter<S>(filters, &Filter::x1, x1);
    Scatter<S>(filters, &Filter::x2, x2);
    Scatter<S>(filters, &Filter::y1, y1);
    Scatter<S>(filters, &Filter::y2, y2);
    Scatter<S>(filters, &Filter::offset, d);
  }

  V Step(V x) {
    const V x1d = S::Add(x1, d);
    const V x2d = S::Add(x2, d);
    const V y1d = S::Add(y1, d);
    const V y2d = S::Add(y2, d);
    const V x0d = S::Add(x, d);
    const V y =
        S::Add(S::Add(S::Add(S::Mul(b0, S::Add(x0d, x2d)), S::Mul(b1, x1d)), S::Mul(c1, y1d)),
               S::Mul(c2, y2d));
    d = S::Negate(d);
    const auto finite = S::Finite(y);
    x2 = S::Keep(x1d, finite);
    x1 = S::Keep(x0d, finite);
    y2 = S::Keep(y1d, finite);
    y1 = S::Keep(y, finite);
    return y1;
  }

  Lowpass* const* filters;
  V b0, b1, c1, c2;
  V x1, x2, y1, y2, d;
};

template <class S>
struct BandLanes {
  BandPassPair* analysis[S::kLanes];
  Lowpass* envelope[S::kLanes];
  BandPassPair* synthesis[S::kLanes];
  const double* carrierPairs[S::kBands];
};

template <class S>
BandLanes<S> LanesOf(const BandUnit* const bands[S::kBands]) {
  BandLanes<S> lanes;
  for (int k = 0; k < S::kBands; ++k) {
    for (int ch = 0; ch < 2; ++ch) {
      lanes.analysis[2 * k + ch] = bands[k]->analysis[ch];
      lanes.envelope[2 * k + ch] = bands[k]->envelope[ch];
      lanes.synthesis[2 * k + ch] = bands[k]->synthesis[ch];
    }
    lanes.carrierPairs[k] = bands[k]->carrierPairs;
  }
  return lanes;
}

// Reads the previous call's envelopes (AccentRelay) lane after lane into the
// accent sum, `lanes` values at a time.
struct PendingAccent {
  explicit PendingAccent(const AccentRelay& accent, int count)
      : first(accent.previous),
        next(accent.previous),
        lanes(accent.previousLanes),
        count(count),
        left(count) {}
  void AddTo(double& sum) {
    // Mostly all of them lie in one lane: `lanes` apart, in one unrolled run.
    if (left > lanes) {
      switch (lanes) {
        case 2:
          AddRun<2>(sum);
          return;
        case 4:
          AddRun<4>(sum);
          return;
        case 8:
          AddRun<8>(sum);
          return;
        default:
          break;
      }
    }
    for (int k = 0; k < lanes; ++k) {
      sum += *next;
      next += lanes;
      if (--left == 0) {
        next = first + ++lane;
        left = count;
      }
    }
  }

  template <int kLanes>
  void AddRun(double& sum) {
    for (int k = 0; k < kLanes; ++k) sum += next[k * kLanes];
    next += kLanes * kLanes;
    left -= kLanes;
  }

  const double* first;
  const double* next;
  int lanes, count, left, lane = 0;
};

template <class S, bool kTame>
void RunFixedBands(const BandLanes<S>& lanes, PairLanes<S>& synthesis, const BandPiece& piece,
                   AccentRelay& accent) {
  const int count = piece.count;
  double* out = piece.outputPairs;
  PendingAccent pending(accent, count);
  double sum = accent.sum;
  for (int i = 0; i < count; ++i) {
    S::AddToPair(out + 2 * i, synthesis.template Step<kTame>(S::Carrier(lanes.carrierPairs, i)));
    pending.AddTo(sum);
  }
  synthesis.template Save<kTame>();
  accent.sum = sum;
  accent.previousLanes = 0;
}

template <class S, bool kTame>
void RunVocodedBands(const BandLanes<S>& lanes, PairLanes<S>& analysis, PairLanes<S>& synthesis,
                     const BandPiece& piece, AccentRelay& accent) {
  using V = Vec<S>;
  const int count = piece.count;
  double* out = piece.outputPairs;
  PendingAccent pending(accent, count);
  double sum = accent.sum;
  const V mic = S::Set1(piece.micLevel);
  const V bias = S::Set1(piece.bias);
  const V limit = S::Set1(piece.limit);
  const V zero = S::Set1(0.0);
  double* envelopes = accent.current;
  LowpassLanes<S> smoothing(lanes.envelope);
  for (int i = 0; i < count; ++i) {
    const V band = analysis.template Step<kTame>(S::Modulator(piece.modulatorPairs, i));
    const V h = S::Mul(smoothing.Step(S::Abs(band)), mic);
    S::Store(envelopes + S::kLanes * i, h);
    const V s = S::Add(h, bias);
    const V envelope =
        S::Select(S::GreaterOrEqual(s, limit), limit, S::Keep(s, S::Greater(s, zero)));
    const V carried = synthesis.template Step<kTame>(S::Carrier(lanes.carrierPairs, i));
    S::AddToPair(out + 2 * i, S::Mul(carried, envelope));
    pending.AddTo(sum);
  }
  analysis.template Save<kTame>();
  smoothing.Save();
  synthesis.template Save<kTame>();
  accent.sum = sum;
  accent.previous = envelopes;
  accent.previousLanes = S::kLanes;
}

template <class S>
bool CarriersAreTame(const BandUnit* const bands[S::kBands]) {
  for (int k = 0; k < S::kBands; ++k) {
    if (!bands[k]->carrierTame) return false;
  }
  return true;
}

// Analysis, envelope and synthesis of kBands bands in one pass over the piece.
// Tame input lets the lanes leave out the rules for NaN and wild input.
template <class S>
void RunBands(const BandUnit* const bands[S::kBands], const BandPiece& piece, AccentRelay& accent) {
  const BandLanes<S> lanes = LanesOf<S>(bands);
  PairLanes<S> synthesis(lanes.synthesis);
  const bool carriersTame = CarriersAreTame<S>(bands) && synthesis.Tame();
  if (bands[0]->fixed) {
    if (carriersTame) {
      RunFixedBands<S, true>(lanes, synthesis, piece, accent);
    } else {
      RunFixedBands<S, false>(lanes, synthesis, piece, accent);
    }
    return;
  }
  PairLanes<S> analysis(lanes.analysis);
  if (carriersTame && piece.modulatorTame && analysis.Tame()) {
    RunVocodedBands<S, true>(lanes, analysis, synthesis, piece, accent);
  } else {
    RunVocodedBands<S, false>(lanes, analysis, synthesis, piece, accent);
  }
}

}  // namespace

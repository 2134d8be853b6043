#pragma once

// Butterworth (Q = 1/sqrt 2) second-order section in direct form I. A tiny
// offset whose sign flips every sample keeps the states out of denormals.
class Filter {
 public:
  virtual ~Filter() = default;
  // Computes the coefficients for the rate and cut-off and clears the state.
  virtual void SetUp(double sampleRate, double frequency) = 0;
  double Step(double x) noexcept;
  // The envelope follower's step: the rectified input |x| enters the filter.
  double StepRectified(double x) noexcept;

  double c1 = 0.0, c2 = 0.0, b0 = 0.0, b1 = 0.0;
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
  double offset = 1e-13;

 protected:
  struct SectionTerms {
    double cosW;
    double a0;
  };
  // Clears the state and sets the feedback coefficients, which both
  // Butterworth sections share; returns the terms the feed-forward ones need.
  SectionTerms ClearAndSetFeedback(double sampleRate, double frequency);
};

class Lowpass : public Filter {
 public:
  void SetUp(double sampleRate, double frequency) override;
};

class Highpass : public Filter {
 public:
  void SetUp(double sampleRate, double frequency) override;
};

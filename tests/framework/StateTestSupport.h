#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "BlankREDI.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"

namespace {

// Every value a fraction of the way through its range; 0.25 and 0.75 differ
// from each other and from what a missing value gives (0 clamped).
void SetFractions(IPlugBase& plug, double fraction) {
  for (int i = 0; i < plug.NParams(); ++i) {
    IParameter* p = plug.GetParam(i);
    p->SetClamped(p->Min() + (p->Max() - p->Min()) * fraction);
  }
}

double ZeroClamped(const IParameter& p) { return std::fmin(std::fmax(0.0, p.Min()), p.Max()); }

std::vector<double> Values(IPlugBase& plug) {
  std::vector<double> values;
  for (int i = 0; i < plug.NParams(); ++i) values.push_back(plug.GetParam(i)->Value());
  return values;
}

// After a load that stopped inside the values: the first `loaded` values are
// the saved ones, the next reads as 0 (limited to its range), the rest are kept.
void ExpectLoadedUpTo(IPlugBase& plug, std::size_t loaded, const std::vector<double>& saved,
                      const std::vector<double>& before) {
  for (std::size_t i = 0; i < saved.size(); ++i) {
    const IParameter& p = *plug.GetParam(static_cast<int>(i));
    const double expected = i < loaded ? saved[i] : i == loaded ? ZeroClamped(p) : before[i];
    ASSERT_EQ(p.Value(), expected) << i;
  }
}

void ExpectAllInRange(IPlugBase& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParameter* p = plug.GetParam(i);
    EXPECT_TRUE(p->Value() >= p->Min() && p->Value() <= p->Max()) << i << " " << p->Value();
  }
}

// The first count programs get values and names of their own.
void FillDistinctPrograms(IPlugBase& plug, int count) {
  for (int i = 0; i < count; ++i) {
    SetFractions(plug, 0.05 * (i + 1));
    plug.FillEmptyPrograms(1);
    const std::string name = "Voice " + std::to_string(i);
    CopyText(plug.GetProgram(i)->name, IProgram::kNameSize, name.c_str());
  }
}

// Same names and flags, and every stored program loads the same values.
void ExpectSameStore(IPlugBase& a, IPlugBase& b) {
  for (int i = 0; i < a.NPrograms(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(a.ProgramName(i), b.ProgramName(i));
    ASSERT_EQ(a.GetProgram(i)->initialised, b.GetProgram(i)->initialised);
    if (!a.GetProgram(i)->initialised) continue;
    ASSERT_TRUE(a.ApplyProgram(i));
    ASSERT_TRUE(b.ApplyProgram(i));
    EXPECT_EQ(Values(a), Values(b));
  }
}

}  // namespace

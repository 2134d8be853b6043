#pragma once

#include <cstddef>
#include <vector>

// Frequency of a tone from its rising zero crossings between from and to.
inline double ZeroCrossingFrequency(const std::vector<double>& s, std::size_t from, std::size_t to,
                                    double rate) {
  std::size_t first = 0, last = 0;
  int crossings = 0;
  for (std::size_t i = from + 1; i < to; ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  return (crossings - 1) * rate / static_cast<double>(last - first);
}

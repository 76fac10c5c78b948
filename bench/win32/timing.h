#pragma once
// Timing for the benchmarks that run under Wine: a millisecond clock and the spread of samples.
#include <windows.h>

#include <algorithm>
#include <vector>

namespace glimor::bench {

inline double nowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Samples in milliseconds; at(0.5) is the median, at(0.95) the 95th percentile.
struct Figures {
  std::vector<double> samples;
  double at(double share) {
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1,
                            static_cast<std::size_t>(share * static_cast<double>(samples.size())))];
  }
};

} // namespace glimor::bench

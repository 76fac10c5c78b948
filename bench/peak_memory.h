#pragma once
// Counts the bytes allocated through operator new, so a benchmark can report the
// largest amount in use at once above where it started.
#include <atomic>
#include <cstddef>

namespace glimor::bench::memory {

inline std::atomic<std::size_t> current{0}, peak{0};

inline void resetPeak() {
  peak = current.load();
}
inline std::size_t inUse() {
  return current.load();
}
inline std::size_t peakInUse() {
  return peak.load();
}

} // namespace glimor::bench::memory

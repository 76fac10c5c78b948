#include "imaging/deflate_level.h"

#include <array>
#include <cmath>

namespace glimor::imaging {
namespace {

constexpr int screenLevel = 5, photoLevel = 1;
constexpr double photoEntropy = 3.0;   // bits a byte, between the two kinds' 0.5-1.0 and 3.7
constexpr std::size_t sampleStep = 61; // a prime, so that no row period aligns with it

} // namespace

int deflateLevelFor(std::span<const std::uint8_t> data) {
  std::array<std::uint32_t, 256> counts{};
  std::size_t samples = 0;
  for (std::size_t i = 0; i < data.size(); i += sampleStep, ++samples) ++counts[data[i]];
  double entropy = 0;
  for (const std::uint32_t count : counts)
    if (count != 0) {
      const double p = static_cast<double>(count) / static_cast<double>(samples);
      entropy -= p * std::log2(p);
    }
  return entropy > photoEntropy ? photoLevel : screenLevel;
}

} // namespace glimor::imaging

#include "imaging/png_filters.h"

#include <cstring>

namespace glimor::imaging::png {
namespace {

constexpr std::size_t pixelBytes = 3;

template <typename Predict>
void filterWith(const std::uint8_t* row, const std::uint8_t* above, std::size_t length, std::uint8_t* out,
                Predict predict) {
  const std::size_t first = length < pixelBytes ? length : pixelBytes;
  for (std::size_t i = 0; i < first; ++i) out[i] = static_cast<std::uint8_t>(row[i] - predict(0, above[i]));
  for (std::size_t i = pixelBytes; i < length; ++i)
    out[i] = static_cast<std::uint8_t>(row[i] - predict(row[i - pixelBytes], above[i]));
}

// |v| of a byte read as signed.
inline unsigned magnitude(unsigned difference) {
  const std::uint8_t v = static_cast<std::uint8_t>(difference);
  return v < 128 ? v : 256u - v;
}

} // namespace

void applyFilter(Filter filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t length,
                 std::uint8_t* out) {
  switch (filter) {
  case Filter::none:
    std::memcpy(out, row, length);
    return;
  case Filter::sub:
    return filterWith(row, above, length, out, [](unsigned a, unsigned) { return a; });
  case Filter::up:
    return filterWith(row, above, length, out, [](unsigned, unsigned b) { return b; });
  case Filter::average:
    return filterWith(row, above, length, out, [](unsigned a, unsigned b) { return (a + b) >> 1; });
  }
}

Filter chooseFilter(const std::uint8_t* row, const std::uint8_t* above, std::size_t length) {
  // The sums are taken over every fourth pixel: they pick the same filters nearly
  // always, at a quarter of the cost.
  std::uint32_t none = 0, sub = 0, up = 0, average = 0;
  for (std::size_t i = 0; i < length; i += 4 * pixelBytes)
    for (std::size_t k = i; k < i + pixelBytes && k < length; ++k) {
      const unsigned x = row[k], a = k >= pixelBytes ? row[k - pixelBytes] : 0, b = above[k];
      none += magnitude(x);
      sub += magnitude(x - a);
      up += magnitude(x - b);
      average += magnitude(x - ((a + b) >> 1));
    }
  Filter best = Filter::none;
  std::uint32_t least = none;
  if (sub < least) best = Filter::sub, least = sub;
  if (up < least) best = Filter::up, least = up;
  if (average < least) best = Filter::average;
  return best;
}

void filterRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t length, std::uint8_t* out) {
  const Filter filter = chooseFilter(row, above, length);
  out[0] = static_cast<std::uint8_t>(filter);
  applyFilter(filter, row, above, length, out + 1);
}

} // namespace glimor::imaging::png

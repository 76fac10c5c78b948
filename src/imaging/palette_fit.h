#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace glimor::imaging {

// A palette of at most `size` (1..256) entries fitted to a picture's colours (0x00RRGGBB)
// for the least squared error: the entries start from the heaviest colours spread apart
// (each next one the colour whose count times squared distance to the chosen ones is the
// largest), then move to the mean of the colours nearest to them, a few times over. An entry
// whose colours are mostly one colour takes that colour exactly, so flat areas stay exact.
// Above 4096 distinct colours, colours that differ only in low bits are counted together.
class FittedPalette {
public:
  FittedPalette(std::span<const std::uint32_t> colours, int size);

  const std::vector<std::uint32_t>& entries() const { return entries_; }
  // The entry of any colour that was among those fitted.
  std::uint8_t entryOf(std::uint32_t colour) const;

private:
  std::uint32_t mask = 0xFFFFFF;   // the bits that tell colours apart
  std::vector<std::uint32_t> keys; // distinct masked colours, ascending
  std::vector<std::uint8_t> entryOfKey;
  std::vector<std::uint32_t> entries_;
};

} // namespace glimor::imaging

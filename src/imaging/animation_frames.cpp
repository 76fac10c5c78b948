#include "imaging/animation_frames.h"

#include "imaging/gif_encoder.h"

namespace glimor::imaging {

void checkAnimationSize(int width, int height, int largestSide, std::uint64_t largestArea, bool hasSink) {
  if (width < 1 || height < 1 || width > largestSide || height > largestSide ||
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > largestArea || !hasSink)
    throw EInvalidGraphic("Animation size is not valid");
}

bool showsTheSame(const std::uint32_t* pixels, const std::vector<std::uint32_t>& shown) {
  for (std::size_t i = 0; i < shown.size(); ++i)
    if ((pixels[i] & colourMask) != shown[i]) return false;
  return true;
}

void keepColours(const std::uint32_t* pixels, std::size_t count, std::vector<std::uint32_t>& kept) {
  kept.resize(count);
  for (std::size_t i = 0; i < count; ++i) kept[i] = pixels[i] & colourMask;
}

} // namespace glimor::imaging

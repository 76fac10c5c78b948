#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// What the animation writers share: the sizes they take (GIF and WebM), and frames compared and
// kept with the unused high byte of their colours cleared (GIF; the WebM writer compares the
// pictures it converts).
namespace glimor::imaging {

inline constexpr std::uint32_t colourMask = 0xFFFFFF;

// Throws EInvalidGraphic("Animation size is not valid") for a side outside 1..largestSide, an area
// above largestArea, or no sink to write to.
void checkAnimationSize(int width, int height, int largestSide, std::uint64_t largestArea, bool hasSink);

// True when `pixels` shows the colours `shown` holds (as many as it holds).
bool showsTheSame(const std::uint32_t* pixels, const std::vector<std::uint32_t>& shown);

// `kept` becomes the `count` colours of `pixels`.
void keepColours(const std::uint32_t* pixels, std::size_t count, std::vector<std::uint32_t>& kept);

} // namespace glimor::imaging

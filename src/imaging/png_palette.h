#pragma once
#include "imaging/bitmap.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The palette form of pictures with at most 256 colours, found in parts (one
// band of rows per core) and merged.
namespace glimor::imaging::png {

using Palette = std::vector<std::uint32_t>; // 0x00RRGGBB, in the order first met
using IndexMap = std::array<std::uint8_t, 256>;

// Writes the palette index of every pixel of picture rows [first, end) (counted
// from the top) of a 24- or 32-bit bitmap to `out`, one byte a pixel, and returns
// the palette; nothing when those rows have more than 256 colours.
std::optional<Palette> indexColours(const Bitmap& image, int first, int end, std::uint8_t* out);

// The palette of two bands: `upper` followed by the colours of `lower` it lacks;
// `lowerMap` takes each of lower's indices to its index there. Nothing when the
// two have more than 256 colours together.
std::optional<Palette> mergePalettes(const Palette& upper, const Palette& lower, IndexMap& lowerMap);

// The least of PNG's depths 1, 2, 4 and 8 that holds `colours` indices.
int bitDepthFor(std::size_t colours);

// `width` indices, each taken through `map`, packed at `bitDepth` bits: the leftmost
// pixel in the highest bits of its byte, the last byte's unused bits zero.
void packIndices(const std::uint8_t* indices, int width, int bitDepth, const IndexMap& map,
                 std::uint8_t* out);

} // namespace glimor::imaging::png

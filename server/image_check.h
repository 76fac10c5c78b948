#pragma once
#include "image_type.h"

#include <cstdint>
#include <string_view>

namespace glimor::server {

// Whether `bytes` decode completely as `type`: every pixel of every frame, at most
// `maxPixels` of them (judged from the headers before any pixel is decoded), and
// nothing after the image's end. Memory stays bounded: rows are decoded one at a
// time into one buffer, and the decoders' own state is capped.
bool isCompleteImage(std::string_view bytes, const ImageType& type, std::uint64_t maxPixels);

// The checks behind it, one per format.
bool isCompleteBmp(std::string_view bytes, std::uint64_t maxPixels);
bool isCompleteJpeg(std::string_view bytes, std::uint64_t maxPixels);
bool isCompleteGif(std::string_view bytes, std::uint64_t maxPixels);
bool isCompletePng(std::string_view bytes, std::uint64_t maxPixels);

} // namespace glimor::server

#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glimor::net {

// The boundary announced in the upload client's Content-Type; the body's delimiter lines carry
// two more hyphens in front of it, as multipart/form-data requires.
inline constexpr std::string_view uploadBoundary = "---------------------------7d6891e3b0542";

// True for the file types the service takes: bmp, jpeg, jpg, gif, png, swf, compared exactly
// (so "JPG" is refused). `extension` comes without its dot.
bool isAcceptedExtension(std::string_view extension);

// The media type of a file to upload by its extension as written, without its dot: "video/webm"
// for a recording, "image/" and the extension for an image.
std::string mediaTypeOf(std::string_view extension);

// The multipart/form-data body of one upload: the single part "imgfile" whose filename is the
// full local path as written and whose Content-Type is "image/" + the extension as written.
std::vector<std::uint8_t> buildUploadBody(std::string_view filePath, std::span<const std::uint8_t> image);

} // namespace glimor::net

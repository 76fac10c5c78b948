#pragma once
#include <string>
#include <string_view>

namespace glimor::server {

// Image ids are 16 characters of the URL-safe base64 alphabet carrying 96 bits
// from the kernel's CSPRNG, so links cannot be guessed or enumerated.
inline constexpr std::size_t imageIdLength = 16;

// Throws Error when the system cannot supply random bytes.
std::string newImageId();

// True for exactly the texts newImageId can produce; only such a text ever
// becomes part of a stored file's name.
bool isImageId(std::string_view text);

} // namespace glimor::server

#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace glimor::net {

// Text lines of a file: a line ends at CR LF, a lone CR or a lone LF; a line break at the very
// end starts no further line; the text ends at the first 0x00 byte. Only the last `keepLast`
// lines are kept, so a text of line breaks alone cannot multiply into far more memory than its size.
std::vector<std::string> readTextLines(std::span<const std::uint8_t> bytes,
                                       std::size_t keepLast = static_cast<std::size_t>(-1));

} // namespace glimor::net

#pragma once
#include <cstdint>
#include <vector>

// Little-endian numbers appended to a byte buffer, as BMP and GIF store them.
namespace glimor::imaging::le {

inline void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

inline std::uint32_t get16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}
inline std::uint32_t get32(const std::uint8_t* p) {
  return get16(p) | (static_cast<std::uint32_t>(get16(p + 2)) << 16);
}

} // namespace glimor::imaging::le

#pragma once
// A strict little GIF reader for the tests: the blocks of a one-image GIF file,
// its LZW codes with their widths as a standard decoder reads them, and the pixel
// indices they decode to. Any deviation from the expected layout throws.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace glimor::imaging::testing {

struct DecodedGif {
  int width = 0, height = 0;
  std::vector<std::uint8_t> colourTable;            // 768 bytes: red, green, blue
  std::vector<unsigned> subBlockLengths;            // of the image data
  std::vector<std::pair<unsigned, unsigned>> codes; // (code, width in bits)
  std::vector<std::size_t> pixelsBefore;            // indices decoded before each code
  std::vector<std::uint8_t> indices;                // top row first, left to right
};

// Decodes the LZW data (minimum code size 8) in `data`, already joined from its sub-blocks.
// The table holds each string as its prefix code and last pixel, as decoders do.
inline void decodeLzw(const std::vector<std::uint8_t>& data, DecodedGif& gif) {
  const unsigned clear = 256, end = 257;
  std::vector<std::uint16_t> prefix(4096), length(4096, 1);
  std::vector<std::uint8_t> last(4096), first(4096);
  for (unsigned i = 0; i < 256; ++i) last[i] = first[i] = static_cast<std::uint8_t>(i);
  unsigned width = 9, next = 258;
  long previous = -1;
  std::size_t bit = 0;
  const auto append = [&](unsigned code) { // the string of `code`, written back to front
    const std::size_t at = gif.indices.size();
    gif.indices.resize(at + length[code]);
    for (std::size_t i = at + length[code]; i-- > at; code = prefix[code]) gif.indices[i] = last[code];
  };
  for (;;) {
    if (bit + width > data.size() * 8) throw std::runtime_error("LZW data end without end code");
    std::uint32_t window = 0;
    for (std::size_t byte = bit / 8, k = 0; k < 3 && byte + k < data.size(); ++k)
      window |= static_cast<std::uint32_t>(data[byte + k]) << (8 * k);
    const unsigned code = (window >> (bit % 8)) & ((1u << width) - 1);
    bit += width;
    gif.codes.emplace_back(code, width);
    gif.pixelsBefore.push_back(gif.indices.size());
    if (code == clear) {
      width = 9;
      next = 258;
      previous = -1;
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code >= 256) throw std::runtime_error("first code after clear is not a pixel");
      append(code);
    } else {
      if (code > next || (code == next && next == 4096))
        throw std::runtime_error("LZW code " + std::to_string(code) + " not yet defined");
      if (next < 4096) { // the new string: the previous one and the first pixel of this one
        prefix[next] = static_cast<std::uint16_t>(previous);
        last[next] = code == next ? first[previous] : first[code];
        first[next] = first[previous];
        length[next] = static_cast<std::uint16_t>(length[previous] + 1);
        ++next;
      }
      append(code);
    }
    previous = code;
    if (next == (1u << width) && width < 12) ++width;
  }
  if ((bit + 7) / 8 != data.size()) throw std::runtime_error("bytes after the end code");
}

inline DecodedGif decodeGif(const std::vector<std::uint8_t>& file) {
  DecodedGif gif;
  std::size_t at = 0;
  auto need = [&](std::size_t n) {
    if (at + n > file.size()) throw std::runtime_error("GIF file cut short");
  };
  auto u16 = [&] {
    need(2);
    at += 2;
    return static_cast<int>(file[at - 2] | file[at - 1] << 8);
  };
  need(13);
  if (std::string(file.begin(), file.begin() + 6) != "GIF87a") throw std::runtime_error("not GIF87a");
  at = 6;
  gif.width = u16();
  gif.height = u16();
  if (file[10] != 0xF7 || file[11] != 0 || file[12] != 0) throw std::runtime_error("screen descriptor");
  at = 13;
  need(768 + 10 + 1);
  gif.colourTable.assign(file.begin() + 13, file.begin() + 13 + 768);
  at = 781;
  if (file[at++] != 0x2C) throw std::runtime_error("no image separator after the colour table");
  if (u16() != 0 || u16() != 0 || u16() != gif.width || u16() != gif.height || file[at++] != 0)
    throw std::runtime_error("image descriptor");
  need(1);
  if (file[at++] != 8) throw std::runtime_error("LZW minimum code size is not 8");
  std::vector<std::uint8_t> data;
  for (;;) {
    need(1);
    const unsigned length = file[at++];
    if (length == 0) break;
    need(length);
    gif.subBlockLengths.push_back(length);
    data.insert(data.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                file.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  need(1);
  if (file[at++] != 0x3B || at != file.size()) throw std::runtime_error("no trailer at the end");
  decodeLzw(data, gif);
  return gif;
}

} // namespace glimor::imaging::testing

#include "imaging/lzw_encoder.h"

#include "imaging/gif_bit_packer.h"
#include "imaging/lzw_string_table.h"

namespace glimor::imaging {
namespace {

constexpr std::uint32_t minimumCodeSize = 8;
constexpr std::uint32_t clearCode = 1u << minimumCodeSize; // 256
constexpr std::uint32_t endCode = clearCode + 1;           // 257
constexpr std::uint32_t lastCodeBeforeReset = 4094;

} // namespace

void encodeLzw(const Bitmap& indexed8, std::vector<std::uint8_t>& out) {
  out.push_back(minimumCodeSize);
  GifBitPacker bits(out, indexed8.pixels.size() / 4 + 64); // grows when the image compresses worse

  LzwStringTable table;
  std::uint32_t size = minimumCodeSize + 1, limit = 1u << size, lastCode = endCode, current = 0;
  bool started = false;
  bits.put(clearCode, size);
  const std::size_t stride = indexed8.stride();
  for (int y = indexed8.height - 1; y >= 0; --y) {
    const std::uint8_t* row = indexed8.pixels.data() + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < indexed8.width; ++x) {
      const std::uint32_t pixel = row[x];
      if (!started) {
        current = pixel;
        started = true;
        continue;
      }
      const std::uint32_t code = table.findOrAdd(current, pixel, lastCode + 1);
      if (code != LzwStringTable::notFound) {
        current = code;
        continue;
      }
      // A new string: its prefix goes out, and it takes the next code.
      bits.put(current, size);
      ++lastCode;
      current = pixel;
      // The code size grows once code 2^size itself has been assigned: 10 bits
      // after 512, 11 after 1024, 12 after 2048.
      if (lastCode >= limit) {
        limit *= 2;
        ++size;
      } else if (lastCode >= lastCodeBeforeReset) {
        // The table is full one code early: the pixel goes out alone, then a clear
        // code, and the next pixel starts afresh.
        bits.put(current, size);
        bits.put(clearCode, size);
        table.clear();
        lastCode = endCode;
        size = minimumCodeSize + 1;
        limit = 1u << size;
        started = false;
      }
    }
  }
  // After a reset on the very last pixel that pixel has gone out already.
  if (started) bits.put(current, size);
  bits.put(endCode, size);
  bits.finish();
}

} // namespace glimor::imaging

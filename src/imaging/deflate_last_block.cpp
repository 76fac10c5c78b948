#include "imaging/deflate_last_block.h"

#include "platform/error.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace glimor::imaging::deflate {
namespace {

[[noreturn]] void malformed() {
  throw Error("Bitmap image is not valid");
}

// Bits in deflate's order, the lowest bit of each byte first, through a 64-bit
// buffer. Past the end it reads zeros, at most 8 bytes of them: a stream that
// needs more is cut short.
class BitReader {
public:
  explicit BitReader(std::span<const std::uint8_t> bytes) : bytes(bytes) {}

  // At least 56 bits in the buffer afterwards: a length code and a distance code
  // with their extra bits take at most 48.
  void refill() {
    if (bytes.size() - std::min(next, bytes.size()) >= 8) {
      std::uint64_t word = 0;
      for (int i = 7; i >= 0; --i) word = word << 8 | bytes[next + static_cast<std::size_t>(i)];
      buffer |= word << count;
      next += (63 - count) >> 3;
      count |= 56;
      return;
    }
    while (count <= 56) {
      if (next >= bytes.size() + 8) malformed();
      buffer |= static_cast<std::uint64_t>(next < bytes.size() ? bytes[next] : 0) << count;
      ++next;
      count += 8;
    }
  }
  std::uint32_t peek() const { return static_cast<std::uint32_t>(buffer); }
  void skip(unsigned bits) {
    buffer >>= bits;
    count -= bits;
  }
  std::uint32_t take(unsigned bits) { // at most 16, after a refill
    const std::uint32_t value = peek() & ((1u << bits) - 1);
    skip(bits);
    return value;
  }
  void alignToByte() { skip(count % 8); }
  void skipBytes(std::size_t length) { // after alignToByte
    const std::size_t at = bitPosition() / 8 + length;
    if (at > bytes.size()) malformed();
    next = at;
    buffer = 0;
    count = 0;
  }
  std::size_t bitPosition() const { return next * 8 - count; }
  bool pastEnd() const { return bitPosition() > bytes.size() * 8; }

private:
  std::span<const std::uint8_t> bytes;
  std::size_t next = 0; // the byte after those in the buffer
  std::uint64_t buffer = 0;
  unsigned count = 0; // bits in the buffer
};

// A canonical Huffman code, decoded through a table indexed by the next
// `tableBits` bits: an entry holds symbol << 4 | code length, or 0 where no code
// starts. Longer codes, rare in practice, are decoded bit by bit from the counts.
class Decoder {
public:
  void build(const std::uint8_t* lengths, unsigned symbols) {
    std::fill(std::begin(count), std::end(count), 0);
    for (unsigned s = 0; s < symbols; ++s) ++count[lengths[s]];
    count[0] = 0;
    unsigned offsets[16] = {}, next[16] = {}, code = 0;
    for (unsigned length = 1; length <= 15; ++length) {
      offsets[length] = offsets[length - 1] + count[length - 1];
      code = (code + count[length - 1]) << 1;
      next[length] = code;
    }
    table.fill(0);
    for (unsigned s = 0; s < symbols; ++s) {
      const unsigned length = lengths[s];
      if (length == 0) continue;
      sorted[offsets[length]++] = static_cast<std::uint16_t>(s);
      const unsigned code = next[length]++;
      if (code >> length) malformed(); // over-subscribed
      if (length > tableBits) continue;
      // Codes are sent from their top bit down, so the table index is the code reversed.
      unsigned reversed = 0;
      for (unsigned b = 0; b < length; ++b) reversed |= ((code >> b) & 1) << (length - 1 - b);
      for (unsigned i = reversed; i < table.size(); i += 1u << length)
        table[i] = static_cast<std::uint16_t>(s << 4 | length);
    }
  }
  unsigned decode(BitReader& bits) const {
    const std::uint32_t next = bits.peek();
    const std::uint16_t entry = table[next & (table.size() - 1)];
    if (entry != 0) {
      bits.skip(entry & 15);
      return entry >> 4;
    }
    // Canonical order: codes of one length are consecutive, shorter ones first.
    unsigned code = 0, first = 0, index = 0;
    for (unsigned length = 1; length <= 15; ++length) {
      code |= (next >> (length - 1)) & 1;
      if (code - first < count[length]) {
        bits.skip(length);
        return sorted[index + code - first];
      }
      index += count[length];
      first = (first + count[length]) << 1;
      code <<= 1;
    }
    malformed();
  }

private:
  static constexpr unsigned tableBits = 10;
  std::array<std::uint16_t, 1u << tableBits> table{};
  std::array<std::uint16_t, 288> sorted{}; // symbols by code length, then by value
  unsigned count[16] = {};
};

constexpr std::array<std::uint8_t, 29> lengthExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> distanceExtraBits = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void readDynamicCodes(BitReader& bits, Decoder& literals, Decoder& distances) {
  bits.refill();
  const unsigned literalCount = bits.take(5) + 257, distanceCount = bits.take(5) + 1,
                 lengthCodeCount = bits.take(4) + 4;
  if (literalCount > 286 || distanceCount > 30) malformed();
  static constexpr std::uint8_t order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                             11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::uint8_t lengthCodeLengths[19] = {};
  for (unsigned i = 0; i < lengthCodeCount; ++i) {
    bits.refill();
    lengthCodeLengths[order[i]] = static_cast<std::uint8_t>(bits.take(3));
  }
  Decoder lengthCode;
  lengthCode.build(lengthCodeLengths, 19);
  // Both codes' lengths form one sequence, and a repeat may run from one into the other.
  std::uint8_t lengths[286 + 30] = {};
  for (unsigned i = 0; i < literalCount + distanceCount;) {
    bits.refill();
    const unsigned symbol = lengthCode.decode(bits);
    if (symbol < 16) {
      lengths[i++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t value = 0;
    unsigned repeat;
    if (symbol == 16) {
      if (i == 0) malformed();
      value = lengths[i - 1];
      repeat = 3 + bits.take(2);
    } else if (symbol == 17) {
      repeat = 3 + bits.take(3);
    } else {
      repeat = 11 + bits.take(7);
    }
    if (i + repeat > literalCount + distanceCount) malformed();
    while (repeat--) lengths[i++] = value;
  }
  literals.build(lengths, literalCount);
  distances.build(lengths + literalCount, distanceCount);
}

void setFixedCodes(Decoder& literals, Decoder& distances) {
  std::uint8_t lengths[288];
  for (unsigned s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  literals.build(lengths, 288);
  std::uint8_t distanceLengths[30];
  for (auto& length : distanceLengths) length = 5;
  distances.build(distanceLengths, 30);
}

// Skips the codes of one compressed block up to and including its end-of-block code.
void skipSymbols(BitReader& bits, const Decoder& literals, const Decoder& distances) {
  for (;;) {
    bits.refill();
    // Three codes of at most 15 bits fit in the 56 bits of a refill: runs of
    // literals, most of a photo's stream, take one refill for three.
    unsigned symbol = literals.decode(bits);
    for (int more = 0; symbol < 256 && more < 2; ++more) symbol = literals.decode(bits);
    if (symbol < 256) continue;
    if (symbol == 256) return;
    if (symbol > 285) malformed();
    bits.refill();
    bits.skip(lengthExtraBits[symbol - 257]);
    const unsigned distance = distances.decode(bits);
    if (distance >= 30) malformed();
    bits.skip(distanceExtraBits[distance]);
  }
}

} // namespace

LastBlock findLastBlock(std::span<const std::uint8_t> stream) {
  BitReader bits(stream);
  Decoder literals, distances;
  for (;;) {
    bits.refill();
    const std::size_t start = bits.bitPosition();
    const bool final = bits.take(1);
    switch (bits.take(2)) {
    case 0: { // stored: LEN and its complement NLEN from the next byte boundary, then the bytes
      bits.alignToByte();
      bits.refill();
      const std::uint32_t length = bits.take(16);
      if ((bits.take(16) ^ 0xFFFF) != length) malformed();
      bits.skipBytes(length);
      break;
    }
    case 1:
      setFixedCodes(literals, distances);
      skipSymbols(bits, literals, distances);
      break;
    case 2:
      readDynamicCodes(bits, literals, distances);
      skipSymbols(bits, literals, distances);
      break;
    default:
      malformed();
    }
    if (bits.pastEnd()) malformed();
    if (final) return {start, bits.bitPosition()};
  }
}

} // namespace glimor::imaging::deflate
